// ImageListSource: a batch source over pictures already in memory (the open
// image windows, for Export). Items hand out image records (content kind 1)
// named by their window titles.
#pragma once

#include "pixmill/batch_interfaces.h"

#include <string>
#include <vector>

namespace pixmill {

class ImageListSource : public BatchSource {
  public:
    struct Entry {
        std::string name;
        const CVImage* image = nullptr;
    };
    explicit ImageListSource(std::vector<Entry> entries) : entries(std::move(entries)) {}

    const char* GetName() override { return "Open images"; }
    QWidget* CreatePage(QWidget*, const RECT&) override { return nullptr; }
    void Attach(BatchHost*) override {}
    BatchItem* NextItem(CVStream* log) override;
    void ReleaseItem(bool) override {}
    void Help(QWidget*) override {}
    int GetCount() override { return static_cast<int>(entries.size()); }
    int GetContentKind() override { return ContentImage; }

  private:
    std::vector<Entry> entries;
    int position = -1;
    BatchItem item;
};

} // namespace pixmill
