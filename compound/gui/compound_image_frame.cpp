#include "compound/gui/compound_image_frame.h"

#include "compound/gui/compound_image_commands.h"
#include "compound/gui/compound_image_view.h"
#include "compound/gui/log_font.h"
#include "compound/gui/object_properties_dialog.h"
#include "desktop/gui/gui_services.h"
#include "pixmill/help.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstring>
#include <filesystem>

namespace pixmill {

namespace fs = std::filesystem;

namespace {

CompoundWindowContext& Context() {
    static CompoundWindowContext context;
    return context;
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// Which of the three forms HTML is written in.
class FormChoiceDialog : public QDialog {
  public:
    explicit FormChoiceDialog(QWidget* parent) : QDialog(parent) {
        setObjectName(QStringLiteral("formChoice"));
        setWindowTitle(tr("Write the compound image as"));
        auto* layout = new QVBoxLayout(this);
        html = new QRadioButton(tr("&HTML form"), this);
        html->setObjectName(QStringLiteral("formHtml"));
        applet = new QRadioButton(tr("&Applet"), this);
        applet->setObjectName(QStringLiteral("formApplet"));
        imageMap = new QRadioButton(tr("&Image with image map"), this);
        imageMap->setObjectName(QStringLiteral("formImageMap"));
        html->setChecked(true);
        layout->addWidget(html);
        layout->addWidget(applet);
        layout->addWidget(imageMap);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }
    CompoundForm Form() const {
        return applet->isChecked()     ? CompoundForm::Applet
               : imageMap->isChecked() ? CompoundForm::ImageMap
                                       : CompoundForm::Html;
    }

  private:
    QRadioButton* html;
    QRadioButton* applet;
    QRadioButton* imageMap;
};

} // namespace

void SetCompoundWindowContext(CompoundWindowContext context) {
    Context() = std::move(context);
}

const CompoundWindowContext& CompoundWindowContextOf() {
    return Context();
}

QWidget* CreateCompoundEditWindow(CompoundImage image, const QString& title,
                                  SaveIntoPage saveIntoPage, QWidget* parent) {
    return new CompoundImageFrame(std::move(image), title, std::move(saveIntoPage), parent);
}

CompoundImageFrame::CompoundImageFrame(CompoundImage image, const QString& title, SaveIntoPage save,
                                       QWidget* parent)
    : QMdiSubWindow(parent), saveIntoPage(std::move(save)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("compoundFrame"));
    document = std::make_unique<CompoundImageDoc>(
        std::move(image), CompoundEditServices{&Services(), Context().files, Context().store});
    document->SetTitle(title.toStdString());
    window = new QMainWindow;
    window->setObjectName(QStringLiteral("compoundWindow"));
    view = new CompoundImageView(*document, window);
    window->setCentralWidget(view);
    shapePane = new QLabel(window);
    shapePane->setObjectName(QStringLiteral("shapePane"));
    canvasPane = new QLabel(window);
    canvasPane->setObjectName(QStringLiteral("canvasPane"));
    canvasPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    window->statusBar()->addPermanentWidget(shapePane);
    window->statusBar()->addPermanentWidget(canvasPane);
    setWidget(window);
    CreateActions();
    CreateMenus();
    document->SetChangedHandler([this] { DocumentChanged(); });
    connect(view, &CompoundImageView::ZoomChanged, this, [this] { UpdateTitle(); });
    connect(view, &CompoundImageView::StatusChanged, shapePane, &QLabel::setText);
    connect(view, &CompoundImageView::ObjectActivated, this,
            [this](int index) { ShowObjectProperties(index); });
    resize(std::min(document->Image().Width() + 80, 900),
           std::min(document->Image().Height() + 140, 700));
    DocumentChanged();
    UpdateTitle();
}

CompoundImageFrame::~CompoundImageFrame() {
    document->SetChangedHandler({});
    // The view draws the document: it goes first.
    QWidget* inner = widget();
    setWidget(nullptr);
    delete inner;
}

GuiServices& CompoundImageFrame::Services() const {
    static GuiServices fallback;
    return Context().services != nullptr ? *Context().services : fallback;
}

int CompoundImageFrame::RunDialog(QDialog& dialog) const {
    return Services().RunDialog(dialog);
}

QAction* CompoundImageFrame::Action(int commandId) const {
    const auto it = actions.find(commandId);
    return it == actions.end() ? nullptr : it->second;
}

void CompoundImageFrame::RunCommand(int commandId) {
    if (const auto it = handlers.find(commandId); it != handlers.end()) {
        it->second();
    }
    UpdateCommandStates();
}

void CompoundImageFrame::CreateActions() {
    auto* tools = new QActionGroup(this);
    for (const EditCommandSpec& spec : EditCommandTable()) {
        auto* action = new QAction(QString::fromUtf8(spec.text), this);
        action->setObjectName(QStringLiteral("editCommand%1").arg(spec.id));
        if (*spec.shortcut != '\0') {
            action->setShortcut(QKeySequence(QString::fromUtf8(spec.shortcut)));
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(action);
        }
        action->setStatusTip(Text(EditPromptText(spec.id)));
        const char* tip = std::strchr(spec.prompt, '\n');
        if (tip != nullptr) {
            action->setToolTip(QString::fromUtf8(tip + 1));
        }
        if (spec.checkable) {
            action->setCheckable(true);
            tools->addAction(action);
        }
        const int id = spec.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        actions[spec.id] = action;
    }
    actions[editcmd::SelectTool]->setChecked(true);

    handlers = {
        {editcmd::SaveIntoPage, [this] { Save(); }},
        {editcmd::SaveAsPage, [this] { SaveAsPage(); }},
        {editcmd::CanvasProperties, [this] { ShowCanvasProperties(); }},
        {editcmd::InsertImage, [this] { InsertImage(false); }},
        {editcmd::InsertBackground, [this] { InsertImage(true); }},
        {editcmd::InsertText, [this] { InsertText(); }},
        {editcmd::PasteImage, [this] { document->PasteImage(QApplication::clipboard()->image()); }},
        {editcmd::Copy,
         [this] {
             if (const QImage picture = document->SelectedPicture(); !picture.isNull()) {
                 QApplication::clipboard()->setImage(picture);
             }
         }},
        {editcmd::Undo, [this] { document->Undo(); }},
        {editcmd::Redo, [this] { document->Redo(); }},
        {editcmd::Delete, [this] { document->DeleteSelected(); }},
        {editcmd::ObjectProperties, [this] { ShowObjectProperties(document->Selected()); }},
        {editcmd::SaveObjectAs, [this] { SaveSelectedAs(); }},
        {editcmd::Export,
         [this] {
             const QImage picture = document->SelectedPicture();
             if (!picture.isNull() && Context().exportPicture) {
                 Context().exportPicture(picture, document->SelectedObject()->link.name);
             }
         }},
        {editcmd::CopyBitmap,
         [this] { QApplication::clipboard()->setImage(document->CanvasBitmap()); }},
        {editcmd::CopyHtml, [this] { CopyAsHtml(); }},
        {editcmd::RectangleTool, [this] { SetTool(EditTool::Rectangle); }},
        {editcmd::CircleTool, [this] { SetTool(EditTool::Circle); }},
        {editcmd::PolygonTool, [this] { SetTool(EditTool::Polygon); }},
        {editcmd::ZoomTool, [this] { SetTool(EditTool::Zoom); }},
        {editcmd::SelectTool, [this] { SetTool(EditTool::Select); }},
        {editcmd::SaveBackground, [this] { SaveBackground(); }},
        {editcmd::Minimise, [this] { document->Minimise(); }},
        {editcmd::ZoomIn, [this] { view->ZoomIn(); }},
        {editcmd::ZoomOut, [this] { view->ZoomOut(); }},
        {editcmd::ActualSize, [this] { view->SetZoom(1.0); }},
        {editcmd::Help, [] { OpenHelpPage(kCompoundHelpTopic); }},
    };
}

void CompoundImageFrame::CreateMenus() {
    const auto add = [this](QMenu* menu, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(actions.at(id));
            }
        }
    };
    QMenuBar* bar = window->menuBar();
    QMenu* file = bar->addMenu(tr("&File"));
    if (saveIntoPage) {
        add(file, {editcmd::SaveIntoPage});
    }
    add(file,
        {editcmd::SaveAsPage, editcmd::SaveBackground, 0, editcmd::SaveObjectAs, editcmd::Export});
    QMenu* edit = bar->addMenu(tr("&Edit"));
    add(edit,
        {editcmd::Undo, editcmd::Redo, 0, editcmd::Copy, editcmd::PasteImage, editcmd::CopyBitmap,
         editcmd::CopyHtml, 0, editcmd::Delete, editcmd::ObjectProperties});
    QMenu* insert = bar->addMenu(tr("&Insert"));
    add(insert, {editcmd::InsertImage, editcmd::InsertBackground, editcmd::InsertText});
    QMenu* image = bar->addMenu(tr("&Compound"));
    add(image, {editcmd::CanvasProperties, editcmd::Minimise});
    QMenu* tools = bar->addMenu(tr("&Tools"));
    add(tools,
        {editcmd::SelectTool, editcmd::ZoomTool, 0, editcmd::RectangleTool, editcmd::CircleTool,
         editcmd::PolygonTool, 0, editcmd::ZoomIn, editcmd::ZoomOut, editcmd::ActualSize});
    QMenu* help = bar->addMenu(tr("&Help"));
    add(help, {editcmd::Help});
    for (QMenu* menu : {file, edit, insert, image, tools}) {
        connect(menu, &QMenu::aboutToShow, this, &CompoundImageFrame::UpdateCommandStates);
    }
    QToolBar* toolBar = window->addToolBar(tr("Compound image"));
    toolBar->setObjectName(QStringLiteral("compoundToolBar"));
    for (int id : std::initializer_list<int>{
             editcmd::SelectTool, editcmd::ZoomTool, editcmd::RectangleTool, editcmd::CircleTool,
             editcmd::PolygonTool, 0, editcmd::InsertImage, editcmd::InsertText, 0,
             editcmd::ObjectProperties, editcmd::Delete}) {
        if (id == 0) {
            toolBar->addSeparator();
        } else {
            toolBar->addAction(actions.at(id));
        }
    }
}

void CompoundImageFrame::UpdateCommandStates() {
    EditCommandState state;
    const CompoundObject* selected = document->SelectedObject();
    state.selection = selected != nullptr;
    state.picture = selected != nullptr && !selected->IsRegion();
    state.canUndo = document->CanUndo();
    state.canRedo = document->CanRedo();
    state.objects = !document->Image().Objects().empty();
    state.page = static_cast<bool>(saveIntoPage);
    for (const EditCommandSpec& spec : EditCommandTable()) {
        actions[spec.id]->setEnabled(IsEditCommandEnabled(spec.enabling, state));
    }
}

void CompoundImageFrame::DocumentChanged() {
    view->DocumentChanged();
    canvasPane->setText(Text(document->CanvasStatus()));
    UpdateCommandStates();
    UpdateTitle();
}

void CompoundImageFrame::UpdateTitle() {
    QString title = QString::asprintf("%s (%.0f%%)", document->Title().c_str(), view->Zoom() * 100);
    if (document->IsModified()) {
        title += QStringLiteral(" *");
    }
    setWindowTitle(title);
}

QString CompoundImageFrame::ShapePane() const {
    return shapePane->text();
}

QString CompoundImageFrame::CanvasPane() const {
    return canvasPane->text();
}

void CompoundImageFrame::SetTool(EditTool tool) {
    view->CancelDrawing();
    document->SetTool(tool);
    const int id = tool == EditTool::Rectangle ? editcmd::RectangleTool
                   : tool == EditTool::Circle  ? editcmd::CircleTool
                   : tool == EditTool::Polygon ? editcmd::PolygonTool
                   : tool == EditTool::Zoom    ? editcmd::ZoomTool
                                               : editcmd::SelectTool;
    actions[id]->setChecked(true);
}

std::string CompoundImageFrame::ChooseImagePath(const std::string& suggested) {
    QFileDialog dialog(this, QStringLiteral("Save HTML compatible image"), Text(suggested),
                       QtFilterOf(kHtmlImageFilter));
    dialog.setObjectName(QStringLiteral("saveHtmlImage"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(Text(suggested));
    if (RunDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    QString path = dialog.selectedFiles().front();
    if (QFileInfo(path).suffix().isEmpty()) {
        const QString filter = dialog.selectedNameFilter();
        path += filter.startsWith(QStringLiteral("GIF"))    ? QStringLiteral(".gif")
                : filter.startsWith(QStringLiteral("JPEG")) ? QStringLiteral(".jpg")
                                                            : QStringLiteral(".png");
    }
    return path.toStdString();
}

bool CompoundImageFrame::Save() {
    if (!saveIntoPage) {
        SaveAsPage();
        return !document->IsModified();
    }
    std::string error;
    const bool saved = document->SaveIntoPage(
        saveIntoPage, [this](const std::string& path) { return ChooseImagePath(path); }, &error);
    UpdateTitle();
    return saved;
}

void CompoundImageFrame::SaveAsPage() {
    const std::string folder = document->OutputDirectory().empty() ? fs::current_path().string()
                                                                   : document->OutputDirectory();
    std::string name = document->Image().DefaultFileName();
    if (name.empty()) {
        name = "compound";
    }
    const QString path =
        Services().GetSaveFileName(this, Text((fs::path(folder) / (name + ".htm")).string()),
                                   QStringLiteral("HTML Files (*.htm *.html)"));
    if (path.isEmpty()) {
        return;
    }
    std::string error;
    if (!document->SaveAsPage(
            path.toStdString(), [this](const std::string& p) { return ChooseImagePath(p); },
            &error) &&
        !error.empty()) {
        Services().ShowMessage("Pixmill", error.c_str(), MessageIcon::Warning);
    }
    UpdateTitle();
}

void CompoundImageFrame::InsertImage(bool background) {
    QFileDialog dialog(this, QStringLiteral("Insert image file "),
                       Text(document->OutputDirectory()), Context().openFilters);
    dialog.setObjectName(QStringLiteral("insertImage"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (RunDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = dialog.selectedFiles().front().toStdString();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    background ? document->InsertBackgroundImage(path) : document->InsertImageFile(path);
    QApplication::restoreOverrideCursor();
}

void CompoundImageFrame::InsertText() {
    const QPointF center = view->CenterPoint();
    const int index =
        document->InsertText("Text", static_cast<int>(center.x()), static_cast<int>(center.y()));
    ShowObjectProperties(index);
}

void CompoundImageFrame::ShowCanvasProperties() {
    const CompoundImage& image = document->Image();
    CanvasPropertiesDialog dialog(
        image.Width(), image.Height(), image.Background(),
        [this](QDialog& d) { return RunDialog(d); }, this);
    if (RunDialog(dialog) == QDialog::Accepted) {
        document->SetCanvasProperties(dialog.CanvasWidth(), dialog.CanvasHeight(),
                                      dialog.Background());
    }
}

void CompoundImageFrame::ShowObjectProperties(int index) {
    const auto& objects = document->Image().Objects();
    if (index < 0 || index >= static_cast<int>(objects.size())) {
        return;
    }
    ObjectPropertiesDialog dialog(
        objects[static_cast<size_t>(index)], [this](QDialog& d) { return RunDialog(d); }, this);
    if (RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    CompoundObject result = dialog.Result();
    const LogFont font = result.font;
    const uint32_t color = result.textColor;
    const bool text = result.kind == CompoundKind::Text;
    document->ChangeObject(index, std::move(result));
    if (text && dialog.FontChanged()) {
        document->OfferFontAsDefault(font, color);
    }
}

void CompoundImageFrame::SaveSelectedAs() {
    const CompoundObject* object = document->SelectedObject();
    const QImage picture = document->SelectedPicture();
    if (object == nullptr || picture.isNull()) {
        return;
    }
    const std::string folder = document->OutputDirectory().empty() ? fs::current_path().string()
                                                                   : document->OutputDirectory();
    const std::string name =
        object->fileName.empty() ? object->link.name : FileTitleOf(object->fileName);
    const std::string path = ChooseImagePath((fs::path(folder) / (name + ".png")).string());
    if (!path.empty()) {
        document->SavePicture(picture, path, false);
    }
}

void CompoundImageFrame::SaveBackground() {
    const std::string folder = document->OutputDirectory().empty() ? fs::current_path().string()
                                                                   : document->OutputDirectory();
    const std::string path = ChooseImagePath((fs::path(folder) / "background.png").string());
    if (!path.empty()) {
        document->SaveBackground(path);
    }
}

void CompoundImageFrame::CopyAsHtml() {
    FormChoiceDialog choice(this);
    if (RunDialog(choice) != QDialog::Accepted) {
        return;
    }
    const std::optional<std::string> text = document->HtmlSourceText(
        choice.Form(), [this](const std::string& path) { return ChooseImagePath(path); });
    if (text) {
        QApplication::clipboard()->setText(Text(*text));
    }
}

void CompoundImageFrame::closeEvent(QCloseEvent* event) {
    if (document->IsModified()) {
        switch (Services().AskSaveChanges(this, Text(document->Title()))) {
        case GuiServices::SaveAnswer::Yes:
            if (!Save()) {
                event->ignore();
                return;
            }
            break;
        case GuiServices::SaveAnswer::No:
            break;
        case GuiServices::SaveAnswer::Cancel:
            event->ignore();
            return;
        }
    }
    QMdiSubWindow::closeEvent(event);
}

} // namespace pixmill
