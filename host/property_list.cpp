#include "host/property_list.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace pixmill {

CPropertyList::~CPropertyList() = default;

namespace {

// --- writing ---------------------------------------------------------------

void AppendList(std::string& out, CPropertyList* list);

void AppendValue(std::string& out, CPropertyList* list, int i, int type, int element) {
    const PropertyCell cell = list->GetValue(i, element);
    switch (type) {
    case CPropertyList::SignedType:
        out += std::to_string(cell.i);
        break;
    case CPropertyList::UnsignedType:
        // Written unsigned, so that values of 2^31 and above read back.
        out += std::to_string(cell.u);
        break;
    case CPropertyList::DoubleType: {
        // Always a "." whatever the locale, which the reader needs.
        char text[400];
        const auto result =
            std::to_chars(text, text + sizeof(text), cell.d, std::chars_format::fixed, 4);
        if (result.ec == std::errc()) {
            out.append(text, result.ptr);
        } else {
            out += '0';
        }
        break;
    }
    case CPropertyList::StringType:
        // The format has no escape: a double quote inside a string would end
        // it early and swallow the properties after it, so it is left out.
        out += '"';
        for (const char* p = cell.s; p != nullptr && *p != '\0'; ++p) {
            if (*p != '"') {
                out += *p;
            }
        }
        out += '"';
        break;
    case CPropertyList::ListType:
        out += '{';
        if (cell.list != nullptr) {
            AppendList(out, cell.list);
        }
        out += '}';
        break;
    default:
        break;
    }
}

void AppendList(std::string& out, CPropertyList* list) {
    const int count = list->GetCount();
    for (int i = 0; i < count; ++i) {
        const int type = list->GetType(i);
        if (type < CPropertyList::SignedType || type > CPropertyList::ListType) {
            continue;
        }
        const char* name = list->GetName(i);
        out += name != nullptr ? name : "";
        const int size = list->GetArraySize(i);
        if (size <= 0) {
            out += '=';
            AppendValue(out, list, i, type, 0);
        } else {
            out += '[';
            out += std::to_string(size);
            out += "]={";
            for (int j = 0; j < size; ++j) {
                if (j > 0) {
                    out += ',';
                }
                AppendValue(out, list, i, type, j);
            }
            out += '}';
        }
        out += ';';
    }
}

// --- reading ---------------------------------------------------------------

// Tracks whether a position is inside double quotes or braces. A quote
// toggles; braces count only outside quotes; a stray "}" is ignored.
struct NestingState {
    bool inQuotes = false;
    int depth = 0;
    void Take(char c) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && c == '{') {
            ++depth;
        } else if (!inQuotes && c == '}' && depth > 0) {
            --depth;
        }
    }
    bool Outside() const { return !inQuotes && depth == 0; }
};

// The position of the first `target` at or after `from` that stands outside
// quotes and braces, or text.size().
size_t FindOutside(std::string_view text, size_t from, char target) {
    NestingState state;
    for (size_t k = from; k < text.size(); ++k) {
        if (text[k] == target && state.Outside()) {
            return k;
        }
        state.Take(text[k]);
    }
    return text.size();
}

std::string Keep(std::string_view text, const char* extra) {
    std::string kept;
    for (char c : text) {
        if ((c >= '0' && c <= '9') || (c != '\0' && std::strchr(extra, c) != nullptr)) {
            kept += c;
        }
    }
    return kept;
}

int32_t ParseSigned(std::string_view text) {
    const std::string kept = Keep(text, "-");
    long long value = std::strtoll(kept.c_str(), nullptr, 10);
    value = std::clamp<long long>(value, INT32_MIN, INT32_MAX);
    return static_cast<int32_t>(value);
}

uint32_t ParseUnsigned(std::string_view text) {
    const std::string kept = Keep(text, "");
    uint64_t value = 0;
    for (char c : kept) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) {
            return UINT32_MAX;
        }
    }
    return static_cast<uint32_t>(value);
}

double ParseDouble(std::string_view text) {
    const std::string kept = Keep(text, "-.");
    double value = 0;
    const auto result = std::from_chars(kept.data(), kept.data() + kept.size(), value);
    return result.ec == std::errc() ? value : 0.0;
}

void ReadList(CPropertyList* list, std::string_view text);

// Parses one value's text by type into cell (whose current value came from
// GetValue) and hands it to SetValue.
void ApplyValue(CPropertyList* list, int i, int type, int element, std::string_view text) {
    PropertyCell cell = list->GetValue(i, element);
    std::string stringValue;
    switch (type) {
    case CPropertyList::SignedType:
        cell = PropertyCell::Signed(ParseSigned(text));
        break;
    case CPropertyList::UnsignedType:
        cell = PropertyCell::Unsigned(ParseUnsigned(text));
        break;
    case CPropertyList::DoubleType:
        cell = PropertyCell::Double(ParseDouble(text));
        break;
    case CPropertyList::StringType: {
        const size_t first = text.find('"');
        const size_t last = text.rfind('"');
        if (first != std::string_view::npos && last > first) {
            stringValue = text.substr(first + 1, last - first - 1);
        }
        cell = PropertyCell::String(stringValue.c_str());
        break;
    }
    case CPropertyList::ListType: {
        NestingState state;
        size_t open = std::string_view::npos;
        size_t close = std::string_view::npos;
        for (size_t k = 0; k < text.size(); ++k) {
            if (!state.inQuotes && text[k] == '{' && open == std::string_view::npos) {
                open = k;
            } else if (!state.inQuotes && text[k] == '}') {
                close = k;
            }
            state.Take(text[k]);
        }
        if (cell.list != nullptr && open != std::string_view::npos &&
            close != std::string_view::npos && close > open) {
            ReadList(cell.list, text.substr(open + 1, close - open - 1));
        }
        break;
    }
    default:
        return;
    }
    list->SetValue(i, cell, element);
}

int FindName(CPropertyList* list, const std::string& name) {
    const int count = list->GetCount();
    for (int i = 0; i < count; ++i) {
        const char* candidate = list->GetName(i);
        if (candidate != nullptr && name == candidate) {
            return i;
        }
    }
    return -1;
}

void ReadSegment(CPropertyList* list, std::string_view segment) {
    if (segment.find('=') == std::string_view::npos) {
        return;
    }
    std::string name;
    size_t k = 0;
    for (; k < segment.size() && segment[k] != '=' && segment[k] != '['; ++k) {
        const auto c = static_cast<unsigned char>(segment[k]);
        if (c >= 33 && c <= 127) {
            name += static_cast<char>(c);
        }
    }
    const int i = FindName(list, name);
    if (i < 0) {
        return;
    }
    const int type = list->GetType(i);
    if (segment[k] == '=') {
        ApplyValue(list, i, type, 0, segment.substr(k + 1));
        return;
    }
    // Array form: name[count]={element,element,...}
    const size_t closeBracket = segment.find(']', k);
    if (closeBracket == std::string_view::npos) {
        return;
    }
    const uint32_t count = ParseUnsigned(segment.substr(k + 1, closeBracket - k - 1));
    const int size = static_cast<int>(std::min<uint32_t>(count, INT_MAX));
    list->SetArraySize(i, size);
    const size_t openBrace = segment.find('{', closeBracket);
    if (openBrace == std::string_view::npos) {
        return;
    }
    size_t position = openBrace + 1;
    // Elements beyond the announced count are not handed to the object: its
    // array has just been sized to that count.
    for (int j = 0; j < size && position < segment.size() && segment[position] != '}'; ++j) {
        const size_t end = FindOutside(segment, position, ',');
        ApplyValue(list, i, type, j, segment.substr(position, end - position));
        position = end + 1;
    }
}

void ReadList(CPropertyList* list, std::string_view text) {
    NestingState state;
    size_t start = 0;
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == ';' && state.Outside()) {
            if (k == start) {
                return; // an empty segment ends the text
            }
            ReadSegment(list, text.substr(start, k - start));
            start = k + 1;
        } else {
            state.Take(text[k]);
        }
    }
}

} // namespace

void WriteProperties(CPropertyList* list, char* buffer, size_t* length) {
    if (length == nullptr) {
        return;
    }
    std::string text;
    if (list != nullptr) {
        AppendList(text, list);
    }
    if (buffer == nullptr) {
        *length = text.size();
        return;
    }
    const size_t written = std::min(text.size(), *length);
    std::memcpy(buffer, text.data(), written);
    buffer[written] = '\0';
    *length = written;
}

std::string PropertiesText(CPropertyList* list) {
    std::string text;
    if (list != nullptr) {
        AppendList(text, list);
    }
    return text;
}

void ReadProperties(CPropertyList* list, const char* text) {
    if (list != nullptr && text != nullptr) {
        ReadList(list, text);
    }
}

} // namespace pixmill
