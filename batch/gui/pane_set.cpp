#include "batch/gui/pane_set.h"

#include "batch/batch_job.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"

#include <QWidget>

namespace pixmill {

PaneSet::PaneSet(BatchJob& job, QWidget* parent, bool onlyBatchPanes) : job(job), parent(parent) {
    auto& operations = job.Operations();
    for (size_t i = 0; i < operations.size(); ++i) {
        BatchJob::OperationEntry& entry = operations[i];
        CProcessingPlugin* plugin = job.SelectOperation(static_cast<int>(i));
        if (entry.settingsPane != nullptr || (onlyBatchPanes && !(plugin->GetFlags() & 0x10))) {
            continue;
        }
        CPluginPane* pane = plugin->CreateSettingsPane(this);
        if (pane == nullptr) {
            continue;
        }
        QWidget* window = pane->Create();
        if (window == nullptr) {
            plugin->DestroySettingsPane(pane); // a pane without a window is no use
            continue;
        }
        window->hide();
        entry.settingsPane = pane;
        entry.settingsWindow = window;
        made.push_back({false, static_cast<int>(i)});
    }
    auto& formats = job.Formats();
    for (size_t f = 0; f < formats.size(); ++f) {
        BatchJob::FormatEntry& entry = formats[f];
        if (entry.optionsPane != nullptr ||
            (onlyBatchPanes && !(entry.format->GetCapabilities() & CapOptionsPane))) {
            continue;
        }
        CPluginPane* pane = entry.format->CreateOptionsPane(this);
        if (pane == nullptr) {
            continue;
        }
        QWidget* window = pane->Create();
        if (window == nullptr) {
            entry.format->DestroyOptionsPane(pane);
            continue;
        }
        window->hide();
        entry.optionsPane = pane;
        entry.optionsWindow = window;
        made.push_back({true, static_cast<int>(f)});
    }
}

PaneSet::~PaneSet() {
    for (const Made& m : made) {
        if (m.format) {
            BatchJob::FormatEntry& entry = job.Formats()[m.index];
            entry.format->DestroyOptionsPane(entry.optionsPane);
            entry.optionsPane = nullptr;
            entry.optionsWindow = nullptr;
        } else {
            BatchJob::OperationEntry& entry = job.Operations()[m.index];
            job.SelectOperation(m.index)->DestroySettingsPane(entry.settingsPane);
            entry.settingsPane = nullptr;
            entry.settingsWindow = nullptr;
        }
    }
}

std::vector<QWidget*> PaneSet::Windows() const {
    std::vector<QWidget*> windows;
    for (const Made& m : made) {
        windows.push_back(m.format ? job.Formats()[m.index].optionsWindow
                                   : job.Operations()[m.index].settingsWindow);
    }
    return windows;
}

void PaneSet::Changed(CPluginPane*) {
    if (onChanged) {
        onChanged();
    }
}

} // namespace pixmill
