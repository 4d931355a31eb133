// CTwainDocumentClient: the scanner client as the program uses it. Every
// natively transferred bitmap becomes a new untitled image document through
// the first image template; errors are shown through the host's
// user-interface service.
#pragma once

#include "acquisition/twain_client.h"

#include <functional>
#include <memory>

namespace pixmill {

class CHostServices;
class CQorelImageDoc;
class CVImageDocTemplate;

class CTwainDocumentClient : public CTwainClient {
  public:
    using DocumentSink = std::function<void(std::unique_ptr<CQorelImageDoc>)>;

    // documentTemplate may be null (no format loaded): bitmaps are dropped.
    CTwainDocumentClient(CHostServices& host, CVImageDocTemplate* documentTemplate,
                         DocumentSink sink);
    ~CTwainDocumentClient() override;

    // Sets the program's identity and, when a manager is there, opens it
    // with the window as parent.
    void Setup(void* window);

  protected:
    void OnImage(twain::TW_HANDLE handle) override;
    void OnError(int code) override;

  private:
    CHostServices& host;
    CVImageDocTemplate* documentTemplate;
    DocumentSink sink;
};

// A copy of a packed bitmap (header, colour table, pixels) in one host
// block, sized from its header; null when the header cannot describe a
// bitmap of ours or the picture is above the host's pixel limit.
void* CopyPackedDib(CHostServices& host, const void* dib);

} // namespace pixmill
