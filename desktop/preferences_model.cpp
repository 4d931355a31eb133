#include "desktop/preferences_model.h"

#include "host/path_fields.h"

#include <cstdio>

namespace pixmill {

void PreferencesModel::SetGamma(double gamma) {
    if (!(gamma >= 0.0)) {
        gamma = 0.0;
    }
    values.gamma.gamma = gamma > kMaxGamma ? kMaxGamma : gamma;
}

void PreferencesModel::SetHtmlWorkingDirectory(const std::string& path) {
    SetFixedText(values.html.workingDirectory, sizeof values.html.workingDirectory, path);
}

void PreferencesModel::SetFont(const std::string& face, int pointSize) {
    SetFixedText(values.html.font.faceName, sizeof values.html.font.faceName, face);
    // The height whose shown size 1 - height * 72 / 100 is pointSize.
    values.html.font.height = -(((pointSize - 1) * 100 + 71) / 72);
}

std::string PreferencesModel::FontText() const {
    char text[128];
    std::snprintf(text, sizeof text, "Font: %s,  size: %d", values.html.font.faceName,
                  1 - values.html.font.height * 72 / 100);
    return text;
}

std::string PreferencesModel::Validate() const {
    if (!dirExists(values.html.workingDirectory)) {
        return "Path not found";
    }
    return {};
}

} // namespace pixmill
