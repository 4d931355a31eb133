#include "html/fuzz/fuzz_targets.h"

#include "html/html_document.h"
#include "html/html_number.h"
#include "html/html_url.h"
#include "pixmill/user_interface.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace pixmill {

namespace {

class SilentUserInterface : public CUserInterface {
  public:
    void ShowMessage(const char*, const char*, MessageIcon) override {}
    bool AskYesNo(const char*, const char*, bool answer) override { return answer; }
    bool RunOperationDialog(CProcessingPlugin*, const CVImage*) override { return true; }
};

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) {
        Fail(what);
    }
}

// Visits every element of a list and its descendants without recursion.
template <class F> void ForEachElement(HtmlChildList& list, F&& visit) {
    std::vector<HtmlChildList*> pending{&list};
    while (!pending.empty()) {
        HtmlChildList* current = pending.back();
        pending.pop_back();
        for (HtmlNode* node : *current) {
            if (HtmlElement* element = node->AsElement()) {
                visit(*element);
            }
            if (HtmlContainer* container = node->AsContainer()) {
                pending.push_back(&container->Children());
            }
        }
    }
}

} // namespace

int FuzzHtmlParse(const uint8_t* data, size_t size) {
    static SilentUserInterface ui;
    SetUserInterface(&ui);

    HtmlDocument document;
    std::ostringstream warnings;
    document.SetWarningSink(&warnings);
    HtmlSource source("fuzz.htm", data, size);
    document.Parse(source);
    const std::string written = document.ToString();

    // A clone writes exactly as the original.
    std::string cloned;
    for (const HtmlNode* node : document.Root()) {
        cloned += node->Clone()->ToString();
    }
    Check(cloned == written, "clone writes differently");

    // Attribute reading and editing on every element.
    ForEachElement(document.Root(), [](HtmlElement& element) {
        const HtmlAttributeList& list = element.AttributeList();
        if (list.Count() > 0) {
            const std::string name = list.At(0).name;
            const std::string text = element.AttributeText(name);
            try {
                (void)element.IntAttribute(name);
            } catch (const ParseIntException&) {
            }
            HtmlUrl url;
            url.setUrl(text);
            (void)url.Full();
            element.SetTextAttribute("ALT", text);
            Check(element.HasAttribute("alt"), "attribute not found after setting");
            element.RemoveAttribute(name);
        }
    });

    // What was written parses again.
    HtmlDocument again;
    HtmlSource second("fuzz-written.htm", written.data(), written.size());
    again.Parse(second);
    (void)again.ToString();

    document.Clear();
    Check(document.Root().Empty() && !document.Head() && !document.Body(), "clear left nodes");
    SetUserInterface(nullptr);
    return 0;
}

int FuzzHtmlUrl(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string text = input.substr(0, newline);
    const std::string baseText = newline == std::string::npos ? "" : input.substr(newline + 1);

    HtmlUrl url;
    const bool accepted = url.setUrl(text);
    Check(accepted == !text.empty(), "setUrl refused a non-empty text");
    HtmlUrl base(baseText);
    (void)url.Full();
    (void)url.Parts(HtmlUrl::AllParts);
    (void)url.LocalPath();
    (void)url.Host();
    (void)url.IsUnc();
    HtmlUrl relative = url.RelativeTo(base);
    (void)relative.Full();
    (void)url.RelativeTo(url).Parts(HtmlUrl::AllParts);
    (void)HtmlUrl::RemoveDotSegments(text);

    // Unescaping undoes escaping.
    bool ok = false;
    Check(HtmlUrl::Unescape(HtmlUrl::Escape(input), &ok) == input && ok, "escape round trip");
    // A path of this system comes back from its file URL unchanged (except
    // for names like "/C:/..." that a file URL reads as a drive).
    const std::string local = "/" + text;
    const bool namesDrive =
        local.size() >= 3 &&
        ((local[1] >= 'a' && local[1] <= 'z') || (local[1] >= 'A' && local[1] <= 'Z')) &&
        (local[2] == ':' || local[2] == '|');
    if ((local.size() < 2 || local[1] != '/') && !namesDrive) {
        Check(HtmlUrl::FromLocalPath(local).LocalPath() == local, "local path round trip");
    }
    return 0;
}

} // namespace pixmill
