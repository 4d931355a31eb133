// The compound image window's command vocabulary, declared once: identifier,
// menu text, shortcut, status-bar prompt and tool tip, and the rule that
// enables it. The window builds its menus and toolbar from this table.
#pragma once

#include <span>
#include <string>

namespace pixmill {

namespace editcmd {
enum : int {
    SaveIntoPage = 33100,
    SaveAsPage,
    CanvasProperties,
    InsertImage,
    InsertBackground,
    InsertText,
    PasteImage,
    Copy,
    Undo,
    Redo,
    Delete,
    ObjectProperties,
    SaveObjectAs,
    Export,
    CopyBitmap,
    CopyHtml,
    RectangleTool,
    CircleTool,
    PolygonTool,
    ZoomTool,
    SelectTool,
    SaveBackground,
    Minimise,
    ZoomIn,
    ZoomOut,
    ActualSize,
    Help,
};
} // namespace editcmd

// The help page of the window.
inline constexpr int kCompoundHelpTopic = 470;

struct EditCommandState {
    bool selection = false; // an object is selected
    bool picture = false;   // ... and it has a picture (image or text)
    bool canUndo = false;
    bool canRedo = false;
    bool objects = false; // the list is not empty
    bool page = false;    // the window was opened from a page
};

enum class EditEnabling { Always, Selection, Picture, CanUndo, CanRedo, Objects, Page };

struct EditCommandSpec {
    int id;
    const char* text;     // menu text with "&" marks
    const char* shortcut; // portable key sequence text, "" for none
    const char* prompt;   // "status prompt\ntool tip"
    EditEnabling enabling;
    bool checkable; // a tool: one of them is checked
};

std::span<const EditCommandSpec> EditCommandTable();
const EditCommandSpec* FindEditCommand(int id);
bool IsEditCommandEnabled(EditEnabling rule, const EditCommandState& state);
// The status-bar part of a command's prompt.
std::string EditPromptText(int id);

} // namespace pixmill
