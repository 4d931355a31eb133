#include "compound/page_window/page_preview.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#ifdef PIXMILL_HAVE_WEBENGINE
#include <QWebEngineView>
#endif

namespace pixmill {

CPagePreview::CPagePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pagePreview"));
    auto* layout = new QVBoxLayout(this);
#ifdef PIXMILL_HAVE_WEBENGINE
    auto* view = new QWebEngineView(this);
    webView = view;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
#else
    // The window's background colour, as the rest of the frame.
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    layout->addStretch();
    message = new QLabel(tr(kNoWebView), this);
    message->setObjectName(QStringLiteral("previewMessage"));
    message->setAlignment(Qt::AlignCenter);
    message->setWordWrap(true);
    layout->addWidget(message);
    openButton = new QPushButton(tr("Open preview in browser"), this);
    openButton->setObjectName(QStringLiteral("openPreview"));
    openButton->setEnabled(false);
    layout->addWidget(openButton, 0, Qt::AlignHCenter);
    layout->addStretch();
    connect(openButton, &QPushButton::clicked, this, [this] {
        if (!file.isEmpty()) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        }
    });
#endif
}

bool CPagePreview::HasWebView() {
#ifdef PIXMILL_HAVE_WEBENGINE
    return true;
#else
    return false;
#endif
}

void CPagePreview::SetFile(const QString& path) {
    file = path;
    if (openButton != nullptr) {
        openButton->setEnabled(!file.isEmpty());
    }
    Reload();
}

void CPagePreview::Reload() {
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
