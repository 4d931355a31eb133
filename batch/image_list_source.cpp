#include "batch/image_list_source.h"

namespace pixmill {

BatchItem* ImageListSource::NextItem(CVStream*) {
    if (position + 1 >= static_cast<int>(entries.size())) {
        position = static_cast<int>(entries.size());
        return nullptr;
    }
    ++position;
    const Entry& entry = entries[static_cast<size_t>(position)];
    item.index = position;
    item.name = entry.name.c_str();
    item.content = const_cast<CVImage*>(entry.image);
    item.extra = 0;
    return &item;
}

} // namespace pixmill
