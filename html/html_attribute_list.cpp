#include "html/html_attribute_list.h"

#include "html/html_text_util.h"

namespace pixmill {

HtmlAttributeList* HtmlAttributeList::Create() {
    return new HtmlAttributeList();
}

void HtmlAttributeList::Release() {
    if (--refCount == 0) {
        delete this;
    }
}

HtmlAttributeList* HtmlAttributeList::Copy() const {
    HtmlAttributeList* copy = Create();
    copy->entries = entries;
    for (int b = 0; b < 16; ++b) {
        copy->buckets[b] = buckets[b];
    }
    return copy;
}

unsigned HtmlAttributeList::Bucket(std::string_view name) {
    if (name.empty()) {
        return 0;
    }
    unsigned h = static_cast<unsigned char>(name[0]);
    for (size_t i = 1; i < name.size(); ++i) {
        h = (static_cast<unsigned>(html::Lower(name[i])) - h) & 15u;
    }
    return h & 15u;
}

int HtmlAttributeList::IndexOf(std::string_view name) const {
    for (int32_t index = buckets[Bucket(name)]; index >= 0;
         index = entries[static_cast<size_t>(index)].nextInBucket) {
        if (html::EqualNoCase(entries[static_cast<size_t>(index)].name, name)) {
            return index;
        }
    }
    return -1;
}

const HtmlAttributeList::Attribute* HtmlAttributeList::Find(std::string_view name) const {
    int index = IndexOf(name);
    return index < 0 ? nullptr : &entries[static_cast<size_t>(index)];
}

void HtmlAttributeList::Set(std::string_view name, std::string_view value) {
    int index = IndexOf(name);
    if (index >= 0) {
        entries[static_cast<size_t>(index)].value.assign(value);
        return;
    }
    // New entries go to the front of their chain; names in a list are unique,
    // so the order within a chain does not matter.
    const unsigned bucket = Bucket(name);
    entries.push_back(Attribute{std::string(name), std::string(value), buckets[bucket]});
    buckets[bucket] = static_cast<int32_t>(entries.size() - 1);
}

bool HtmlAttributeList::Remove(std::string_view name) {
    int index = IndexOf(name);
    if (index < 0) {
        return false;
    }
    entries.erase(entries.begin() + index);
    Reindex();
    return true;
}

void HtmlAttributeList::Clear() {
    entries.clear();
    Reindex();
}

void HtmlAttributeList::Reindex() {
    for (int32_t& bucket : buckets) {
        bucket = -1;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const unsigned bucket = Bucket(entries[i].name);
        entries[i].nextInBucket = buckets[bucket];
        buckets[bucket] = static_cast<int32_t>(i);
    }
}

} // namespace pixmill
