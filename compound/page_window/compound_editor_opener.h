// How the page window opens a compound image window on one of its objects
// without knowing the editor's classes: the editor gets the image, a title
// and the function it calls when the user saves the image into the page.
#pragma once

#include "compound/compound_image.h"
#include "compound/save_into_page.h"

#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace pixmill {

// SaveIntoPage (compound/save_into_page.h) writes the edited image into
// the page it came from; false (with the reason, empty when the user
// cancelled) when nothing was written.

// Opens a compound image window and returns it (null when none opened). The
// page window watches the returned widget: its destruction ends the edit.
using CompoundEditorOpener = std::function<QWidget*(CompoundImage image, const QString& title,
                                                    SaveIntoPage saveIntoPage, QWidget* parent)>;

// Opens a picture file in the program's image window (null when it could not
// be opened).
using ImageFileOpener = std::function<QWidget*(const QString& path)>;

} // namespace pixmill
