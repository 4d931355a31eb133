// Property text: objects that keep their settings as one line of text (the
// batch file source and destination) describe them as a list of named, typed
// properties; WriteProperties turns the list into text and ReadProperties
// applies a text back onto it.
//
// Text form, one item per property in list order:
//   single value:  name=value;
//   array:         name[n]={value,value,...};
// Values: signed "%d", unsigned "%u", double with 4 decimals, string between
// double quotes (no escaping), nested list as "{" + its own text + "}".
// Example: a=5;s="abc";b[2]={1,2};
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pixmill {

class CPropertyList;

// One value. On 64-bit the cell is 8 bytes and a pointer fills it whole.
union PropertyCell {
    int32_t i;           // signed integer
    uint32_t u;          // unsigned integer
    double d;            // double
    const char* s;       // string (owned by whoever hands it over)
    CPropertyList* list; // nested list
    uint64_t raw;

    static PropertyCell Signed(int32_t v) {
        PropertyCell c{};
        c.i = v;
        return c;
    }
    static PropertyCell Unsigned(uint32_t v) {
        PropertyCell c{};
        c.u = v;
        return c;
    }
    static PropertyCell Double(double v) {
        PropertyCell c{};
        c.d = v;
        return c;
    }
    static PropertyCell String(const char* v) {
        PropertyCell c{};
        c.s = v;
        return c;
    }
    static PropertyCell List(CPropertyList* v) {
        PropertyCell c{};
        c.list = v;
        return c;
    }
};
static_assert(sizeof(PropertyCell) == 8);

class CPropertyList {
  public:
    enum Type { SignedType = 0, UnsignedType = 1, DoubleType = 2, StringType = 3, ListType = 4 };

    virtual ~CPropertyList();
    virtual int GetCount() = 0;
    // Letters, digits and punctuation other than "=", "[" and ";".
    virtual const char* GetName(int i) = 0;
    virtual int GetType(int i) = 0;
    // A string is returned as a pointer to the object's own text; a nested
    // list as its interface pointer.
    virtual PropertyCell GetValue(int i, int element) = 0;
    // A string arrives as a pointer valid only during the call: copy it.
    virtual void SetValue(int i, PropertyCell value, int element) = 0;
    // 0 (or less) for a single value, else the number of elements.
    virtual int GetArraySize(int i) = 0;
    // Resizes an array property before its elements are set.
    virtual void SetArraySize(int i, int n) = 0;
};

// With a null buffer sets *length to the number of characters the text needs
// (the caller reserves *length + 1). With a buffer of *length + 1 characters
// writes the text, zero-terminated, never more than *length characters, and
// sets *length to the characters written.
void WriteProperties(CPropertyList* list, char* buffer, size_t* length);
// The whole text as a string.
std::string PropertiesText(CPropertyList* list);

// Applies the text to the list; properties the text does not mention, unknown
// names and segments without "=" leave the list as it was. Text after the last
// ";" is ignored.
void ReadProperties(CPropertyList* list, const char* text);

} // namespace pixmill
