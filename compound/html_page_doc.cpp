#include "compound/html_page_doc.h"

#include "compound/applet_form.h"
#include "compound/image_files.h"
#include "compound/text_renderer.h"
#include "host/atomic_file.h"
#include "html/html_text_util.h"
#include "pixmill/errors.h"
#include "pixmill/user_interface.h"

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace pixmill {

namespace fs = std::filesystem;

namespace {

unsigned previewCounter = 0;

constexpr const char* kCaption = "Pixmill";

// Every node below the list, in document order.
template <class Visit> void WalkTree(const HtmlChildList& list, Visit visit) {
    std::vector<HtmlNode*> stack;
    for (HtmlNode* node = list.Last(); node; node = node->Previous()) {
        stack.push_back(node);
    }
    while (!stack.empty()) {
        HtmlNode* node = stack.back();
        stack.pop_back();
        if (!visit(node) || !node->IsContainer()) {
            continue;
        }
        const HtmlChildList& children = node->AsContainer()->Children();
        for (HtmlNode* child = children.Last(); child; child = child->Previous()) {
            stack.push_back(child);
        }
    }
}

bool WriteWhole(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

std::string UseMapName(const HtmlElement& img) {
    const std::string use = img.AttributeText("USEMAP");
    return use.size() > 1 && use[0] == '#' ? use.substr(1) : std::string();
}

void Show(CUserInterface* ui, const char* caption, const std::string& text) {
    if (ui) {
        ui->ShowMessage(caption, text.c_str(), MessageIcon::Warning);
    }
}

bool Ask(CUserInterface* ui, const std::string& text, bool defaultAnswer) {
    return ui ? ui->AskYesNo(kCaption, text.c_str(), defaultAnswer) : defaultAnswer;
}

} // namespace

namespace {

// What a reader is told of a flattened object: its hint, its text, or the
// picture's file title; for a region, its hint or its target.
std::string AlternativeText(const CompoundObject& part) {
    if (!part.link.name.empty() && (part.link.HasHint() || part.kind == CompoundKind::Image)) {
        return part.link.name;
    }
    if (part.kind == CompoundKind::Text) {
        std::string text = part.text;
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::erase(text, '\r');
        return text;
    }
    if (part.kind == CompoundKind::Image) {
        return FileTitleOf(part.fileName);
    }
    return part.link.url;
}

// The flattened picture's own alternative: the texts on the canvas (what
// were captions stay readable and searchable), else the pictures' hints.
std::string CanvasAlternative(const CompoundImage& image) {
    std::string texts, hints;
    for (const CompoundObject& part : image.Objects()) {
        std::string& list = part.kind == CompoundKind::Text ? texts : hints;
        if (part.kind == CompoundKind::Text ||
            (part.kind == CompoundKind::Image && part.link.HasHint())) {
            const std::string text = AlternativeText(part);
            if (!text.empty()) {
                list += (list.empty() ? "" : " ") + text;
            }
        }
    }
    return texts.empty() ? hints : texts;
}

// The responsive form's map scaling, the IMG's onload handler: each AREA
// keeps its coordinates in canvas pixels (data-coords) and shows them scaled
// by the picture's shown width over its own, again when the page has loaded
// (the MAP may follow later in a long page) and on every resize. A bare name
// in an inline handler is looked up on the element first, so the window's
// events are asked of window itself. Without script the map is right at full
// size. Written without '&', '<' and '"' so the attribute reads as written.
constexpr const char* kScaleMapScript =
    "var i=this;function f(){var m=document.getElementsByName(i.useMap.slice(1))[0];"
    "if(!m)return;var k=i.clientWidth/i.naturalWidth;"
    "[].forEach.call(m.areas,function(a){"
    "if(!a.hasAttribute('data-coords'))a.setAttribute('data-coords',a.coords);"
    "a.coords=a.getAttribute('data-coords').split(',')"
    ".map(function(v){return Math.round(v*k)}).join(',')})}"
    "f();window.addEventListener('load',f);window.addEventListener('resize',f)";

} // namespace

std::vector<std::unique_ptr<HtmlNode>> ImageMapNodes(const CompoundImage& image,
                                                     const std::string& imagePath,
                                                     const HtmlUrl& page, MapNameTable& maps,
                                                     bool responsive) {
    std::vector<std::unique_ptr<HtmlNode>> nodes;
    auto img = std::make_unique<HtmlElement>("IMG");
    img->SetTextAttribute("SRC", FileRelativeToPage(imagePath, page));
    // A block of the canvas's size, as the compound image's DIV is, so what
    // follows stays below it.
    img->SetAttribute("WIDTH", std::to_string(image.Width()));
    img->SetAttribute("HEIGHT", std::to_string(image.Height()));
    if (responsive) {
        // WIDTH and HEIGHT keep the aspect ratio before the picture loads.
        img->SetTextAttribute("STYLE", "display:block;width:100%;max-width:" +
                                           PxLength(image.Width()) + ";height:auto;");
    } else {
        img->SetTextAttribute("STYLE", "display:block;width:" + PxLength(image.Width()) +
                                           ";height:" + PxLength(image.Height()) + ";");
    }
    img->SetTextAttribute("ALT", CanvasAlternative(image));
    std::unique_ptr<HtmlContainer> map;
    HtmlFormWriter writer(page, maps);
    for (const CompoundObject& part : image.Objects()) {
        // Linked texts and pictures are flattened too: their boxes
        // become rectangles of the map.
        if (!part.IsRegion() &&
            !(part.kind != CompoundKind::DefaultArea && !part.link.url.empty())) {
            continue;
        }
        if (!map) {
            map = std::make_unique<HtmlContainer>("MAP");
            const std::string name = maps.Take(FileTitleOf(imagePath));
            map->SetTextAttribute("NAME", name);
            img->SetQuotedAttribute("USEMAP", "#" + name);
            img->SetAttribute("BORDER", "0");
            if (responsive) {
                img->SetTextAttribute("ONLOAD", kScaleMapScript);
            }
        }
        CompoundObject area = part;
        if (!part.IsRegion()) {
            area.kind = CompoundKind::Rectangle;
        }
        auto element = writer.AreaElement(area, 0, 0);
        if (!element->HasAttribute("ALT")) {
            element->SetTextAttribute("ALT", AlternativeText(part));
        }
        map->Children().Append(std::move(element));
        map->Children().Append(std::make_unique<HtmlLineBreak>());
    }
    nodes.push_back(std::move(img));
    if (map) {
        nodes.push_back(std::make_unique<HtmlLineBreak>());
        nodes.push_back(std::move(map));
    }
    return nodes;
}

std::unique_ptr<HtmlContainer> AppletWithFallback(const CompoundImage& image,
                                                  const std::string& imagePath,
                                                  const HtmlUrl& page, MapNameTable& maps) {
    std::unique_ptr<HtmlContainer> applet = AppletWriter(page).Write(image);
    if (!imagePath.empty()) {
        // Browsers without applets show the content instead: the flattened
        // picture with its links. Reading the applet takes only its PARAMs.
        applet->Children().Append(std::make_unique<HtmlLineBreak>());
        for (auto& node : ImageMapNodes(image, imagePath, page, maps)) {
            applet->Children().Append(std::move(node));
        }
    }
    return applet;
}

std::string CompoundSourceText(const CompoundImage& image, CompoundForm form, const HtmlUrl& page,
                               MapNameTable& maps, const std::string& imagePath) {
    std::vector<std::unique_ptr<HtmlNode>> nodes;
    if (WritesFlatPicture(form)) {
        nodes = ImageMapNodes(image, imagePath, page, maps, form == CompoundForm::Responsive);
    } else if (form == CompoundForm::Applet) {
        nodes.push_back(AppletWithFallback(image, imagePath, page, maps));
    } else {
        nodes = HtmlFormWriter(page, maps).Write(image);
        nodes.insert(nodes.begin() + 1, std::make_unique<HtmlLineBreak>());
    }
    std::string text;
    for (const auto& node : nodes) {
        text += node->ToString();
    }
    return text;
}

HtmlPageDoc::HtmlPageDoc(CompoundImageFiles* files, CUserInterface* ui) : files(files), ui(ui) {}

HtmlPageDoc::~HtmlPageDoc() {
    RemovePreview();
}

void HtmlPageDoc::SetPreviewCounter(unsigned value) {
    previewCounter = value;
}

bool HtmlPageDoc::Open(const std::string& path, bool preview) {
    RemovePreview();
    objects.clear();
    maps = MapNameTable();
    splices.clear();
    splicing = false;
    source.clear();
    pagePath = fs::absolute(path).lexically_normal().string();
    // The bytes are kept: saving writes them back with only the edited
    // objects replaced. A file that cannot be read so is left to the
    // parser, which reports why.
    std::error_code code;
    bool read = false;
    if (const auto size = fs::file_size(path, code); !code && fs::is_regular_file(path, code)) {
        std::ifstream in(path, std::ios::binary);
        source.resize(static_cast<size_t>(size));
        in.read(source.data(), static_cast<std::streamsize>(size));
        read = in && static_cast<uintmax_t>(in.gcount()) == size && in.peek() == EOF;
    }
    if (read) {
        HtmlSource bytes(path, source.data(), source.size());
        if (!document.Parse(bytes)) {
            return false;
        }
    } else {
        source.clear();
        if (!document.Parse(path)) {
            return false;
        }
    }
    splicing = read;
    markupStyle = DetectMarkupStyle(source);
    pageUrl = HtmlUrl::FromLocalPath(pagePath);
    Scan();
    if (preview && !WritePreview()) {
        Show(ui, kCaption, "Image preview failed.\nCannot create temp file.");
    }
    return true;
}

void HtmlPageDoc::Scan(bool quiet) {
    objects.clear();
    maps = MapNameTable();
    applets = 0;
    compounds = 0;
    int images = 0;
    HtmlComment* marker = nullptr;
    WalkTree(document.Root(), [&](HtmlNode* node) {
        if (node->IsComment()) {
            if (node->AsText()->Text().find("QorelCompoundImage") != std::string::npos) {
                marker = static_cast<HtmlComment*>(node);
            }
            return false;
        }
        HtmlElement* element = node->AsElement();
        if (element == nullptr) {
            return false;
        }
        const std::string& name = element->Name();
        if (name == "MAP") {
            maps.Add(element->AttributeText("NAME"));
        }
        if (name == "DIV" && marker != nullptr && element->IsContainer()) {
            HtmlComment* owner = marker;
            marker = nullptr;
            try {
                HtmlFormReader(pageUrl, nullptr).Read(*element->AsContainer());
            } catch (const CompoundSyntaxError&) {
                if (!quiet) {
                    Show(ui, kCaption, CompoundText::kWrongSyntax);
                }
                return true; // the rest reads as ordinary HTML
            }
            objects.push_back({HtmlPageObject::Compound, ++compounds, element, owner});
            WalkTree(element->AsContainer()->Children(), [this](HtmlNode* inner) {
                if (const HtmlElement* map = inner->AsElement(); map && map->Name() == "MAP") {
                    maps.Add(map->AttributeText("NAME"));
                }
                return true;
            });
            return false;
        }
        if (name == "APPLET" && element->AttributeText("CODE") == kAppletClass) {
            objects.push_back({HtmlPageObject::Applet, ++applets, element, nullptr});
            // Its fallback picture belongs to it; its map's name is taken.
            for (const HtmlNode* inner : element->AsContainer()->Children()) {
                if (const HtmlElement* map = inner->AsElement(); map && map->Name() == "MAP") {
                    maps.Add(map->AttributeText("NAME"));
                }
            }
            return false;
        }
        if (name == "IMG") {
            objects.push_back({HtmlPageObject::Image, ++images, element, nullptr});
        }
        return true;
    });
}

std::string HtmlPageDoc::DisplayName(size_t index) const {
    const HtmlPageObject& object = objects.at(index);
    char text[64];
    switch (object.kind) {
    case HtmlPageObject::Compound:
        std::snprintf(text, sizeof text, "Compound image %d", object.number);
        return text;
    case HtmlPageObject::Applet:
        if (object.element->HasAttribute("NAME") &&
            !object.element->AttributeText("NAME").empty()) {
            return object.element->AttributeText("NAME");
        }
        std::snprintf(text, sizeof text, "Applet %d", object.number);
        return text;
    default: {
        const std::string source = object.element->AttributeText("SRC");
        const size_t slash = source.find_last_of("/\\");
        return slash == std::string::npos ? source : source.substr(slash + 1);
    }
    }
}

HtmlContainer* HtmlPageDoc::FindMap(const std::string& name) const {
    if (name.empty()) {
        return nullptr; // a picture without USEMAP: no walk over the page
    }
    HtmlContainer* found = nullptr;
    WalkTree(document.Root(), [&](HtmlNode* node) {
        if (HtmlElement* element = node->AsElement();
            element && !found && element->Name() == "MAP" && element->IsContainer() &&
            element->AttributeText("NAME") == name) {
            found = element->AsContainer();
        }
        return found == nullptr;
    });
    return found;
}

int HtmlPageDoc::MapUsers(const std::string& name) const {
    int users = 0;
    WalkTree(document.Root(), [&](HtmlNode* node) {
        if (const HtmlElement* element = node->AsElement();
            element && element->Name() == "IMG" && UseMapName(*element) == name) {
            ++users;
        }
        return true;
    });
    return users;
}

CompoundImage HtmlPageDoc::ReadCompound(size_t index) const {
    const HtmlPageObject& object = objects.at(index);
    if (object.kind == HtmlPageObject::Compound) {
        return HtmlFormReader(pageUrl, files).Read(*object.element->AsContainer());
    }
    if (object.kind == HtmlPageObject::Applet) {
        return AppletReader(pageUrl, files).Read(*object.element->AsContainer());
    }
    // A plain image with the regions of its image map.
    const HtmlElement& img = *object.element;
    const std::string path = ResolveAgainstPage(img.AttributeText("SRC"), pageUrl);
    const std::shared_ptr<const QImage> picture = ReadPicture(files, path);
    CompoundImage image;
    image.SetCanvas(picture ? picture->width() : 0, picture ? picture->height() : 0, 0xFFFFFF);
    image.SetPageUrl(pageUrl);
    if (const HtmlContainer* map = FindMap(UseMapName(img))) {
        for (const HtmlNode* node : map->Children()) {
            CompoundObject region;
            if (const HtmlElement* area = node->AsElement();
                area && area->Name() == "AREA" && HtmlFormReader::ReadArea(*area, 0, 0, region)) {
                image.Insert(std::move(region));
            }
        }
    }
    CompoundObject picturedObject = CompoundObject::MakeImage(picture, path, 0, 0);
    if (img.HasAttribute("ALT")) {
        picturedObject.link.name = img.AttributeText("ALT");
        picturedObject.link.flags |= HtmlLink::Hint;
    }
    image.Insert(std::move(picturedObject));
    return image;
}

bool HtmlPageDoc::PreparePictures(CompoundImage& image, const WriteBackOptions& options,
                                  std::string* error) {
    if (options.imageDirectory.empty()) {
        return true;
    }
    const fs::path directory(options.imageDirectory);
    for (CompoundObject& object : image.Objects()) {
        if (object.kind != CompoundKind::Image) {
            continue;
        }
        if (!IsHtmlImageFile(object.fileName)) {
            // Not a web format: saved as one, beside the page.
            Show(ui, kCaption, FormatMessage(CompoundText::kShouldBeSaved, object.fileName));
            const fs::path target =
                directory / (FileTitleOf(object.fileName) + options.convertExtension);
            if (!object.picture || files == nullptr ||
                !files->Write(*object.picture, target.string(), error)) {
                Show(ui, kCaption, CompoundText::kUnsupportedFormat);
                if (error && error->empty()) {
                    *error = CompoundText::kUnsupportedFormat;
                }
                return false;
            }
            object.fileName = target.string();
            continue;
        }
        const fs::path source(object.fileName);
        const fs::path target = directory / source.filename();
        std::error_code code;
        if (fs::equivalent(source, target, code)) {
            continue;
        }
        if (!fs::exists(source, code)) {
            const std::string message = FormatMessage(CompoundText::kNotFound, object.fileName);
            Show(ui, kCaption, message);
            if (error) {
                *error = message;
            }
            return false;
        }
        if (fs::exists(target, code) &&
            !Ask(ui, FormatMessage(CompoundText::kOverwrite, target.string()), false)) {
            object.fileName = target.string(); // the file already there stands in
            continue;
        }
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, code);
        if (code) {
            Show(ui, kCaption, CompoundText::kCopyError);
            if (error) {
                *error = std::string(CompoundText::kCopyError) + ": " + target.string();
            }
            return false;
        }
        object.fileName = target.string();
    }
    return true;
}

bool HtmlPageDoc::WriteBack(size_t index, CompoundImage image, const WriteBackOptions& options,
                            std::string* error) {
    const HtmlPageObject object = objects.at(index);
    if (image.TextCount() == 0 && image.ImageCount() == 0) {
        Show(ui, CompoundText::kEmptyCaption, CompoundText::kEmpty);
        if (error) {
            *error = CompoundText::kEmpty;
        }
        return false;
    }
    image.SetPageUrl(pageUrl);
    // A picture's own map is replaced with it, so its name is free again.
    std::string freedMap;
    if (object.kind == HtmlPageObject::Image) {
        freedMap = UseMapName(*object.element);
        if (!freedMap.empty() && MapUsers(freedMap) != 1) {
            freedMap.clear();
        }
    }
    HtmlContainer* oldMap = freedMap.empty() ? nullptr : FindMap(freedMap);
    if (!freedMap.empty()) {
        maps.Remove(freedMap);
    }
    bool replaced = false;
    const auto keepName = [this, &freedMap, &replaced](void*) {
        if (!replaced && !freedMap.empty()) {
            maps.Add(freedMap);
        }
    };
    std::unique_ptr<void, decltype(keepName)> restore(this, keepName);
    std::vector<std::unique_ptr<HtmlNode>> nodes;
    if (WritesFlatPicture(options.form)) {
        if (files == nullptr || !files->Write(ComposeCanvas(image), options.imagePath, error)) {
            return false;
        }
        nodes = ImageMapNodes(image, options.imagePath, pageUrl, maps,
                              options.form == CompoundForm::Responsive);
    } else {
        // Regions over no picture: the background may be saved as one.
        bool outside = false;
        for (int i = 0; i < static_cast<int>(image.Objects().size()); ++i) {
            outside = outside || (image.Objects()[static_cast<size_t>(i)].IsRegion() &&
                                  image.FindImageUnder(i) < 0);
        }
        if (outside && options.form == CompoundForm::Html) {
            if (Ask(ui, CompoundText::kRegionOutside, true)) {
                const std::string folder = options.imageDirectory.empty()
                                               ? fs::path(pagePath).parent_path().string()
                                               : options.imageDirectory;
                const std::string path =
                    (fs::path(folder) / ("background" + options.convertExtension)).string();
                if (files == nullptr || !files->Write(image.CanvasPicture(), path, error)) {
                    return false;
                }
                int last = 0;
                for (int i = 0; i < static_cast<int>(image.Objects().size()); ++i) {
                    if (image.Objects()[static_cast<size_t>(i)].IsRegion()) {
                        last = i + 1;
                    }
                }
                image.Insert(CompoundObject::MakeImage(
                                 std::make_shared<const QImage>(image.CanvasPicture()), path, 0, 0),
                             last);
            } else if (image.ImageCount() == 0) {
                Show(ui, kCaption, CompoundText::kNeedsImage);
                if (error) {
                    *error = CompoundText::kNeedsImage;
                }
                return false;
            }
        }
        if (!PreparePictures(image, options, error)) {
            return false;
        }
        if (options.form == CompoundForm::Applet) {
            const std::string fallback = AppletFallbackPath(object, options);
            if (files == nullptr || !files->Write(ComposeCanvas(image), fallback, error)) {
                return false;
            }
            nodes.push_back(AppletWithFallback(image, fallback, pageUrl, maps));
            if (!options.programDirectory.empty()) {
                CopyAppletSupportFiles(options.programDirectory,
                                       options.imageDirectory.empty()
                                           ? fs::path(pagePath).parent_path().string()
                                           : options.imageDirectory);
            }
        } else {
            nodes = HtmlFormWriter(pageUrl, maps).Write(image);
            nodes.insert(nodes.begin() + 1, std::make_unique<HtmlLineBreak>());
        }
    }

    // Replace in place: the new nodes go where the element stood.
    HtmlChildList* list = object.element->List();
    if (list == nullptr) {
        return false;
    }
    if (oldMap != nullptr && oldMap->List() != nullptr) {
        Replacing(oldMap, {});
        oldMap->List()->Remove(oldMap);
    }
    replaced = true;
    if (object.marker != nullptr && object.marker->List() != nullptr) {
        HtmlChildList* markerList = object.marker->List();
        // Line breaks between the marker and its root go with the marker.
        while (object.marker->Next() && object.marker->Next()->IsLineBreak()) {
            Replacing(object.marker->Next(), {});
            markerList->Remove(object.marker->Next());
        }
        Replacing(object.marker, {});
        markerList->Remove(object.marker);
    }
    std::vector<HtmlNode*> added;
    for (auto& node : nodes) {
        added.push_back(list->InsertBefore(std::move(node), object.element));
    }
    Replacing(object.element, added);
    list->Remove(object.element);
    Scan(true);
    previewCurrent = false;
    return true;
}

void HtmlPageDoc::Delete(size_t index) {
    const HtmlPageObject object = objects.at(index);
    if (object.kind == HtmlPageObject::Image) {
        const std::string mapName = UseMapName(*object.element);
        if (!mapName.empty() && MapUsers(mapName) == 1) {
            if (HtmlContainer* map = FindMap(mapName);
                map && map->List() &&
                Ask(ui, "Image has imagemap regions.\nDo you want to delete it also ?", true)) {
                Replacing(map, {});
                map->List()->Remove(map);
            }
        }
    }
    if (object.marker != nullptr && object.marker->List() != nullptr) {
        Replacing(object.marker, {});
        object.marker->List()->Remove(object.marker);
    }
    if (HtmlChildList* list = object.element->List()) {
        Replacing(object.element, {});
        list->Remove(object.element);
    }
    Scan(true);
    previewCurrent = false;
}

std::string HtmlPageDoc::AppletFallbackPath(const HtmlPageObject& object,
                                            const WriteBackOptions& options) const {
    if (!options.imagePath.empty()) {
        return options.imagePath;
    }
    // An applet written before keeps its fallback picture's file.
    if (object.kind == HtmlPageObject::Applet) {
        for (const HtmlNode* node : object.element->AsContainer()->Children()) {
            if (const HtmlElement* img = node->AsElement(); img && img->Name() == "IMG") {
                const std::string path = ResolveAgainstPage(img->AttributeText("SRC"), pageUrl);
                if (!path.empty() && path[0] == '/') {
                    return path;
                }
            }
        }
    }
    // Else the first free "<page>_appletN" beside the pictures.
    const fs::path folder = options.imageDirectory.empty() ? fs::path(pagePath).parent_path()
                                                           : fs::path(options.imageDirectory);
    const std::string stem = fs::path(pagePath).stem().string() + "_applet";
    for (int number = 1;; ++number) {
        const fs::path path = folder / (stem + std::to_string(number) + options.convertExtension);
        std::error_code code;
        if (!fs::exists(path, code)) {
            return path.string();
        }
    }
}

void HtmlPageDoc::Replacing(HtmlNode* old, const std::vector<HtmlNode*>& added) {
    // A node written in an earlier edit: the nodes of that edit change.
    for (SourceSplice& splice : splices) {
        auto at = std::find(splice.nodes.begin(), splice.nodes.end(), old);
        if (at != splice.nodes.end()) {
            at = splice.nodes.erase(at);
            splice.nodes.insert(at, added.begin(), added.end());
            return;
        }
    }
    if (!splicing) {
        return;
    }
    if (!old->HasSourceRange()) {
        // Inside markup written by an earlier edit, the edit's text follows
        // the tree; anything else has no bytes to replace: the whole tree
        // is written from now on.
        splicing = InsideReplacement(old);
        return;
    }
    const size_t begin = old->SourceBegin();
    const size_t end = old->SourceEnd();
    for (const SourceSplice& splice : splices) {
        const bool overlaps = splice.begin < end && begin < splice.end;
        if (overlaps && !(begin <= splice.begin && splice.end <= end)) {
            splicing = false;
            return;
        }
    }
    // Edits inside the node's bytes go with it.
    std::erase_if(splices, [begin, end](const SourceSplice& splice) {
        return begin <= splice.begin && splice.end <= end;
    });
    splices.push_back({begin, end, added});
}

bool HtmlPageDoc::InsideReplacement(const HtmlNode* node) const {
    for (const HtmlNode* at = node; at->List() && at->List()->Owner();) {
        at = at->List()->Owner();
        for (const SourceSplice& splice : splices) {
            if (std::find(splice.nodes.begin(), splice.nodes.end(), at) != splice.nodes.end()) {
                return true;
            }
        }
    }
    return false;
}

std::string HtmlPageDoc::PageText() const {
    if (!splicing) {
        return document.ToString();
    }
    std::vector<const SourceSplice*> ordered;
    for (const SourceSplice& splice : splices) {
        ordered.push_back(&splice);
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const SourceSplice* a, const SourceSplice* b) { return a->begin < b->begin; });
    std::string text;
    text.reserve(source.size());
    size_t at = 0;
    for (const SourceSplice* splice : ordered) {
        text.append(source, at, splice->begin - at);
        HtmlStringSink sink;
        HtmlTreeWriter writer(sink);
        for (const HtmlNode* node : splice->nodes) {
            writer.Write(*node, nullptr);
        }
        text += ApplyMarkupStyle(sink.text, markupStyle);
        at = splice->end;
    }
    text.append(source, at, std::string::npos);
    return text;
}

bool HtmlPageDoc::Save(const std::string& path, std::string* error) {
    try {
        AtomicFile file(path);
        {
            std::ofstream out(file.Temporary(), std::ios::binary | std::ios::trunc);
            out << PageText();
            out.flush();
            if (!out) {
                if (error) {
                    *error = path + ": cannot write the page";
                }
                return false;
            }
        }
        file.Commit();
    } catch (CQorelError& failure) {
        if (error) {
            *error = failure.Report(false);
        }
        return false;
    }
    return true;
}

std::string HtmlPageDoc::PreviewText() const {
    std::string text = PageText();
    const HtmlHead* head = document.Head();
    if (head != nullptr && head->Base() != nullptr) {
        return text; // the page's own base already resolves its references
    }
    // The copy lies in a temporary folder: a BASE makes its relative
    // references (pictures, links, style sheets) resolve in the page's
    // folder. It goes after the DOCTYPE, which must stay first.
    std::string url = pageUrl.Full();
    for (size_t at = 0; (at = url.find('"', at)) != std::string::npos;) {
        url.replace(at, 1, "%22");
    }
    const std::string base = "<BASE HREF=\"" + url + "\">";
    size_t at = text.find_first_not_of(" \t\r\n");
    if (at != std::string::npos && text.size() - at > 9 &&
        html::EqualNoCase(std::string_view(text).substr(at, 9), "<!DOCTYPE")) {
        const size_t close = text.find('>', at);
        at = close == std::string::npos ? text.size() : close + 1;
    } else {
        at = 0;
    }
    text.insert(at, ApplyMarkupStyle(base, markupStyle));
    return text;
}

bool HtmlPageDoc::WritePreview() {
    // A private folder of its own, never the user's web folder.
    if (previewFolder.empty()) {
        std::error_code code;
        std::string pattern = (fs::temp_directory_path(code) / "pixmill-preview-XXXXXX").string();
        if (code || ::mkdtemp(pattern.data()) == nullptr) {
            return false;
        }
        previewFolder = pattern;
    }
    const fs::path folder(previewFolder);
    const std::string text = PreviewText();
    for (int attempt = 0; attempt < 65536; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "$vs%x.htm", previewCounter++);
        const std::string path = (folder / name).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue; // taken: the next number
            }
            return false;
        }
        const bool written = WriteWhole(fd, text);
        ::close(fd);
        if (!written) {
            ::unlink(path.c_str());
            return false;
        }
        previewPath = path;
        previewCurrent = true;
        return true;
    }
    return false;
}

bool HtmlPageDoc::UpdatePreview() {
    if (previewPath.empty()) {
        return WritePreview();
    }
    const int fd = ::open(previewPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    const bool written = fd >= 0 && WriteWhole(fd, PreviewText());
    if (fd >= 0) {
        ::close(fd);
    }
    if (!written) {
        Show(ui, kCaption,
             "Cannot update temp file\nPreview will be correct only after saving page.");
        return false;
    }
    previewCurrent = true;
    return true;
}

void HtmlPageDoc::RemovePreview() {
    if (!previewPath.empty()) {
        ::unlink(previewPath.c_str());
        previewPath.clear();
    }
    if (!previewFolder.empty()) {
        ::rmdir(previewFolder.c_str());
        previewFolder.clear();
    }
    previewCurrent = false;
}

} // namespace pixmill
