// The text a reader of a page sees, as the parser understands the page: the
// body's text with blank runs made one blank (kept as written in
// preformatted text), nothing of the head, scripts, styles or comments, and
// a blank wherever a block starts or ends. Used to check that a page written
// back reads the same as the page that was read.
#pragma once

#include "html/html_document.h"

#include <string>

namespace pixmill {

std::string VisibleText(const HtmlDocument& document);

} // namespace pixmill
