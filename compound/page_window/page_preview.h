// PagePreview: the page as a browser shows it, from the preview copy beside
// the page. With Qt WebEngine at build time it is an embedded web view;
// without, a pane on the window's background colour says so and offers to
// open the copy in the desktop's browser, under a picture of the selected
// object.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace pixmill {

class PagePreview : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kNoWebView =
        "This build of Pixmill has no web view to show the page here.";

    explicit PagePreview(QWidget* parent = nullptr);

    // The preview copy to show (empty: none could be written).
    void SetFile(const QString& path);
    // Shows the copy again after it was rewritten.
    void Reload();
    const QString& File() const { return file; }
    // The selected object as it looks on the page (a null picture: none).
    void ShowObject(const QImage& picture, const QString& name);
    QLabel* ObjectPicture() const { return picture; }
    // Whether the page is shown in the window itself.
    static bool HasWebView();
    QPushButton* OpenButton() const { return openButton; }

  private:
    QString file;
    QLabel* message = nullptr;
    QLabel* location = nullptr;
    QLabel* picture = nullptr;
    QLabel* caption = nullptr;
    QPushButton* openButton = nullptr;
    QWidget* webView = nullptr;
};

} // namespace pixmill
