#include "pixmill/errors.h"
#include "pixmill/user_interface.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pixmill {

CQorelError::CQorelError() {
    message[0] = '\0';
}

CQorelError::CQorelError(const char* text) {
    SetMessage(text);
}

CQorelError::~CQorelError() = default;

const char* CQorelError::Report(bool) {
    return message;
}

void CQorelError::SetMessage(const char* text) {
    std::snprintf(message, sizeof message, "%s", text ? text : "");
}

const char* CQorelError::ShowAndReturn(bool show) {
    if (show) {
        if (CUserInterface* ui = GetUserInterface()) {
            ui->ShowMessage(Caption(), message, MessageIcon::Stop);
        } else {
            std::fprintf(stderr, "%s: %s\n", Caption(), message);
        }
    }
    return message;
}

// ---------------------------------------------------------------- image errors

const char* CVImageError::MessageOf(int code) {
    static const char* const texts[] = {
        "Image file write error",
        "Image file read error",
        "Mismatched image format",
        "Unsupported image format",
        "Out of memory",
        "File open error",
        "Image dimensions too large",
        "User break",
    };
    return code >= 0 && code < 8 ? texts[code] : "";
}

CVImageError::CVImageError(int code) : code(code) {
    // The string table holds at most 128 characters per message.
    char text[129];
    std::snprintf(text, sizeof text, "%s", MessageOf(code));
    SetMessage(text);
}

CVImageError::CVImageError(int code, const char* detail) : code(code) {
    char text[kMessageSize];
    std::snprintf(text, sizeof text, "%s: %s", MessageOf(code), detail);
    SetMessage(text);
}

CVImageError::~CVImageError() = default;

const char* CVImageError::Report(bool show) {
    return ShowAndReturn(show);
}

// --------------------------------------------------------------- memory errors

CVMemoryError CVMemoryError::Allocation(size_t size) {
    CVMemoryError e;
    std::snprintf(e.message, sizeof e.message, "Insufficient memory for allocation %zu bytes",
                  size);
    return e;
}

CVMemoryError CVMemoryError::Reallocation(const void* block, size_t size) {
    CVMemoryError e;
    std::snprintf(e.message, sizeof e.message,
                  "Insufficient memory for reallocation %p memory for %zu bytes", block, size);
    return e;
}

CVMemoryError CVMemoryError::CantShare(const void* block) {
    CVMemoryError e;
    std::snprintf(e.message, sizeof e.message, "Can't share memory block %p", block);
    return e;
}

CVMemoryError::~CVMemoryError() = default;

const char* CVMemoryError::Report(bool show) {
    return ShowAndReturn(show);
}

// ----------------------------------------------------------------- file errors

namespace {
const char* FileMessageFormat(int code) {
    switch (code) {
    case 183:
        return "Cannot create a file %s when that file already exists.";
    case 2:
        return "The system cannot find the file %s";
    case 3:
        return "The system cannot find the path %s";
    case 4:
        return "The system cannot open the file %s";
    case 5:
        return "Access to %s is denied.";
    case 15:
        return "The system cannot find the drive %s";
    case 19:
        return "The file %s is write protected.";
    case 25:
        return "The file %s cannot locate a specific area.";
    case 29:
        return "The system cannot write to the %s.";
    case 30:
        return "The system cannot read from the %s";
    case 32:
        return "The file %s is being used by another process.";
    case 33:
        return "The file %s is locked by another process.";
    case 38:
        return "Reached the end of the file %s.";
    case 39:
        return "The disk is full.";
    case 206:
        return "The name %s is too long (a file name may have at most 255 bytes, a path 4095).";
    default:
        return nullptr;
    }
}
} // namespace

CVFileError::CVFileError(int code, const char* name) : code(code), fileName(name ? name : "") {
    if (const char* format = FileMessageFormat(code)) {
        std::snprintf(message, sizeof message, format, fileName.c_str());
    } else {
        // Codes outside the table: the system's own description.
        std::snprintf(message, sizeof message, "File error %d on %s", code, fileName.c_str());
    }
}

CVFileError::~CVFileError() = default;

int CVFileError::WindowsCodeOf(int err) {
    switch (err) {
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case ENAMETOOLONG:
        return 206;
    case ELOOP:
        return 3;
    case EMFILE:
    case ENFILE:
    case EISDIR:
        return 4;
    case EACCES:
    case EPERM:
        return 5;
    case ENXIO:
    case ENODEV:
        return 15;
    case EROFS:
        return 19;
    case ESPIPE:
    case EINVAL:
        return 25;
    case EBUSY:
    case ETXTBSY:
        return 32;
    case EAGAIN:
        return 33;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return 39;
    case EEXIST:
        return 183;
    case EIO:
        return 30;
    default:
        return 0;
    }
}

CVFileError CVFileError::FromErrno(int err, const char* name) {
    int code = WindowsCodeOf(err);
    if (code != 0) {
        return CVFileError(code, name);
    }
    CVFileError e(0, name);
    if (err == EINTR) {
        // A signal (Ctrl+C, a FIFO's reader that never came) stopped the wait.
        std::snprintf(e.message, sizeof e.message,
                      "%s: the work was interrupted before the file could be opened, read or "
                      "written",
                      name ? name : "");
    } else {
        std::snprintf(e.message, sizeof e.message, "%s: %s", name ? name : "", std::strerror(err));
    }
    return e;
}

CVFileError CVFileError::Refused(const char* name, const char* text) {
    CVFileError e(0, name);
    e.SetMessage(text);
    return e;
}

const char* CVFileError::Report(bool show) {
    return ShowAndReturn(show);
}

// --------------------------------------------------------- user-interface hook

namespace {
CUserInterface* g_userInterface = nullptr;
}

CUserInterface::~CUserInterface() = default;
CUserInterface* GetUserInterface() {
    return g_userInterface;
}
void SetUserInterface(CUserInterface* ui) {
    g_userInterface = ui;
}

} // namespace pixmill
