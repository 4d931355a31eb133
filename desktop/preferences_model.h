// The Preferences dialog's model: the values of the "General" and
// "HTML Options" pages with their limits, the checks made when the dialog is
// confirmed and the texts it shows. The dialog binds controls to it; tests
// drive it directly.
#pragma once

#include "desktop/app_settings.h"

#include <string>

namespace pixmill {

struct IntLimits {
    int minimum;
    int maximum;
};

class PreferencesModel {
  public:
    static constexpr IntLimits kSheetSize{10, 150};
    static constexpr IntLimits kPreviewDelay{1000, 10000};
    static constexpr IntLimits kCompoundSize{10, 32000};
    static constexpr double kMaxGamma = 10.0;

    explicit PreferencesModel(const AppSettings& settings) : values(settings) {}

    AppSettings& Values() { return values; }
    const AppSettings& Values() const { return values; }

    // Monitor gamma as typed: above 10 becomes 10, negative 0.
    void SetGamma(double gamma);
    void SetHtmlWorkingDirectory(const std::string& path);
    std::string HtmlWorkingDirectory() const { return values.html.workingDirectory; }
    void SetFont(const std::string& face, int pointSize);
    // "Font: %s,  size: %d" with the size 1 - height * 72 / 100.
    std::string FontText() const;

    // The check made on OK: "" when every page may close, else the message
    // the dialog shows (the page then stays open).
    std::string Validate() const;

  private:
    AppSettings values;
};

} // namespace pixmill
