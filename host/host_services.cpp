#include "host/host_services.h"

#include "host/settings_store.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/user_interface.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace pixmill {

HostServices::HostServices(SettingsStore& store, CUserInterface* service, std::string tempDirectory)
    : memory(std::move(tempDirectory)), settings(store), ui(service) {
    // A settings file may raise the limit, never switch it off: only a
    // whole number from 1 to 2^34 pixels (a 131072 x 131072 picture) is
    // taken; anything else ("-1", "0", "1e99") keeps the default.
    constexpr unsigned long long kLargestLimit = 1ull << 34;
    if (const auto stored = settings.ReadText(SettingsStore::kSettingsSection, "MaxImagePixels")) {
        const std::string& text = *stored;
        const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
        // Past the range (an overflow gives the largest number) keeps the default.
        const unsigned long long value = digits ? std::strtoull(text.c_str(), nullptr, 10) : 0;
        if (value >= 1 && value <= kLargestLimit) {
            maxImagePixels = value;
        }
    }
}

void HostServices::RaiseImageErrorDetail(int code, const char* detail) {
    throw CVImageError(code, detail);
}

void HostServices::ReportDamage(const char* what) {
    const std::string text = what != nullptr ? what : "damaged data";
    if (damagePolicy == DamagePolicy::Refuse) {
        damageReports.push_back(text);
        throw CVImageError(CVImageError::ReadError, text.c_str());
    }
    damageReports.push_back(text);
    const std::string message =
        "The picture may be incomplete: " + text + ".";
    if (ui != nullptr) {
        ui->ShowMessage("Image warning", message.c_str(), MessageIcon::Warning);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

void HostServices::BindMetadata(const CVImage* image, ImageMetadata* record, bool fillable) {
    boundMetadata[image] = {record, fillable};
}

void HostServices::UnbindMetadata(const CVImage* image) {
    boundMetadata.erase(image);
}

void HostServices::PutImageMetadata(const CVImage* image, int kind, const uint8_t* data,
                                    size_t size) {
    const auto found = boundMetadata.find(image);
    if (found == boundMetadata.end() || !found->second.fillable || data == nullptr ||
        (kind != MetadataIcc && kind != MetadataExif)) {
        return;
    }
    ImageMetadata& record = *found->second.record;
    auto& target = kind == MetadataIcc ? record.icc : record.exif;
    target.assign(data, data + size);
}

const uint8_t* HostServices::GetImageMetadata(const CVImage* image, int kind, size_t* size) {
    *size = 0;
    const auto found = boundMetadata.find(image);
    if (found == boundMetadata.end() || (kind != MetadataIcc && kind != MetadataExif)) {
        return nullptr;
    }
    const ImageMetadata& record = *found->second.record;
    const auto& bytes = kind == MetadataIcc ? record.icc : record.exif;
    if (bytes.empty()) {
        return nullptr;
    }
    *size = bytes.size();
    return bytes.data();
}

std::vector<std::string> HostServices::TakeDamageReports() {
    return std::exchange(damageReports, {});
}

HostServices::~HostServices() = default;

void HostServices::RaiseImageError(int code) {
    throw CVImageError(code);
}

void HostServices::MakeTempName(char* out, size_t capacity) {
    const std::string name = memory.NextTempName();
    std::snprintf(out, capacity, "%s", name.c_str());
}

void HostServices::LoadSettings(const char* name, void* buffer, uint32_t size, int) {
    const auto stored = settings.ReadBinary(SettingsStore::kSettingsSection, name);
    // A value of another length belongs to another version of the block:
    // the caller's defaults stay.
    if (stored && stored->size() == size) {
        std::memcpy(buffer, stored->data(), size);
    }
}

void HostServices::SaveSettings(const char* name, const void* buffer, uint32_t size, int) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    settings.WriteBinary(SettingsStore::kSettingsSection, name, Bytes(bytes, bytes + size));
}

bool HostServices::LoadSettingsText(const char* name, char* buffer, size_t capacity) {
    const auto stored = settings.ReadText(SettingsStore::kSettingsSection, name);
    if (capacity > 0) {
        std::snprintf(buffer, capacity, "%s", stored ? stored->c_str() : "");
    }
    return stored.has_value();
}

void HostServices::SaveSettingsText(const char* name, const char* text) {
    settings.WriteText(SettingsStore::kSettingsSection, name, text);
}

SIZE HostServices::FitSize(int width, int height, int maxWidth, int maxHeight) {
    return FitSizeInBox(width, height, maxWidth, maxHeight);
}

void HostServices::ScaleLines(const RECT* band, const uint8_t* rows) {
    scaler.Lines(band, rows);
}

void HostServices::ScaleBegin(CVImage* image, SIZE sourceSize, bool bottomUp) {
    scaler.Begin(image, sourceSize, bottomUp);
}

bool HostServices::RunOperationDialog(CProcessingPlugin* plugin, const CVImage* image) {
    // Without a user interface (headless runs) the stored settings apply.
    return ui == nullptr ? true : ui->RunOperationDialog(plugin, image);
}

SIZE FitSizeInBox(int w, int h, int W, int H) {
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0) {
        return SIZE{0, 0};
    }
    const int64_t a = (static_cast<int64_t>(w / h) << 16) + w % h;
    const int64_t b = (static_cast<int64_t>(W / H) << 16) + W % H;
    auto roundWidth = [&] {
        return static_cast<int>(std::lround(w / (static_cast<double>(h) / H)));
    };
    auto roundHeight = [&] {
        return static_cast<int>(std::lround(h / (static_cast<double>(w) / W)));
    };
    if (a < b) {
        const int width = std::max(roundWidth(), 1);
        if (width <= W) {
            return SIZE{width, H};
        }
        return SIZE{W, roundHeight()};
    }
    const int height = std::max(roundHeight(), 1);
    if (height <= H) {
        return SIZE{W, height};
    }
    return SIZE{roundWidth(), H};
}

// The binding of a picture's metadata record is the host's: its members
// live here, beside BindMetadata and UnbindMetadata.
MetadataBinding::MetadataBinding(const CVImage& image, ImageMetadata* record, Use use)
    : image(&image) {
    if (record != nullptr && use == ReadAnew) {
        record->Clear();
    }
    Bind(record, true);
}

MetadataBinding::MetadataBinding(const CVImage& image, const ImageMetadata* record)
    : image(&image) {
    Bind(const_cast<ImageMetadata*>(record), false); // never filled: bound read-only
}

void MetadataBinding::Bind(ImageMetadata* record, bool fillable) {
    if (record != nullptr) {
        host = dynamic_cast<HostServices*>(image->host);
        if (host != nullptr) {
            host->BindMetadata(image, record, fillable);
        }
    }
}

MetadataBinding::~MetadataBinding() {
    if (host != nullptr) {
        host->UnbindMetadata(image);
    }
}

} // namespace pixmill
