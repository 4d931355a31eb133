// BatchFileSource: the built-in batch source, image files chosen by the
// user (or given on the command line). Its settings are kept as property
// text in the settings value "BatchFileSource".
#pragma once

#include "batch/field_property_list.h"
#include "pixmill/batch_interfaces.h"

#include <functional>
#include <string>
#include <vector>

namespace pixmill {

class SettingsStore;
class CUserInterface;

class BatchFileSource : public BatchSource {
  public:
    static constexpr const char* kSettingsName = "BatchFileSource";
    static constexpr int kHelpTopic = 442;

    BatchFileSource(SettingsStore& settings, CUserInterface* ui);
    ~BatchFileSource() override; // stores the settings

    const char* GetName() override { return "Image files"; }
    QWidget* CreatePage(QWidget* parent, const RECT& area) override;
    void Attach(BatchHost* host) override;
    BatchItem* NextItem(CVStream* log) override;
    void ReleaseItem(bool flag) override;
    void Help(QWidget* window) override;
    int GetCount() override { return static_cast<int>(files.size()); }
    int GetContentKind() override { return ContentFilePath; }

    // --- the selection ---
    // Full paths; folder (optional, "" or ending with "/") is each file's
    // folder below the root the user gave, which the file destination keeps.
    void SetFiles(std::vector<std::string> paths, std::vector<std::string> folders = {});
    const std::vector<std::string>& Files() const { return files; }
    // Back to before the first file (done whenever the page is made).
    void ResetPosition() { position = -1; }

    // --- the file type list ---
    // "All supported images (...)", then "NAME (EXTENSIONS)" per format.
    const std::vector<std::string>& FilterTexts() const { return filterTexts; }
    // Whether the file's lower-cased extension is in the chosen entry's list
    // (Filter; an out-of-range index counts as 0). Names without extension
    // never match.
    bool MatchesFilter(const std::string& fileName) const;
    // The matching files (not folders) of a folder, sorted by name.
    std::vector<std::string> ListFolder(const std::string& folder) const;

    CPropertyList* Properties() { return &properties; }
    void SetHelpHandler(std::function<void(int)> handler) { helpHandler = std::move(handler); }

    // The stored settings.
    std::string path;
    int preview = 0;
    int filter = 0;
    int viewMode = 0;

  private:
    SettingsStore& settings;
    FieldPropertyList properties;
    std::vector<std::string> filterTexts;
    std::vector<std::string> filterExtensions; // each ends with ";"
    std::vector<std::string> files;
    std::vector<std::string> folders;
    int position = -1;
    BatchItem item;
    std::string itemName;
    std::function<void(int)> helpHandler;
};

} // namespace pixmill
