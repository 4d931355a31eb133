// CompoundImageFrame: the window of one compound image inside the main window's
// MDI area: its own menus, toolbar and status bar built from the command
// table, the view, the properties dialogs and the file dialogs. When it was
// opened from a page, "Update Page" hands the image back to that page.
#pragma once

#include "compound/gui/compound_image_doc.h"
#include "compound/save_into_page.h"

#include <QMdiSubWindow>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QMainWindow;

namespace pixmill {

class GuiServices;
class CompoundImageView;

// What compound image windows share with the program: the user-interface
// service, the picture files, the settings store of the defaults, the
// filters of readable pictures, the export command and the program folder.
struct CompoundWindowContext {
    GuiServices* services = nullptr;
    CompoundImageFiles* files = nullptr;
    SettingsStore* store = nullptr;
    QString openFilters;
    std::function<void(const QImage& picture, const std::string& title)> exportPicture;
};
void SetCompoundWindowContext(CompoundWindowContext context);
const CompoundWindowContext& CompoundWindowContextOf();

// A compound image window; when saveIntoPage is set, it offers saving into
// the page ("Update Page") and calls it with the current compound image.
QWidget* CreateCompoundEditWindow(CompoundImage image, const QString& title,
                                  SaveIntoPage saveIntoPage, QWidget* parent);

class CompoundImageFrame : public QMdiSubWindow {
    Q_OBJECT
  public:
    CompoundImageFrame(CompoundImage image, const QString& title, SaveIntoPage saveIntoPage,
                       QWidget* parent = nullptr);
    ~CompoundImageFrame() override;

    CompoundImageDoc& Document() { return *document; }
    CompoundImageView* View() const { return view; }
    QAction* Action(int commandId) const;
    // Runs a command as if chosen from the menu.
    void RunCommand(int commandId);
    void UpdateTitle();
    void UpdateCommandStates();
    // The status panes: the selected shape and the canvas size.
    QString ShapePane() const;
    QString CanvasPane() const;

    // "Save HTML compatible image": the file chosen, or empty.
    std::string ChooseImagePath(const std::string& suggested);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void DocumentChanged();
    GuiServices& Services() const;
    int RunDialog(QDialog& dialog) const;
    bool Save();
    void SaveAsPage();
    void InsertImage(bool background);
    void InsertText();
    void ShowCanvasProperties();
    void ShowObjectProperties(int index);
    void SaveSelectedAs();
    void SaveBackground();
    void CopyAsHtml();
    void SetTool(EditTool tool);

    std::unique_ptr<CompoundImageDoc> document;
    SaveIntoPage saveIntoPage;
    QMainWindow* window;
    CompoundImageView* view;
    QLabel* shapePane;
    QLabel* canvasPane;
    std::map<int, QAction*> actions;
    std::map<int, std::function<void()>> handlers;
};

} // namespace pixmill
