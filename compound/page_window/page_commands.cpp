#include "compound/page_window/page_commands.h"

namespace pixmill {

namespace {

constexpr PageCommandSpec kPageCommands[] = {
    {pagecmd::EditCompound, "Edit as &Compound Image",
     "Edit Compound image with image mapping\nEdit compound image", true,
     PageEnabling::EditorReady},
    {pagecmd::EditImageFile, "Edit as &Image File", "Edit as image file\nEdit image file", true,
     PageEnabling::ImageObject},
    {pagecmd::DeleteObject, "&Delete HTML Object", "Delete HTML object\nDelete object", true,
     PageEnabling::Object},
    {pagecmd::UpdateWebProject, "&Update Web Project",
     "Write the edited page over the page file\nUpdate Web Project", false, PageEnabling::Always},
};

} // namespace

std::span<const PageCommandSpec> PageCommandTable() {
    return kPageCommands;
}

const PageCommandSpec* FindPageCommand(int id) {
    for (const PageCommandSpec& spec : kPageCommands) {
        if (spec.id == id) {
            return &spec;
        }
    }
    return nullptr;
}

bool IsPageCommandEnabled(PageEnabling rule, const PageCommandState& state) {
    switch (rule) {
    case PageEnabling::Always:
        return true;
    case PageEnabling::Object:
        return state.object;
    case PageEnabling::ImageObject:
        return state.object && state.image;
    case PageEnabling::EditorReady:
        return state.object && state.editor;
    }
    return false;
}

} // namespace pixmill
