#include "compound/compound_html_form.h"

#include "compound/image_files.h"
#include "html/html_number.h"
#include "html/html_text_util.h"
#include "html/html_url.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace pixmill {

namespace fs = std::filesystem;

std::string MapNameTable::Take(const std::string& title) {
    for (int number = 0;; ++number) {
        std::string name = title + std::to_string(number);
        if (names.insert(name).second) {
            return name;
        }
    }
}

std::string UnescapeHtmlText(const std::string& text) {
    static const std::pair<const char*, char> entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : entities) {
                if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
                    out += c;
                    i += std::char_traits<char>::length(entity);
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out += text[i++];
        }
    }
    return out;
}

std::string LinkRelativeToPage(const std::string& url, const HtmlUrl& page) {
    HtmlUrl target(url);
    if (url.empty() || !target.IsAbsolute()) {
        return url;
    }
    return target.RelativeTo(page).Full();
}

std::string FileRelativeToPage(const std::string& path, const HtmlUrl& page) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    return HtmlUrl::FromLocalPath(path).RelativeTo(page).Full();
}

std::string ResolveAgainstPage(const std::string& reference, const HtmlUrl& page) {
    if (reference.empty()) {
        return reference;
    }
    const HtmlUrl url(reference);
    if (url.IsAbsolute()) {
        const std::string local = url.LocalPath();
        return local.empty() ? reference : local;
    }
    if (reference[0] == '/') {
        return reference;
    }
    const std::string pagePath = page.LocalPath();
    if (pagePath.empty()) {
        return reference;
    }
    bool ok = true;
    const std::string path = HtmlUrl::Unescape(url.Path(), &ok);
    return (fs::path(pagePath).parent_path() / (ok ? path : url.Path()))
        .lexically_normal()
        .string();
}

// ------------------------------------------------------------------ writing

namespace {

const char* FamilyKeyword(int pitchAndFamily) {
    switch ((pitchAndFamily >> 4) & 15) {
    case 1:
        return "serif";
    case 2:
        return "sans-serif";
    case 3:
        return "monospace";
    case 4:
        return "cursive";
    case 5:
        return "fantasy";
    default:
        return nullptr;
    }
}

// The CSS family list of a font: its face, then its generic family.
std::string FontFamilyList(const LogFont& font) {
    std::string list;
    for (const char c : FaceNameOf(font)) {
        // Quotes and separators cannot stand in a family name.
        if (c != '\'' && c != '"' && c != ',' && c != ';' && static_cast<unsigned char>(c) >= 32) {
            list += c;
        }
    }
    const bool plain = !list.empty() && !html::IsDigit(list.front()) &&
                       std::all_of(list.begin(), list.end(), [](char c) {
                           return html::IsAlnum(c) || c == ' ' || c == '-';
                       });
    if (!list.empty() && !plain) {
        list = "'" + list + "'";
    }
    if (const char* family = FamilyKeyword(font.pitchAndFamily)) {
        list += (list.empty() ? "" : ",") + std::string(family);
    }
    return list;
}

void SetPosition(HtmlStyle& style, const RECT& rect) {
    style.Set("position", "absolute");
    style.Set("left", PxLength(rect.left));
    style.Set("top", PxLength(rect.top));
    style.Set("width", PxLength(std::abs(rect.right - rect.left)));
}

void AppendWithBreak(HtmlContainer& parent, std::unique_ptr<HtmlNode> node) {
    parent.Children().Append(std::move(node));
    parent.Children().Append(std::make_unique<HtmlLineBreak>());
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The text's lines with a BR between them: a browser shows the lines the
// canvas shows (a line end in the text itself would show as a space).
void AppendTextLines(HtmlContainer& span, const std::string& text) {
    size_t start = 0;
    while (true) {
        const size_t end = std::min(text.find('\n', start), text.size());
        size_t lineEnd = end;
        if (lineEnd > start && text[lineEnd - 1] == '\r') {
            --lineEnd;
        }
        if (lineEnd > start) {
            span.Children().Append(std::make_unique<HtmlText>(
                html::EscapeHtmlText(std::string_view(text).substr(start, lineEnd - start))));
        }
        if (end == text.size()) {
            return;
        }
        span.Children().Append(std::make_unique<HtmlElement>("BR"));
        start = end + 1;
    }
}

} // namespace

void HtmlFormWriter::SetAnchorLink(HtmlElement& anchor, const HtmlLink& link) const {
    anchor.SetQuotedAttribute("HREF", LinkRelativeToPage(link.url, page));
    anchor.RemoveAttribute("NOHREF");
    if (link.flags & HtmlLink::NewWindow) {
        anchor.SetAttribute("TARGET", "\"_blank\"");
    } else if (html::EqualNoCase(anchor.AttributeText("TARGET"), "_blank")) {
        anchor.RemoveAttribute("TARGET");
    }
}

void HtmlFormWriter::SetPopupAndCursor(HtmlElement& outer, HtmlStyle& style,
                                       const HtmlLink& link) const {
    if (link.IsPopup()) {
        outer.SetTextAttribute("onclick", "window.showModalDialog(\"" +
                                              LinkRelativeToPage(link.url, page) + "\")");
    } else if (StartsWith(outer.AttributeText("onclick"), "window.showModalDialog(")) {
        outer.RemoveAttribute("onclick");
    }
    if (link.flags & HtmlLink::Hand) {
        style.Set("cursor", "hand");
    } else if (const std::string* cursor = style.Find("cursor");
               cursor && html::EqualNoCase(*cursor, "hand")) {
        style.Remove("cursor");
    }
}

std::unique_ptr<HtmlContainer> HtmlFormWriter::TextElement(const CompoundObject& text) const {
    if (text.text.empty()) {
        return nullptr;
    }
    const LogFont& font = text.font;
    HtmlStyle style;
    if (font.italic) {
        style.Set("font-style", "italic");
    }
    if (font.weight == 700) {
        style.Set("font-weight", "bold");
    } else if (font.weight != 400) {
        style.Set("font-weight", std::to_string(font.weight) + " ");
    }
    if (const int pixels = std::abs(font.height); pixels != 0) {
        int asRead = 0;
        if (ParseFontSize(text.fontSize, dpi, asRead) && asRead == pixels) {
            style.Set("font-size", text.fontSize);
        } else {
            const std::string unit = FontSizeUnit(text.fontSize);
            style.Set("font-size", FontSizeText(pixels, unit.empty() ? "pt" : unit, dpi));
        }
    }
    if (const std::string family = FontFamilyList(font); !family.empty()) {
        style.Set("font-family", family);
    }
    style.Set("color", RgbText(text.textColor));
    const bool linked = !text.link.url.empty();
    if (linked) {
        style.Set("text-decoration", "none");
    }
    SetPosition(style, text.rect);

    auto span = std::make_unique<HtmlContainer>("SPAN");
    AppendTextLines(*span, text.text);
    if (!linked) {
        SetPopupAndCursor(*span, style, text.link);
        span->SetTextAttribute("STYLE", style.ToString());
        return span;
    }
    auto anchor = std::make_unique<HtmlContainer>("A");
    SetAnchorLink(*anchor, text.link);
    SetPopupAndCursor(*anchor, style, text.link);
    span->SetTextAttribute("STYLE", style.ToString());
    anchor->Children().Append(std::move(span));
    return anchor;
}

std::unique_ptr<HtmlContainer> HtmlFormWriter::ImageElement(const CompoundObject& image,
                                                            const std::string& mapName) const {
    HtmlStyle style;
    SetPosition(style, image.rect);
    auto span = std::make_unique<HtmlContainer>("SPAN");
    auto img = std::make_unique<HtmlElement>("IMG");
    img->SetTextAttribute("SRC", FileRelativeToPage(image.fileName, page));
    if (image.link.HasHint()) {
        img->SetTextAttribute("ALT", image.link.name);
    }
    if (!mapName.empty()) {
        img->SetQuotedAttribute("USEMAP", "#" + mapName);
    }
    const bool linked = !image.link.url.empty();
    if (linked) {
        img->SetAttribute("BORDER", "0");
        span->Children().Append(std::make_unique<HtmlLineBreak>());
        auto anchor = std::make_unique<HtmlContainer>("A");
        SetAnchorLink(*anchor, image.link);
        anchor->Children().Append(std::move(img));
        span->Children().Append(std::move(anchor));
    } else {
        span->Children().Append(std::move(img));
    }
    SetPopupAndCursor(*span, style, image.link);
    span->SetTextAttribute("STYLE", style.ToString());
    return span;
}

std::unique_ptr<HtmlElement> HtmlFormWriter::AreaElement(const CompoundObject& region, int dx,
                                                         int dy) const {
    auto area = std::make_unique<HtmlElement>("AREA");
    char coords[64];
    std::string list;
    switch (region.kind) {
    case CompoundKind::Rectangle:
        area->SetAttribute("SHAPE", "RECT");
        std::snprintf(coords, sizeof coords, "%d,%d,%d,%d", region.rect.left - dx,
                      region.rect.top - dy, region.rect.right - dx, region.rect.bottom - dy);
        list = coords;
        break;
    case CompoundKind::Circle:
        area->SetAttribute("SHAPE", "CIRCLE");
        std::snprintf(coords, sizeof coords, "%d,%d,%d", region.centerX - dx, region.centerY - dy,
                      region.radius);
        list = coords;
        break;
    case CompoundKind::Polygon:
        area->SetAttribute("SHAPE", "POLY");
        for (size_t i = 0; i < region.points.size(); ++i) {
            std::snprintf(coords, sizeof coords, i == 0 ? "%d,%d" : ",%d,%d",
                          region.points[i].x - dx, region.points[i].y - dy);
            list += coords;
        }
        break;
    default:
        area->SetAttribute("SHAPE", "DEFAULT");
        break;
    }
    if (!list.empty()) {
        area->SetTextAttribute("COORDS", list);
    }
    const HtmlLink& link = region.link;
    if (link.url.empty()) {
        area->RemoveAttribute("HREF");
        area->RemoveAttribute("TARGET");
        area->SetAttribute("NOHREF", "");
    } else {
        area->SetQuotedAttribute("HREF", link.url);
        area->RemoveAttribute("NOHREF");
        if (link.flags & HtmlLink::NewWindow) {
            area->SetAttribute("TARGET", "\"_blank\"");
        } else {
            area->RemoveAttribute("TARGET");
        }
    }
    if (link.HasHint()) {
        area->SetTextAttribute("ALT", link.name);
    }
    HtmlStyle style(area->AttributeText("STYLE"));
    SetPopupAndCursor(*area, style, link);
    if (!style.Pairs().empty()) {
        area->SetTextAttribute("STYLE", style.ToString());
    }
    return area;
}

std::vector<std::unique_ptr<HtmlNode>> HtmlFormWriter::Write(const CompoundImage& image) {
    const auto& objects = image.Objects();
    // Regions grouped by the image under them, in list order.
    std::map<int, std::vector<int>> regionsOf;
    for (int i = 0; i < static_cast<int>(objects.size()); ++i) {
        if (objects[static_cast<size_t>(i)].IsRegion()) {
            if (const int under = image.FindImageUnder(i); under >= 0) {
                regionsOf[under].push_back(i);
            }
        }
    }
    std::vector<std::unique_ptr<HtmlNode>> nodes;
    nodes.push_back(std::make_unique<HtmlComment>(kCompoundMarker));
    auto root = std::make_unique<HtmlContainer>("DIV");
    root->SetTextAttribute("STYLE", "position:relative;width:" + PxLength(image.Width()) +
                                        ";height:" + PxLength(image.Height()) + ";");
    // Texts and pictures in list order, which is their stacking order: a
    // browser paints absolutely positioned elements in document order, so
    // an object written later lies over the ones before it, as in the editor.
    std::vector<std::pair<int, std::string>> mapNames;
    for (int i = 0; i < static_cast<int>(objects.size()); ++i) {
        const CompoundObject& object = objects[static_cast<size_t>(i)];
        if (object.kind == CompoundKind::Text) {
            if (auto element = TextElement(object)) {
                AppendWithBreak(*root, std::move(element));
            }
            continue;
        }
        if (object.kind != CompoundKind::Image) {
            continue;
        }
        std::string mapName;
        if (regionsOf.count(i)) {
            mapName = maps.Take(FileTitleOf(object.fileName));
            mapNames.emplace_back(i, mapName);
        }
        AppendWithBreak(*root, ImageElement(object, mapName));
    }
    for (const auto& [index, name] : mapNames) {
        const CompoundObject& under = objects[static_cast<size_t>(index)];
        auto map = std::make_unique<HtmlContainer>("MAP");
        map->SetTextAttribute("NAME", name);
        for (int region : regionsOf[index]) {
            AppendWithBreak(*map, AreaElement(objects[static_cast<size_t>(region)], under.rect.left,
                                              under.rect.top));
        }
        AppendWithBreak(*root, std::move(map));
    }
    nodes.push_back(std::move(root));
    return nodes;
}

// ------------------------------------------------------------------ reading

namespace {

bool Significant(const HtmlNode* node) {
    if (node->IsLineBreak() || node->IsComment()) {
        return false;
    }
    return !(node->IsText() && html::IsBlank(node->AsText()->Text()));
}

void ReadFontStyle(const HtmlStyle& style, int dpi, LogFont& font) {
    font = LogFont{};
    SetFaceName(font, "");
    font.weight = 400;
    if (const std::string* value = style.Find("font-style")) {
        font.italic = html::EqualNoCase(*value, "italic") || html::EqualNoCase(*value, "oblique");
    }
    if (const std::string* value = style.Find("font-weight")) {
        if (value->empty() || html::EqualNoCase(*value, "normal")) {
            font.weight = 400;
        } else if (html::EqualNoCase(*value, "bold")) {
            font.weight = 700;
        } else {
            try {
                const int weight = ParseHtmlInt(*value);
                font.weight = weight >= 0 && weight <= 1000 ? weight : 400;
            } catch (const ParseIntException&) {
                font.weight = 400;
            }
        }
    }
    int pixels = 0;
    const std::string* size = style.Find("font-size");
    font.height = size && ParseFontSize(*size, dpi, pixels) ? -pixels : 0;
    // The face is the first name of the family list that is no generic
    // family; pages written before the list name it in "font-name".
    std::string face;
    if (const std::string* value = style.Find("font-family")) {
        static const char* const keywords[] = {"serif", "sans-serif", "monospace", "cursive",
                                               "fantasy"};
        size_t start = 0;
        while (start <= value->size()) {
            const size_t end = std::min(value->find(',', start), value->size());
            std::string name = value->substr(start, end - start);
            name.erase(0, name.find_first_not_of(" \t\r\n"));
            name.erase(name.find_last_not_of(" \t\r\n") + 1);
            if (name.size() >= 2 && (name.front() == '\'' || name.front() == '"') &&
                name.back() == name.front()) {
                name = name.substr(1, name.size() - 2);
            }
            bool generic = false;
            for (int i = 0; i < 5; ++i) {
                if (html::EqualNoCase(name, keywords[i])) {
                    font.pitchAndFamily = static_cast<uint8_t>((i + 1) << 4);
                    generic = true;
                }
            }
            if (!generic && face.empty()) {
                face = name;
            }
            start = end + 1;
        }
    }
    if (const std::string* value = style.Find("font-name"); value && face.empty()) {
        face = *value;
    }
    if (face.size() < 32) {
        SetFaceName(font, face);
    }
}

bool HandCursor(const HtmlStyle& style) {
    const std::string* cursor = style.Find("cursor");
    return cursor && html::EqualNoCase(*cursor, "hand");
}

std::vector<int> ParseCoords(const std::string& text) {
    std::vector<int> numbers;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string item = text.substr(start, end - start);
        item.erase(0, item.find_first_not_of(' '));
        while (!item.empty() && item.back() == ' ') {
            item.pop_back();
        }
        if (!item.empty()) {
            try {
                numbers.push_back(ParseHtmlInt(item));
            } catch (const ParseIntException&) {
                return {};
            }
        }
        start = end + 1;
    }
    return numbers;
}

} // namespace

struct HtmlFormReader::Pending {
    std::vector<CompoundObject> objects;              // texts and images in page order
    std::vector<std::string> useMaps;                 // per object: the map it uses
    std::map<std::string, const HtmlContainer*> maps; // by name, case kept
};

HtmlLink HtmlFormReader::LinkOf(const HtmlElement& anchor) const {
    HtmlLink link;
    if (anchor.HasAttribute("HREF")) {
        link.url = anchor.AttributeText("HREF");
    }
    if (html::EqualNoCase(anchor.AttributeText("TARGET"), "_blank")) {
        link.flags |= HtmlLink::NewWindow;
    }
    if (HandCursor(HtmlStyle(anchor.AttributeText("STYLE")))) {
        link.flags |= HtmlLink::Hand;
    }
    return link;
}

CompoundObject HtmlFormReader::ImageFrom(const HtmlElement& img, const HtmlStyle& style) {
    const std::string path = ResolveAgainstPage(img.AttributeText("SRC"), page);
    const std::shared_ptr<const QImage> picture = ReadPicture(files, path);
    const int left = ParsePxValueOrZero(style.Find("left") ? *style.Find("left") : "", dpi);
    const int top = ParsePxValueOrZero(style.Find("top") ? *style.Find("top") : "", dpi);
    CompoundObject object = CompoundObject::MakeImage(picture, path, left, top);
    if (!picture) {
        // Without the file the size comes from the page where it says so.
        auto number = [&img](const char* name) {
            try {
                return img.HasAttribute(name) ? std::max(0, img.IntAttribute(name)) : 0;
            } catch (const ParseIntException&) {
                return 0;
            }
        };
        object.rect.right = left + number("WIDTH");
        object.rect.bottom = top + number("HEIGHT");
    }
    if (img.HasAttribute("ALT")) {
        object.link.name = img.AttributeText("ALT");
        object.link.flags |= HtmlLink::Hint;
    }
    return object;
}

void HtmlFormReader::ReadSpan(const HtmlContainer& span, const HtmlLink* link, Pending& pending) {
    const HtmlStyle style(span.AttributeText("STYLE"));
    const int left = ParsePxValueOrZero(style.Find("left") ? *style.Find("left") : "", dpi);
    const int top = ParsePxValueOrZero(style.Find("top") ? *style.Find("top") : "", dpi);
    const int width = ParsePxValueOrZero(style.Find("width") ? *style.Find("width") : "", dpi);
    std::string text;
    bool haveText = false;
    for (const HtmlNode* child : span.Children()) {
        if (!Significant(child)) {
            continue;
        }
        if (child->IsText()) {
            text += child->AsText()->Text();
            haveText = true;
            continue;
        }
        const HtmlElement* element = child->AsElement();
        const std::string& name = element->Name();
        if (name == "BR" && !element->IsContainer()) {
            text += '\n'; // a line of the text ends
            haveText = true;
            continue;
        }
        // A picture takes the link around it; its hint is its own ALT.
        auto addImage = [&](const HtmlElement& img, const HtmlLink* around) {
            CompoundObject image = ImageFrom(img, style);
            if (around) {
                const std::string hint = image.link.name;
                const int hintFlag = image.link.flags & HtmlLink::Hint;
                image.link = *around;
                image.link.name = hint;
                image.link.flags |= hintFlag;
            }
            if (HandCursor(style)) {
                image.link.flags |= HtmlLink::Hand;
            }
            pending.useMaps.push_back(img.AttributeText("USEMAP"));
            pending.objects.push_back(std::move(image));
        };
        if (name == "IMG" && !haveText) {
            addImage(*element, link);
            return;
        }
        if (name == "A" && link == nullptr && !haveText && element->IsContainer()) {
            // An image with a link: SPAN > A > IMG.
            const HtmlLink inner = LinkOf(*element);
            for (const HtmlNode* grandChild : element->AsContainer()->Children()) {
                if (!Significant(grandChild)) {
                    continue;
                }
                const HtmlElement* img = grandChild->AsElement();
                if (img == nullptr || img->Name() != "IMG") {
                    throw CompoundSyntaxError();
                }
                addImage(*img, &inner);
                return;
            }
            throw CompoundSyntaxError();
        }
        // Nested spans, links inside links, maps inside text.
        throw CompoundSyntaxError();
    }
    if (!haveText) {
        throw CompoundSyntaxError();
    }
    LogFont font;
    ReadFontStyle(style, dpi, font);
    const std::string* color = style.Find("color");
    CompoundObject object = CompoundObject::MakeText(
        UnescapeHtmlText(text), font, color ? ParseRgb(*color) : 0, left, top, width);
    if (const std::string* size = style.Find("font-size"); size && font.height != 0) {
        object.fontSize = *size;
    }
    if (link) {
        object.link = *link;
    }
    if (HandCursor(style)) {
        object.link.flags |= HtmlLink::Hand;
    }
    pending.useMaps.emplace_back();
    pending.objects.push_back(std::move(object));
}

void HtmlFormReader::ReadAnchor(const HtmlContainer& anchor, Pending& pending) {
    const HtmlLink link = LinkOf(anchor);
    bool read = false;
    for (const HtmlNode* child : anchor.Children()) {
        if (!Significant(child)) {
            continue;
        }
        const HtmlElement* element = child->AsElement();
        if (read || element == nullptr || element->Name() != "SPAN" || !element->IsContainer()) {
            throw CompoundSyntaxError();
        }
        ReadSpan(*element->AsContainer(), &link, pending);
        read = true;
    }
    if (!read) {
        throw CompoundSyntaxError();
    }
}

bool HtmlFormReader::ReadArea(const HtmlElement& area, int dx, int dy, CompoundObject& region) {
    const std::string shape = html::ToUpper(area.AttributeText("SHAPE"));
    const std::vector<int> numbers = ParseCoords(area.AttributeText("COORDS"));
    if (shape.empty() || shape == "RECT" || shape == "RECTANGLE") {
        if (numbers.size() < 4) {
            return false;
        }
        region = CompoundObject::MakeRectangle(
            RECT{numbers[0] + dx, numbers[1] + dy, numbers[2] + dx, numbers[3] + dy});
    } else if (shape == "CIRCLE" || shape == "CIRC") {
        if (numbers.size() < 3) {
            return false;
        }
        region = CompoundObject::MakeCircle(numbers[0] + dx, numbers[1] + dy, numbers[2]);
    } else if (shape == "POLY" || shape == "POLYGON") {
        if (numbers.size() < 6) {
            return false;
        }
        std::vector<POINT> points;
        for (size_t i = 0; i + 1 < numbers.size(); i += 2) {
            points.push_back(POINT{numbers[i] + dx, numbers[i + 1] + dy});
        }
        region = CompoundObject::MakePolygon(std::move(points));
    } else {
        return false; // the default area and unknown shapes stay in the page only
    }
    if (area.HasAttribute("HREF")) {
        region.link.url = area.AttributeText("HREF");
    }
    if (html::EqualNoCase(area.AttributeText("TARGET"), "_blank")) {
        region.link.flags |= HtmlLink::NewWindow;
    }
    if (area.HasAttribute("ALT")) {
        region.link.name = area.AttributeText("ALT");
        region.link.flags |= HtmlLink::Hint;
    }
    if (HandCursor(HtmlStyle(area.AttributeText("STYLE")))) {
        region.link.flags |= HtmlLink::Hand;
    }
    return true;
}

CompoundImage HtmlFormReader::Read(const HtmlContainer& root) {
    Pending pending;
    for (const HtmlNode* child : root.Children()) {
        if (!Significant(child) || !child->IsElement()) {
            continue; // loose text stays plain text
        }
        const HtmlElement* element = child->AsElement();
        const std::string& name = element->Name();
        if (name == "SPAN" && element->IsContainer()) {
            ReadSpan(*element->AsContainer(), nullptr, pending);
        } else if (name == "A" && element->IsContainer()) {
            ReadAnchor(*element->AsContainer(), pending);
        } else if (name == "MAP" && element->IsContainer()) {
            pending.maps[element->AttributeText("NAME")] = element->AsContainer();
        }
    }
    if (pending.objects.empty()) {
        throw CompoundSyntaxError();
    }
    const HtmlStyle rootStyle(root.AttributeText("STYLE"));
    auto length = [&rootStyle, this](const char* name) {
        const std::string* value = rootStyle.Find(name);
        return value ? ParsePxValueOrZero(*value, dpi) : 0;
    };
    CompoundImage image;
    image.SetCanvas(length("width"), length("height"), 0xFFFFFF);
    image.SetPageUrl(page);
    // Regions first: the image under a region follows it in the list.
    for (size_t i = 0; i < pending.objects.size(); ++i) {
        const std::string& use = pending.useMaps[i];
        if (use.size() < 2 || use[0] != '#') {
            continue;
        }
        const auto map = pending.maps.find(use.substr(1));
        if (map == pending.maps.end()) {
            continue;
        }
        const RECT& at = pending.objects[i].rect;
        for (const HtmlNode* node : map->second->Children()) {
            const HtmlElement* area = node->AsElement();
            CompoundObject region;
            if (area != nullptr && area->Name() == "AREA" &&
                ReadArea(*area, at.left, at.top, region)) {
                image.Insert(std::move(region));
            }
        }
    }
    for (CompoundObject& object : pending.objects) {
        image.Insert(std::move(object));
    }
    return image;
}

} // namespace pixmill
