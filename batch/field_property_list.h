// A property list over an object's own fields: each property names an int or
// a string member, so that settings kept as property text need no
// per-property code.
#pragma once

#include "host/property_list.h"

#include <string>
#include <vector>

namespace pixmill {

class FieldPropertyList : public CPropertyList {
  public:
    void AddInt(const char* name, int* field) { properties.push_back({name, field, nullptr}); }
    void AddString(const char* name, std::string* field) {
        properties.push_back({name, nullptr, field});
    }

    int GetCount() override { return static_cast<int>(properties.size()); }
    const char* GetName(int i) override { return properties[i].name; }
    int GetType(int i) override {
        return properties[i].integer != nullptr ? SignedType : StringType;
    }
    PropertyCell GetValue(int i, int) override {
        const Property& p = properties[i];
        return p.integer != nullptr ? PropertyCell::Signed(*p.integer)
                                    : PropertyCell::String(p.text->c_str());
    }
    void SetValue(int i, PropertyCell value, int) override {
        const Property& p = properties[i];
        if (p.integer != nullptr) {
            *p.integer = value.i;
        } else {
            *p.text = value.s != nullptr ? value.s : "";
        }
    }
    int GetArraySize(int) override { return 0; }
    void SetArraySize(int, int) override {}

  private:
    struct Property {
        const char* name;
        int* integer;
        std::string* text;
    };
    std::vector<Property> properties;
};

// The user's home folder with a trailing "/": where a new installation's
// folders point.
std::string HomeFolder();

} // namespace pixmill
