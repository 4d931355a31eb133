#include "pixmill/format_table.h"
#include "pixmill/cv_image.h"
#include "pixmill/help.h"
#include "pixmill/pane.h"

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

} // namespace pixmill
