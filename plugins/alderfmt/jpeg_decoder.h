// The libjpeg decompression object with an error manager whose fatal errors
// come back to us and a source manager on a CVStream. libjpeg leaves a fatal
// error with longjmp, so every libjpeg call goes through one of the functions
// below: each sets the jump target in its own frame, which holds no C++
// objects, and reports failure by returning false. After a failure the object
// must be destroyed.
#pragma once

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <cstdint>
#include <exception>

namespace pixmill {
class CVStream;
}

namespace pixmill::alder {

constexpr size_t kInputBufferSize = 4096;

struct JpegDecoder {
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    jpeg_source_mgr source;
    std::jmp_buf jump;
    CVStream* stream = nullptr;
    uint8_t* buffer = nullptr; // kInputBufferSize bytes
    int warnings = 0;
    // The first warning that says the data is damaged, in the program's
    // words (libjpeg's own in brackets where there are none).
    char firstWarning[JMSG_LENGTH_MAX + 64] = {};
    // libjpeg's words for the error that ended decoding.
    char fatal[JMSG_LENGTH_MAX] = {};
    int fatalCode = 0;
    // An exception the stream threw while libjpeg asked for data; rethrown
    // by the caller after the object is destroyed.
    std::exception_ptr streamError;
};

// Creates the object on stream with the given input buffer; null when
// libjpeg could not create it.
JpegDecoder* CreateDecoder(CVStream* stream, uint8_t* inputBuffer);
void DestroyDecoder(JpegDecoder* decoder);

bool DecoderReadHeader(JpegDecoder* decoder, int* result);
bool DecoderCalcOutputDimensions(JpegDecoder* decoder);
bool DecoderStart(JpegDecoder* decoder);
bool DecoderReadRow(JpegDecoder* decoder, uint8_t* row);
bool DecoderConsumeInput(JpegDecoder* decoder, int* result);
bool DecoderStartOutput(JpegDecoder* decoder, int scan);
bool DecoderFinishOutput(JpegDecoder* decoder);
bool DecoderFinish(JpegDecoder* decoder);

} // namespace pixmill::alder
