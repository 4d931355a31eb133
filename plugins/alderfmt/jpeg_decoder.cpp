#include "jpeg_decoder.h"

#include "jpeg_metadata.h"

#include "pixmill/stream.h"

#include <cstdio>

#include <jerror.h>

namespace pixmill::alder {

namespace {

JpegDecoder* DecoderOf(j_common_ptr info) {
    return static_cast<JpegDecoder*>(info->client_data);
}
JpegDecoder* DecoderOf(j_decompress_ptr info) {
    return static_cast<JpegDecoder*>(info->client_data);
}

[[noreturn]] void ErrorExit(j_common_ptr info) {
    info->err->format_message(info, DecoderOf(info)->fatal);
    DecoderOf(info)->fatalCode = info->err->msg_code;
    std::longjmp(DecoderOf(info)->jump, 1);
}

constexpr const char* kCutShort = "the file ends before the JPEG picture does (cut short)";

void NoteWarning(JpegDecoder* decoder, const char* text) {
    if (decoder->warnings++ == 0) {
        std::snprintf(decoder->firstWarning, sizeof decoder->firstWarning, "%s", text);
    }
}

// Warnings are kept for the codec to report as damage; trace messages are
// dropped. An unknown JFIF revision says nothing about the pixels.
void EmitMessage(j_common_ptr info, int level) {
    if (level >= 0 || info->err->msg_code == JWRN_JFIF_MAJOR) {
        return;
    }
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    char worded[JMSG_LENGTH_MAX + 64];
    switch (info->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
        std::snprintf(worded, sizeof worded,
                      "the JPEG data is damaged: %d stray bytes stand before a marker",
                      info->err->msg_parm.i[0]);
        break;
    case JWRN_HUFF_BAD_CODE:
        std::snprintf(worded, sizeof worded,
                      "the JPEG data is damaged: a compressed block cannot be decoded");
        break;
    case JWRN_HIT_MARKER:
        std::snprintf(worded, sizeof worded,
                      "the JPEG data is damaged: a compressed segment ends early");
        break;
    case JWRN_JPEG_EOF:
        std::snprintf(worded, sizeof worded, "%s", kCutShort);
        break;
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        std::snprintf(worded, sizeof worded,
                      "the JPEG data is damaged: its restart markers are out of order");
        break;
    default:
        // libjpeg's own words in brackets, for whoever reports the file.
        std::snprintf(worded, sizeof worded, "the JPEG data is damaged (%s)", text);
        break;
    }
    NoteWarning(DecoderOf(info), worded);
}
void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
    JpegDecoder* decoder = DecoderOf(info);
    size_t got = 0;
    bool failed = false;
    try {
        got = decoder->stream->Read(decoder->buffer, kInputBufferSize);
    } catch (...) {
        decoder->streamError = std::current_exception();
        failed = true;
    }
    if (failed) {
        // The handler has ended: nothing in this frame needs destroying.
        std::longjmp(decoder->jump, 1);
    }
    if (got == 0) {
        // Premature end: an end-of-image marker lets libjpeg finish the
        // picture as it does for truncated data.
        decoder->buffer[0] = 0xFF;
        decoder->buffer[1] = JPEG_EOI;
        got = 2;
        NoteWarning(decoder, kCutShort);
    }
    info->src->next_input_byte = decoder->buffer;
    info->src->bytes_in_buffer = got;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    if (count <= 0) {
        return;
    }
    jpeg_source_mgr* source = info->src;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        FillInput(info);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

bool GuardedCreate(JpegDecoder* decoder) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    jpeg_create_decompress(&decoder->info);
    return true;
}

} // namespace

JpegDecoder* CreateDecoder(CVStream* stream, uint8_t* inputBuffer) {
    auto* decoder = new JpegDecoder;
    decoder->stream = stream;
    decoder->buffer = inputBuffer;
    decoder->info.err = jpeg_std_error(&decoder->error);
    decoder->error.error_exit = ErrorExit;
    decoder->error.emit_message = EmitMessage;
    decoder->error.output_message = OutputMessage;
    decoder->info.client_data = decoder;
    if (!GuardedCreate(decoder)) {
        jpeg_destroy_decompress(&decoder->info);
        delete decoder;
        return nullptr;
    }
    decoder->source.init_source = InitSource;
    decoder->source.fill_input_buffer = FillInput;
    decoder->source.skip_input_data = SkipInput;
    decoder->source.resync_to_restart = jpeg_resync_to_restart;
    decoder->source.term_source = TermSource;
    decoder->source.next_input_byte = nullptr;
    decoder->source.bytes_in_buffer = 0;
    decoder->info.src = &decoder->source;
    return decoder;
}

void DestroyDecoder(JpegDecoder* decoder) {
    if (decoder != nullptr) {
        jpeg_destroy_decompress(&decoder->info);
        delete decoder;
    }
}

bool DecoderReadHeader(JpegDecoder* decoder, int* result) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    KeepMetadataMarkers(decoder->info);
    *result = jpeg_read_header(&decoder->info, TRUE);
    return true;
}

bool DecoderCalcOutputDimensions(JpegDecoder* decoder) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    jpeg_calc_output_dimensions(&decoder->info);
    return true;
}

bool DecoderStart(JpegDecoder* decoder) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    jpeg_start_decompress(&decoder->info);
    return true;
}

bool DecoderReadRow(JpegDecoder* decoder, uint8_t* row) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&decoder->info, rows, 1);
    return true;
}

bool DecoderConsumeInput(JpegDecoder* decoder, int* result) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    *result = jpeg_consume_input(&decoder->info);
    return true;
}

bool DecoderStartOutput(JpegDecoder* decoder, int scan) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    jpeg_start_output(&decoder->info, scan);
    return true;
}

bool DecoderFinishOutput(JpegDecoder* decoder) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    jpeg_finish_output(&decoder->info);
    return true;
}

bool DecoderFinish(JpegDecoder* decoder) {
    if (setjmp(decoder->jump)) {
        return false;
    }
    jpeg_finish_decompress(&decoder->info);
    return true;
}

} // namespace pixmill::alder
