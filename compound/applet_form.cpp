#include "compound/applet_form.h"

#include "compound/compound_html_form.h"
#include "compound/image_files.h"
#include "compound/text_renderer.h"
#include "html/html_number.h"
#include "html/html_text_util.h"
#include "html/html_url.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace pixmill {

namespace {

// A font reduced to what the viewer knows: class 0 TimesRoman, 1 Courier,
// 2 Helvetica; the size; bit 1 italic, bit 2 bold.
struct FontEntry {
    int fontClass = 0;
    int size = 0;
    int style = 0;
    bool operator==(const FontEntry&) const = default;
};

FontEntry EntryOf(const LogFont& font) {
    FontEntry entry;
    const int family = font.pitchAndFamily & 0xF0;
    if (family == 0x30 && (font.pitchAndFamily & 0x03) == 1) {
        entry.fontClass = 1;
    } else if (family == 0x20) {
        entry.fontClass = 2;
    }
    entry.size = std::abs(font.height);
    entry.style = (font.italic ? 1 : 0) | (font.weight >= 700 ? 2 : 0);
    return entry;
}

void DropLast(std::string& text) {
    if (!text.empty()) {
        text.pop_back();
    }
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    if (text.empty()) {
        return parts;
    }
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return parts;
}

bool ToInt(const std::string& text, int& value) {
    try {
        value = ParseHtmlInt(html::IsBlank(text) ? "x" : text);
        return true;
    } catch (const ParseIntException&) {
        return false;
    }
}

std::string Corners(const RECT& r) {
    char text[128];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d,%d;", r.left, r.top, r.right, r.top,
                  r.right, r.bottom, r.left, r.bottom);
    return text;
}

} // namespace

std::unique_ptr<HtmlContainer> AppletWriter::Write(const CompoundImage& image) const {
    auto applet = std::make_unique<HtmlContainer>("APPLET");
    applet->SetAttribute("CODE", kAppletClass);
    applet->SetIntAttribute("WIDTH", image.Width());
    applet->SetIntAttribute("HEIGHT", image.Height());
    applet->Children().Append(std::make_unique<HtmlLineBreak>());
    auto param = [&applet](const std::string& name, const std::string& value) {
        auto element = std::make_unique<HtmlElement>("PARAM");
        element->SetTextAttribute("NAME", name);
        element->SetTextAttribute("VALUE", value);
        applet->Children().Append(std::move(element));
        applet->Children().Append(std::make_unique<HtmlLineBreak>());
    };

    std::vector<const CompoundObject*> texts, images, hotspots;
    for (const CompoundObject& object : image.Objects()) {
        if (object.kind == CompoundKind::Text) {
            texts.push_back(&object);
        } else if (object.kind == CompoundKind::Image) {
            images.push_back(&object);
        }
        if (object.kind != CompoundKind::DefaultArea && object.link.Active()) {
            hotspots.push_back(&object);
        }
    }

    // Texts and the font table.
    std::vector<FontEntry> fonts;
    std::string coords, colors, styles;
    for (size_t i = 0; i < texts.size(); ++i) {
        const CompoundObject& text = *texts[i];
        param("0t" + std::to_string(i), text.text);
        coords += std::to_string(text.rect.left) + "," + std::to_string(text.rect.top) + ",";
        const uint32_t rgb = static_cast<uint32_t>(RedOf(text.textColor) << 16) |
                             static_cast<uint32_t>(GreenOf(text.textColor) << 8) |
                             static_cast<uint32_t>(BlueOf(text.textColor));
        colors += std::to_string(rgb) + ";";
        const FontEntry entry = EntryOf(text.font);
        auto found = std::find(fonts.begin(), fonts.end(), entry);
        if (found == fonts.end()) {
            fonts.push_back(entry);
            found = fonts.end() - 1;
        }
        styles += std::to_string(found - fonts.begin()) + "+";
    }
    if (!texts.empty()) {
        DropLast(coords);
        DropLast(colors);
        DropLast(styles);
        param("0tcoor", coords);
        param("0tcolor", colors);
        param("0textstyle", styles);
        static const char* const classNames[] = {"TimesRoman", "Courier", "Helvetica"};
        std::string names, sizes, fontStyles;
        for (const FontEntry& entry : fonts) {
            names += std::string(classNames[entry.fontClass]) + "+";
            sizes += std::to_string(entry.size) + "+";
            std::string style =
                std::string(entry.style & 1 ? "i" : "") + (entry.style & 2 ? "b" : "");
            fontStyles += (style.empty() ? "p" : style) + "+";
        }
        DropLast(names);
        DropLast(sizes);
        DropLast(fontStyles);
        param("fontname", names);
        param("fontsize", sizes);
        param("fontstyle", fontStyles);
    }

    // Images, last to first.
    if (!images.empty()) {
        std::string files, places;
        for (auto it = images.rbegin(); it != images.rend(); ++it) {
            files += FileRelativeToPage((*it)->fileName, page) + ";";
            places +=
                std::to_string((*it)->rect.left) + "," + std::to_string((*it)->rect.top) + ",";
        }
        DropLast(files);
        DropLast(places);
        param("0image", files);
        param("0imcoor", places);
    }

    // Hotspots.
    std::string actions, points, mapIndexes, popups, addresses;
    int addressCount = 0, hintCount = 0;
    for (const CompoundObject* hotspot : hotspots) {
        const HtmlLink& link = hotspot->link;
        std::string words;
        if (!link.url.empty()) {
            if (link.IsPopup()) {
                words += "popup+";
                popups += LinkRelativeToPage(link.url, page) + ";";
            } else {
                words += "map+";
                mapIndexes += std::to_string(addressCount++) + "+";
                addresses += LinkRelativeToPage(link.url, page) + ";";
            }
        }
        if (link.flags & HtmlLink::Hand) {
            words += "hand+";
        }
        if (link.HasHint()) {
            words += "hint+";
            param("0hint" + std::to_string(hintCount++), link.name);
        }
        DropLast(words);
        actions += words + ";";
        char text[64];
        switch (hotspot->kind) {
        case CompoundKind::Circle:
            std::snprintf(text, sizeof text, "-1,%d,%d,%d;", hotspot->radius, hotspot->centerX,
                          hotspot->centerY);
            points += text;
            break;
        case CompoundKind::Polygon:
            for (size_t i = 0; i < hotspot->points.size(); ++i) {
                std::snprintf(text, sizeof text, i == 0 ? "%d,%d" : ",%d,%d", hotspot->points[i].x,
                              hotspot->points[i].y);
                points += text;
            }
            points += ";";
            break;
        default:
            points += Corners(hotspot->rect);
            break;
        }
    }
    DropLast(actions);
    DropLast(points);
    DropLast(mapIndexes);
    DropLast(popups);
    DropLast(addresses);
    if (!actions.empty()) {
        param("0HSAction", actions);
    }
    if (!points.empty()) {
        param("0HSPoint", points);
    }
    if (!mapIndexes.empty()) {
        param("0HSMap", mapIndexes);
    }
    if (!popups.empty()) {
        param("0Popup", popups);
    }
    if (!addresses.empty()) {
        param("addr", addresses);
    }
    return applet;
}

std::map<std::string, std::string> AppletReader::Parameters(const HtmlContainer& applet) {
    std::map<std::string, std::string> parameters;
    for (const HtmlNode* node : applet.Children()) {
        const HtmlElement* element = node->AsElement();
        if (element != nullptr && element->Name() == "PARAM" && element->HasAttribute("NAME")) {
            parameters[html::ToLower(element->AttributeText("NAME"))] =
                element->AttributeText("VALUE");
        }
    }
    return parameters;
}

CompoundImage AppletReader::Read(const HtmlContainer& applet) const {
    const std::map<std::string, std::string> parameters = Parameters(applet);
    auto value = [&parameters](const std::string& name) -> std::string {
        const auto found = parameters.find(name);
        return found == parameters.end() ? std::string() : found->second;
    };
    auto number = [&applet](const char* name) {
        try {
            bool percent = false;
            const int read = applet.IntAttribute(name, &percent);
            return percent ? 0 : std::max(0, read);
        } catch (const ParseIntException&) {
            return 0;
        }
    };
    CompoundImage image;
    image.SetCanvas(number("WIDTH"), number("HEIGHT"), 0xFFFFFF);
    image.SetPageUrl(page);

    const std::vector<std::string> addresses = Split(value("addr"), ';');

    // Fonts.
    const std::vector<std::string> names = Split(value("fontname"), '+');
    const std::vector<std::string> fontStyles = Split(value("fontstyle"), '+');
    const std::vector<std::string> sizes = Split(value("fontsize"), '+');
    std::vector<LogFont> fonts;
    for (size_t i = 0; i < std::max<size_t>(1, names.size()); ++i) {
        const std::string name = i < names.size() ? names[i] : "TimesRoman";
        LogFont font;
        font.weight = 400;
        font.italic = 0;
        if (name == "Courier") {
            SetFaceName(font, "Courier New");
            font.pitchAndFamily = 0x31;
        } else if (name == "Helvetica") {
            SetFaceName(font, "Helvetica");
            font.pitchAndFamily = 0x20;
        } else {
            SetFaceName(font, "Times New Roman");
            font.pitchAndFamily = 0x10;
        }
        const std::string style = i < fontStyles.size() ? fontStyles[i].substr(0, 3) : "";
        if (style.find('b') != std::string::npos) {
            font.weight = 700;
        }
        if (style.find('i') != std::string::npos) {
            font.italic = 1;
        }
        int size = 0;
        font.height = i < sizes.size() && ToInt(sizes[i], size) && size > 0 ? -size : -12;
        fonts.push_back(font);
    }

    // Images: written last to first, read back into their first-to-last order.
    std::vector<CompoundObject> pictures;
    const std::vector<std::string> fileList = Split(value("0image"), ';');
    const std::vector<std::string> places = Split(value("0imcoor"), ',');
    for (size_t i = 0; i < fileList.size(); ++i) {
        int left = 0, top = 0;
        if (2 * i + 1 < places.size()) {
            ToInt(places[2 * i], left);
            ToInt(places[2 * i + 1], top);
        }
        const std::string path = ResolveAgainstPage(fileList[i], page);
        pictures.push_back(CompoundObject::MakeImage(ReadPicture(files, path), path, left, top));
    }
    std::reverse(pictures.begin(), pictures.end());

    // Texts.
    std::vector<CompoundObject> texts;
    const std::vector<std::string> textPlaces = Split(value("0tcoor"), ',');
    const std::vector<std::string> colors = Split(value("0tcolor"), ';');
    const std::vector<std::string> styles = Split(value("0textstyle"), '+');
    for (size_t i = 0; parameters.count("0t" + std::to_string(i)); ++i) {
        int left = 0, top = 0, color = 0, fontIndex = 0;
        if (2 * i + 1 < textPlaces.size()) {
            ToInt(textPlaces[2 * i], left);
            ToInt(textPlaces[2 * i + 1], top);
        }
        if (i < colors.size()) {
            ToInt(colors[i], color);
        }
        if (i < styles.size() && ToInt(styles[i], fontIndex)) {
            fontIndex = std::clamp(fontIndex, 0, static_cast<int>(fonts.size()) - 1);
        }
        const uint32_t rgb = static_cast<uint32_t>(color) & 0xFFFFFF;
        const LogFont& font = fonts[static_cast<size_t>(fontIndex)];
        const std::string text = value("0t" + std::to_string(i));
        texts.push_back(CompoundObject::MakeText(text, font,
                                                 MakeColorRef(static_cast<int>(rgb >> 16),
                                                              static_cast<int>(rgb >> 8),
                                                              static_cast<int>(rgb)),
                                                 left, top, MeasureTextWidth(text, font)));
    }

    // Hotspots.
    std::vector<CompoundObject> regions;
    const std::vector<std::string> pointLists = Split(value("0hspoint"), ';');
    const std::vector<std::string> actionLists = Split(value("0hsaction"), ';');
    const std::vector<std::string> mapIndexes = Split(value("0hsmap"), '+');
    const std::vector<std::string> popups = Split(value("0popup"), ';');
    size_t nextMap = 0, nextPopup = 0;
    int nextHint = 0;
    for (size_t h = 0; h < pointLists.size(); ++h) {
        HtmlLink link;
        const std::vector<std::string> words =
            h < actionLists.size() ? Split(actionLists[h], '+') : std::vector<std::string>{};
        for (const std::string& word : words) {
            if (word == "map") {
                int index = 0;
                if (nextMap < mapIndexes.size() && ToInt(mapIndexes[nextMap], index) &&
                    index >= 0 && static_cast<size_t>(index) < addresses.size()) {
                    link.url = addresses[static_cast<size_t>(index)];
                }
                ++nextMap;
            } else if (word == "popup") {
                if (nextPopup < popups.size()) {
                    link.url = popups[nextPopup];
                }
                ++nextPopup;
                link.flags |= HtmlLink::NewWindow;
            } else if (word == "hand") {
                link.flags |= HtmlLink::Hand;
            } else if (word == "hint") {
                link.name = value("0hint" + std::to_string(nextHint++));
                link.flags |= HtmlLink::Hint;
            }
        }
        std::vector<int> numbers;
        for (const std::string& item : Split(pointLists[h], ',')) {
            int n = 0;
            if (ToInt(item, n)) {
                numbers.push_back(n);
            }
        }
        if (numbers.size() < 4 || numbers.size() % 2 != 0) {
            continue; // malformed: no region
        }
        const size_t pairs = numbers.size() / 2;
        if (pairs == 2) {
            if (numbers[0] != -1) {
                continue;
            }
            CompoundObject circle = CompoundObject::MakeCircle(numbers[2], numbers[3], numbers[1]);
            circle.link = link;
            regions.push_back(std::move(circle));
            continue;
        }
        std::vector<POINT> points;
        for (size_t i = 0; i < pairs; ++i) {
            points.push_back(POINT{numbers[2 * i], numbers[2 * i + 1]});
        }
        if (pairs == 4) {
            const RECT box{points[0].x, points[0].y, points[2].x, points[2].y};
            const bool isBox = points[1].x == box.right && points[1].y == box.top &&
                               points[3].x == box.left && points[3].y == box.bottom;
            // A text keeps only its corner in the parameters; its hotspot
            // gives back the rest of its box.
            bool matched = false;
            for (CompoundObject& text : texts) {
                if (!matched && isBox && text.rect.left == box.left && text.rect.top == box.top) {
                    text.link = link;
                    text.rect = box;
                    matched = true;
                }
            }
            for (CompoundObject& picture : pictures) {
                const RECT& r = picture.rect;
                if (!matched && isBox && r.left == box.left && r.top == box.top &&
                    r.right == box.right && r.bottom == box.bottom) {
                    picture.link = link;
                    matched = true;
                }
            }
            if (matched) {
                continue;
            }
            if (isBox) {
                CompoundObject rectangle = CompoundObject::MakeRectangle(box);
                rectangle.link = link;
                regions.push_back(std::move(rectangle));
                continue;
            }
        }
        CompoundObject polygon = CompoundObject::MakePolygon(std::move(points));
        polygon.link = link;
        regions.push_back(std::move(polygon));
    }

    // Regions first: the image under a region follows it in the list.
    for (auto* list : {&regions, &texts, &pictures}) {
        for (CompoundObject& object : *list) {
            image.Insert(std::move(object));
        }
    }
    return image;
}

} // namespace pixmill
