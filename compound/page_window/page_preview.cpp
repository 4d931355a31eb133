#include "compound/page_window/page_preview.h"

#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#ifdef PIXMILL_HAVE_WEBENGINE
#include <QWebEngineView>
#endif

namespace pixmill {

PagePreview::PagePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pagePreview"));
    auto* layout = new QVBoxLayout(this);
#ifdef PIXMILL_HAVE_WEBENGINE
    auto* view = new QWebEngineView(this);
    view->setMinimumSize(240, 160); // room for a page to be recognised
    webView = view;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
#else
    // The window's background colour, as the rest of the frame.
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    layout->addStretch();
    picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("objectPicture"));
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    caption = new QLabel(this);
    caption->setObjectName(QStringLiteral("objectCaption"));
    caption->setAlignment(Qt::AlignCenter);
    layout->addWidget(caption);
    layout->addSpacing(16);
    message = new QLabel(tr(kNoWebView), this);
    message->setObjectName(QStringLiteral("previewMessage"));
    message->setAlignment(Qt::AlignCenter);
    message->setWordWrap(true);
    layout->addWidget(message);
    openButton = new QPushButton(tr("Open preview in browser"), this);
    openButton->setObjectName(QStringLiteral("openPreview"));
    openButton->setEnabled(false);
    layout->addWidget(openButton, 0, Qt::AlignHCenter);
    // Where the copy is, for opening it by hand.
    location = new QLabel(this);
    location->setObjectName(QStringLiteral("previewLocation"));
    location->setAlignment(Qt::AlignCenter);
    location->setWordWrap(true);
    location->setForegroundRole(QPalette::PlaceholderText);
    location->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(location);
    layout->addStretch();
    connect(openButton, &QPushButton::clicked, this, [this] {
        if (!file.isEmpty()) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        }
    });
#endif
}

bool PagePreview::HasWebView() {
#ifdef PIXMILL_HAVE_WEBENGINE
    return true;
#else
    return false;
#endif
}

void PagePreview::SetFile(const QString& path) {
    file = path;
    if (openButton != nullptr) {
        openButton->setEnabled(!file.isEmpty());
        location->setText(file.isEmpty() ? tr("No preview copy could be written.")
                                         : tr("Preview copy: %1").arg(file));
    }
    Reload();
}

void PagePreview::ShowObject(const QImage& image, const QString& name) {
    if (picture == nullptr) {
        return; // the web view shows the page itself
    }
    if (image.isNull()) {
        picture->clear();
        caption->clear();
        return;
    }
    // Large pictures are reduced to a third of the screen's room; small ones
    // stay at their size.
    const QSize room(480, 320);
    const QImage shown = image.width() > room.width() || image.height() > room.height()
                             ? image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : image;
    picture->setPixmap(QPixmap::fromImage(shown));
    caption->setText(tr("%1, %2 x %3 pixels").arg(name).arg(image.width()).arg(image.height()));
}

void PagePreview::Reload() {
#ifdef PIXMILL_HAVE_WEBENGINE
    auto* view = static_cast<QWebEngineView*>(webView);
    if (file.isEmpty()) {
        view->setHtml(QString());
    } else {
        view->load(QUrl::fromLocalFile(file));
    }
#endif
}

} // namespace pixmill
