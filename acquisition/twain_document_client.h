// TwainDocumentClient: the scanner client as the program uses it. Every
// natively transferred bitmap becomes a new untitled image document through
// the first image template; errors are shown through the host's
// user-interface service.
#pragma once

#include "acquisition/twain_client.h"

#include <functional>
#include <memory>

namespace pixmill {

class HostServices;
class ImageDoc;
class ImageDocTemplate;

class TwainDocumentClient : public TwainClient {
  public:
    using DocumentSink = std::function<void(std::unique_ptr<ImageDoc>)>;

    // documentTemplate may be null (no format loaded): bitmaps are dropped.
    TwainDocumentClient(HostServices& host, ImageDocTemplate* documentTemplate, DocumentSink sink);
    ~TwainDocumentClient() override;

    // Sets the program's identity and, when a manager is there, opens it
    // with the window as parent.
    void Setup(void* window);

  protected:
    void OnImage(twain::TW_HANDLE handle) override;
    void OnError(int code) override;

  private:
    HostServices& host;
    ImageDocTemplate* documentTemplate;
    DocumentSink sink;
};

// A copy of a packed bitmap (header, colour table, pixels) in one host
// block, sized from its header; null when the header cannot describe a
// bitmap of ours or the picture is above the host's pixel limit.
void* CopyPackedDib(HostServices& host, const void* dib);

} // namespace pixmill
