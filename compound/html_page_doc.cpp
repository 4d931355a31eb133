#include "compound/html_page_doc.h"

#include "compound/applet_form.h"
#include "compound/image_files.h"
#include "compound/text_renderer.h"
#include "host/atomic_file.h"
#include "html/html_text_util.h"
#include "pixmill/errors.h"
#include "pixmill/user_interface.h"

#include <cerrno>
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

std::vector<std::unique_ptr<HtmlNode>> ImageMapNodes(const CompoundImage& image,
                                                     const std::string& imagePath,
                                                     const HtmlUrl& page, MapNameTable& maps) {
    std::vector<std::unique_ptr<HtmlNode>> nodes;
    auto img = std::make_unique<HtmlElement>("IMG");
    img->SetTextAttribute("SRC", FileRelativeToPage(imagePath, page));
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
        }
        CompoundObject area = part;
        if (!part.IsRegion()) {
            area.kind = CompoundKind::Rectangle;
        }
        map->Children().Append(writer.AreaElement(area, 0, 0));
        map->Children().Append(std::make_unique<HtmlLineBreak>());
    }
    nodes.push_back(std::move(img));
    if (map) {
        nodes.push_back(std::make_unique<HtmlLineBreak>());
        nodes.push_back(std::move(map));
    }
    return nodes;
}

std::string CompoundSourceText(const CompoundImage& image, CompoundForm form, const HtmlUrl& page,
                               MapNameTable& maps, const std::string& imagePath) {
    std::vector<std::unique_ptr<HtmlNode>> nodes;
    if (form == CompoundForm::ImageMap) {
        nodes = ImageMapNodes(image, imagePath, page, maps);
    } else if (form == CompoundForm::Applet) {
        nodes.push_back(AppletWriter(page).Write(image));
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
    pagePath = fs::absolute(path).lexically_normal().string();
    if (!document.Parse(path)) {
        return false;
    }
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
    if (options.form == CompoundForm::ImageMap) {
        if (files == nullptr || !files->Write(ComposeCanvas(image), options.imagePath, error)) {
            return false;
        }
        nodes = ImageMapNodes(image, options.imagePath, pageUrl, maps);
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
            nodes.push_back(AppletWriter(pageUrl).Write(image));
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
        oldMap->List()->Remove(oldMap);
    }
    replaced = true;
    if (object.marker != nullptr && object.marker->List() != nullptr) {
        HtmlChildList* markerList = object.marker->List();
        // Line breaks between the marker and its root go with the marker.
        while (object.marker->Next() && object.marker->Next()->IsLineBreak()) {
            markerList->Remove(object.marker->Next());
        }
        markerList->Remove(object.marker);
    }
    for (auto& node : nodes) {
        list->InsertBefore(std::move(node), object.element);
    }
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
                map->List()->Remove(map);
            }
        }
    }
    if (object.marker != nullptr && object.marker->List() != nullptr) {
        object.marker->List()->Remove(object.marker);
    }
    if (HtmlChildList* list = object.element->List()) {
        list->Remove(object.element);
    }
    Scan(true);
    previewCurrent = false;
}

bool HtmlPageDoc::Save(const std::string& path, std::string* error) {
    try {
        AtomicFile file(path);
        {
            std::ofstream out(file.Temporary(), std::ios::binary | std::ios::trunc);
            out << document.ToString();
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

bool HtmlPageDoc::WritePreview() {
    const fs::path folder = fs::path(pagePath).parent_path();
    const std::string text = document.ToString();
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
    const bool written = fd >= 0 && WriteWhole(fd, document.ToString());
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
    previewCurrent = false;
}

} // namespace pixmill
