// The names of a gallery's pages. The project output name gives the folder,
// the base name B (after the last "/" or "\", before the last ".") and the
// extension E (from the last "." on; ".htm" when there is none).
#pragma once

#include <string>

namespace pixmill::pagesmith {

class PageNames {
  public:
    explicit PageNames(const std::string& projectPath);

    const std::string& Folder() const { return folder; } // "" or ending with "/"
    const std::string& Base() const { return base; }
    const std::string& Extension() const { return extension; }

    // Thumbnail page index (0-based) of count pages: B + E for the first,
    // B + "L" + E for the last of several, B + index + E between.
    std::string Thumbnail(int index, int count) const;
    std::string Index() const { return base + "_c" + extension; }
    // The zip of the full-size pictures: B + ".zip".
    std::string Zip() const { return base + ".zip"; }
    // The zoom page of image number (1-based, run order).
    std::string Zoom(int number) const;
    // A page name with the folder before it.
    std::string Path(const std::string& name) const { return folder + name; }

  private:
    std::string folder, base, extension;
};

// The file name part of a path.
std::string FileNameOf(const std::string& path);
// A file name as a link target: bytes outside letters, digits and "-_.~/"
// are written as "%XX", so names with blanks, "#" or "?" still resolve.
std::string LinkTarget(const std::string& fileName);

} // namespace pixmill::pagesmith
