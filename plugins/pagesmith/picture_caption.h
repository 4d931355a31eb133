// What a picture is called and what is said about it, for the gallery's
// pages: first the captions file beside the pictures, then the title and
// description stored in the picture (XMP, then EXIF), else nothing (the
// pages then use the file name without its extension).
//
// The captions file is "captions.txt" in the pictures' folder, UTF-8, one
// line per picture:
//     file name | title | description
// The file name is compared without regard to case, with or without its
// extension; the description may be left out; blanks around the fields go;
// empty lines and lines starting with "#" are skipped.
#pragma once

#include <map>
#include <string>

namespace pixmill::pagesmith {

struct Caption {
    std::string title, description;
};

inline constexpr const char* kCaptionsFileName = "captions.txt";

// The captions file's lines, keyed by the lower-case file name.
std::map<std::string, Caption> ParseCaptions(const std::string& text);

// The title and description stored in a JPEG or TIFF file: XMP dc:title
// and dc:description, then EXIF XPTitle, XPSubject and ImageDescription.
Caption ReadStoredCaption(const std::string& path);

// The captions of a run's pictures; each folder's captions file is read once.
class CaptionSource {
  public:
    // sourcePath: the picture's own file; "" gives an empty caption.
    Caption For(const std::string& sourcePath);

  private:
    std::map<std::string, std::map<std::string, Caption>> folders;
};

} // namespace pixmill::pagesmith
