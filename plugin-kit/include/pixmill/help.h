// Help pages: one HTML page per topic number in the "help" folder beside the
// program, opened in the desktop's browser. Controls carry their topic in the
// property kHelpIdProperty; F1 in a window opens the focused control's topic,
// or the window's own when the control has none.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace pixmill {

inline constexpr char kHelpIdProperty[] = "helpId";

// The help folder: $PIXMILL_HELP_DIR when set, else "help" beside the program.
QString HelpFolder();
// <help folder>/<topic>.html, whether or not it exists.
QString HelpPagePath(int topic);
// Opens the page of topic when it exists and returns whether it was opened.
// Without a page the contents open instead, with the topic asked for in the
// query ("index.html?topic=N"), and the answer is false.
bool OpenHelpPage(int topic);
// Opens index.html, the table of contents.
bool OpenHelpContents();

// When no program could show a help page, the text saying so goes to the
// object named kHelpFailureReporter among the application's children (its
// invokable Report(QString)), which the desktop program shows as a message;
// without one it goes to standard error. An object rather than a function:
// every plug-in carries its own copy of this code, and all of them find it.
inline constexpr char kHelpFailureReporter[] = "pixmillHelpFailureReporter";

// The help topic of control: its own kHelpIdProperty or that of the nearest
// parent below window; 0 when none of them has one.
int ContextHelpId(const QWidget* control, const QWidget* window);
// F1 anywhere in window opens the focused control's topic, or calls
// windowHelp (the window's own Help) when the control has none.
void InstallContextHelp(QWidget* window, std::function<void()> windowHelp);

} // namespace pixmill
