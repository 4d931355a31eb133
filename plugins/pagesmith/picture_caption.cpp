#include "picture_caption.h"

#include "pixmill/side_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace pixmill::pagesmith {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Folded(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string WithoutExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// XML text with its five entities and numeric references (as UTF-8) undone.
std::string XmlText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t end = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (end == std::string::npos || end - i > 10) {
            out += text[i];
            continue;
        }
        const std::string entity = text.substr(i + 1, end - i - 1);
        static const std::pair<const char*, char> named[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool known = false;
        for (const auto& [name, c] : named) {
            if (entity == name) {
                out += c;
                known = true;
            }
        }
        if (!known && entity.size() > 1 && entity[0] == '#') {
            const unsigned long code = entity[1] == 'x' || entity[1] == 'X'
                                           ? std::strtoul(entity.c_str() + 2, nullptr, 16)
                                           : std::strtoul(entity.c_str() + 1, nullptr, 10);
            if (code > 0 && code < 0x110000) {
                AppendUtf8(out, static_cast<uint32_t>(code));
                known = true;
            }
        }
        if (!known) {
            out += text[i];
            continue;
        }
        i = end;
    }
    return out;
}

// The first rdf:li text inside the XMP element `name` (dc:title holds an
// rdf:Alt of languages; the first is the default one).
std::string XmpValue(const std::string& xmp, const char* name) {
    const size_t open = xmp.find(std::string("<") + name);
    if (open == std::string::npos) {
        return {};
    }
    const size_t close = xmp.find(std::string("</") + name, open);
    const size_t item = xmp.find("<rdf:li", open);
    if (item == std::string::npos || (close != std::string::npos && item > close)) {
        return {};
    }
    const size_t start = xmp.find('>', item);
    const size_t end = xmp.find("</rdf:li>", item);
    if (start == std::string::npos || end == std::string::npos || end < start) {
        return {};
    }
    return Trimmed(XmlText(xmp.substr(start + 1, end - start - 1)));
}

// UTF-16LE (the XP tags) as UTF-8; surrogate pairs joined.
std::string Utf16ToUtf8(const uint8_t* data, size_t size) {
    std::string out;
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t code = data[i] | uint32_t{data[i + 1]} << 8;
        if (code == 0) {
            break;
        }
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < size) {
            const uint32_t low = data[i + 2] | uint32_t{data[i + 3]} << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, code);
    }
    return out;
}

// Cameras fill ImageDescription with their own name in capitals ("... DIGITAL
// CAMERA"): that says nothing about the picture.
bool IsCameraFiller(const std::string& text) {
    const bool lowerCase = std::any_of(text.begin(), text.end(), [](char c) {
        return std::islower(static_cast<unsigned char>(c)) != 0;
    });
    return !lowerCase && text.find("CAMERA") != std::string::npos;
}

// The first directory of TIFF-structured bytes: ImageDescription (ASCII),
// XPTitle and XPSubject (UTF-16LE bytes). Every offset is checked.
void ReadTiffDirectory(const std::vector<uint8_t>& tiff, Caption& exifTitle,
                       std::string& imageDescription) {
    if (tiff.size() < 8 || !((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M'))) {
        return;
    }
    const bool little = tiff[0] == 'I';
    const auto u16 = [&](size_t at) -> uint32_t {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    const auto u32 = [&](size_t at) -> uint32_t {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    const size_t directory = u32(4);
    if (directory + 2 > tiff.size()) {
        return;
    }
    const size_t count = u16(directory);
    for (size_t k = 0; k < count; ++k) {
        const size_t entry = directory + 2 + k * 12;
        if (entry + 12 > tiff.size()) {
            return;
        }
        const uint32_t tag = u16(entry), type = u16(entry + 2), n = u32(entry + 4);
        if ((type != 2 && type != 1 && type != 7) || n > (1u << 20)) {
            continue;
        }
        const size_t at = n <= 4 ? entry + 8 : u32(entry + 8);
        if (at > tiff.size() || n > tiff.size() - at) {
            continue;
        }
        const uint8_t* bytes = tiff.data() + at;
        if (tag == 0x010E) {
            imageDescription = Trimmed(std::string(reinterpret_cast<const char*>(bytes),
                                                   strnlen(reinterpret_cast<const char*>(bytes), n)));
            if (IsCameraFiller(imageDescription)) {
                imageDescription.clear();
            }
        } else if (tag == 0x9C9B) {
            exifTitle.title = Trimmed(Utf16ToUtf8(bytes, n));
        } else if (tag == 0x9C9F) {
            exifTitle.description = Trimmed(Utf16ToUtf8(bytes, n));
        }
    }
}

} // namespace

std::map<std::string, Caption> ParseCaptions(const std::string& text) {
    std::map<std::string, Caption> captions;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (captions.empty() && line.rfind("\xEF\xBB\xBF", 0) == 0) {
            line.erase(0, 3); // a byte order mark some editors write
        }
        const std::string trimmed = Trimmed(line);
        if (trimmed.empty() || trimmed[0] == '#') {
            continue;
        }
        const size_t bar = trimmed.find('|');
        if (bar == std::string::npos) {
            continue;
        }
        const std::string name = Folded(Trimmed(trimmed.substr(0, bar)));
        const std::string rest = trimmed.substr(bar + 1);
        const size_t second = rest.find('|');
        Caption caption;
        caption.title = Trimmed(rest.substr(0, second));
        if (second != std::string::npos) {
            caption.description = Trimmed(rest.substr(second + 1));
        }
        if (!name.empty()) {
            captions[name] = caption;
        }
    }
    return captions;
}

Caption ReadStoredCaption(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    uint8_t head[4] = {};
    if (!in.read(reinterpret_cast<char*>(head), 4)) {
        return {};
    }
    std::vector<uint8_t> exif;
    std::string xmp;
    if (head[0] == 0xFF && head[1] == 0xD8) {
        // JPEG: the APP1 segments before the picture data.
        in.seekg(2);
        uint8_t marker[4];
        while (in.read(reinterpret_cast<char*>(marker), 4) && marker[0] == 0xFF &&
               marker[1] != 0xDA && marker[1] != 0xD9) {
            const size_t length = size_t{marker[2]} << 8 | marker[3];
            if (length < 2) {
                break;
            }
            std::vector<uint8_t> segment(length - 2);
            if (!in.read(reinterpret_cast<char*>(segment.data()),
                         static_cast<std::streamsize>(segment.size()))) {
                break;
            }
            if (marker[1] != 0xE1) {
                continue;
            }
            static const char kXmp[] = "http://ns.adobe.com/xap/1.0/";
            if (segment.size() > 6 && std::memcmp(segment.data(), "Exif\0\0", 6) == 0) {
                exif.assign(segment.begin() + 6, segment.end());
            } else if (segment.size() > sizeof kXmp &&
                       std::memcmp(segment.data(), kXmp, sizeof kXmp) == 0) {
                xmp.assign(segment.begin() + sizeof kXmp, segment.end());
            }
        }
    } else if ((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M')) {
        // TIFF: the file is TIFF-structured itself; its first directory
        // lies within the first megabytes of any file a camera writes.
        in.seekg(0);
        exif.resize(4u << 20);
        in.read(reinterpret_cast<char*>(exif.data()), static_cast<std::streamsize>(exif.size()));
        exif.resize(static_cast<size_t>(in.gcount()));
    }
    Caption caption;
    caption.title = XmpValue(xmp, "dc:title");
    caption.description = XmpValue(xmp, "dc:description");
    Caption exifTitle;
    std::string imageDescription;
    ReadTiffDirectory(exif, exifTitle, imageDescription);
    if (caption.title.empty()) {
        caption.title = !exifTitle.title.empty() ? exifTitle.title : imageDescription;
    }
    if (caption.description.empty()) {
        caption.description = exifTitle.description;
        if (caption.description.empty() && caption.title != imageDescription) {
            caption.description = imageDescription;
        }
    }
    return caption;
}

Caption CaptionSource::For(const std::string& sourcePath) {
    if (sourcePath.empty()) {
        return {};
    }
    const size_t slash = sourcePath.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : sourcePath.substr(0, slash + 1);
    const std::string name = sourcePath.substr(slash == std::string::npos ? 0 : slash + 1);
    auto found = folders.find(folder);
    if (found == folders.end()) {
        std::map<std::string, Caption> captions;
        try {
            captions = ParseCaptions(ReadSideFile(folder + kCaptionsFileName, "the captions file"));
        } catch (CQorelError&) {
            // No captions file (or one that is not a text): the pictures'
            // own titles count.
        }
        found = folders.emplace(folder, std::move(captions)).first;
    }
    for (const std::string& key : {Folded(name), Folded(WithoutExtension(name))}) {
        if (const auto line = found->second.find(key); line != found->second.end()) {
            return line->second;
        }
    }
    return ReadStoredCaption(sourcePath);
}

} // namespace pixmill::pagesmith
