// HtmlPageFrame: the window of an HTML page inside the main window's MDI
// area: the page's objects in a tree beside the preview, the page commands
// in the window's menu, its toolbar and the tree's context menu. It owns the
// page document, the editor windows it opened on the objects, and asks the
// page document's questions through the program's dialogs.
#pragma once

#include "compound/page_window/page_document.h"
#include "compound/page_window/page_window_services.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <map>
#include <memory>

class QMenuBar;
class QToolBar;

namespace pixmill {

class PageTreeView;
class PagePreview;
class CompoundImageFiles;

class HtmlPageFrame : public QMdiSubWindow, private PageQuestions {
    Q_OBJECT
  public:
    static constexpr int kHelpTopic = 720;

    HtmlPageFrame(CompoundImageFiles& files, PageWindowServices& services, PageWindowHooks hooks,
                  QWidget* parent = nullptr);
    ~HtmlPageFrame() override;

    // Reads the page; false when it cannot be parsed.
    bool Open(const QString& path);
    PageWindowDoc& Document() { return *document; }
    PageTreeView* Tree() const { return tree; }
    PagePreview* Preview() const { return preview; }
    QMenuBar* MenuBar() const { return menuBar; }
    QToolBar* ToolBar() const { return toolBar; }
    QAction* Action(int commandId) const;
    // The editor window open on an object (null: none).
    QWidget* EditorWindow(size_t index) const;

    // Runs a page command as if chosen; on the selected object.
    void RunCommand(int commandId);
    void UpdateCommandStates();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // PageQuestions, through the program's dialogs.
    bool AskOkCancel(const std::string& text) override;
    std::optional<CompoundForm> ChooseForm(CompoundForm suggested) override;
    std::string AskImageFileName(const std::string& suggested) override;

    void EditAsCompound(size_t index);
    void EditAsImageFile(size_t index);
    void Watch(int id, QWidget* window);
    // Records an image window open on the object's file as its editor.
    void AdoptImageWindow(size_t index);
    // The questions before an editor of the kind opens on the object; false
    // when none is to open (stopped, or one is brought forward).
    bool ReadyToOpen(size_t index, PageEditorKind kind);
    void CloseEditor(int id);
    void Activate(QWidget* window);
    void Refresh();
    // The selected object's picture in the preview pane.
    void ShowSelected();

    PageWindowServices& services;
    PageWindowHooks hooks;
    std::unique_ptr<PageWindowDoc> document;
    PageTreeView* tree;
    PagePreview* preview;
    QMenuBar* menuBar;
    QToolBar* toolBar;
    std::map<int, QAction*> actions;
    std::map<int, QPointer<QWidget>> editors;
};

} // namespace pixmill
