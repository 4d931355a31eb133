// The "Processing" page of the batch settings sheet, and the operations part
// of the "Image processing" dialog that the batch dialog's "&More..." opens
// (the tree alone, format children only for the chosen formats). Widgets
// over ProcessingPageModel; the panes of operations and formats are shown in
// the parameters area.
#pragma once

#include "batch/processing_page_model.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QDialog;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pixmill {

class GuiServices;
class PaneSet;

class BatchProcessingPage : public QWidget {
    Q_OBJECT
  public:
    enum Mode { SheetPage, MoreDialog };
    BatchProcessingPage(BatchJob& job, GuiServices& services, Mode mode, QWidget* parent);
    ~BatchProcessingPage() override;

    // Leaving the page or OK: the log file name is checked, then the checks
    // go into the job. False keeps the page.
    bool TakeOver();

    ProcessingPageModel& Model() { return model; }
    QTreeWidget* Tree() const { return tree; }
    QListWidget* FormatList() const { return formatList; }
    QListWidget* Favorites() const { return favorites; }
    QPushButton* AddButton() const { return add; }
    QLineEdit* LogField() const { return logField; }
    // The tree item of a model node.
    QTreeWidgetItem* ItemOf(int node) const;
    void LoadProfile(const QString& path);
    void SaveProfile(const QString& path);

  private:
    void FillFromJob();
    void ShowChecks();
    void ShowSettings(QWidget* window);
    void UpdateAdd();
    void FillFavorites();

    BatchJob& job;
    GuiServices& services;
    Mode mode;
    ProcessingPageModel model;
    QTreeWidget* tree;
    QListWidget* formatList = nullptr;
    QListWidget* favorites;
    QPushButton* add;
    QLineEdit* logField = nullptr;
    QCheckBox* showLog = nullptr;
    QGroupBox* parameters = nullptr;
    QWidget* shown = nullptr;
    std::unique_ptr<PaneSet> panes;
    std::vector<QTreeWidgetItem*> items;
    bool filling = false;
};

} // namespace pixmill
