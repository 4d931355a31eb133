#include "compound/page_window/page_document.h"

#include "compound/compound_html_form.h"
#include "compound/text_renderer.h"
#include "pixmill/errors.h"
#include "pixmill/user_interface.h"

#include <QPainter>
#include <QPolygon>

#include <filesystem>

namespace pixmill {

namespace fs = std::filesystem;

namespace {

void Show(CUserInterface* ui, const std::string& text) {
    if (ui) {
        ui->ShowMessage(PageWindowDoc::kCaption, text.c_str(), MessageIcon::Warning);
    }
}

// The form an object is offered in when it has not been written yet: the
// one it stands in the page in.
CompoundForm FormOfKind(int kind) {
    switch (kind) {
    case HtmlPageObject::Applet:
        return CompoundForm::Applet;
    case HtmlPageObject::Compound:
        return CompoundForm::Html;
    default:
        return CompoundForm::ImageMap;
    }
}

} // namespace

PageQuestions::~PageQuestions() = default;

PageWindowDoc::PageWindowDoc(CompoundImageFiles* files, CUserInterface* ui,
                             PageQuestions* questions)
    : ui(ui), questions(questions), page(files, ui) {}

PageWindowDoc::~PageWindowDoc() = default;

bool PageWindowDoc::Open(const std::string& file) {
    path = fs::absolute(file).lexically_normal().string();
    states.clear();
    modified = false;
    if (!page.Open(path, true)) {
        return false;
    }
    SyncStates();
    return true;
}

std::string PageWindowDoc::Title() const {
    return fs::path(path).filename().string();
}

void PageWindowDoc::SyncStates() {
    // Writing back replaces one object by one, deleting removes one: the
    // states stay with their objects. Anything else starts afresh.
    states.resize(page.Objects().size());
}

void PageWindowDoc::Changed() {
    SyncStates();
    modified = true;
    RefreshPreview();
    if (changed) {
        changed();
    }
}

std::vector<PageEntry> PageWindowDoc::Entries() const {
    std::vector<PageEntry> entries;
    for (size_t i = 0; i < page.Objects().size(); ++i) {
        entries.push_back({page.DisplayName(i), i, page.Objects()[i].kind});
    }
    return entries;
}

std::string PageWindowDoc::ImagePathOf(size_t index) const {
    const HtmlPageObject& object = page.Objects().at(index);
    if (object.kind != HtmlPageObject::Image) {
        return {};
    }
    return ResolveAgainstPage(object.element->AttributeText("SRC"), page.PageUrl());
}

std::optional<CompoundImage> PageWindowDoc::CompoundOf(size_t index) const {
    try {
        return page.ReadCompound(index);
    } catch (const CompoundSyntaxError&) {
        Show(ui, CompoundText::kWrongSyntax);
    } catch (CQorelError& error) {
        Show(ui, error.Report(false));
    }
    return std::nullopt;
}

std::optional<QImage> PageWindowDoc::PictureOf(size_t index) const {
    std::optional<CompoundImage> image;
    try {
        image = page.ReadCompound(index);
    } catch (const CompoundSyntaxError&) {
        return std::nullopt;
    } catch (CQorelError&) {
        return std::nullopt;
    }
    QImage picture = ComposeCanvas(*image);
    if (picture.isNull()) {
        return std::nullopt;
    }
    // Regions in two colours, dashed, so they show on any picture.
    QPainter painter(&picture);
    for (const QColor& colour : {QColor(Qt::white), QColor(Qt::black)}) {
        QPen pen(colour, 1, colour == Qt::white ? Qt::SolidLine : Qt::DashLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        for (const CompoundObject& object : image->Objects()) {
            if (object.kind == CompoundKind::Rectangle) {
                painter.drawRect(object.rect.left, object.rect.top,
                                 object.rect.right - object.rect.left - 1,
                                 object.rect.bottom - object.rect.top - 1);
            } else if (object.kind == CompoundKind::Circle) {
                painter.drawEllipse(QPoint(object.centerX, object.centerY), object.radius,
                                    object.radius);
            } else if (object.kind == CompoundKind::Polygon) {
                QPolygon polygon;
                for (const POINT& point : object.points) {
                    polygon << QPoint(point.x, point.y);
                }
                painter.drawPolygon(polygon);
            }
        }
    }
    return picture;
}

PageEditorKind PageWindowDoc::EditorKindOf(size_t index) const {
    return index < states.size() ? states[index].editor : PageEditorKind::None;
}

int PageWindowDoc::EditorOf(size_t index) const {
    return index < states.size() ? states[index].editorId : 0;
}

std::optional<size_t> PageWindowDoc::ObjectOfEditor(int id) const {
    for (size_t i = 0; i < states.size(); ++i) {
        if (id != 0 && states[i].editorId == id) {
            return i;
        }
    }
    return std::nullopt;
}

bool PageWindowDoc::CloseEditor(size_t index) {
    const int id = EditorOf(index);
    if (id == 0) {
        return true;
    }
    if (closer) {
        closer(id);
    } else {
        EditorClosed(id);
    }
    return EditorOf(index) == 0;
}

PageWindowDoc::EditStep PageWindowDoc::PrepareEdit(size_t index, PageEditorKind kind) {
    if (index >= states.size() || kind == PageEditorKind::None ||
        (kind == PageEditorKind::ImageFile &&
         page.Objects()[index].kind != HtmlPageObject::Image)) {
        return EditStep::Stop;
    }
    const PageEditorKind open = states[index].editor;
    if (open == kind) {
        return EditStep::Activate;
    }
    if (open != PageEditorKind::None) {
        const bool again =
            kind == PageEditorKind::Compound
                ? (questions == nullptr || questions->AskOkCancel(kImageOpenAsFile))
                : (ui == nullptr || ui->AskYesNo(kCaption, kImageOpenAsCompound, true));
        if (!again || !CloseEditor(index)) {
            return EditStep::Stop;
        }
    }
    return EditStep::Open;
}

int PageWindowDoc::EditorOpening(size_t index, PageEditorKind kind) {
    ObjectState& state = states.at(index);
    state.editor = kind;
    state.editorId = ++nextEditorId;
    return state.editorId;
}

void PageWindowDoc::EditorClosed(int id) {
    if (const std::optional<size_t> index = ObjectOfEditor(id)) {
        states[*index].editor = PageEditorKind::None;
        states[*index].editorId = 0;
    }
}

std::optional<CompoundForm> PageWindowDoc::LastForm(size_t index) const {
    return index < states.size() ? states[index].form : std::nullopt;
}

std::string PageWindowDoc::DefaultImageTitle(size_t index, const CompoundImage& image) const {
    std::string title = image.DefaultFileName();
    if (title.empty() && page.Objects()[index].kind == HtmlPageObject::Image) {
        title = FileTitleOf(ImagePathOf(index));
    }
    if (title.empty()) {
        title = "compound" + std::to_string(page.Objects()[index].number);
    }
    return title;
}

bool PageWindowDoc::SaveIntoPage(int editorId, const CompoundImage& image, std::string* error) {
    const std::optional<size_t> found = ObjectOfEditor(editorId);
    if (!found) {
        if (error) {
            *error = "The page no longer holds the object this window edits.";
        }
        return false;
    }
    const size_t index = *found;
    const CompoundForm suggested =
        states[index].form.value_or(FormOfKind(page.Objects()[index].kind));
    const std::optional<CompoundForm> form =
        questions ? questions->ChooseForm(suggested) : std::optional(suggested);
    if (!form) {
        if (error) {
            error->clear();
        }
        return false;
    }
    const fs::path folder = fs::path(path).parent_path();
    WriteBackOptions options;
    options.form = *form;
    options.imageDirectory = folder.string();
    options.programDirectory = programDirectory;
    if (WritesFlatPicture(*form)) {
        const std::string suggestedFile =
            (folder / (DefaultImageTitle(index, image) + ".png")).string();
        options.imagePath = questions ? questions->AskImageFileName(suggestedFile) : suggestedFile;
        if (options.imagePath.empty()) {
            if (error) {
                error->clear();
            }
            return false;
        }
        options.imagePath = fs::absolute(options.imagePath).lexically_normal().string();
    }
    std::string reason;
    if (!page.WriteBack(index, image, options, &reason)) {
        if (error) {
            *error = reason;
        }
        return false;
    }
    SyncStates();
    states[index].form = *form;
    Changed();
    return true;
}

bool PageWindowDoc::Delete(size_t index) {
    if (index >= page.Objects().size()) {
        return false;
    }
    if (EditorOf(index) != 0) {
        if (ui != nullptr && !ui->AskYesNo(kCaption, kDeleteWhileEdited, false)) {
            return false;
        }
        if (!CloseEditor(index)) {
            return false;
        }
    }
    page.Delete(index);
    if (index < states.size()) {
        states.erase(states.begin() + static_cast<std::ptrdiff_t>(index));
    }
    Changed();
    return true;
}

bool PageWindowDoc::UpdateWebProject() {
    std::string error;
    if (!page.Save(path, &error)) {
        Show(ui, error.empty() ? path + ": the page could not be written" : error);
        return false;
    }
    modified = false;
    RefreshPreview();
    if (changed) {
        changed();
    }
    return true;
}

bool PageWindowDoc::RefreshPreview() {
    const bool hadPreview = !page.PreviewPath().empty();
    if (page.UpdatePreview()) {
        return true;
    }
    if (!hadPreview) {
        // The page's own update message names an existing copy; here none
        // could be made at all.
        Show(ui, kPreviewFailed);
    }
    return false;
}

} // namespace pixmill
