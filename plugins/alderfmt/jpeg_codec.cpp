#include "jpeg_codec.h"

#include "jpeg_decoder.h"
#include "jpeg_metadata.h"
#include "pixmill/alpha_rule.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/scope_guards.h"
#include "pixmill/stream.h"
#include "size_target.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <jerror.h>

namespace pixmill::alder {

JpegCodec::JpegCodec(CFormatPlugin* plugin, CPluginHost* host, const JpegSettings* settings,
                     const JpegTargetSettings* target)
    : FormatCodecBase(plugin, host), settings(settings), target(target), encoder(host) {}

JpegCodec::~JpegCodec() {
    Discard();
}

void JpegCodec::Discard() {
    DestroyDecoder(decoder);
    decoder = nullptr;
    inks.reset();
}

void JpegCodec::DecodingFailed() {
    std::exception_ptr streamError = decoder != nullptr ? decoder->streamError : nullptr;
    const std::string fatal = decoder != nullptr ? decoder->fatal : "";
    const int fatalCode = decoder != nullptr ? decoder->fatalCode : 0;
    Discard();
    if (streamError) {
        std::rethrow_exception(streamError);
    }
    // libjpeg's words in brackets, for whoever reports the file.
    if (fatalCode == JERR_OUT_OF_MEMORY) {
        host->RaiseImageError(CVImageError::OutOfMemory);
    }
    if (fatalCode == JERR_BAD_PRECISION || fatalCode == JERR_NOT_COMPILED) {
        host->RaiseImageErrorDetail(
            CVImageError::UnsupportedFormat,
            ("a kind of JPEG this reader does not support (" + fatal + ")").c_str());
    }
    if (!fatal.empty()) {
        host->RaiseImageErrorDetail(CVImageError::ReadError,
                                    ("the JPEG data is damaged (" + fatal + ")").c_str());
    }
    host->RaiseImageError(CVImageError::ReadError);
    throw CVImageError(CVImageError::ReadError); // not reached: the host raises
}

// ------------------------------------------------------------------ reading

SIZE JpegCodec::ReadHeader(CVImage* target, CVStream* input, const SIZE* maxSize) {
    Discard();
    Reset();
    image = target;
    stream = input;
    bottomUp = true;
    decoder = CreateDecoder(input, host->ScratchAlloc(kInputBufferSize));
    if (decoder == nullptr) {
        host->RaiseImageError(CVImageError::ReadError);
    }
    int result = 0;
    if (!DecoderReadHeader(decoder, &result)) {
        DecodingFailed();
    }
    if (result != JPEG_HEADER_OK) {
        Discard();
        host->RaiseImageError(CVImageError::ReadError);
    }
    jpeg_decompress_struct& info = decoder->info;
    const bool storedAsInks =
        info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const std::vector<uint8_t> profile = HandOverMetadata(info, host, target, storedAsInks);
    int bitCount = 24;
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        info.out_color_space = JCS_GRAYSCALE;
        bitCount = 8;
        break;
    case JCS_YCbCr:
    case JCS_RGB:
        info.out_color_space = JCS_EXT_BGR;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        // libjpeg gives CMYK for both; ReadRows turns the inks into sRGB,
        // through the file's profile when it has one. Files with an Adobe
        // marker store the inks inverted, as all common writers do.
        info.out_color_space = JCS_CMYK;
        inks = std::make_unique<InkConverter>(profile.data(), profile.size(),
                                              info.saw_Adobe_marker != 0);
        break;
    default:
        Discard();
        host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    const int width = static_cast<int>(info.image_width);
    const int height = static_cast<int>(info.image_height);
    headerSize = SIZE{width, height};
    {
        OnExit discardTooLarge([this] { Discard(); });
        CheckPictureSize(width, height);
        discardTooLarge.Dismiss();
    }
    // A host error while the image is made: the decoder goes.
    OnExit discard([this] { Discard(); });
    int xDensity = info.X_density, yDensity = info.Y_density;
    if (info.density_unit == 0) {
        // Only the aspect ratio is known (also without a JFIF header).
        xDensity = yDensity = 0;
    } else if (info.density_unit == 2) {
        xDensity *= 100;
        yDensity *= 100;
    } else {
        xDensity = static_cast<int>(std::lround(xDensity * 39.37007874015748));
        yDensity = static_cast<int>(std::lround(yDensity * 39.37007874015748));
    }
    // A largest size that is exactly the picture at 1/2, 1/4 or 1/8 (sides
    // rounded up, as the decoder rounds) is a reduced decode that an
    // operation resamples further: the scaled inverse DCT gives it with no
    // band scaling after it.
    int exactScale = 0;
    for (int scale = 2; maxSize != nullptr && scale <= 8; scale *= 2) {
        if ((width + scale - 1) / scale == maxSize->cx &&
            (height + scale - 1) / scale == maxSize->cy) {
            exactScale = scale;
        }
    }
    if (maxSize == nullptr) {
        info.dct_method = JDCT_ISLOW;
        image->Create(width, height, bitCount, bitCount == 8 ? 256 : 0, nullptr, xDensity,
                      yDensity);
    } else if (exactScale > 0) {
        info.dct_method = JDCT_ISLOW;
        info.scale_num = 1;
        info.scale_denom = static_cast<unsigned int>(exactScale);
        image->Create(maxSize->cx, maxSize->cy, bitCount, bitCount == 8 ? 256 : 0, nullptr,
                      xDensity, yDensity);
    } else {
        info.dct_method = JDCT_IFAST;
        preview = true;
        SIZE fit{width, height};
        if (maxSize->cx < width || maxSize->cy < height) {
            fit = host->FitSize(width, height, maxSize->cx, maxSize->cy);
            if (fit.cx > 0 && fit.cy > 0) {
                const double ratio = std::min(static_cast<double>(width) / fit.cx,
                                              static_cast<double>(height) / fit.cy);
                info.scale_num = 1;
                info.scale_denom = ratio >= 8 ? 8 : ratio >= 4 ? 4 : ratio >= 2 ? 2 : 1;
            }
        }
        image->Create(fit.cx, fit.cy, bitCount, bitCount == 8 ? 256 : 0, nullptr);
    }
    if (bitCount == 8) {
        RGBQUAD ramp[256];
        for (int i = 0; i < 256; ++i) {
            ramp[i] = RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                              static_cast<uint8_t>(i), 0};
        }
        image->SetPalette(ramp);
    }
    discard.Dismiss();
    if (!DecoderCalcOutputDimensions(decoder)) {
        DecodingFailed();
    }
    PrepareRows(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    return headerSize;
}

void JpegCodec::ReadRows(CVProgress* progress, int firstPercent, int lastPercent) {
    const jpeg_decompress_struct& info = decoder->info;
    const int rows = static_cast<int>(info.output_height);
    const bool cmyk = info.out_color_space == JCS_CMYK;
    if (cmyk) {
        cmykRow.resize(4 * static_cast<size_t>(info.output_width));
    }
    uint8_t* row = BeginRows(progress, firstPercent, lastPercent, rows,
                             CVImage::StrideOf(image->BitCount(), decodedSize.cx));
    for (int y = 0; y < rows; ++y) {
        if (!DecoderReadRow(decoder, cmyk ? cmykRow.data() : row)) {
            DecodingFailed();
        }
        if (cmyk) {
            inks->Row(cmykRow.data(), row, static_cast<int>(info.output_width));
        }
        row = RowWritten(row, progress);
    }
    EndRows(row, progress);
}

// Buffered-image display of a multi-scan file: the picture is shown after
// the target scans and then with everything the file holds.
void JpegCodec::ReadProgressive(CVProgress* progress) {
    jpeg_decompress_struct& info = decoder->info;
    const bool greyPicture = info.out_color_space == JCS_GRAYSCALE;
    constexpr int kAll = 0;
    const int colourTargets[5] = {1, 5, 9, 12, kAll};
    const int greyTargets[5] = {1, 2, 5, 12, kAll};
    const int* targets = greyPicture ? greyTargets : colourTargets;
    const int firstSpan = greyPicture ? 30 : 20;
    for (int pass = 0; pass < 5; ++pass) {
        const int first = pass == 0 ? 0 : firstSpan + (pass - 1) * 20;
        const int last = std::min(100, pass == 0 ? firstSpan : first + 20);
        // Take in the input up to the start of the target scan (or all of
        // it), so that the pass knows which coefficients are still to come:
        // block smoothing then never touches a picture that is complete.
        const int target = targets[pass];
        while (!jpeg_input_complete(&info) && (target == kAll || info.input_scan_number < target)) {
            int result = 0;
            if (!DecoderConsumeInput(decoder, &result)) {
                DecodingFailed();
            }
        }
        const int scan = target == kAll ? info.input_scan_number : target;
        if (!DecoderStartOutput(decoder, scan)) {
            DecodingFailed();
        }
        band = RECT{0, image->Height(), 0, image->Height()};
        ReadRows(progress, first, last);
        if (!DecoderFinishOutput(decoder)) {
            DecodingFailed();
        }
        if (jpeg_input_complete(&info) && info.output_scan_number >= info.input_scan_number) {
            break;
        }
    }
}

bool JpegCodec::ReadPixels(CVProgress* progress) {
    if (decoder == nullptr) {
        host->RaiseImageError(CVImageError::ReadError);
    }
    std::string damage;
    {
        // The decoder goes however reading ends.
        OnExit discard([this] { Discard(); });
        jpeg_decompress_struct& info = decoder->info;
        // Scan by scan only for a picture shown as it arrives: a reduced
        // decode is read once, for the operation after it.
        const bool buffered =
            !preview && decodedSize.cx == headerSize.cx && jpeg_has_multiple_scans(&info);
        if (buffered) {
            info.buffered_image = TRUE;
            info.do_block_smoothing = TRUE;
        }
        if (!DecoderStart(decoder)) {
            DecodingFailed();
        }
        if (buffered) {
            ReadProgressive(progress);
        } else {
            ReadRows(progress, 0, 100);
        }
        if (!DecoderFinish(decoder)) {
            DecodingFailed();
        }
        if (decoder->warnings > 0) {
            damage = decoder->firstWarning;
        }
    }
    // With the decoder gone: the host may refuse the picture by throwing.
    if (!damage.empty()) {
        host->ReportDamage(damage.c_str());
    }
    if (progress != nullptr) {
        progress->End();
    }
    writtenSize = static_cast<int>(stream->Seek(0, CVStream::FromEnd));
    return true;
}

// ------------------------------------------------------------------ writing

// JPEG stores no transparency: pixels of the transparent colour are written
// white, the background the readers blend alpha onto (alpha_rule.h). The
// copy is made only when such pixels can exist; the source keeps its
// metadata.
SIZE JpegCodec::BeginWrite(const CVImage* source, const int* parameter) {
    Discard();
    Reset();
    flattened.reset();
    FormatCodecBase::BeginWrite(source, parameter);
    if (source == nullptr || !TransparencyApplies(*source)) {
        return encoder.Begin(source, parameter);
    }
    flattened = std::make_unique<CVImage>(host);
    const RGBQUAD key = source->transparentColor;
    auto isKey = [&key](const RGBQUAD& c) {
        return c.rgbRed == key.rgbRed && c.rgbGreen == key.rgbGreen && c.rgbBlue == key.rgbBlue;
    };
    if (source->BitCount() == 24) {
        const RECT whole{0, 0, source->Width(), source->Height()};
        CVImage::CopyImage(flattened.get(), source, &whole);
        for (int y = 0; y < flattened->Height(); ++y) {
            uint8_t* p = flattened->Row(y);
            for (int x = 0; x < flattened->Width(); ++x, p += 3) {
                if (isKey(RGBQUAD{p[0], p[1], p[2], 0})) {
                    p[0] = kAlphaBackground.rgbBlue;
                    p[1] = kAlphaBackground.rgbGreen;
                    p[2] = kAlphaBackground.rgbRed;
                }
            }
        }
    } else {
        CVImage::CopyImage(flattened.get(), source, nullptr); // pixels shared, palette own
        for (RGBQUAD& entry : flattened->palette) {
            if (isKey(entry)) {
                entry = kAlphaBackground;
            }
        }
    }
    flattened->hasTransparentColor = 0;
    return encoder.Begin(flattened.get(), parameter, source);
}

bool JpegCodec::Write(CVStream* output, CVProgress* progress, CVImage* previewImage) {
    if (image == nullptr) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    EncoderSettings current;
    current.luminance = std::clamp<int>(settings->luminance, 0, 255);
    current.chrominance = std::clamp<int>(settings->chrominance, 0, 255);
    current.progressive = settings->progressive != 0;
    current.sharpen = std::clamp<int>(settings->sharpen, 0, 100);
    current.web = settings->web != 0;
    if (target != nullptr && target->targetBytes > 0) {
        WriteWithinBudget(current, target->targetBytes, output, progress, previewImage);
    } else {
        ReportChosenLevel(-1);
        encoder.Write(current, output, progress, previewImage, bufferStart);
    }
    writtenSize = static_cast<int>(output->Seek(0, CVStream::FromEnd));
    return true;
}

namespace {

// One trial's share of the bar: the encoder's 0..100 are mapped into the
// trial's band, so the bar moves per trial, and a stop asked for in any step
// ends the search before the next trial (nothing has reached the output yet).
class TrialProgress final : public CVProgress {
  public:
    TrialProgress(CVProgress* outer, int first, int last)
        : outer(outer), first(first), last(last) {}
    int Begin(int barFirst, int barLast, int workFirst, int workLast) override {
        return outer->Begin(Map(barFirst), Map(barLast), workFirst, workLast);
    }
    int Step(const char* text) override { return outer->Step(text); }
    void End() override {}

  private:
    int Map(int percent) const {
        return first + (last - first) * std::clamp(percent, 0, 100) / 100;
    }
    CVProgress* outer;
    int first, last;
};

} // namespace

// The luminance level is searched; chrominance keeps its distance from it.
// The fitting trial's bytes are the file unless a preview is wanted, which
// takes one more encoding at the level found.
void JpegCodec::WriteWithinBudget(const EncoderSettings& chosen, int64_t budget, CVStream* output,
                                  CVProgress* progress, CVImage* previewImage) {
    const int distance = chosen.chrominance - chosen.luminance;
    auto at = [&](int level) {
        EncoderSettings s = chosen;
        s.luminance = level;
        s.chrominance = std::clamp(level + distance, 0, 255);
        return s;
    };
    ByteStream trial, best;
    int trials = 0;
    const LevelSearch found = FindLevelForBudget(budget, [&](int level) {
        trial.Clear();
        constexpr int kMaxTrials = 9;
        const int band = std::min(trials++, kMaxTrials - 1);
        const int first = 100 * band / kMaxTrials, last = 100 * (band + 1) / kMaxTrials;
        if (progress != nullptr) {
            // A step as each trial starts: a stop is seen even where the
            // trial is too short for steps of its own.
            progress->Begin(first, first, 0, 1);
            progress->Step(nullptr);
        }
        TrialProgress share(progress, first, last);
        encoder.Write(at(level), &trial, progress != nullptr ? &share : nullptr, nullptr,
                      bufferStart);
        const auto size = static_cast<int64_t>(trial.Bytes().size());
        if (size <= budget) {
            best.Swap(trial); // bisection only moves to better fitting levels
        }
        return size;
    });
    if (found.level < 0) {
        char message[CQorelError::kMessageSize];
        BudgetMessage(message, sizeof(message), budget, found.bytes);
        throw CQorelError(message);
    }
    ReportChosenLevel(found.level);
    if (previewImage != nullptr) {
        encoder.Write(at(found.level), output, progress, previewImage, bufferStart);
        return;
    }
    output->Seek(0, CVStream::FromStart);
    if (output->Write(best.Bytes().data(), best.Bytes().size()) != best.Bytes().size()) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    if (progress != nullptr) {
        progress->End();
    }
}

void JpegCodec::FreeWorkBuffer() {
    encoder.FreeStore();
}

} // namespace pixmill::alder
