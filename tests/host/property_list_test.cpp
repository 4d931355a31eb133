// Property text: writing, reading back, and the reader's parsing rules.
#include "host/property_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace pixmill;

namespace {

// A property list held in vectors; every property can be an array.
class TestList : public CPropertyList {
  public:
    struct Property {
        std::string name;
        int type = 0;
        int arraySize = 0;
        std::vector<PropertyCell> cells{PropertyCell{}};
        std::vector<std::string> strings{""};
        std::vector<std::shared_ptr<TestList>> lists{nullptr};
        std::function<std::shared_ptr<TestList>()> makeList;
        int sets = 0;
    };

    TestList& Add(const std::string& name, int type, PropertyCell value = {}) {
        properties.push_back(Property{});
        properties.back().name = name;
        properties.back().type = type;
        properties.back().cells[0] = value;
        return *this;
    }
    TestList& Str(const std::string& name, const std::string& value) {
        Add(name, StringType).properties.back().strings[0] = value;
        return *this;
    }
    TestList& Sub(const std::string& name, std::function<std::shared_ptr<TestList>()> make) {
        Add(name, ListType);
        properties.back().makeList = make;
        properties.back().lists[0] = make();
        return *this;
    }
    // Makes the last property an array of n elements.
    TestList& Array(int n) {
        SetArraySize(GetCount() - 1, n);
        return *this;
    }
    Property& operator[](const std::string& name) { return properties[IndexOf(name)]; }
    int IndexOf(const std::string& name) const {
        for (size_t i = 0; i < properties.size(); ++i) {
            if (properties[i].name == name) {
                return static_cast<int>(i);
            }
        }
        throw std::out_of_range(name);
    }
    void Resize(const std::string& name, int n) { SetArraySize(IndexOf(name), n); }

    int GetCount() override { return static_cast<int>(properties.size()); }
    const char* GetName(int i) override { return properties[i].name.c_str(); }
    int GetType(int i) override { return properties[i].type; }
    PropertyCell GetValue(int i, int e) override {
        Property& p = properties[i];
        if (p.type == StringType) {
            return PropertyCell::String(p.strings.at(e).c_str());
        }
        if (p.type == ListType) {
            return PropertyCell::List(p.lists.at(e).get());
        }
        return p.cells.at(e);
    }
    void SetValue(int i, PropertyCell value, int e) override {
        Property& p = properties[i];
        ++p.sets;
        if (p.type == StringType) {
            p.strings.at(e) = value.s;
        } else if (p.type == ListType) {
            EXPECT_EQ(value.list, p.lists.at(e).get());
        } else {
            p.cells.at(e) = value;
        }
    }
    int GetArraySize(int i) override { return properties[i].arraySize; }
    void SetArraySize(int i, int n) override {
        Property& p = properties[i];
        p.arraySize = n;
        const size_t size = static_cast<size_t>(std::max(n, 1));
        p.cells.resize(size);
        p.strings.resize(size);
        while (p.lists.size() < size) {
            p.lists.push_back(p.makeList ? p.makeList() : nullptr);
        }
        p.lists.resize(size);
    }

    std::vector<Property> properties;
};

std::shared_ptr<TestList> Inner() {
    auto list = std::make_shared<TestList>();
    list->Add("x", CPropertyList::SignedType).Str("t", "");
    list->Add("v", CPropertyList::SignedType).Array(0);
    return list;
}

// Everything the format carries, with zero values.
std::shared_ptr<TestList> Shape() {
    auto list = std::make_shared<TestList>();
    list->Add("neg", CPropertyList::SignedType)
        .Add("big", CPropertyList::UnsignedType)
        .Add("d", CPropertyList::DoubleType)
        .Str("s", "")
        .Add("words", CPropertyList::StringType)
        .Array(0)
        .Sub("inner", Inner)
        .Sub("items", Inner)
        .Array(0);
    return list;
}

std::string Write(CPropertyList& list) {
    size_t length = 0;
    WriteProperties(&list, nullptr, &length);
    std::string buffer(length + 1, '\x7f');
    WriteProperties(&list, buffer.data(), &length);
    EXPECT_EQ(buffer[length], '\0');
    buffer.resize(length);
    EXPECT_EQ(buffer, PropertiesText(&list));
    return buffer;
}

} // namespace

TEST(PropertyText, WritesEachKindOfValue) {
    TestList list;
    list.Add("a", CPropertyList::SignedType, PropertyCell::Signed(5)).Str("s", "abc");
    list.Add("b", CPropertyList::SignedType).Array(2);
    list["b"].cells[0] = PropertyCell::Signed(1);
    list["b"].cells[1] = PropertyCell::Signed(2);
    EXPECT_EQ(Write(list), "a=5;s=\"abc\";b[2]={1,2};");

    TestList more;
    more.Add("d", CPropertyList::DoubleType, PropertyCell::Double(0.123456))
        .Add("m", CPropertyList::DoubleType, PropertyCell::Double(-2.5))
        .Add("u", CPropertyList::UnsignedType, PropertyCell::Unsigned(4294967295u))
        .Sub("n", Inner)
        .Add("e", CPropertyList::SignedType)
        .Array(0);
    more["n"].lists[0]->properties[0].cells[0] = PropertyCell::Signed(-7);
    EXPECT_EQ(Write(more), "d=0.1235;m=-2.5000;u=4294967295;n={x=-7;t=\"\";v=0;};e=0;");
}

TEST(PropertyText, WriteNeverPassesTheGivenLength) {
    TestList list;
    list.Str("s", "abcdef");
    list.Add("w", CPropertyList::StringType).Array(3);
    list["w"].strings = {"x", "y", "z"};
    const std::string full = "s=\"abcdef\";w[3]={\"x\",\"y\",\"z\"};";
    EXPECT_EQ(Write(list), full) << "the size pass covers strings in arrays";

    char small[8];
    size_t length = sizeof(small) - 1;
    WriteProperties(&list, small, &length);
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(std::string(small), full.substr(0, 7));
}

TEST(PropertyText, RoundTripKeepsEveryValue) {
    auto source = Shape();
    TestList& s = *source;
    s["neg"].cells[0] = PropertyCell::Signed(-123456);
    s["big"].cells[0] = PropertyCell::Unsigned(3000000000u);
    s["d"].cells[0] = PropertyCell::Double(-1234.5678);
    s["s"].strings[0] = "a;b,c {x} = [1]";
    s.Resize("words", 4);
    s["words"].strings = {"semi;colon", "com,ma", "", "{brace;}"};
    TestList& inner = *s["inner"].lists[0];
    inner["x"].cells[0] = PropertyCell::Signed(42);
    inner["t"].strings[0] = "in;ner";
    inner.Resize("v", 2);
    inner["v"].cells = {PropertyCell::Signed(-1), PropertyCell::Signed(2)};
    s.Resize("items", 2);
    (*s["items"].lists[1])["t"].strings[0] = "second,item";
    (*s["items"].lists[1])["x"].cells[0] = PropertyCell::Signed(9);

    const std::string text = Write(s);
    auto target = Shape();
    ReadProperties(target.get(), text.c_str());
    TestList& t = *target;
    EXPECT_EQ(t["neg"].cells[0].i, -123456);
    EXPECT_EQ(t["big"].cells[0].u, 3000000000u);
    EXPECT_DOUBLE_EQ(t["d"].cells[0].d, -1234.5678);
    EXPECT_EQ(t["s"].strings[0], "a;b,c {x} = [1]");
    EXPECT_EQ(t["words"].strings, s["words"].strings);
    EXPECT_EQ((*t["inner"].lists[0])["t"].strings[0], "in;ner");
    EXPECT_EQ((*t["inner"].lists[0])["v"].arraySize, 2);
    EXPECT_EQ((*t["inner"].lists[0])["v"].cells[0].i, -1);
    EXPECT_EQ(t["items"].arraySize, 2);
    EXPECT_EQ((*t["items"].lists[1])["t"].strings[0], "second,item");
    EXPECT_EQ(Write(t), text);
}

TEST(PropertyText, ReaderSkipsWhatItCannotUse) {
    const auto read = [](const char* text) {
        TestList list;
        list.Add("x", CPropertyList::SignedType, PropertyCell::Signed(-1))
            .Add("y", CPropertyList::SignedType, PropertyCell::Signed(-1));
        ReadProperties(&list, text);
        return std::make_pair(list["x"].cells[0].i, list["y"].cells[0].i);
    };
    EXPECT_EQ(read("x=1;unknown=2;y=3;"), std::make_pair(1, 3));
    EXPECT_EQ(read("x=1"), std::make_pair(-1, -1)) << "no final ';'";
    EXPECT_EQ(read("x=1;y=2"), std::make_pair(1, -1));
    EXPECT_EQ(read(" x =1;"), std::make_pair(1, -1)) << "blanks around names";
    EXPECT_EQ(read("x= 1 2;y=-3x;"), std::make_pair(12, -3)) << "digits and signs only";
    EXPECT_EQ(read("X=1;y;y=4;"), std::make_pair(-1, 4)) << "case-sensitive, '=' needed";
    EXPECT_EQ(read("x=1;;y=2;"), std::make_pair(1, -1)) << "an empty segment ends the text";
    EXPECT_EQ(read(";x=1;"), std::make_pair(-1, -1));
    EXPECT_EQ(read("x=;y=99999999999;"), std::make_pair(0, 2147483647));
}

TEST(PropertyText, ReaderParsesEachType) {
    TestList list;
    list.Add("u", CPropertyList::UnsignedType)
        .Add("d", CPropertyList::DoubleType)
        .Str("s", "old")
        .Str("q", "old")
        .Sub("n", Inner)
        .Add("a", CPropertyList::SignedType)
        .Array(1)
        .Add("b", CPropertyList::SignedType)
        .Array(1);
    list["a"].cells[0] = PropertyCell::Signed(77);
    list["b"].cells[0] = PropertyCell::Signed(77);
    (*list["n"].lists[0])["x"].cells[0] = PropertyCell::Signed(5);
    ReadProperties(&list, "u=-2147483648;d=1.5x;s=abc;q=\"a\"b\"c\";n=nothing;"
                          "a[3]={7,8};b[1]={1,2,3};");
    // An unsigned value written by a signed writer reads back from its digits.
    EXPECT_EQ(list["u"].cells[0].u, 2147483648u);
    EXPECT_DOUBLE_EQ(list["d"].cells[0].d, 1.5);
    EXPECT_EQ(list["s"].strings[0], "") << "without quotes: the empty string";
    EXPECT_EQ(list["q"].strings[0], "a\"b\"c") << "between the first and last quote";
    EXPECT_EQ((*list["n"].lists[0])["x"].cells[0].i, 5) << "no braces: nested list unchanged";
    ASSERT_EQ(list["a"].arraySize, 3);
    EXPECT_EQ(list["a"].cells[0].i, 7);
    EXPECT_EQ(list["a"].cells[1].i, 8);
    EXPECT_EQ(list["a"].cells[2].i, 0) << "not in the text";
    // Elements beyond the announced count are not handed to the list.
    EXPECT_EQ(list["b"].arraySize, 1);
    EXPECT_EQ(list["b"].sets, 1);
    EXPECT_EQ(list["b"].cells[0].i, 1);
}

TEST(PropertyText, QuotesInsideStringsAreLeftOut) {
    TestList list;
    list.Str("s", "say \"hi\"; ok").Add("n", CPropertyList::SignedType, PropertyCell::Signed(3));
    const std::string text = Write(list);
    EXPECT_EQ(text, "s=\"say hi; ok\";n=3;");
    TestList back;
    back.Str("s", "").Add("n", CPropertyList::SignedType);
    ReadProperties(&back, text.c_str());
    EXPECT_EQ(back["s"].strings[0], "say hi; ok");
    EXPECT_EQ(back["n"].cells[0].i, 3) << "the property after the string survives";
}
