#include "jpeg_judge.h"

#include "host/streams.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <csetjmp>
#include <jpeglib.h>

namespace pixmill::test {

namespace {

// libjpeg's fatal errors leave with longjmp: the frames that set the jump
// target hold no C++ objects.
struct DecodeState {
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    std::jmp_buf jump;
    int warnings;
    char message[JMSG_LENGTH_MAX];
};

struct EncodeState {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    std::jmp_buf jump;
    unsigned char* out;
    unsigned long size;
};

[[noreturn]] void DecodeErrorExit(j_common_ptr info) {
    auto* state = reinterpret_cast<DecodeState*>(info);
    info->err->format_message(info, state->message);
    std::longjmp(state->jump, 1);
}

void DecodeEmit(j_common_ptr info, int level) {
    if (level < 0) {
        auto* state = reinterpret_cast<DecodeState*>(info);
        ++state->warnings;
        info->err->format_message(info, state->message);
    }
}

[[noreturn]] void EncodeErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<EncodeState*>(info)->jump, 1);
}

bool ReadHeader(DecodeState* s, const uint8_t* data, size_t size, const JudgeOptions* o) {
    if (setjmp(s->jump)) {
        return false;
    }
    jpeg_mem_src(&s->info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s->info, TRUE);
    s->info.do_fancy_upsampling = o->fancyUpsampling ? TRUE : FALSE;
    s->info.dct_method = o->fastIdct ? JDCT_IFAST : JDCT_ISLOW;
    // Grey and CMYK come out as their samples, everything else as RGB.
    if (s->info.out_color_space != JCS_GRAYSCALE && s->info.out_color_space != JCS_CMYK) {
        s->info.out_color_space = JCS_RGB;
    }
    if (o->stopAtScan > 0) {
        s->info.buffered_image = TRUE;
        s->info.do_block_smoothing = o->blockSmoothing ? TRUE : FALSE;
    }
    jpeg_start_decompress(&s->info);
    return true;
}

bool ReadRows(DecodeState* s, uint8_t* pixels, size_t stride, int stopAtScan) {
    if (setjmp(s->jump)) {
        return false;
    }
    if (stopAtScan > 0) {
        jpeg_start_output(&s->info, stopAtScan);
    }
    while (s->info.output_scanline < s->info.output_height) {
        JSAMPROW row = pixels + stride * s->info.output_scanline;
        jpeg_read_scanlines(&s->info, &row, 1);
    }
    if (stopAtScan > 0) {
        jpeg_finish_output(&s->info);
        while (!jpeg_input_complete(&s->info)) {
            jpeg_consume_input(&s->info);
        }
    }
    jpeg_finish_decompress(&s->info);
    return true;
}

bool StartBuffered(DecodeState* s, const uint8_t* data, size_t size) {
    if (setjmp(s->jump)) {
        return false;
    }
    jpeg_mem_src(&s->info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s->info, TRUE);
    if (s->info.out_color_space != JCS_GRAYSCALE) {
        s->info.out_color_space = JCS_RGB;
    }
    s->info.buffered_image = TRUE;
    s->info.do_block_smoothing = TRUE;
    jpeg_start_decompress(&s->info);
    return true;
}

// One output pass; *done is set when the pass showed the file's last scan.
bool OutputPass(DecodeState* s, int target, uint8_t* pixels, size_t stride, bool* done) {
    if (setjmp(s->jump)) {
        return false;
    }
    jpeg_start_output(&s->info, target);
    while (s->info.output_scanline < s->info.output_height) {
        JSAMPROW row = pixels + stride * s->info.output_scanline;
        jpeg_read_scanlines(&s->info, &row, 1);
    }
    jpeg_finish_output(&s->info);
    *done =
        jpeg_input_complete(&s->info) && s->info.output_scan_number >= s->info.input_scan_number;
    return true;
}

// Input up to the start of scan (0: all of it).
bool ConsumeTo(DecodeState* s, int scan) {
    if (setjmp(s->jump)) {
        return false;
    }
    while (!jpeg_input_complete(&s->info) && (scan == 0 || s->info.input_scan_number < scan)) {
        jpeg_consume_input(&s->info);
    }
    return true;
}

bool FinishDecompress(DecodeState* s) {
    if (setjmp(s->jump)) {
        return false;
    }
    jpeg_finish_decompress(&s->info);
    return true;
}

bool Compress(EncodeState* s, int width, int height, int components, const uint8_t* pixels,
              int quality, bool progressive, int restartRows, bool ycck) {
    if (setjmp(s->jump)) {
        return false;
    }
    jpeg_mem_dest(&s->info, &s->out, &s->size);
    s->info.image_width = static_cast<JDIMENSION>(width);
    s->info.image_height = static_cast<JDIMENSION>(height);
    s->info.input_components = components;
    s->info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&s->info);
    if (ycck) {
        jpeg_set_colorspace(&s->info, JCS_YCCK);
    }
    jpeg_set_quality(&s->info, quality, TRUE);
    if (progressive) {
        jpeg_simple_progression(&s->info);
    }
    s->info.restart_in_rows = restartRows;
    jpeg_start_compress(&s->info, TRUE);
    while (s->info.next_scanline < s->info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels) +
                       static_cast<size_t>(s->info.next_scanline) * width * components;
        jpeg_write_scanlines(&s->info, &row, 1);
    }
    jpeg_finish_compress(&s->info);
    return true;
}

} // namespace

JudgedImage JudgeDecode(const std::vector<uint8_t>& file, const JudgeOptions& options) {
    JudgedImage result;
    auto* state = new DecodeState{};
    state->info.err = jpeg_std_error(&state->err);
    state->err.error_exit = DecodeErrorExit;
    state->err.emit_message = DecodeEmit;
    jpeg_create_decompress(&state->info);
    bool ok = ReadHeader(state, file.data(), file.size(), &options);
    if (ok) {
        result.width = static_cast<int>(state->info.output_width);
        result.height = static_cast<int>(state->info.output_height);
        result.components = state->info.output_components;
        result.progressive = state->info.progressive_mode != 0;
        for (int t = 0; t < 2; ++t) {
            if (state->info.quant_tbl_ptrs[t] != nullptr) {
                for (int k = 0; k < 64; ++k) {
                    result.quant[t][k] = state->info.quant_tbl_ptrs[t]->quantval[k];
                }
            }
        }
        result.densityUnit = state->info.density_unit;
        result.xDensity = state->info.X_density;
        result.yDensity = state->info.Y_density;
        const size_t stride = static_cast<size_t>(result.width) * result.components;
        result.pixels.assign(stride * result.height, 0);
        ok = ReadRows(state, result.pixels.data(), stride, options.stopAtScan);
        result.scans = state->info.input_scan_number;
    }
    result.ok = ok;
    result.warnings = state->warnings;
    if (!ok || state->warnings > 0) {
        result.error = state->message;
    }
    jpeg_destroy_decompress(&state->info);
    delete state;
    return result;
}

std::vector<JudgedImage> JudgeDisplay(const std::vector<uint8_t>& file,
                                      const std::vector<int>& targets) {
    std::vector<JudgedImage> passes;
    auto* state = new DecodeState{};
    state->info.err = jpeg_std_error(&state->err);
    state->err.error_exit = DecodeErrorExit;
    state->err.emit_message = DecodeEmit;
    jpeg_create_decompress(&state->info);
    if (StartBuffered(state, file.data(), file.size())) {
        for (int target : targets) {
            JudgedImage pass;
            pass.width = static_cast<int>(state->info.output_width);
            pass.height = static_cast<int>(state->info.output_height);
            pass.components = state->info.output_components;
            const size_t stride = static_cast<size_t>(pass.width) * pass.components;
            pass.pixels.assign(stride * pass.height, 0);
            bool done = false;
            pass.ok = ConsumeTo(state, target);
            const int scan = target == 0 ? state->info.input_scan_number : target;
            pass.ok = pass.ok && OutputPass(state, scan, pass.pixels.data(), stride, &done);
            pass.scans = state->info.output_scan_number;
            const bool ok = pass.ok;
            passes.push_back(std::move(pass));
            if (!ok || done) {
                break;
            }
        }
        FinishDecompress(state);
    }
    jpeg_destroy_decompress(&state->info);
    delete state;
    return passes;
}

std::vector<uint8_t> LibjpegEncode(int width, int height, int components,
                                   const std::vector<uint8_t>& pixels, int quality,
                                   bool progressive, int restartRows, bool ycck) {
    auto* state = new EncodeState{};
    state->info.err = jpeg_std_error(&state->err);
    state->err.error_exit = EncodeErrorExit;
    jpeg_create_compress(&state->info);
    std::vector<uint8_t> file;
    if (Compress(state, width, height, components, pixels.data(), quality, progressive, restartRows,
                 ycck)) {
        file.assign(state->out, state->out + state->size);
    }
    jpeg_destroy_compress(&state->info);
    free(state->out);
    delete state;
    return file;
}

double Psnr(const JudgedImage& judged, const CVImage& source) {
    double sum = 0;
    long count = 0;
    for (int y = 0; y < source.Height(); ++y) {
        const uint8_t* row = source.Row(y);
        for (int x = 0; x < source.Width(); ++x) {
            if (source.BitCount() == 8) {
                const int expected = source.palette[row[x]].rgbRed;
                const int got = judged.pixels[static_cast<size_t>(y) * judged.width + x];
                sum += (expected - got) * (expected - got);
                ++count;
                continue;
            }
            const uint8_t* p =
                judged.pixels.data() + (static_cast<size_t>(y) * judged.width + x) * 3;
            for (int c = 0; c < 3; ++c) {
                const int expected = row[3 * x + 2 - c]; // BGR in memory, RGB judged
                sum += (expected - p[c]) * (expected - p[c]);
                ++count;
            }
        }
    }
    const double mse = sum / static_cast<double>(count);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

void FillPicture(CVImage& image, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    const int w = image.Width(), h = image.Height();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = image.Row(y);
        for (int x = 0; x < w; ++x) {
            // Luminance: gradients, a disc with a hard edge, stripes and a
            // little noise; gentle colour on top.
            const int dx = x - w / 2, dy = y - h / 3;
            const bool disc = dx * dx + dy * dy < (w * w + h * h) / 20;
            const int stripes = ((x / 3 + y / 5) % 4 == 0) ? 30 : 0;
            const int l = 50 + (120 * x) / std::max(1, w) + (50 * y) / std::max(1, h) +
                          (disc ? 30 : 0) - stripes + noise(random);
            const int r = std::clamp(l + (30 * y) / std::max(1, h), 0, 255);
            const int g = std::clamp(l, 0, 255);
            const int b = std::clamp(l + (disc ? 25 : -15), 0, 255);
            if (image.BitCount() == 8) {
                row[x] = static_cast<uint8_t>((r * 3 + g * 4 + b) / 8);
            } else {
                row[3 * x] = static_cast<uint8_t>(b);
                row[3 * x + 1] = static_cast<uint8_t>(g);
                row[3 * x + 2] = static_cast<uint8_t>(r);
            }
        }
    }
}

void FillNoise(CVImage& image, uint32_t seed) {
    std::mt19937 random(seed);
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.Row(y);
        const int bytes = image.Width() * image.BitCount() / 8;
        for (int i = 0; i < bytes; ++i) {
            row[i] = static_cast<uint8_t>(random());
        }
    }
}

void MakeGrey(CVImage& image) {
    RGBQUAD ramp[256];
    for (int i = 0; i < 256; ++i) {
        ramp[i] =
            RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    }
    image.SetPalette(ramp);
}

std::vector<uint8_t> StreamBytes(const MemoryStream& stream) {
    return std::vector<uint8_t>(stream.Data(), stream.Data() + stream.Length());
}

void LoadStream(MemoryStream& stream, const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) {
        stream.Write(bytes.data(), bytes.size());
    }
    stream.Seek(0, CVStream::FromStart);
}

} // namespace pixmill::test
