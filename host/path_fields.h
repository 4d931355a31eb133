// Path helpers and the checks of file-name and directory fields in dialogs.
// Paths use "/"; there are no drive letters on this system, so a path that
// starts with one ("c:...") names a drive that does not exist. The checks are
// Qt-free: they return the outcome and the message the dialog shows (with the
// exclamation icon) before it puts the focus back into the field.
#pragma once

#include <functional>
#include <string>

namespace pixmill {

// False for a null or empty path; else whether the path is a directory.
bool dirExists(const char* path);
// False for a null or empty path; else whether the path exists and is not a
// directory.
bool FileExists(const char* path);
// Leading blanks skipped; a path without a drive letter is valid, one with a
// drive letter is valid when that drive exists.
bool isValidDriveInPath(const char* path);
// Whether the drive with this letter exists (never, here).
bool DriveExists(char letter);

// Trims trailing blanks and appends "/" unless the path already ends with a
// separator.
void AddTrailingSlash(std::string& path);
// The parts of a path: "/a/b/photo.tar.gz" has the directory "/a/b/", the
// name "photo.tar", the extension ".gz" (with its dot).
std::string NameOf(const std::string& path);
std::string ExtensionOf(const std::string& path);
std::string NameWithExtension(const std::string& path);
std::string DirectoryOf(const std::string& path);
// Whether the extension is ".gif", ".png", ".jpg" or ".jpeg", in any case.
bool IsWebImageName(const std::string& name);
// Creates every missing directory level of path. False, creating nothing,
// for an empty path, an existing directory or a path on a drive letter;
// false at the first level that cannot be made.
bool CreatePath(const std::string& path);

struct FieldCheck {
    bool accepted = true;
    std::string message; // shown when not accepted
    std::string value;   // the text as the dialog keeps it
};

inline constexpr size_t kMaxFileNameLength = 250;

// A file name without directory: trimmed on both sides; not empty, no control
// characters or \ / < > : | ", at most 250 characters. value is the trimmed
// text.
FieldCheck CheckFileNameField(const std::string& text);

// An optional directory: empty (or blank) is accepted as empty. Otherwise the
// directory (value, with a trailing "/") must exist or, after askYesNo(question)
// answers yes, be created.
FieldCheck CheckDirectoryField(const std::string& text,
                               const std::function<bool(const std::string&)>& askYesNo);

} // namespace pixmill
