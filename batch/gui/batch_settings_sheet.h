// The batch settings sheet "Batch Processing settings": the Source,
// Processing and Destination pages (or some of them: Batch Open shows the
// source alone, Export the processing and destination pages), OK and
// Cancel. Each source's and destination's own page is made once below the
// type list and only the current one is shown. Leaving the Processing page
// checks the log file name, leaving the Destination page asks the current
// destination to apply its page; a refusal keeps the sheet on that page.
#pragma once

#include <QDialog>

#include <vector>

class QComboBox;
class QStackedWidget;
class QTabWidget;

namespace pixmill {

class BatchJob;
class FileDestPage;
class FileSourcePage;
class GuiServices;
class BatchProcessingPage;

class BatchSettingsSheet : public QDialog {
    Q_OBJECT
  public:
    enum Page { SourcePage = 1, ProcessingPage = 2, DestinationPage = 4, AllPages = 7 };
    BatchSettingsSheet(BatchJob& job, GuiServices& services, int pages, QWidget* parent);
    ~BatchSettingsSheet() override;

    QTabWidget* Tabs() const { return tabs; }
    BatchProcessingPage* Processing() const { return processing; }
    FileSourcePage* FileSource() const { return fileSource; }
    FileDestPage* FileDest() const { return fileDest; }
    QComboBox* SourceTypes() const { return sourceTypes; }
    QComboBox* DestinationTypes() const { return destinationTypes; }

  protected:
    void done(int result) override;

  private:
    QWidget* MakeTypePage(bool destinations);
    // Takes the page's values over; false keeps the sheet on it.
    bool Leave(QWidget* page);

    BatchJob& job;
    GuiServices& services;
    QTabWidget* tabs;
    QWidget* sourcePage = nullptr;
    QWidget* destinationPage = nullptr;
    BatchProcessingPage* processing = nullptr;
    FileSourcePage* fileSource = nullptr;
    FileDestPage* fileDest = nullptr;
    QComboBox* sourceTypes = nullptr;
    QComboBox* destinationTypes = nullptr;
    QWidget* current = nullptr;
    bool switching = false;
};

} // namespace pixmill
