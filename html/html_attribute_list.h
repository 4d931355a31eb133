// The attributes of a tag: names with optional values, in the order read,
// with a 16-bucket index for lookup by name without regard to case. A list is
// reference-counted: the token that read it and the element built from it
// share it, and it is freed when the last holder lets go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pixmill {

class HtmlAttributeList {
  public:
    struct Attribute {
        std::string name;
        std::string value; // kept exactly as read, quotes included; empty: no value
        bool HasValue() const { return !value.empty(); }
        int32_t nextInBucket = -1; // the index's chain
    };

    // A new empty list with a reference count of 1, owned by the caller.
    static HtmlAttributeList* Create();
    HtmlAttributeList(const HtmlAttributeList&) = delete;
    HtmlAttributeList& operator=(const HtmlAttributeList&) = delete;

    void AddRef() { ++refCount; }
    // Drops one reference; the list deletes itself with the last one.
    void Release();
    int RefCount() const { return refCount; }

    // A new list (count 1) with the same attributes.
    HtmlAttributeList* Copy() const;

    // Replaces the value of an existing name in its place, or appends.
    void Set(std::string_view name, std::string_view value);
    const Attribute* Find(std::string_view name) const;
    bool Contains(std::string_view name) const { return Find(name) != nullptr; }
    bool Remove(std::string_view name);
    void Clear();

    size_t Count() const { return entries.size(); }
    bool Empty() const { return entries.empty(); }
    const Attribute& At(size_t index) const { return entries[index]; }
    std::vector<Attribute>::const_iterator begin() const { return entries.begin(); }
    std::vector<Attribute>::const_iterator end() const { return entries.end(); }

    // The index bucket of a name: h starts as the first byte; each further
    // byte b makes h = (lower(b) - h) & 15.
    static unsigned Bucket(std::string_view name);

  private:
    HtmlAttributeList() = default;
    ~HtmlAttributeList() = default;
    int IndexOf(std::string_view name) const;
    void Reindex();

    int refCount = 1;
    std::vector<Attribute> entries;
    // The first entry of each bucket's chain, or -1.
    int32_t buckets[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

// A holder of one reference to a list.
class HtmlAttributeListRef {
  public:
    HtmlAttributeListRef() = default;
    // Takes over a reference the caller already holds (as from Create or Copy).
    static HtmlAttributeListRef Adopt(HtmlAttributeList* list) {
        return HtmlAttributeListRef(list);
    }
    // Adds a reference of its own.
    static HtmlAttributeListRef Share(HtmlAttributeList* list) {
        if (list) {
            list->AddRef();
        }
        return HtmlAttributeListRef(list);
    }
    static HtmlAttributeListRef New() { return HtmlAttributeListRef(HtmlAttributeList::Create()); }

    HtmlAttributeListRef(const HtmlAttributeListRef& other) : list(other.list) {
        if (list) {
            list->AddRef();
        }
    }
    HtmlAttributeListRef(HtmlAttributeListRef&& other) noexcept : list(other.list) {
        other.list = nullptr;
    }
    HtmlAttributeListRef& operator=(HtmlAttributeListRef other) noexcept {
        std::swap(list, other.list);
        return *this;
    }
    ~HtmlAttributeListRef() {
        if (list) {
            list->Release();
        }
    }

    HtmlAttributeList* get() const { return list; }
    HtmlAttributeList* operator->() const { return list; }
    HtmlAttributeList& operator*() const { return *list; }
    explicit operator bool() const { return list != nullptr; }

  private:
    explicit HtmlAttributeListRef(HtmlAttributeList* list) : list(list) {}
    HtmlAttributeList* list = nullptr;
};

} // namespace pixmill
