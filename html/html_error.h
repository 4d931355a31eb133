// Errors of the HTML code. They form their own family beside the host's
// CQorelError: the HTML document catches both kinds when it parses.
#pragma once

#include "pixmill/win_types.h"

#include <string>

namespace pixmill {

// Thrown by HtmlSource::GetChar when the file is exhausted.
class PIXMILL_EXPORT Eof {};

class PIXMILL_EXPORT HtmlError {
  public:
    HtmlError(std::string message, int code);
    virtual ~HtmlError();

    // Sets the title from the string table entry of the code (or
    // "Error : errcode %d" when there is none); with show = true shows
    // title, a blank and the message in a message box captioned "Error".
    // Returns that text.
    const char* Report(bool show);

    const std::string& Message() const { return message; }
    const std::string& Title() const { return title; }
    int Code() const { return code; }

    // The text of an HTML string-table entry, or null.
    static const char* StringResource(int id);

  protected:
    std::string message;
    std::string title;
    int code;

  private:
    std::string report;
};

class PIXMILL_EXPORT HtmlParseError : public HtmlError {
  public:
    static constexpr int kCode = 62204;
    // "in file:\n %s\n, line number %d" with the file name and the number
    // of line feeds read so far.
    HtmlParseError(const std::string& fileName, int line);
    ~HtmlParseError() override;
    int Line() const { return line; }

  private:
    int line;
};

// A page stored as UTF-16 (it starts with a byte-order mark): the byte-wise
// parser would drop its NUL bytes and corrupt it, so it is refused.
class PIXMILL_EXPORT HtmlEncodingError : public HtmlError {
  public:
    static constexpr int kCode = 62205;
    explicit HtmlEncodingError(const std::string& fileName);
    ~HtmlEncodingError() override;
};

} // namespace pixmill
