#include "acquisition/sane_client.h"

#include "host/host_services.h"
#include "pixmill/cv_image.h"
#include "pixmill/progress.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace pixmill {

namespace {

SANE_Handle Handle(void* handle) {
    return static_cast<SANE_Handle>(handle);
}

void Check(SANE_Status status, const char* what) {
    if (status != SANE_STATUS_GOOD) {
        throw SaneError(what, status);
    }
}

// The picture of one page as it arrives: 8-bit samples, top-down rows,
// one sample per pixel (grey, lineart as 0 and 255) or three (red, green,
// blue).
struct Canvas {
    int width = 0;
    int height = 0;
    int channels = 0;
    bool lineart = false;
    std::vector<uint8_t> samples;

    uint8_t* Row(int y) {
        const size_t rowBytes = size_t(width) * size_t(channels);
        if (samples.size() < rowBytes * size_t(y + 1)) {
            samples.resize(rowBytes * size_t(y + 1));
        }
        return samples.data() + rowBytes * size_t(y);
    }
};

// Sample i of a line, reduced to 8 bits. One-bit grey is lineart, where a
// set bit is black; one-bit colour sets a bit for full intensity.
uint8_t SampleAt(const uint8_t* line, int depth, int i, bool lineart) {
    switch (depth) {
    case 1: {
        const bool set = ((line[i / 8] >> (7 - i % 8)) & 1) != 0;
        return (set != lineart) ? 255 : 0;
    }
    case 16: {
        uint16_t value;
        std::memcpy(&value, line + size_t(i) * 2, 2); // host byte order
        return static_cast<uint8_t>(value >> 8);
    }
    default:
        return line[i];
    }
}

void PutLine(Canvas& canvas, const SANE_Parameters& p, const uint8_t* line, int y) {
    uint8_t* row = canvas.Row(y);
    const int width = canvas.width;
    switch (p.format) {
    case SANE_FRAME_GRAY:
        for (int x = 0; x < width; ++x) {
            row[x] = SampleAt(line, p.depth, x, canvas.lineart);
        }
        break;
    case SANE_FRAME_RGB:
        for (int i = 0; i < width * 3; ++i) {
            row[i] = SampleAt(line, p.depth, i, false);
        }
        break;
    default: {
        const int channel = p.format == SANE_FRAME_RED ? 0 : p.format == SANE_FRAME_GREEN ? 1 : 2;
        for (int x = 0; x < width; ++x) {
            row[x * 3 + channel] = SampleAt(line, p.depth, x, false);
        }
        break;
    }
    }
}

bool ContainsNoCase(std::string text, const char* part) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find(part) != std::string::npos;
}

} // namespace

SaneError::SaneError(const char* what, int status) : status(status) {
    char text[kMessageSize];
    std::snprintf(text, sizeof text, "%s: %s", what,
                  sane_strstatus(static_cast<SANE_Status>(status)));
    SetMessage(text);
}

const char* SaneError::Report(bool show) {
    return ShowAndReturn(show);
}

std::string SaneDeviceInfo::Label() const {
    std::string label = vendor;
    if (!model.empty()) {
        label += (label.empty() ? "" : " ") + model;
    }
    return label + " (" + name + ")";
}

std::string SaneOption::UnitText() const {
    switch (unit) {
    case SANE_UNIT_PIXEL:
        return "pixels";
    case SANE_UNIT_BIT:
        return "bits";
    case SANE_UNIT_MM:
        return "mm";
    case SANE_UNIT_DPI:
        return "dpi";
    case SANE_UNIT_PERCENT:
        return "%";
    case SANE_UNIT_MICROSECOND:
        return "\xC2\xB5s";
    default:
        return "";
    }
}

std::vector<SaneOption> ScanDialogOptions(const std::vector<SaneOption>& options) {
    static const char* const kShown[] = {
        SANE_NAME_SCAN_SOURCE, SANE_NAME_SCAN_MODE, SANE_NAME_BIT_DEPTH, SANE_NAME_SCAN_RESOLUTION,
        SANE_NAME_SCAN_TL_X,   SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_X, SANE_NAME_SCAN_BR_Y};
    std::vector<SaneOption> shown;
    for (const SaneOption& option : options) {
        const bool wanted = std::any_of(std::begin(kShown), std::end(kShown),
                                        [&](const char* name) { return option.name == name; });
        const bool single = option.values == 1 && option.kind != SaneOption::Kind::Button &&
                            option.kind != SaneOption::Kind::Group;
        if (wanted && single && option.active && option.settable) {
            shown.push_back(option);
        }
    }
    return shown;
}

SaneClient::SaneClient() {
    SANE_Int version = 0;
    Check(sane_init(&version, nullptr), "The scanner library did not start");
}

SaneClient::~SaneClient() {
    sane_exit();
}

std::vector<SaneDeviceInfo> SaneClient::Devices(bool localOnly) {
    const SANE_Device** list = nullptr;
    Check(sane_get_devices(&list, localOnly ? SANE_TRUE : SANE_FALSE),
          "The scanners could not be listed");
    std::vector<SaneDeviceInfo> devices;
    for (; list != nullptr && *list != nullptr; ++list) {
        const SANE_Device& d = **list;
        devices.push_back({d.name != nullptr ? d.name : "", d.vendor != nullptr ? d.vendor : "",
                           d.model != nullptr ? d.model : "", d.type != nullptr ? d.type : ""});
    }
    return devices;
}

std::unique_ptr<SaneDevice> SaneClient::Open(const std::string& name) {
    SANE_Handle handle = nullptr;
    Check(sane_open(name.c_str(), &handle), "The scanner could not be opened");
    return std::unique_ptr<SaneDevice>(new SaneDevice(handle, name));
}

SaneDevice::~SaneDevice() {
    sane_close(Handle(handle));
}

std::vector<SaneOption> SaneDevice::Options() const {
    std::vector<SaneOption> options;
    SANE_Int count = 0;
    if (sane_control_option(Handle(handle), 0, SANE_ACTION_GET_VALUE, &count, nullptr) !=
        SANE_STATUS_GOOD) {
        return options;
    }
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(Handle(handle), i);
        if (d == nullptr) {
            continue;
        }
        SaneOption option;
        option.index = i;
        option.name = d->name != nullptr ? d->name : "";
        option.title = d->title != nullptr ? d->title : "";
        option.description = d->desc != nullptr ? d->desc : "";
        option.unit = d->unit;
        option.active = SANE_OPTION_IS_ACTIVE(d->cap);
        option.settable = SANE_OPTION_IS_SETTABLE(d->cap);
        option.advanced = (d->cap & SANE_CAP_ADVANCED) != 0;
        switch (d->type) {
        case SANE_TYPE_BOOL:
            option.kind = SaneOption::Kind::Bool;
            break;
        case SANE_TYPE_INT:
            option.kind = SaneOption::Kind::Int;
            option.values = std::max<int>(1, d->size / int(sizeof(SANE_Word)));
            break;
        case SANE_TYPE_FIXED:
            option.kind = SaneOption::Kind::Fixed;
            option.values = std::max<int>(1, d->size / int(sizeof(SANE_Word)));
            break;
        case SANE_TYPE_STRING:
            option.kind = SaneOption::Kind::String;
            break;
        case SANE_TYPE_BUTTON:
            option.kind = SaneOption::Kind::Button;
            break;
        default:
            option.kind = SaneOption::Kind::Group;
            break;
        }
        const bool fixed = d->type == SANE_TYPE_FIXED;
        auto number = [fixed](SANE_Word w) { return fixed ? SANE_UNFIX(w) : double(w); };
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range != nullptr) {
            option.constraint = SaneOption::Constraint::Range;
            option.minimum = number(d->constraint.range->min);
            option.maximum = number(d->constraint.range->max);
            option.quantum = number(d->constraint.range->quant);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST &&
                   d->constraint.word_list != nullptr) {
            option.constraint = SaneOption::Constraint::List;
            for (int k = 1; k <= d->constraint.word_list[0]; ++k) {
                option.numbers.push_back(number(d->constraint.word_list[k]));
            }
        } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST &&
                   d->constraint.string_list != nullptr) {
            option.constraint = SaneOption::Constraint::List;
            for (const SANE_String_Const* s = d->constraint.string_list; *s != nullptr; ++s) {
                option.strings.emplace_back(*s);
            }
        }
        options.push_back(std::move(option));
    }
    return options;
}

const SaneOption* SaneDevice::Find(const std::vector<SaneOption>& options,
                                   const std::string& option) const {
    for (const SaneOption& candidate : options) {
        if (candidate.name == option) {
            return &candidate;
        }
    }
    return nullptr;
}

int SaneDevice::IndexOf(const std::string& option) const {
    SANE_Int count = 0;
    Check(sane_control_option(Handle(handle), 0, SANE_ACTION_GET_VALUE, &count, nullptr),
          "The scanner's options could not be read");
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(Handle(handle), i);
        if (d != nullptr && d->name != nullptr && option == d->name) {
            return i;
        }
    }
    throw SaneError(("No option \"" + option + "\"").c_str(), SANE_STATUS_UNSUPPORTED);
}

std::string SaneDevice::GetString(const std::string& option) const {
    const int index = IndexOf(option);
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(Handle(handle), index);
    if (d->type != SANE_TYPE_STRING) {
        throw SaneError(("Not a text option \"" + option + "\"").c_str(), SANE_STATUS_INVAL);
    }
    std::vector<char> value(size_t(std::max<SANE_Int>(d->size, 1)) + 1, '\0');
    Check(sane_control_option(Handle(handle), index, SANE_ACTION_GET_VALUE, value.data(), nullptr),
          "The scanner's option could not be read");
    return value.data();
}

double SaneDevice::GetNumber(const std::string& option) const {
    const int index = IndexOf(option);
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(Handle(handle), index);
    if (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED && d->type != SANE_TYPE_BOOL) {
        throw SaneError(("Not a number option \"" + option + "\"").c_str(), SANE_STATUS_INVAL);
    }
    // Arrays give their first value.
    std::vector<SANE_Word> value(size_t(std::max<SANE_Int>(d->size, 4)) / sizeof(SANE_Word) + 1);
    Check(sane_control_option(Handle(handle), index, SANE_ACTION_GET_VALUE, value.data(), nullptr),
          "The scanner's option could not be read");
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(value[0]) : double(value[0]);
}

void SaneDevice::SetString(const std::string& option, const std::string& value) {
    const int index = IndexOf(option);
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(Handle(handle), index);
    if (d->type != SANE_TYPE_STRING) {
        throw SaneError(("Not a text option \"" + option + "\"").c_str(), SANE_STATUS_INVAL);
    }
    // The library copies up to the option's size; the text must fit it.
    std::vector<char> buffer(size_t(std::max<SANE_Int>(d->size, 1)) + value.size() + 1, '\0');
    std::memcpy(buffer.data(), value.c_str(), value.size());
    if (value.size() >= size_t(d->size)) {
        throw SaneError(("Value too long for \"" + option + "\"").c_str(), SANE_STATUS_INVAL);
    }
    Check(sane_control_option(Handle(handle), index, SANE_ACTION_SET_VALUE, buffer.data(), nullptr),
          ("The scanner refused \"" + value + "\" for \"" + option + "\"").c_str());
}

void SaneDevice::SetNumber(const std::string& option, double value) {
    const int index = IndexOf(option);
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(Handle(handle), index);
    SANE_Word word;
    if (d->type == SANE_TYPE_FIXED) {
        word = SANE_FIX(value);
    } else if (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_BOOL) {
        word = static_cast<SANE_Word>(std::lround(value));
    } else {
        throw SaneError(("Not a number option \"" + option + "\"").c_str(), SANE_STATUS_INVAL);
    }
    // An array option takes the value in every element.
    std::vector<SANE_Word> words(size_t(std::max<SANE_Int>(d->size, 4)) / sizeof(SANE_Word), word);
    Check(sane_control_option(Handle(handle), index, SANE_ACTION_SET_VALUE, words.data(), nullptr),
          ("The scanner refused a value for \"" + option + "\"").c_str());
}

bool SaneDevice::FeedsPages() const {
    try {
        const std::string source = GetString(SANE_NAME_SCAN_SOURCE);
        return ContainsNoCase(source, "adf") || ContainsNoCase(source, "feeder") ||
               ContainsNoCase(source, "duplex");
    } catch (SaneError&) {
        return false; // no source option: one page
    }
}

int SaneDevice::Scan(HostServices& host, CVProgress* progress,
                     const std::function<void(CVImage&)>& page) {
    int pages = 0;
    try {
        for (;;) {
            CVImage image(&host);
            if (!ScanPage(host, progress, pages == 0, image)) {
                break;
            }
            ++pages;
            page(image);
            if (!FeedsPages()) {
                break;
            }
        }
    } catch (...) {
        sane_cancel(Handle(handle));
        throw;
    }
    sane_cancel(Handle(handle)); // ends the scan (and a feeder's batch)
    return pages;
}

bool SaneDevice::ScanPage(HostServices& host, CVProgress* progress, bool first, CVImage& image) {
    SANE_Status status = sane_start(Handle(handle));
    if (!first && status == SANE_STATUS_NO_DOCS) {
        return false; // the feeder is empty
    }
    Check(status, "The scan could not start");

    Canvas canvas;
    std::vector<uint8_t> buffer(64 * 1024);
    bool firstFrame = true;
    int workNext = 0;
    int64_t work = 0;
    for (;;) {
        SANE_Parameters p;
        Check(sane_get_parameters(Handle(handle), &p), "The scan parameters could not be read");
        const bool knownDepth = p.depth == 1 || p.depth == 8 || p.depth == 16;
        const bool knownFormat = p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB ||
                                 p.format == SANE_FRAME_RED || p.format == SANE_FRAME_GREEN ||
                                 p.format == SANE_FRAME_BLUE;
        const int samplesPerLine = p.pixels_per_line * (p.format == SANE_FRAME_RGB ? 3 : 1);
        if (!knownDepth || !knownFormat || p.pixels_per_line < 1 ||
            int64_t(p.bytes_per_line) * 8 < int64_t(samplesPerLine) * p.depth) {
            throw SaneError("The scanner sends pictures of an unknown kind",
                            SANE_STATUS_UNSUPPORTED);
        }
        if (p.pixels_per_line > 65535 || p.lines > 65535 ||
            (p.lines > 0 &&
             uint64_t(p.pixels_per_line) * uint64_t(p.lines) > host.MaxImagePixels())) {
            throw CVImageError(CVImageError::DimensionsTooLarge);
        }
        if (firstFrame) {
            canvas.width = p.pixels_per_line;
            canvas.channels = p.format == SANE_FRAME_GRAY ? 1 : 3;
            canvas.lineart = p.format == SANE_FRAME_GRAY && p.depth == 1;
            if (progress != nullptr) {
                // A scanner that does not know the height gets an estimate.
                const int64_t lines = p.lines > 0 ? p.lines : 2000;
                const int frames =
                    p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB ? 1 : 3;
                const int64_t total =
                    std::max<int64_t>(1, int64_t(p.bytes_per_line) * lines * frames);
                workNext = progress->Begin(0, 100, 0, int(std::min<int64_t>(total, 1 << 30)));
            }
        } else if (p.pixels_per_line != canvas.width || canvas.channels != 3 ||
                   p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB) {
            throw SaneError("The scanner's frames do not match", SANE_STATUS_IO_ERROR);
        }

        std::vector<uint8_t> line(size_t(p.bytes_per_line));
        size_t filled = 0;
        int y = 0;
        for (;;) {
            SANE_Int length = 0;
            status = sane_read(Handle(handle), buffer.data(), SANE_Int(buffer.size()), &length);
            if (status == SANE_STATUS_EOF) {
                break;
            }
            Check(status, "The scan failed");
            for (SANE_Int at = 0; at < length;) {
                const size_t take = std::min(line.size() - filled, size_t(length - at));
                std::memcpy(line.data() + filled, buffer.data() + at, take);
                filled += take;
                at += SANE_Int(take);
                if (filled == line.size()) {
                    if (y >= 65535 ||
                        uint64_t(canvas.width) * uint64_t(y + 1) > host.MaxImagePixels()) {
                        throw CVImageError(CVImageError::DimensionsTooLarge);
                    }
                    PutLine(canvas, p, line.data(), y++);
                    filled = 0;
                }
            }
            work += length;
            while (progress != nullptr && work >= workNext) {
                workNext = progress->Step(nullptr);
            }
        }
        if (firstFrame) {
            canvas.height = y;
        } else if (y < canvas.height) {
            throw SaneError("The scanner's frames do not match", SANE_STATUS_IO_ERROR);
        }
        firstFrame = false;
        if (p.last_frame) {
            break;
        }
        Check(sane_start(Handle(handle)), "The scan could not go on");
    }
    if (canvas.height < 1) {
        throw SaneError("The scanner sent no picture", SANE_STATUS_IO_ERROR);
    }
    if (progress != nullptr) {
        progress->End();
    }

    int resolution = 0;
    try {
        resolution = static_cast<int>(std::lround(GetNumber(SANE_NAME_SCAN_RESOLUTION)));
    } catch (SaneError&) {
    }
    const int bitCount = canvas.lineart ? 1 : canvas.channels == 1 ? 8 : 24;
    image.Create(canvas.width, canvas.height, bitCount,
                 bitCount == 1   ? 2
                 : bitCount == 8 ? 256
                                 : 0,
                 nullptr);
    for (int i = 0; i < image.paletteCount; ++i) {
        const uint8_t level = static_cast<uint8_t>(bitCount == 1 ? i * 255 : i);
        image.palette[i] = RGBQUAD{level, level, level, 0};
    }
    if (resolution > 0) {
        image.SetResolution(resolution, resolution, 0);
    }
    for (int y = 0; y < canvas.height; ++y) {
        const uint8_t* source = canvas.Row(y);
        uint8_t* row = image.Row(y);
        switch (bitCount) {
        case 1:
            std::memset(row, 0, image.Stride());
            for (int x = 0; x < canvas.width; ++x) {
                if (source[x] != 0) {
                    row[x / 8] |= uint8_t(0x80 >> (x % 8));
                }
            }
            break;
        case 8:
            std::memcpy(row, source, size_t(canvas.width));
            break;
        default:
            for (int x = 0; x < canvas.width; ++x) {
                row[x * 3] = source[x * 3 + 2];
                row[x * 3 + 1] = source[x * 3 + 1];
                row[x * 3 + 2] = source[x * 3];
            }
            break;
        }
    }
    return true;
}

} // namespace pixmill
