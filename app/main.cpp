// pixmill: the desktop program.
#include "app/main_frame.h"
#include "app/pixmill_app.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pixmill"));
    QApplication::setOrganizationName(QStringLiteral("QOREL Technologies"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pixmill/pixmill.png")));
    QStringList files = QApplication::arguments();
    files.removeFirst();
    int code = 1;
    {
        pixmill::PixmillApp pixmill;
        if (pixmill.InitInstance(files)) {
            code = QApplication::exec();
        }
        pixmill.ExitInstance();
    }
    return code;
}
