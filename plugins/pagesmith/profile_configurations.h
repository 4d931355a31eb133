// The user's named HTML generation profiles. Each is a ".vhb" file named by
// its title; the list of files is the text value "HtmlBatchProfile" (every
// path followed by ";") and the current one's name "HtmlCurrentConfig", both
// in the settings store's "Settings" section. An empty list shows the one
// entry "Default".
#pragma once

#include "html_profile.h"

#include <functional>
#include <string>
#include <vector>

namespace pixmill::pagesmith {

// Where the two values are kept (the host's settings in the plug-in, a map in
// tests).
class ConfigurationStore {
  public:
    virtual ~ConfigurationStore() = default;
    virtual std::string ReadText(const char* name) = 0;
    virtual void WriteText(const char* name, const std::string& text) = 0;
};

class ProfileConfigurations {
  public:
    static constexpr const char* kListName = "HtmlBatchProfile";
    static constexpr const char* kCurrentName = "HtmlCurrentConfig";
    static constexpr size_t kListCapacity = 5000;

    // ask: a Yes/No question; true for Yes.
    using Ask = std::function<bool(const std::string& question)>;

    ProfileConfigurations(ConfigurationStore& store, Ask ask);

    // Reads the list and the current name again.
    void Reload();
    const std::vector<std::string>& Paths() const { return paths; }
    // The names shown in the list: the files' titles, or "Default".
    std::vector<std::string> Names() const;
    const std::string& Current() const { return current; }

    // Makes the named configuration current and reads its file into the
    // profile (names compared in upper case); false when no file has it
    // or it cannot be read.
    bool Choose(const std::string& name, HtmlProfile& profile);
    // Writes the profile to path and adds it to the list; a configuration
    // of the same title is replaced only when the question is answered Yes.
    // False when refused or the file cannot be written.
    bool SaveAs(const std::string& path, const HtmlProfile& profile);
    // Adds an existing file to the list and makes it current.
    bool Load(const std::string& path, HtmlProfile& profile);
    // Asks, then drops the entry (the file stays) and chooses the first
    // remaining entry ("Default" when none).
    bool Remove(const std::string& name, HtmlProfile& profile);

    // The file's name without folder and extension.
    static std::string Title(const std::string& path);

  private:
    int Find(const std::string& name) const;
    void Store();
    void SetCurrent(const std::string& name);

    ConfigurationStore& store;
    Ask ask;
    std::vector<std::string> paths;
    std::string current;
};

} // namespace pixmill::pagesmith
