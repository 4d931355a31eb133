// Help pages: one HTML page per topic number in the "help" folder beside the
// program, opened in the desktop's browser.
#pragma once

namespace pixmill {

// Opens the page of topic when it exists; returns whether it was opened.
bool OpenHelpPage(int topic);

} // namespace pixmill
