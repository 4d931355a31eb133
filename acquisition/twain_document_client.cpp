#include "acquisition/twain_document_client.h"

#include "host/doc_template.h"
#include "host/host_services.h"
#include "host/image_doc.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/user_interface.h"

#include <cstdio>
#include <cstring>

namespace pixmill {

void* CopyPackedDib(HostServices& host, const void* dib) {
    if (dib == nullptr) {
        return nullptr;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    // The handle carries no size of its own: the header must be plausible
    // before anything past it is read.
    const bool depthKnown = header.biBitCount == 1 || header.biBitCount == 4 ||
                            header.biBitCount == 8 || header.biBitCount == 24;
    if (header.biSize < 40 || header.biSize > 124 || header.biWidth < 1 || header.biHeight < 1 ||
        header.biWidth > 65536 || header.biHeight > 65536 || !depthKnown ||
        header.biCompression != 0 || header.biClrUsed > 256) {
        return nullptr;
    }
    const uint64_t pixels = uint64_t(header.biWidth) * uint64_t(header.biHeight);
    if (pixels > host.MaxImagePixels()) {
        return nullptr;
    }
    uint64_t colors = header.biClrUsed;
    if (colors == 0 && header.biBitCount <= 8) {
        colors = uint64_t{1} << header.biBitCount;
    }
    const uint64_t size =
        header.biSize + colors * 4 +
        CVImage::StrideOf(header.biBitCount, header.biWidth) * uint64_t(header.biHeight);
    void* block = host.Alloc(static_cast<size_t>(size));
    if (block != nullptr) {
        std::memcpy(block, dib, static_cast<size_t>(size));
    }
    return block;
}

TwainDocumentClient::TwainDocumentClient(HostServices& host, ImageDocTemplate* documentTemplate,
                                         DocumentSink sink)
    : host(host), documentTemplate(documentTemplate), sink(std::move(sink)) {}

TwainDocumentClient::~TwainDocumentClient() {
    // Close down while OnImage and OnError can still be reached.
    StepDown(ManagerUnloaded);
}

void TwainDocumentClient::Setup(void* window) {
    SetIdentity(1, 1, twain::TWLG_ENGLISH_USA, twain::TWCY_USA, "Version 1.0", "QOREL Technologies",
                "QOREL Pixmill", "QOREL Pixmill 1.0");
    if (IsAvailable()) {
        SetParent(window);
        OpenManager(window);
    }
}

void TwainDocumentClient::OnImage(twain::TW_HANDLE handle) {
    void* copy = CopyPackedDib(host, LockHandle(handle));
    UnlockHandle(handle);
    if (copy == nullptr) {
        return;
    }
    try {
        CVImage image(&host);
        if (image.AttachDib(static_cast<uint8_t*>(copy)) && documentTemplate != nullptr) {
            std::unique_ptr<ImageDoc> document = documentTemplate->OpenFromImage(image);
            if (sink) {
                sink(std::move(document));
            }
        }
    } catch (CQorelError& error) {
        error.Report(true);
    }
    host.Free(copy);
}

void TwainDocumentClient::OnError(int code) {
    const char* text = ErrorText(code);
    if (CUserInterface* ui = host.UserInterface()) {
        ui->ShowMessage("Pixmill", text, MessageIcon::Warning);
    } else {
        std::fprintf(stderr, "%s\n", text);
    }
}

} // namespace pixmill
