#include "pixmill/help.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QUrl>
#include <QUrlQuery>
#include <QWidget>

#include <cstdio>

namespace pixmill {

QString HelpFolder() {
    const QString configured = qEnvironmentVariable("PIXMILL_HELP_DIR");
    if (!configured.isEmpty()) {
        return configured;
    }
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help"));
}

QString HelpPagePath(int topic) {
    return QDir(HelpFolder()).filePath(QStringLiteral("%1.html").arg(topic));
}

namespace {

// Opens url in the desktop's browser; says so when none could be started.
bool OpenInBrowser(const QUrl& url) {
    if (QDesktopServices::openUrl(url)) {
        return true;
    }
    const QString text = QStringLiteral("No program could be started to show the help page %1.\n"
                                        "Install a web browser, or open the page in one by hand.")
                             .arg(url.toLocalFile());
    QObject* reporter = QCoreApplication::instance() != nullptr
                            ? QCoreApplication::instance()->findChild<QObject*>(
                                  QLatin1String(kHelpFailureReporter), Qt::FindDirectChildrenOnly)
                            : nullptr;
    if (reporter == nullptr ||
        !QMetaObject::invokeMethod(reporter, "Report", Q_ARG(QString, text))) {
        std::fprintf(stderr, "pixmill: %s\n", text.toLocal8Bit().constData());
    }
    return false;
}

} // namespace

bool OpenHelpPage(int topic) {
    const QString page = HelpPagePath(topic);
    if (QFileInfo::exists(page)) {
        return OpenInBrowser(QUrl::fromLocalFile(page));
    }
    QUrl contents = QUrl::fromLocalFile(QDir(HelpFolder()).filePath(QStringLiteral("index.html")));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("topic"), QString::number(topic));
    contents.setQuery(query);
    OpenInBrowser(contents);
    return false;
}

bool OpenHelpContents() {
    return OpenInBrowser(
        QUrl::fromLocalFile(QDir(HelpFolder()).filePath(QStringLiteral("index.html"))));
}

int ContextHelpId(const QWidget* control, const QWidget* window) {
    for (const QWidget* w = control; w != nullptr && w != window; w = w->parentWidget()) {
        const int topic = w->property(kHelpIdProperty).toInt();
        if (topic > 0) {
            return topic;
        }
    }
    return 0;
}

void InstallContextHelp(QWidget* window, std::function<void()> windowHelp) {
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, window, [window, windowHelp] {
        const int topic = ContextHelpId(QApplication::focusWidget(), window);
        if (topic > 0) {
            OpenHelpPage(topic);
        } else if (windowHelp) {
            windowHelp();
        }
    });
}

} // namespace pixmill
