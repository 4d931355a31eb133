#include "host/path_fields.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace pixmill {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool HasDriveLetter(const char* path) {
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The file part of a path (after the last "/").
std::string FilePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool dirExists(const char* path) {
    struct stat info;
    return path != nullptr && *path != '\0' && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileExists(const char* path) {
    struct stat info;
    return path != nullptr && *path != '\0' && stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DriveExists(char) {
    return false;
}

bool isValidDriveInPath(const char* path) {
    if (path == nullptr) {
        return true;
    }
    while (*path == ' ') {
        ++path;
    }
    if (!HasDriveLetter(path)) {
        return true;
    }
    return DriveExists(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
}

void AddTrailingSlash(std::string& path) {
    while (!path.empty() && IsBlank(path.back())) {
        path.pop_back();
    }
    if (path.empty() || (path.back() != '/' && path.back() != '\\')) {
        path += '/';
    }
}

std::string NameOf(const std::string& path) {
    const std::string file = FilePart(path);
    const size_t dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string ExtensionOf(const std::string& path) {
    const std::string file = FilePart(path);
    const size_t dot = file.rfind('.');
    return dot == std::string::npos ? std::string() : file.substr(dot);
}

std::string NameWithExtension(const std::string& path) {
    return FilePart(path);
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsWebImageName(const std::string& name) {
    const std::string extension = Lower(ExtensionOf(name));
    return extension == ".gif" || extension == ".png" || extension == ".jpg" ||
           extension == ".jpeg";
}

bool CreatePath(const std::string& path) {
    if (path.empty() || dirExists(path.c_str()) || !isValidDriveInPath(path.c_str())) {
        return false;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start) {
            parts.push_back(path.substr(start, slash - start));
        }
        start = slash + 1;
    }
    std::string accumulated = path[0] == '/' ? "/" : "";
    size_t k = 0;
    // Walk down through the levels that exist already.
    while (k < parts.size() && dirExists((accumulated + parts[k]).c_str())) {
        accumulated += parts[k++] + "/";
    }
    for (; k < parts.size(); ++k) {
        accumulated += parts[k];
        if (mkdir(accumulated.c_str(), 0777) != 0 &&
            !(errno == EEXIST && dirExists(accumulated.c_str()))) {
            return false;
        }
        accumulated += "/";
    }
    return true;
}

FieldCheck CheckFileNameField(const std::string& text) {
    FieldCheck check;
    check.value = Trimmed(text);
    if (check.value.empty()) {
        check.accepted = false;
        check.message = "This field can't be empty";
        return check;
    }
    for (char c : check.value) {
        const auto code = static_cast<unsigned char>(c);
        if ((code >= 1 && code <= 31) || c == '\\' || c == '/' || c == '<' || c == '>' ||
            c == ':' || c == '|' || c == '"') {
            check.accepted = false;
            check.message = "File name contains invalid characters";
            return check;
        }
    }
    if (check.value.size() > kMaxFileNameLength) {
        check.accepted = false;
        check.message = "File name is too long";
    }
    return check;
}

FieldCheck CheckDirectoryField(const std::string& text,
                               const std::function<bool(const std::string&)>& askYesNo) {
    FieldCheck check;
    // A blank field means no directory, like an empty one (rather than the
    // root, which is what adding the separator would make of it).
    if (Trimmed(text).empty()) {
        return check;
    }
    check.value = text;
    AddTrailingSlash(check.value);
    if (dirExists(check.value.c_str())) {
        return check;
    }
    check.accepted = false;
    if (!isValidDriveInPath(check.value.c_str())) {
        check.message = "Path\n " + check.value + " \nisn't valid";
        return check;
    }
    const std::string question =
        "Directory:\n " + check.value + "\n doesn't exist.\n Do you want to create it?";
    if (!askYesNo || !askYesNo(question)) {
        check.message = "You should specify directory or leave this field empty";
        return check;
    }
    if (!CreatePath(check.value)) {
        check.message = "Fail to create directory " + check.value;
        return check;
    }
    check.accepted = true;
    return check;
}

} // namespace pixmill
