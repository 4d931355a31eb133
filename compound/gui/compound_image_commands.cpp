#include "compound/gui/compound_image_commands.h"

#include <cstring>

namespace pixmill {

namespace {

using E = EditEnabling;

constexpr EditCommandSpec kCommands[] = {
    {editcmd::SaveIntoPage, "&Update Page", "Ctrl+S",
     "Write the compound image back into its page\nUpdate page", E::Page, false},
    {editcmd::SaveAsPage, "Save as &HTML Page...", "Ctrl+Shift+S",
     "Save the compound image as an HTML page of its own\nSave as HTML page", E::Always, false},
    {editcmd::CanvasProperties, "Compound Image &Properties...", "",
     "Compound image properties\nProperties", E::Always, false},
    {editcmd::InsertImage, "&Image...", "", "Insert image\nInsert image", E::Always, false},
    {editcmd::InsertBackground, "&Background Image...", "",
     "Insert background image\nInsert background image", E::Always, false},
    {editcmd::InsertText, "&Text", "", "Insert text\nInsert text", E::Always, false},
    {editcmd::PasteImage, "&Paste Image", "Ctrl+V", "Paste image\nPaste image", E::Always, false},
    {editcmd::Copy, "&Copy", "Ctrl+C", "Copy the selection and put it on the Clipboard\nCopy",
     E::Selection, false},
    {editcmd::Undo, "&Undo", "Ctrl+Z", "Undo the last action\nUndo", E::CanUndo, false},
    {editcmd::Redo, "&Redo", "Ctrl+Y", "Redo the previously undone action\nRedo", E::CanRedo,
     false},
    {editcmd::Delete, "&Delete", "", "Delete current region\nDelete", E::Selection, false},
    {editcmd::ObjectProperties, "&Object Properties...", "Alt+Return",
     "Edit object properties\nObject properties", E::Selection, false},
    {editcmd::SaveObjectAs, "Save &Object As...", "", "Save object as..\nSave object as",
     E::Selection, false},
    {editcmd::Export, "&Export Object...", "", "Export current image\nExport image", E::Selection,
     false},
    {editcmd::CopyBitmap, "Copy as &Bitmap", "",
     "Copy Compound Image on Clipboard as Bitmap\nCopy as bitmap", E::Always, false},
    {editcmd::CopyHtml, "Copy as HTML &Source", "",
     "Copy Compound Image on Clipboard as HTML Source text.\nCopy as HTML", E::Objects, false},
    {editcmd::RectangleTool, "&Rectangle Region", "",
     "Rectangle type image mapping region.\nRectangle region", E::Always, true},
    {editcmd::CircleTool, "C&ircle Region", "", "Circle type image mapping region.\nCircle region",
     E::Always, true},
    {editcmd::PolygonTool, "P&olygon Region", "",
     "Polygon type image mapping region\nPolygon region", E::Always, true},
    {editcmd::ZoomTool, "&Zoom Tool", "", "Zoom in and zoom out the image.\nZoom", E::Always, true},
    {editcmd::SelectTool, "S&elect Tool", "", "Select mode\nSelect", E::Always, true},
    {editcmd::SaveBackground, "Save Back&ground As...", "",
     "Save background as image file\nSave background", E::Always, false},
    {editcmd::Minimise, "&Minimize Dimensions", "", "Minimize Compound image dimensions\nMinimize",
     E::Objects, false},
    {editcmd::ZoomIn, "Zoom &In", "Ctrl++", "Zoom in\nZoom in", E::Always, false},
    {editcmd::ZoomOut, "Zoom O&ut", "Ctrl+-", "Zoom out\nZoom out", E::Always, false},
    {editcmd::ActualSize, "&Actual Pixels", "Ctrl+Shift+0", "Show at 100 %\nActual pixels",
     E::Always, false},
    {editcmd::Help, "Compound Image &Help", "", "Help on the compound image window\nHelp",
     E::Always, false},
};

} // namespace

std::span<const EditCommandSpec> EditCommandTable() {
    return kCommands;
}

const EditCommandSpec* FindEditCommand(int id) {
    for (const EditCommandSpec& spec : kCommands) {
        if (spec.id == id) {
            return &spec;
        }
    }
    return nullptr;
}

bool IsEditCommandEnabled(EditEnabling rule, const EditCommandState& state) {
    switch (rule) {
    case EditEnabling::Always:
        return true;
    case EditEnabling::Selection:
        return state.selection;
    case EditEnabling::Picture:
        return state.selection && state.picture;
    case EditEnabling::CanUndo:
        return state.canUndo;
    case EditEnabling::CanRedo:
        return state.canRedo;
    case EditEnabling::Objects:
        return state.objects;
    case EditEnabling::Page:
        return state.page;
    }
    return false;
}

std::string EditPromptText(int id) {
    const EditCommandSpec* spec = FindEditCommand(id);
    if (spec == nullptr) {
        return {};
    }
    const char* newline = std::strchr(spec->prompt, '\n');
    return newline == nullptr ? std::string(spec->prompt) : std::string(spec->prompt, newline);
}

} // namespace pixmill
