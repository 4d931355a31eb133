#include "batch/processing_page_model.h"

#include "pixmill/format_plugin.h"
#include "pixmill/pane.h"

#include <algorithm>

namespace pixmill {

ProcessingPageModel::ProcessingPageModel(BatchJob& job, bool selectedFormatsOnly)
    : job(job), selectedFormatsOnly(selectedFormatsOnly) {
    Reload();
}

int ProcessingPageModel::ParentCheck(const std::vector<int>& childChecks) {
    const auto ticked = std::count(childChecks.begin(), childChecks.end(), int(Ticked));
    if (ticked == 0 &&
        std::find(childChecks.begin(), childChecks.end(), int(Partly)) == childChecks.end()) {
        return Clear;
    }
    return ticked == static_cast<long>(childChecks.size()) ? Ticked : Partly;
}

void ProcessingPageModel::Reload() {
    nodes.clear();
    topLevel.clear();
    const auto& formats = job.Formats();
    for (const BatchJob::OperationOrder& position : job.Order()) {
        const BatchJob::OperationEntry& entry = job.Operations()[position.operation];
        const int top = static_cast<int>(nodes.size());
        nodes.push_back({entry.name, position.operation, -1, -1, position.state, {}});
        topLevel.push_back(top);
        if (entry.kind == 0) {
            continue;
        }
        for (size_t f = 0; f < formats.size(); ++f) {
            if (selectedFormatsOnly && !formats[f].selected) {
                continue;
            }
            for (const BatchJob::Conversion& conversion : formats[f].conversions) {
                if (conversion.operation == position.operation) {
                    const int child = static_cast<int>(nodes.size());
                    nodes.push_back({formats[f].format->GetName(false),
                                     position.operation,
                                     static_cast<int>(f),
                                     top,
                                     conversion.chosen ? Ticked : Clear,
                                     {}});
                    nodes[top].children.push_back(child);
                }
            }
        }
        UpdateParent(top);
    }
}

int ProcessingPageModel::NodeOfOperation(int operation) const {
    for (int top : topLevel) {
        if (nodes[top].operation == operation) {
            return top;
        }
    }
    return -1;
}

void ProcessingPageModel::UpdateParent(int node) {
    Node& parent = nodes[node];
    if (parent.children.empty()) {
        return;
    }
    std::vector<int> checks;
    for (int child : parent.children) {
        checks.push_back(nodes[child].check);
    }
    parent.check = ParentCheck(checks);
}

void ProcessingPageModel::SetChecked(int node, bool on) {
    Node& item = nodes[node];
    for (int child : item.children) {
        nodes[child].check = on ? Ticked : Clear;
    }
    item.check = on ? Ticked : Clear;
    const int top = item.parent >= 0 ? item.parent : node;
    UpdateParent(top);
    if (nodes[top].check == Clear) {
        DropFavorite(OperationItem, nodes[top].operation);
    }
}

void ProcessingPageModel::CheckFormat(int format, bool on) {
    job.Formats()[format].selected = on;
    SelectFormat(format);
    if (!on) {
        DropFavorite(FormatItem, format);
    }
}

void ProcessingPageModel::SelectNode(int node) {
    const Node& item = nodes[node];
    currentKind = OperationItem;
    currentIndex = item.operation;
    const int top = item.parent >= 0 ? item.parent : node;
    if (nodes[top].check == Clear) {
        DropFavorite(OperationItem, item.operation);
    }
}

void ProcessingPageModel::SelectFormat(int format) {
    currentKind = FormatItem;
    currentIndex = format;
}

bool ProcessingPageModel::HasSettingsWindow(ItemKind kind, int index) const {
    if (kind == FormatItem) {
        return job.Formats()[index].optionsWindow != nullptr;
    }
    return kind == OperationItem && job.Operations()[index].settingsWindow != nullptr;
}

bool ProcessingPageModel::IsChosen(ItemKind kind, int index) const {
    if (kind == FormatItem) {
        return job.Formats()[index].selected;
    }
    const int node = NodeOfOperation(index);
    return kind == OperationItem && node >= 0 && nodes[node].check != Clear;
}

std::string ProcessingPageModel::AddText() const {
    std::string text = "&Add ";
    if (currentKind == FormatItem) {
        text += job.Formats()[currentIndex].format->GetName(false);
    } else if (currentKind == OperationItem) {
        text += job.Operations()[currentIndex].name;
    }
    return text;
}

bool ProcessingPageModel::AddEnabled() const {
    return currentKind != NoItem && IsChosen(currentKind, currentIndex) &&
           HasSettingsWindow(currentKind, currentIndex);
}

bool ProcessingPageModel::Add() {
    return AddEnabled() && job.AddFavorite(currentKind, currentIndex);
}

void ProcessingPageModel::DropFavorite(ItemKind kind, int index) {
    const auto& favorites = job.Favorites();
    for (size_t i = 0; i < favorites.size(); ++i) {
        if (favorites[i].kind == kind && favorites[i].index == index) {
            job.RemoveFavorite(static_cast<int>(i));
            return;
        }
    }
}

void ProcessingPageModel::RemoveFavorites(std::vector<int> positions) {
    // From the back, so the earlier positions stay where they are.
    std::sort(positions.rbegin(), positions.rend());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (int position : positions) {
        job.RemoveFavorite(position);
    }
}

std::vector<std::string> ProcessingPageModel::FavoriteNames() const {
    std::vector<std::string> names;
    for (const BatchJob::Favorite& favorite : job.Favorites()) {
        names.push_back(favorite.kind == BatchJob::FavoriteFormat
                            ? std::string(job.Formats()[favorite.index].format->GetName(false))
                            : job.Operations()[favorite.index].name);
    }
    return names;
}

void ProcessingPageModel::SelectFavorite(int position) {
    const BatchJob::Favorite& favorite = job.Favorites().at(static_cast<size_t>(position));
    if (favorite.kind == BatchJob::FavoriteFormat) {
        SelectFormat(favorite.index);
    } else if (const int node = NodeOfOperation(favorite.index); node >= 0) {
        SelectNode(node);
    }
}

void ProcessingPageModel::ApplyStates() {
    for (const Node& node : nodes) {
        if (node.parent < 0) {
            continue;
        }
        for (BatchJob::Conversion& conversion : job.Formats()[node.format].conversions) {
            if (conversion.operation == node.operation) {
                conversion.chosen = node.check == Ticked;
            }
        }
    }
    for (BatchJob::OperationOrder& position : job.Order()) {
        const int top = NodeOfOperation(position.operation);
        if (top < 0) {
            continue;
        }
        const Node& item = nodes[top];
        if (item.children.empty() || !selectedFormatsOnly) {
            position.state = item.check;
        } else {
            // Only some formats were shown: the state covers all of them.
            std::vector<int> checks;
            for (const BatchJob::FormatEntry& format : job.Formats()) {
                for (const BatchJob::Conversion& conversion : format.conversions) {
                    if (conversion.operation == position.operation) {
                        checks.push_back(conversion.chosen ? Ticked : Clear);
                    }
                }
            }
            position.state = ParentCheck(checks);
        }
        if (position.state != Clear) {
            if (CPluginPane* pane = job.Operations()[position.operation].settingsPane) {
                pane->Commit();
            }
        }
    }
}

} // namespace pixmill
