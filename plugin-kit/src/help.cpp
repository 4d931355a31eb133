#include "pixmill/help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace pixmill {

bool OpenHelpPage(int topic) {
    const QString page = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QStringLiteral("help/%1.html").arg(topic));
    return QFileInfo::exists(page) && QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

} // namespace pixmill
