#include "pixmill/format_table.h"
#include "pixmill/cv_image.h"
#include "pixmill/help.h"
#include "pixmill/pane.h"

#include <algorithm>
#include <cstring>

namespace pixmill {

const char* CFormatTableBase::GetName(bool longForm) {
    return LookupString(*entry.strings, longForm ? entry.longName : entry.name);
}

const char* CFormatTableBase::GetExtensions() {
    return LookupString(*entry.strings, entry.extensions);
}

bool CFormatTableBase::CanSave(const CVImage* image) {
    return entry.canSave == nullptr || entry.canSave(image);
}

bool CFormatTableBase::AcceptsKinds(const ImageKindSet* kinds) {
    return entry.acceptsKinds != nullptr ? entry.acceptsKinds(kinds) : kinds->special == 0;
}

void CFormatTableBase::DestroyOptionsPane(CPluginPane* pane) {
    delete pane;
}

void CFormatTableBase::Help(QWidget*) {
    OpenHelpPage(entry.helpTopic);
}

int CFormatTableBase::LibraryVersion(char* name, size_t nameCapacity, char* version,
                                     size_t versionCapacity) const {
    if (entry.codecLibrary == nullptr || entry.codecVersion == nullptr) {
        return 0;
    }
    const auto copy = [](const std::string& text, char* buffer, size_t capacity) {
        if (capacity > 0) {
            const size_t length = std::min(text.size(), capacity - 1);
            std::memcpy(buffer, text.data(), length);
            buffer[length] = '\0';
        }
    };
    copy(entry.codecLibrary, name, nameCapacity);
    copy(entry.codecVersion(), version, versionCapacity);
    return 1;
}

} // namespace pixmill
