// pixmill: the desktop program.
#include "app/main_frame.h"
#include "app/pixmill_app.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

// --help's text; the manual page is made from it.
constexpr const char* kUsage = R"HELP(Usage: pixmill [OPTIONS] [FILE...]

Pixmill's desktop program: opens each FILE (any picture a format plug-in reads:
JPEG, TIFF, PNG, GIF, WebP, AVIF) in its own window, to view, crop, convert,
filter, resample, adjust, rotate and save it. The Image menu holds every
operation, each with its settings beside a live preview; File > Batch
Processing runs one chain of operations over many files and can write a web
gallery; File > New > Compound Image and File > Create Image Map edit pictures, texts
and image-map regions stored inside HTML pages.

Options:
  -h, --help              this text
  --version               the program's version

Environment:
  PIXMILL_SETTINGS        the settings file to use (default:
                          ~/.config/QOREL Technologies/Pixmill.ini)
  PIXMILL_PLUGIN_ROOT     the folder holding Formats/, Processing/, Sources/
                          and Destinations/ (default: the program's own folder)
  PIXMILL_HELP_DIR        the folder of the help pages (default: help/ in the
                          program's own folder)
)HELP";

// --help and --version are answered before any window or display is needed;
// -1 when the program should start.
int AnswerWithoutWindows(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            break;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pixmill %s\n", PIXMILL_VERSION);
            return 0;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (const int code = AnswerWithoutWindows(argc, argv); code >= 0) {
        return code;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pixmill"));
    QApplication::setOrganizationName(QStringLiteral("QOREL Technologies"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pixmill/pixmill.png")));
    QStringList files = QApplication::arguments();
    files.removeFirst();
    files.removeAll(QStringLiteral("--"));
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
