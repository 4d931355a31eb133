// The page window's commands, declared once: identifier, menu text,
// status-bar prompt and tool tip, whether the tree's context menu offers it,
// and the rule that enables it. The window builds its menu, toolbar and
// context menu from this table.
#pragma once

#include <span>

namespace pixmill {

namespace pagecmd {
enum : int {
    EditCompound = 33101,
    EditImageFile = 33102,
    DeleteObject = 33103,
    UpdateWebProject = 33104,
};
} // namespace pagecmd

enum class PageEnabling {
    Always,
    Object,      // an object of the page is selected
    ImageObject, // ... and it is a plain image
    EditorReady  // ... and a compound image window can be opened
};

struct PageCommandSpec {
    int id;
    const char* text;   // menu text with "&" marks
    const char* prompt; // "status prompt\ntool tip"
    bool contextMenu;   // offered on the tree's entries
    PageEnabling enabling;
};

// What the enabling rules look at.
struct PageCommandState {
    bool object = false;
    bool image = false;
    bool editor = false; // a compound image window can be opened
};

std::span<const PageCommandSpec> PageCommandTable();
const PageCommandSpec* FindPageCommand(int id);
bool IsPageCommandEnabled(PageEnabling rule, const PageCommandState& state);

} // namespace pixmill
