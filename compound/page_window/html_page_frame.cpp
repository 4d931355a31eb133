#include "compound/page_window/html_page_frame.h"

#include "compound/page_window/page_commands.h"
#include "compound/page_window/page_preview.h"
#include "compound/page_window/page_tree_view.h"
#include "compound/page_window/write_form_dialog.h"
#include "pixmill/help.h"
#include "pixmill/user_interface.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace pixmill {

namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

QString PromptPart(const char* prompt, bool tip) {
    const QString text = Text(prompt);
    const qsizetype newline = text.indexOf('\n');
    if (newline < 0) {
        return tip ? QString() : text;
    }
    return tip ? text.mid(newline + 1) : text.left(newline);
}

} // namespace

PageWindowServices::~PageWindowServices() = default;

HtmlPageFrame::HtmlPageFrame(CompoundImageFiles& files, PageWindowServices& services,
                             PageWindowHooks hooks, QWidget* parent)
    : QMdiSubWindow(parent), services(services), hooks(std::move(hooks)),
      document(std::make_unique<PageWindowDoc>(&files, &services.Ui(),
                                               static_cast<PageQuestions*>(this))) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("pageFrame"));
    document->SetProgramDirectory(this->hooks.programDirectory.toStdString());
    document->SetEditorCloser([this](int id) { CloseEditor(id); });
    document->SetChanged([this] { Refresh(); });

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    menuBar = new QMenuBar(body);
    layout->setMenuBar(menuBar);
    toolBar = new QToolBar(body);
    toolBar->setObjectName(QStringLiteral("pageToolBar"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(toolBar);
    auto* splitter = new QSplitter(Qt::Horizontal, body);
    tree = new PageTreeView(splitter);
    preview = new PagePreview(splitter);
    splitter->addWidget(tree);
    splitter->addWidget(preview);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
    // A third for the tree, the rest for the preview, whatever size hints
    // the preview's widgets give (a web view gives none).
    splitter->setSizes({1000, 2000});
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);
    setWidget(body);

    QMenu* pageMenu = menuBar->addMenu(tr("&Page"));
    QList<QAction*> contextActions;
    QStyle* style = this->style();
    const std::map<int, QStyle::StandardPixmap> icons = {
        {pagecmd::EditCompound, QStyle::SP_FileDialogContentsView},
        {pagecmd::EditImageFile, QStyle::SP_FileIcon},
        {pagecmd::DeleteObject, QStyle::SP_TrashIcon},
        {pagecmd::UpdateWebProject, QStyle::SP_DialogSaveButton},
    };
    for (const PageCommandSpec& spec : PageCommandTable()) {
        auto* action = new QAction(style->standardIcon(icons.at(spec.id)), Text(spec.text), this);
        action->setObjectName(QStringLiteral("pageCommand%1").arg(spec.id));
        action->setStatusTip(PromptPart(spec.prompt, false));
        action->setToolTip(PromptPart(spec.prompt, true));
        const int id = spec.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        actions[id] = action;
        if (spec.id == pagecmd::UpdateWebProject) {
            pageMenu->addSeparator();
            toolBar->addSeparator();
        }
        pageMenu->addAction(action);
        toolBar->addAction(action);
        if (spec.contextMenu) {
            contextActions << action;
        }
    }
    actions[pagecmd::DeleteObject]->setShortcut(QKeySequence::Delete);
    actions[pagecmd::DeleteObject]->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    tree->addAction(actions[pagecmd::DeleteObject]);
    tree->SetContextActions(contextActions);
    QMenu* helpMenu = menuBar->addMenu(tr("&Help"));
    helpMenu->addAction(tr("Page &Window Help"), this, [] { OpenHelpPage(kHelpTopic); });
    connect(tree, &PageTreeView::SelectionChanged, this, [this] {
        UpdateCommandStates();
        ShowSelected();
    });
    connect(tree, &PageTreeView::ObjectActivated, this, [this](int index) {
        tree->SelectObject(static_cast<size_t>(index));
        RunCommand(this->hooks.openCompoundEditor ? pagecmd::EditCompound : pagecmd::EditImageFile);
    });
    InstallContextHelp(this, [] { OpenHelpPage(kHelpTopic); });
    resize(760, 480);
}

HtmlPageFrame::~HtmlPageFrame() {
    // Editor windows still open are forgotten; none calls back into a page
    // that is gone.
    for (auto& [id, window] : editors) {
        if (window) {
            disconnect(window, nullptr, this, nullptr);
        }
    }
    document->SetEditorCloser({});
    document->SetChanged({});
}

bool HtmlPageFrame::Open(const QString& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool opened = document->Open(path.toStdString());
    QApplication::restoreOverrideCursor();
    if (!opened) {
        return false;
    }
    setWindowTitle(QString::fromStdString(document->Title()));
    Refresh();
    // The first object is selected, so its commands are at hand.
    if (!document->Page().Objects().empty()) {
        tree->SelectObject(0);
    }
    return true;
}

void HtmlPageFrame::ShowSelected() {
    const std::optional<size_t> index = tree->SelectedObject();
    if (!index || *index >= document->Page().Objects().size()) {
        preview->ShowObject(QImage(), QString());
        return;
    }
    const std::optional<QImage> picture = document->PictureOf(*index);
    preview->ShowObject(picture.value_or(QImage()),
                        QString::fromStdString(document->Page().DisplayName(*index)));
}

void HtmlPageFrame::Refresh() {
    tree->SetEntries(document->Entries());
    preview->SetFile(QString::fromStdString(document->Page().PreviewPath()));
    UpdateCommandStates();
}

QAction* HtmlPageFrame::Action(int commandId) const {
    const auto it = actions.find(commandId);
    return it == actions.end() ? nullptr : it->second;
}

QWidget* HtmlPageFrame::EditorWindow(size_t index) const {
    const auto it = editors.find(document->EditorOf(index));
    return it == editors.end() ? nullptr : it->second.data();
}

void HtmlPageFrame::UpdateCommandStates() {
    PageCommandState state;
    if (const std::optional<size_t> index = tree->SelectedObject();
        index && *index < document->Page().Objects().size()) {
        state.object = true;
        state.image = document->Page().Objects()[*index].kind == HtmlPageObject::Image;
    }
    state.editor = static_cast<bool>(hooks.openCompoundEditor);
    for (const PageCommandSpec& spec : PageCommandTable()) {
        actions[spec.id]->setEnabled(IsPageCommandEnabled(spec.enabling, state));
    }
}

void HtmlPageFrame::RunCommand(int commandId) {
    const PageCommandSpec* spec = FindPageCommand(commandId);
    if (spec == nullptr || !actions[commandId]->isEnabled()) {
        return;
    }
    const std::optional<size_t> index = tree->SelectedObject();
    switch (commandId) {
    case pagecmd::EditCompound:
        EditAsCompound(*index);
        break;
    case pagecmd::EditImageFile:
        EditAsImageFile(*index);
        break;
    case pagecmd::DeleteObject:
        document->Delete(*index);
        break;
    case pagecmd::UpdateWebProject:
        QApplication::setOverrideCursor(Qt::WaitCursor);
        document->UpdateWebProject();
        QApplication::restoreOverrideCursor();
        preview->Reload();
        break;
    default:
        break;
    }
    UpdateCommandStates();
}

void HtmlPageFrame::AdoptImageWindow(size_t index) {
    if (!hooks.findImageWindow || document->EditorOf(index) != 0 ||
        document->Page().Objects().at(index).kind != HtmlPageObject::Image) {
        return;
    }
    QWidget* window = hooks.findImageWindow(QString::fromStdString(document->ImagePathOf(index)));
    for (const auto& [id, watched] : editors) {
        if (window == nullptr || watched == window) {
            return; // none, or already another object's editor
        }
    }
    if (window != nullptr) {
        Watch(document->EditorOpening(index, PageEditorKind::ImageFile), window);
    }
}

bool HtmlPageFrame::ReadyToOpen(size_t index, PageEditorKind kind) {
    AdoptImageWindow(index);
    switch (document->PrepareEdit(index, kind)) {
    case PageWindowDoc::EditStep::Open:
        return true;
    case PageWindowDoc::EditStep::Activate:
        Activate(EditorWindow(index));
        return false;
    case PageWindowDoc::EditStep::Stop:
        break;
    }
    return false;
}

void HtmlPageFrame::EditAsCompound(size_t index) {
    if (!ReadyToOpen(index, PageEditorKind::Compound)) {
        return;
    }
    std::optional<CompoundImage> image = document->CompoundOf(index);
    if (!image) {
        return;
    }
    const int id = document->EditorOpening(index, PageEditorKind::Compound);
    // The editor may outlive this window's wish to hear from it.
    QPointer<HtmlPageFrame> self(this);
    SaveIntoPage save = [self, id](const CompoundImage& edited, std::string* error) {
        if (!self) {
            if (error) {
                *error = "The page window is closed.";
            }
            return false;
        }
        return self->document->SaveIntoPage(id, edited, error);
    };
    const QString title =
        QStringLiteral("%1 - %2").arg(QString::fromStdString(document->Title()),
                                      QString::fromStdString(document->Page().DisplayName(index)));
    QWidget* window = hooks.openCompoundEditor(std::move(*image), title, std::move(save), this);
    Watch(id, window);
}

void HtmlPageFrame::EditAsImageFile(size_t index) {
    if (!ReadyToOpen(index, PageEditorKind::ImageFile)) {
        return;
    }
    if (!hooks.openImageFile) {
        return;
    }
    const int id = document->EditorOpening(index, PageEditorKind::ImageFile);
    Watch(id, hooks.openImageFile(QString::fromStdString(document->ImagePathOf(index))));
}

void HtmlPageFrame::Watch(int id, QWidget* window) {
    if (window == nullptr) {
        document->EditorClosed(id); // nothing opened
        return;
    }
    editors[id] = window;
    connect(window, &QObject::destroyed, this, [this, id] {
        editors.erase(id);
        document->EditorClosed(id);
        UpdateCommandStates();
    });
}

void HtmlPageFrame::CloseEditor(int id) {
    const auto it = editors.find(id);
    QWidget* window = it == editors.end() ? nullptr : it->second.data();
    // A window that refuses to close (its document asked and the user
    // cancelled) stays the object's editor.
    if (window != nullptr && !window->close()) {
        return;
    }
    if (window != nullptr) {
        disconnect(window, nullptr, this, nullptr);
    }
    editors.erase(id);
    document->EditorClosed(id);
}

void HtmlPageFrame::Activate(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window); sub && sub->mdiArea()) {
        sub->mdiArea()->setActiveSubWindow(sub);
        return;
    }
    window->show();
    window->raise();
    window->activateWindow();
}

bool HtmlPageFrame::AskOkCancel(const std::string& text) {
    QMessageBox box(QMessageBox::Question, Text(PageWindowDoc::kCaption),
                    QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    services.RunDialog(box);
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

std::optional<CompoundForm> HtmlPageFrame::ChooseForm(CompoundForm suggested) {
    WriteFormDialog dialog(suggested, this);
    if (services.RunDialog(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Form();
}

std::string HtmlPageFrame::AskImageFileName(const std::string& suggested) {
    QString path = services.GetSaveFileName(
        this, QString::fromStdString(suggested),
        tr("PNG Files (*.png);;GIF Files (*.gif);;JPEG Files (*.jpg *.jpeg)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".png");
    }
    return path.toStdString();
}

void HtmlPageFrame::closeEvent(QCloseEvent* event) {
    if (document->IsModified()) {
        switch (services.AskSaveChanges(this, windowTitle())) {
        case PageWindowServices::SaveAnswer::Yes:
            if (!document->UpdateWebProject()) {
                event->ignore();
                return;
            }
            break;
        case PageWindowServices::SaveAnswer::No:
            break;
        case PageWindowServices::SaveAnswer::Cancel:
            event->ignore();
            return;
        }
    }
    // Compound image windows write into this page: they close with it.
    // Image windows edit files of their own and stay.
    for (size_t i = 0; i < document->Page().Objects().size(); ++i) {
        if (document->EditorKindOf(i) != PageEditorKind::Compound) {
            continue;
        }
        CloseEditor(document->EditorOf(i));
        if (document->EditorOf(i) != 0) {
            event->ignore();
            return;
        }
    }
    QMdiSubWindow::closeEvent(event);
}

} // namespace pixmill
