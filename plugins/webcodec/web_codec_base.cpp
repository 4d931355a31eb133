#include "web_codec_base.h"

#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/scope_guards.h"
#include "pixmill/stream.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace pixmill::web {

namespace {
constexpr int kMaxDimension = 65535;
constexpr size_t kReadStep = 1 << 16;
} // namespace

void WebCodecBase::Fail(int code) {
    DropWork();
    host->RaiseImageError(code);
    throw CVImageError(code); // not reached: the host raises
}

void WebCodecBase::FailDamaged(bool cutShort, const std::string& detail) {
    const std::string name = plugin != nullptr ? plugin->GetName(false) : "picture";
    std::string reason = cutShort ? "the file ends before the " + name + " picture does (cut short)"
                                  : "the " + name + " data is damaged";
    if (!detail.empty() && !cutShort) {
        reason += " (" + detail + ")";
    }
    DropWork();
    host->RaiseImageErrorDetail(CVImageError::ReadError, reason.c_str());
    throw CVImageError(CVImageError::ReadError); // not reached: the host raises
}

void WebCodecBase::BeginRead(CVImage* target, CVStream* source) {
    DropWork();
    Reset();
    image = target;
    stream = source;
    bottomUp = true;
    // From the current position to the end, in steps, so that a stream that
    // cannot tell its length is read as well.
    size_t size = 0;
    for (;;) {
        if (input.size() < size + kReadStep) {
            if (size + kReadStep > kMaxFileBytes) {
                Fail(CVImageError::DimensionsTooLarge);
            }
            input.resize(size + kReadStep);
        }
        const size_t got = stream->Read(input.data() + size, kReadStep);
        size += got;
        if (got == 0) {
            break;
        }
    }
    input.resize(size);
}

void WebCodecBase::BeginWriteOf(const CVImage* source, const int* parameter) {
    DropWork();
    Reset();
    FormatCodecBase::BeginWrite(source, parameter);
}

void WebCodecBase::CreatePicture(const PictureInfo& info, const SIZE* maxSize) {
    if (info.width > kMaxDimension || info.height > kMaxDimension) {
        Fail(CVImageError::DimensionsTooLarge);
    }
    CheckPictureSize(info.width, info.height); // the host's pixel limit
    // A host error (no memory for the pixels): the work goes.
    OnExit drop([this] { DropWork(); });
    const TransparencyInfo* transparency =
        info.transparency.hasColor != 0 ? &info.transparency : nullptr;
    if (maxSize != nullptr && (info.width > maxSize->cx || info.height > maxSize->cy)) {
        preview = true;
        const SIZE fit = host->FitSize(info.width, info.height, maxSize->cx, maxSize->cy);
        image->Create(fit.cx, fit.cy, info.depth, info.colors, transparency);
    } else {
        image->Create(info.width, info.height, info.depth, info.colors, transparency,
                      maxSize == nullptr ? info.xPelsPerMeter : 0,
                      maxSize == nullptr ? info.yPelsPerMeter : 0);
    }
    drop.Dismiss();
    if (info.depth <= 8) {
        std::copy(std::begin(info.palette), std::end(info.palette), image->palette);
    }
    PrepareRows(info.width, info.height);
}

void WebCodecBase::Finish(CVProgress* progress, CVStream* measured) {
    if (progress != nullptr) {
        progress->End();
    }
    const int64_t length = measured->Seek(0, CVStream::FromEnd);
    writtenSize = static_cast<int>(std::min<int64_t>(length, std::numeric_limits<int>::max()));
}

void WebCodecBase::WriteBytes(CVStream* output, const uint8_t* data, size_t size) {
    stream = output;
    while (size > 0) {
        const size_t piece = std::min<size_t>(size, std::numeric_limits<int32_t>::max());
        if (output->Write(data, piece) != piece) {
            Fail(CVImageError::WriteError);
        }
        data += piece;
        size -= piece;
    }
}

} // namespace pixmill::web
