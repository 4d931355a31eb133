// A batch destination library for the tests: it takes every result as an
// image record, counts them and writes its own line into the run's log when
// the batch ends.
#include "pixmill/batch_interfaces.h"
#include "pixmill/cv_image.h"
#include "pixmill/stream.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using namespace pixmill;

class CollectingDestination : public BatchDestination {
  public:
    const char* GetName() override { return "Collector"; }
    QWidget* CreatePage(QWidget*, const RECT&) override { return nullptr; }
    void Attach(BatchHost* batchHost) override { host = batchHost; }
    bool ApplyPage() override { return true; }
    bool Slot5(const char*) override { return true; }
    ThumbnailSettings* GetThumbnailSettings() override { return nullptr; }
    int GetMainImageMode() override { return MainEncoded; }
    SaveTargets* BeginSave(const SaveRequest* request, CVStream*) override {
        image = std::make_unique<CVImage>(host->GetPluginHost());
        targets.main = image.get();
        width = request->width;
        return &targets;
    }
    void EndSave(bool mainSaved, bool) override {
        if (mainSaved && image->Width() == width) {
            ++collected;
        }
        image.reset();
    }
    void EndBatch(CVStream* log, bool completed) override {
        char line[64];
        const int n = std::snprintf(line, sizeof line, "Collected %d images%s\r\n", collected,
                                    completed ? "" : " (cancelled)");
        log->Write(line, static_cast<size_t>(n));
        collected = 0;
    }
    void Slot11() override {}
    void Help(QWidget*) override {}
    int GetTargetKind() override { return TargetImages; }

  private:
    BatchHost* host = nullptr;
    std::unique_ptr<CVImage> image;
    SaveTargets targets;
    int width = 0;
    int collected = 0;
};

CollectingDestination* instance = nullptr;

} // namespace

extern "C" __attribute__((visibility("default"))) int
GetBatchDestination(BatchDestination** destination) {
    if (instance == nullptr) {
        instance = new CollectingDestination;
    }
    *destination = instance;
    return 1;
}

__attribute__((destructor)) static void DestroyDestination() {
    delete instance;
}
