// The desktop program's command vocabulary, declared once: identifier, menu
// text, shortcut, status-bar prompt (the text before "\n") and tool tip (after
// it), and the rule that enables the command. The main window builds its
// menus and toolbar from this table and binds a handler to each identifier.
#pragma once

#include <span>
#include <string>

namespace pixmill {

namespace cmd {
enum : int {
    NewCompound = 57600,
    ImageMap = 32821,
    Open = 57601,
    Close = 57602,
    Save = 57603,
    SaveAs = 57604,
    Preferences = 32774,
    RecentFile = 57616,
    Exit = 57665,
    Undo = 57643,
    Redo = 57644,
    Crop = 32794,
    Copy = 57634,
    Paste = 57639,
    SelectAll = 57642,
    ToggleToolbar = 59392,
    ToggleStatusBar = 59393,
    ZoomIn = 32771,
    ZoomOut = 32772,
    ActualPixels = 32833,
    FitToWindow = 32837,
    ZoomTool = 32782,
    SelectTool = 32820,
    Cascade = 57650,
    TileHorizontally = 57651,
    TileVertically = 57652,
    CloseAll = 32785,
    ZoomedTile = 32834,
    Browse = 32835,
    About = 57664,
    TwainSelectSource = 32779,
    TwainAcquire = 32780,
    SaneScan = 32836,
    BatchOpen = 32832,
    ExportCurrent = 32801,
    ExportAll = 32831,
    BatchProcessing = 32777,
    HelpContents = 57666,
};
} // namespace cmd

// What must hold for a command to be enabled.
enum class Enabling {
    Always,
    Document,      // an image window is active
    Selection,     // ... and it has a selection
    CanUndo,       // ... and its undo stack is not empty
    CanRedo,       // ... and its redo stack is not empty
    ZoomInRoom,    // ... below the last zoom step
    ZoomOutRoom,   // ... above the first zoom step
    NotActualSize, // ... not at 100 %
    Window         // any window (image or browser) is open
};

struct CommandState {
    bool document = false;
    bool selection = false;
    bool canUndo = false;
    bool canRedo = false;
    double zoom = 100.0;
    bool windows = false; // the area holds a window
};

struct CommandSpec {
    int id;
    const char* text;     // menu text with "&" marks
    const char* shortcut; // portable key sequence text, "" for none
    const char* prompt;   // "status prompt\ntool tip", "" for none
    Enabling enabling;
};

std::span<const CommandSpec> CommandTable();
const CommandSpec* FindCommand(int id);
bool IsCommandEnabled(Enabling rule, const CommandState& state);
// The status-bar part and the tool-tip part of a prompt.
std::string PromptText(const CommandSpec& spec);
std::string ToolTipText(const CommandSpec& spec);

} // namespace pixmill
