#include "desktop/commands.h"

#include "desktop/image_display.h"

#include <cstring>

namespace pixmill {

namespace {

constexpr CommandSpec kCommands[] = {
    {cmd::NewCompound, "&Compound Image", "", "Create a new compound image\nNew compound image",
     Enabling::Always},
    {cmd::ImageMap, "Create image &map", "",
     "Edit the active image as a compound image with image-map regions\nCreate image map",
     Enabling::Document},
    {cmd::Open, "&Open...", "Ctrl+O", "Open an existing document\nOpen", Enabling::Always},
    {cmd::Close, "&Close", "", "Close the active document\nClose", Enabling::Window},
    {cmd::Browse, "B&rowse", "Ctrl+Shift+B", "Image Browser\nBrowse Image Files", Enabling::Always},
    {cmd::Save, "&Save", "Ctrl+S", "Save the active document\nSave", Enabling::Document},
    {cmd::SaveAs, "Save &As...", "Ctrl+Shift+S",
     "Save the active document with a new name\nSave As", Enabling::Document},
    {cmd::Preferences, "&Preferences...", "", "Preferences\nPreferences", Enabling::Always},
    {cmd::RecentFile, "Recent File", "", "Open this document", Enabling::Always},
    {cmd::Exit, "E&xit", "", "Quit the application; prompts to save documents\nExit",
     Enabling::Always},
    {cmd::Undo, "&Undo", "Ctrl+Z", "Undo the last action\nUndo", Enabling::CanUndo},
    {cmd::Redo, "&Redo", "Ctrl+Y", "Redo the previously undone action\nRedo", Enabling::CanRedo},
    {cmd::Crop, "C&rop", "Ctrl+X", "Crop image\nCrop", Enabling::Selection},
    {cmd::Copy, "&Copy", "Ctrl+C", "Copy the selection and put it on the Clipboard\nCopy",
     Enabling::Selection},
    {cmd::Paste, "&Paste", "Ctrl+V", "Paste as New Document\nPaste", Enabling::Always},
    {cmd::SelectAll, "Select All", "Ctrl+A", "Select the entire document\nSelect All",
     Enabling::Document},
    {cmd::ToggleToolbar, "&Toolbar", "", "Show or hide the toolbar\nToggle ToolBar",
     Enabling::Always},
    {cmd::ToggleStatusBar, "&Status Bar", "", "Show or hide the status bar\nToggle StatusBar",
     Enabling::Always},
    {cmd::ZoomIn, "Zoom In", "Ctrl++", "", Enabling::ZoomInRoom},
    {cmd::ZoomOut, "Zoom Out", "Ctrl+-", "", Enabling::ZoomOutRoom},
    {cmd::ActualPixels, "&Actual Pixels", "Ctrl+Shift+0", "", Enabling::NotActualSize},
    {cmd::FitToWindow, "&Fit to Window", "Ctrl+0",
     "Zoom so that the whole picture fits the window\nFit to Window", Enabling::Document},
    {cmd::ZoomTool, "&Zoom Tool", "", "Zoom in with the left button, out with the right\nZoom",
     Enabling::Always},
    {cmd::SelectTool, "S&elect Tool", "", "Select a rectangle of the image\nSelect",
     Enabling::Always},
    {cmd::Cascade, "&Cascade", "", "Arrange windows so they overlap\nCascade Windows",
     Enabling::Window},
    {cmd::TileHorizontally, "Tile &Horizontally", "",
     "Arrange windows as non-overlapping tiles\nTile Windows", Enabling::Window},
    {cmd::TileVertically, "Tile &Vertically", "",
     "Arrange windows as non-overlapping tiles\nTile Windows", Enabling::Window},
    {cmd::CloseAll, "Close A&ll", "", "Close all documents\nClose All", Enabling::Window},
    {cmd::ZoomedTile, "&Zoomed Tile", "", "Zoomed Tile", Enabling::Window},
    {cmd::TwainSelectSource, "&Select source...", "", "Select TWAIN source", Enabling::Always},
    {cmd::TwainAcquire, "&TWAIN_32", "", "Acquire image from scaner or camera", Enabling::Always},
    {cmd::SaneScan, "S&can (SANE)...", "", "Scan images with a scanner\nScan", Enabling::Always},
    {cmd::BatchOpen, "Ba&tch Open", "Ctrl+Shift+O", "Open images from Batch Source\nBatch Open",
     Enabling::Always},
    {cmd::ExportCurrent, "&Current Image", "Ctrl+E", "Export current image\nExport image",
     Enabling::Document},
    {cmd::ExportAll, "All Images", "", "Export all images on the desktop\nExport all images",
     Enabling::Document},
    {cmd::BatchProcessing, "&Batch Processing...", "Ctrl+B",
     "Run Batch processing\nBatch processing", Enabling::Always},
    {cmd::About, "&About...", "",
     "Display program information, version number and copyright\nAbout", Enabling::Always},
    {cmd::HelpContents, "&Contents", "F1", "Contents Help\nContents Help", Enabling::Always},
};

} // namespace

std::span<const CommandSpec> CommandTable() {
    return kCommands;
}

const CommandSpec* FindCommand(int id) {
    for (const CommandSpec& spec : kCommands) {
        if (spec.id == id) {
            return &spec;
        }
    }
    return nullptr;
}

bool IsCommandEnabled(Enabling rule, const CommandState& state) {
    switch (rule) {
    case Enabling::Always:
        return true;
    case Enabling::Document:
        return state.document;
    case Enabling::Selection:
        return state.document && state.selection;
    case Enabling::CanUndo:
        return state.document && state.canUndo;
    case Enabling::CanRedo:
        return state.document && state.canRedo;
    case Enabling::ZoomInRoom:
        return state.document && ZoomKey(state.zoom) < kZoomSteps.back();
    case Enabling::ZoomOutRoom:
        return state.document && ZoomKey(state.zoom) > kZoomSteps.front();
    case Enabling::Window:
        return state.windows;
    case Enabling::NotActualSize:
        return state.document && ZoomKey(state.zoom) != 10000;
    }
    return false;
}

std::string PromptText(const CommandSpec& spec) {
    const char* newline = std::strchr(spec.prompt, '\n');
    return newline == nullptr ? std::string(spec.prompt) : std::string(spec.prompt, newline);
}

std::string ToolTipText(const CommandSpec& spec) {
    const char* newline = std::strchr(spec.prompt, '\n');
    return newline == nullptr ? std::string() : std::string(newline + 1);
}

} // namespace pixmill
