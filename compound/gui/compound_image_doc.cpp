#include "compound/gui/compound_image_doc.h"

#include "compound/image_files.h"
#include "compound/text_renderer.h"
#include "host/settings_store.h"
#include "pixmill/user_interface.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace pixmill {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCaption = "Pixmill";

// The defaults while the program runs without a settings store.
CompoundDefaults& SessionDefaults() {
    static CompoundDefaults defaults;
    return defaults;
}

void StoreDefaults(SettingsStore* store, const CompoundDefaults& defaults) {
    if (store != nullptr) {
        defaults.Save(*store);
    } else {
        SessionDefaults() = defaults;
    }
}

bool Contains(const CompoundObject& object, int x, int y) {
    switch (object.kind) {
    case CompoundKind::Circle: {
        const long dx = x - object.centerX, dy = y - object.centerY;
        return dx * dx + dy * dy <= static_cast<long>(object.radius) * object.radius;
    }
    case CompoundKind::Polygon: {
        // Even-odd rule over the edges.
        bool inside = false;
        const auto& p = object.points;
        for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
            if ((p[i].y > y) != (p[j].y > y) &&
                x < (p[j].x - p[i].x) * double(y - p[i].y) / double(p[j].y - p[i].y) + p[i].x) {
                inside = !inside;
            }
        }
        return inside;
    }
    default:
        return x >= object.rect.left && x < object.rect.right && y >= object.rect.top &&
               y < object.rect.bottom;
    }
}

} // namespace

CompoundImageDoc::CompoundImageDoc(CompoundImage compound, CompoundEditServices services)
    : image(std::move(compound)), services(services) {
    image.AssignNames();
    if (const std::string page = image.PageUrl().LocalPath(); !page.empty()) {
        outputDirectory = fs::path(page).parent_path().string();
    }
}

CompoundDefaults CompoundImageDoc::LoadDefaults(SettingsStore* store) {
    return store != nullptr ? CompoundDefaults::Load(*store) : SessionDefaults();
}

CompoundDefaults CompoundImageDoc::Defaults() const {
    return LoadDefaults(services.store);
}

const QImage& CompoundImageDoc::Composed() const {
    if (!composedCurrent) {
        composed = ComposeCanvas(image);
        composedCurrent = true;
    }
    return composed;
}

std::string CompoundImageDoc::CanvasStatus() const {
    char text[32];
    std::snprintf(text, sizeof text, "%dx%d", image.Width(), image.Height());
    return text;
}

void CompoundImageDoc::Changed() {
    composedCurrent = false;
    if (changed) {
        changed();
    }
}

void CompoundImageDoc::ShowMessage(const std::string& caption, const std::string& text) const {
    if (services.ui != nullptr) {
        services.ui->ShowMessage(caption.c_str(), text.c_str(), MessageIcon::Warning);
    }
}

bool CompoundImageDoc::Ask(const std::string& text, bool defaultAnswer) const {
    return services.ui != nullptr ? services.ui->AskYesNo(kCaption, text.c_str(), defaultAnswer)
                                  : defaultAnswer;
}

const CompoundObject* CompoundImageDoc::SelectedObject() const {
    return selected >= 0 && selected < static_cast<int>(image.Objects().size())
               ? &image.Objects()[static_cast<size_t>(selected)]
               : nullptr;
}

void CompoundImageDoc::Select(int index) {
    const int count = static_cast<int>(image.Objects().size());
    selected = index >= 0 && index < count ? index : -1;
    if (changed) {
        changed();
    }
}

int CompoundImageDoc::ObjectAt(int x, int y) const {
    const auto& objects = image.Objects();
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = static_cast<int>(objects.size()) - 1; i >= 0; --i) {
            const CompoundObject& object = objects[static_cast<size_t>(i)];
            if (object.IsRegion() == (pass == 0) && Contains(object, x, y)) {
                return i;
            }
        }
    }
    return -1;
}

void CompoundImageDoc::Inserted(int index) {
    image.AssignNames();
    selected = index;
    modified = true;
    Changed();
}

bool CompoundImageDoc::SetCanvasProperties(int width, int height, uint32_t background) {
    if (width <= 0 || height <= 0) {
        return false;
    }
    RecordStep();
    image.SetCanvas(width, height, background);
    // The canvas still holds every object.
    for (int i = 0; i < static_cast<int>(image.Objects().size()); ++i) {
        image.ObjectChanged(i);
    }
    modified = true;
    Changed();
    if (services.ui != nullptr) {
        CompoundDefaults defaults = Defaults();
        if (image.OfferCanvasAsDefaults(*services.ui, defaults)) {
            StoreDefaults(services.store, defaults);
        }
    }
    return true;
}

bool CompoundImageDoc::InsertImageFile(const std::string& path) {
    std::string error;
    QImage picture = services.files != nullptr ? services.files->Read(path, &error) : QImage();
    if (picture.isNull()) {
        ShowMessage(kCaption, error.empty() ? path + ": cannot read the picture" : error);
        return false;
    }
    const int index = static_cast<int>(image.Objects().size());
    RecordStep();
    image.Insert(CompoundObject::MakeImage(std::make_shared<const QImage>(std::move(picture)),
                                           fs::absolute(path).string(), 0, 0));
    Inserted(index);
    return true;
}

bool CompoundImageDoc::InsertBackgroundImage(const std::string& path) {
    std::string error;
    QImage picture = services.files != nullptr ? services.files->Read(path, &error) : QImage();
    if (picture.isNull()) {
        ShowMessage(kCaption, error.empty() ? path + ": cannot read the picture" : error);
        return false;
    }
    const auto& objects = image.Objects();
    const auto first =
        std::find_if(objects.begin(), objects.end(),
                     [](const CompoundObject& object) { return !object.IsRegion(); });
    const int index = static_cast<int>(first - objects.begin());
    RecordStep();
    image.Insert(CompoundObject::MakeImage(std::make_shared<const QImage>(std::move(picture)),
                                           fs::absolute(path).string(), 0, 0),
                 index);
    Inserted(index);
    return true;
}

int CompoundImageDoc::InsertText(const std::string& text, int x, int y) {
    const CompoundDefaults defaults = Defaults();
    const int index = static_cast<int>(image.Objects().size());
    RecordStep();
    image.Insert(CompoundObject::MakeText(text, defaults.font, defaults.textColor, x, y,
                                          std::max(1, MeasureTextWidth(text, defaults.font))));
    Inserted(index);
    return index;
}

bool CompoundImageDoc::PasteImage(const QImage& picture) {
    if (picture.isNull()) {
        return false;
    }
    const int index = static_cast<int>(image.Objects().size());
    RecordStep();
    image.Insert(CompoundObject::MakeImage(
        std::make_shared<const QImage>(picture.convertToFormat(QImage::Format_RGB888)), {}, 0, 0));
    Inserted(index);
    return true;
}

int CompoundImageDoc::AddRegion(CompoundObject region) {
    const auto& objects = image.Objects();
    const auto first =
        std::find_if(objects.begin(), objects.end(),
                     [](const CompoundObject& object) { return !object.IsRegion(); });
    const int index = static_cast<int>(first - objects.begin());
    RecordStep();
    image.Insert(std::move(region), index);
    Inserted(index);
    return index;
}

QImage CompoundImageDoc::SelectedPicture() const {
    const CompoundObject* object = SelectedObject();
    if (object == nullptr) {
        return {};
    }
    if (object->kind == CompoundKind::Image && object->picture) {
        return *object->picture;
    }
    const QRect box(object->rect.left, object->rect.top, object->rect.right - object->rect.left,
                    object->rect.bottom - object->rect.top);
    const QRect inside = box.intersected(Composed().rect());
    return inside.isEmpty() ? QImage() : Composed().copy(inside);
}

QImage CompoundImageDoc::CanvasBitmap() const {
    return Composed();
}

bool CompoundImageDoc::CanUndo() const {
    return !undoSteps.empty();
}

bool CompoundImageDoc::CanRedo() const {
    return !redoSteps.empty();
}

void CompoundImageDoc::RecordStep() {
    PushStep({image, selected});
}

void CompoundImageDoc::PushStep(Step before) {
    undoSteps.push_back(std::move(before));
    if (undoSteps.size() > kStepLimit) {
        undoSteps.erase(undoSteps.begin());
    }
    redoSteps.clear();
}

bool CompoundImageDoc::Restore(bool undo) {
    std::vector<Step>& from = undo ? undoSteps : redoSteps;
    std::vector<Step>& to = undo ? redoSteps : undoSteps;
    if (from.empty()) {
        return false;
    }
    to.push_back({std::move(image), selected});
    image = std::move(from.back().image);
    selected = from.back().selected;
    from.pop_back();
    modified = true;
    Changed();
    return true;
}

bool CompoundImageDoc::Undo() {
    return Restore(true);
}

bool CompoundImageDoc::Redo() {
    return Restore(false);
}

bool CompoundImageDoc::DeleteSelected() {
    if (SelectedObject() == nullptr) {
        return false;
    }
    RecordStep();
    image.Remove(selected);
    selected = -1;
    modified = true;
    Changed();
    return true;
}

bool CompoundImageDoc::ChangeObject(int index, CompoundObject changedObject) {
    if (index < 0 || index >= static_cast<int>(image.Objects().size())) {
        return false;
    }
    RecordStep();
    CompoundObject& object = image.Objects()[static_cast<size_t>(index)];
    if (changedObject.kind == CompoundKind::Text) {
        // The box follows the text and its font.
        const int width = std::max(1, MeasureTextWidth(changedObject.text, changedObject.font));
        const CompoundObject sized = CompoundObject::MakeText(
            changedObject.text, changedObject.font, changedObject.textColor,
            changedObject.rect.left, changedObject.rect.top, width);
        changedObject.rect = sized.rect;
    } else if (changedObject.IsRegion() && changedObject.kind != CompoundKind::Rectangle) {
        changedObject.UpdateShapeRect();
    }
    object = std::move(changedObject);
    image.ObjectChanged(index);
    modified = true;
    Changed();
    return true;
}

bool CompoundImageDoc::ChangeTextFont(int index, const LogFont& font, uint32_t color) {
    if (index < 0 || index >= static_cast<int>(image.Objects().size()) ||
        image.Objects()[static_cast<size_t>(index)].kind != CompoundKind::Text) {
        return false;
    }
    CompoundObject text = image.Objects()[static_cast<size_t>(index)];
    text.font = font;
    text.textColor = color;
    ChangeObject(index, std::move(text));
    OfferFontAsDefault(font, color);
    return true;
}

void CompoundImageDoc::OfferFontAsDefault(const LogFont& font, uint32_t color) {
    if (services.ui != nullptr) {
        CompoundDefaults defaults = Defaults();
        if (CompoundImage::OfferFontAsDefault(*services.ui, font, color, defaults)) {
            StoreDefaults(services.store, defaults);
        }
    }
}

bool CompoundImageDoc::SavePicture(const QImage& picture, const std::string& path, bool webOnly) {
    std::string error;
    if (picture.isNull() || path.empty() || (webOnly && !IsHtmlImageFile(path)) ||
        services.files == nullptr || !services.files->Write(picture, path, &error)) {
        ShowMessage(kCaption, CompoundText::kUnsupportedFormat);
        return false;
    }
    return true;
}

bool CompoundImageDoc::SaveBackground(const std::string& path) {
    return SavePicture(image.CanvasPicture(), path, false);
}

bool CompoundImageDoc::Minimise() {
    Step before{image, selected};
    if (!image.Minimise()) {
        return false; // nothing changed: no step
    }
    PushStep(std::move(before));
    modified = true;
    Changed();
    return true;
}

bool CompoundImageDoc::PrepareForSaving(const PathChooser& choosePath) {
    if (image.TextCount() == 0 && image.ImageCount() == 0) {
        ShowMessage(CompoundText::kEmptyCaption, CompoundText::kEmpty);
        return false;
    }
    for (CompoundObject& object : image.Objects()) {
        if (object.kind != CompoundKind::Image || IsHtmlImageFile(object.fileName)) {
            continue;
        }
        const std::string name = object.fileName.empty() ? object.link.name : object.fileName;
        ShowMessage(kCaption, FormatMessage(CompoundText::kShouldBeSaved, name));
        const std::string title =
            object.fileName.empty() ? object.link.name : FileTitleOf(object.fileName);
        const std::string folder =
            !outputDirectory.empty()
                ? outputDirectory
                : (object.fileName.empty() ? fs::current_path().string()
                                           : fs::path(object.fileName).parent_path().string());
        const std::string path =
            choosePath ? choosePath((fs::path(folder) / (title + ".png")).string()) : std::string();
        if (path.empty()) {
            return false;
        }
        if (!object.picture || !SavePicture(*object.picture, path, true)) {
            return false;
        }
        object.fileName = fs::absolute(path).string();
        modified = true;
        Changed();
    }
    return true;
}

std::optional<std::string> CompoundImageDoc::HtmlSourceText(CompoundForm form,
                                                            const PathChooser& choosePath) {
    if (!PrepareForSaving(choosePath)) {
        return std::nullopt;
    }
    std::string imagePath;
    if (WritesFlatPicture(form)) {
        std::string title = image.DefaultFileName();
        const std::string folder =
            outputDirectory.empty() ? fs::current_path().string() : outputDirectory;
        imagePath =
            choosePath
                ? choosePath(
                      (fs::path(folder) / ((title.empty() ? "compound" : title) + ".png")).string())
                : std::string();
        if (imagePath.empty() || !SavePicture(Composed(), imagePath, true)) {
            return std::nullopt;
        }
    }
    MapNameTable maps;
    return CompoundSourceText(image, form, image.PageUrl(), maps, imagePath);
}

bool CompoundImageDoc::SaveIntoPage(const pixmill::SaveIntoPage& save,
                                    const PathChooser& choosePath, std::string* error) {
    if (!save || !PrepareForSaving(choosePath)) {
        return false;
    }
    if (!save(image, error)) {
        return false;
    }
    modified = false;
    Changed();
    return true;
}

bool CompoundImageDoc::SaveAsPage(const std::string& path, const PathChooser& choosePath,
                                  std::string* error) {
    if (!PrepareForSaving(choosePath)) {
        return false;
    }
    // A page with one placeholder picture, which the compound image then
    // replaces the way it replaces an object of any page.
    std::error_code code;
    const bool existed = fs::exists(path, code);
    const std::string placeholder = path + ".new";
    {
        std::ofstream out(placeholder, std::ios::binary | std::ios::trunc);
        out << "<HTML>\n<HEAD>\n<TITLE>" << FileTitleOf(path)
            << "</TITLE>\n</HEAD>\n<BODY>\n<IMG SRC=\"placeholder.png\">\n</BODY>\n</HTML>\n";
        if (!out) {
            if (error) {
                *error = placeholder + ": cannot write the page";
            }
            fs::remove(placeholder, code);
            return false;
        }
    }
    HtmlPageDoc page(services.files, services.ui);
    const bool opened = page.Open(placeholder, false);
    page.SetPageUrl(HtmlUrl::FromLocalPath(fs::absolute(path).string()));
    WriteBackOptions options;
    options.form = CompoundForm::Html;
    options.imageDirectory = fs::absolute(path).parent_path().string();
    const bool written = opened && !page.Objects().empty() &&
                         page.WriteBack(0, image, options, error) && page.Save(path, error);
    fs::remove(placeholder, code);
    if (!written) {
        if (!existed) {
            fs::remove(path, code);
        }
        return false;
    }
    outputDirectory = options.imageDirectory;
    image.SetPageUrl(page.PageUrl());
    modified = false;
    Changed();
    return true;
}

} // namespace pixmill
