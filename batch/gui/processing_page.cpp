#include "batch/gui/processing_page.h"

#include "batch/gui/pane_set.h"
#include "desktop/gui/gui_services.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace pixmill {

namespace {
Qt::CheckState QtCheck(int check) {
    return check == ProcessingPageModel::Ticked   ? Qt::Checked
           : check == ProcessingPageModel::Partly ? Qt::PartiallyChecked
                                                  : Qt::Unchecked;
}
} // namespace

BatchProcessingPage::BatchProcessingPage(BatchJob& job, GuiServices& services, Mode mode,
                                         QWidget* parent)
    : QWidget(parent), job(job), services(services), mode(mode), model(job, mode == MoreDialog) {
    setObjectName(QStringLiteral("processingPage"));
    tree = new QTreeWidget(this);
    tree->setObjectName(QStringLiteral("operations"));
    tree->setHeaderHidden(true);
    auto* treeLabel = new QLabel(tr("&Image Operations :"), this);
    treeLabel->setBuddy(tree);
    add = new QPushButton(this);
    add->setObjectName(QStringLiteral("addFavorite"));
    favorites = new QListWidget(this);
    favorites->setObjectName(QStringLiteral("favorites"));
    favorites->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* favoritesLabel = new QLabel(tr("&Favorites :"), this);
    favoritesLabel->setBuddy(favorites);

    connect(tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (filling) {
            return;
        }
        const int node = item->data(0, Qt::UserRole).toInt();
        // A click on a partly ticked parent ticks every child.
        const bool on = item->checkState(0) != Qt::Unchecked;
        model.SetChecked(node, on);
        ShowChecks();
        FillFavorites();
        UpdateAdd();
    });
    connect(tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item == nullptr || filling) {
            return;
        }
        model.SelectNode(item->data(0, Qt::UserRole).toInt());
        ShowSettings(this->job.Operations()[model.CurrentIndex()].settingsWindow);
        FillFavorites();
        UpdateAdd();
    });
    connect(add, &QPushButton::clicked, this, [this] {
        if (model.Add()) {
            FillFavorites();
        }
    });
    connect(favorites, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        model.SelectFavorite(favorites->row(item));
        if (model.CurrentKind() == ProcessingPageModel::FormatItem) {
            formatList->setCurrentRow(model.CurrentIndex());
            ShowSettings(this->job.Formats()[model.CurrentIndex()].optionsWindow);
        } else {
            const int node = model.NodeOfOperation(model.CurrentIndex());
            filling = true;
            tree->setCurrentItem(ItemOf(node));
            filling = false;
            ShowSettings(this->job.Operations()[model.CurrentIndex()].settingsWindow);
        }
        UpdateAdd();
    });
    auto* removeFavorite = new QPushButton(tr("&Remove"), this);
    connect(removeFavorite, &QPushButton::clicked, this, [this] {
        std::vector<int> rows;
        for (QListWidgetItem* item : favorites->selectedItems()) {
            rows.push_back(favorites->row(item));
        }
        model.RemoveFavorites(rows);
        FillFavorites();
    });

    auto* favoriteButtons = new QHBoxLayout;
    favoriteButtons->addWidget(add, 1);
    favoriteButtons->addWidget(removeFavorite);
    auto* left = new QVBoxLayout;

    if (mode == SheetPage) {
        formatList = new QListWidget(this);
        formatList->setObjectName(QStringLiteral("convertTo"));
        auto* formatLabel = new QLabel(tr("&Convert To :"), this);
        formatLabel->setBuddy(formatList);
        connect(formatList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
            if (filling) {
                return;
            }
            const int format = formatList->row(item);
            model.CheckFormat(format, item->checkState() == Qt::Checked);
            ShowSettings(this->job.Formats()[format].optionsWindow);
            FillFavorites();
            UpdateAdd();
        });
        connect(formatList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
            const int format = formatList->row(item);
            model.SelectFormat(format);
            ShowSettings(this->job.Formats()[format].optionsWindow);
            UpdateAdd();
        });
        logField = new QLineEdit(this);
        logField->setObjectName(QStringLiteral("logFile"));
        auto* logLabel = new QLabel(tr("&Log File :"), this);
        logLabel->setBuddy(logField);
        auto* browse = new QPushButton(QStringLiteral("..."), this);
        browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
        connect(browse, &QPushButton::clicked, this, [this] {
            QFileDialog dialog(this, tr("Log File"), logField->text(),
                               tr("Pixmill log files (*.log);;Text Files (*.txt)"));
            dialog.setDefaultSuffix(QStringLiteral("log"));
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.selectFile(logField->text());
            if (this->services.RunDialog(dialog) == QDialog::Accepted &&
                !dialog.selectedFiles().isEmpty()) {
                logField->setText(dialog.selectedFiles().front());
            }
        });
        auto* loadProfile = new QPushButton(tr("&Load Profile"), this);
        auto* saveProfile = new QPushButton(tr("&Save Profile"), this);
        const QString profiles = tr("Batch profiles (*.prf)");
        connect(loadProfile, &QPushButton::clicked, this, [this, profiles] {
            const QStringList names = this->services.GetOpenFileNames(this, profiles, QString());
            if (!names.isEmpty()) {
                LoadProfile(names.front());
            }
        });
        connect(saveProfile, &QPushButton::clicked, this, [this, profiles] {
            const QString name =
                this->services.GetSaveFileName(this, QStringLiteral("batch.prf"), profiles);
            if (!name.isEmpty()) {
                SaveProfile(name);
            }
        });
        showLog = new QCheckBox(tr("Show log file after processing"), this);
        showLog->setObjectName(QStringLiteral("showLog"));

        left->addWidget(formatLabel);
        left->addWidget(formatList, 2);
        left->addWidget(treeLabel);
        left->addWidget(tree, 5);
        left->addLayout(favoriteButtons);
        left->addWidget(favoritesLabel);
        left->addWidget(favorites, 2);

        auto* options = new QGroupBox(tr("Options"), this);
        auto* optionsLayout = new QGridLayout(options);
        optionsLayout->addWidget(logLabel, 0, 0);
        optionsLayout->addWidget(logField, 0, 1);
        optionsLayout->addWidget(browse, 0, 2);
        auto* profileButtons = new QHBoxLayout;
        profileButtons->addWidget(loadProfile);
        profileButtons->addWidget(saveProfile);
        profileButtons->addStretch();
        optionsLayout->addLayout(profileButtons, 1, 0, 1, 3);
        optionsLayout->addWidget(showLog, 2, 0, 1, 3);

        parameters = new QGroupBox(tr("Image formtat/processing parameters"), this);
        parameters->setObjectName(QStringLiteral("parameters"));
        auto* parametersLayout = new QVBoxLayout(parameters);
        parametersLayout->setAlignment(Qt::AlignCenter);
        panes = std::make_unique<PaneSet>(job, parameters, false);
        for (QWidget* window : panes->Windows()) {
            parametersLayout->addWidget(window, 0, Qt::AlignCenter);
        }
        auto* right = new QVBoxLayout;
        right->addWidget(parameters, 1);
        right->addWidget(options);
        auto* layout = new QHBoxLayout(this);
        layout->addLayout(left, 2);
        layout->addLayout(right, 3);
    } else {
        left->addWidget(treeLabel);
        left->addWidget(tree, 1);
        left->addLayout(favoriteButtons);
        left->addWidget(favoritesLabel);
        left->addWidget(favorites);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addLayout(left);
    }
    FillFromJob();
}

BatchProcessingPage::~BatchProcessingPage() = default;

QTreeWidgetItem* BatchProcessingPage::ItemOf(int node) const {
    return node >= 0 && static_cast<size_t>(node) < items.size() ? items[node] : nullptr;
}

void BatchProcessingPage::FillFromJob() {
    filling = true;
    model.Reload();
    tree->clear();
    items.assign(model.Nodes().size(), nullptr);
    for (int top : model.TopLevel()) {
        const ProcessingPageModel::Node& node = model.Nodes()[top];
        auto* item = new QTreeWidgetItem(tree, {QString::fromStdString(node.label)});
        item->setData(0, Qt::UserRole, top);
        items[top] = item;
        for (int child : node.children) {
            auto* sub =
                new QTreeWidgetItem(item, {QString::fromStdString(model.Nodes()[child].label)});
            sub->setData(0, Qt::UserRole, child);
            items[child] = sub;
        }
    }
    if (formatList != nullptr) {
        formatList->clear();
        for (const BatchJob::FormatEntry& format : job.Formats()) {
            auto* item = new QListWidgetItem(QString::fromUtf8(format.format->GetName(false)));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(format.selected ? Qt::Checked : Qt::Unchecked);
            formatList->addItem(item);
        }
        logField->setText(QString::fromStdString(job.LogFileName()));
        showLog->setChecked(job.ShowLogAfterRun());
    }
    filling = false;
    ShowChecks();
    FillFavorites();
    UpdateAdd();
}

void BatchProcessingPage::ShowChecks() {
    filling = true;
    for (size_t n = 0; n < items.size(); ++n) {
        items[n]->setFlags(items[n]->flags() | Qt::ItemIsUserCheckable);
        items[n]->setCheckState(0, QtCheck(model.Nodes()[n].check));
    }
    filling = false;
}

void BatchProcessingPage::ShowSettings(QWidget* window) {
    if (shown != nullptr) {
        shown->hide();
    }
    shown = parameters != nullptr ? window : nullptr;
    if (shown != nullptr) {
        shown->show();
    }
}

void BatchProcessingPage::UpdateAdd() {
    add->setText(QString::fromStdString(model.AddText()));
    add->setEnabled(model.AddEnabled());
}

void BatchProcessingPage::FillFavorites() {
    favorites->clear();
    for (const std::string& name : model.FavoriteNames()) {
        favorites->addItem(QString::fromStdString(name));
    }
}

bool BatchProcessingPage::TakeOver() {
    if (logField != nullptr) {
        job.SetLogFileName(logField->text().trimmed().toStdString());
        job.SetShowLogAfterRun(showLog->isChecked());
        const FieldCheck check = job.CheckLogFileName([this](const std::string& question) {
            return services.AskYesNo("Pixmill", question.c_str(), true);
        });
        if (!check.accepted) {
            services.ShowMessage("Pixmill", check.message.c_str(), MessageIcon::Warning);
            return false;
        }
    }
    model.ApplyStates();
    return true;
}

void BatchProcessingPage::LoadProfile(const QString& path) {
    try {
        job.LoadProfileFile(path.toStdString());
    } catch (CQorelError& error) {
        error.Report(true);
        return;
    }
    FillFromJob();
}

void BatchProcessingPage::SaveProfile(const QString& path) {
    model.ApplyStates();
    try {
        job.SaveProfileFile(path.toStdString());
    } catch (CQorelError& error) {
        error.Report(true);
    }
}

} // namespace pixmill
