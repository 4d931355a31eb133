// The image browser on 500 photographs: the program's real main window and
// browser (offscreen), the real plug-ins, a thumbnail cache of its own.
// Usage: browser_bench [photo folder] (default: the desktop's nature
// backgrounds); the photos are copied round-robin into a temporary folder.
#include "app/image_browser.h"
#include "app/main_frame.h"
#include "app/pixmill_app.h"
#include "desktop/browser/thumbnail_model.h"
#include "desktop/gui/gui_services.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using namespace pixmill;

namespace {

constexpr int kPhotos = 500;

struct Visit {
    qint64 firstScreenMs = -1;
    qint64 allMs = -1;
    qint64 longestPauseMs = 0;
    int firstScreenCells = 0;
};

// Cells at least partly inside the grid's viewport.
QList<int> VisibleRows(QListView* grid) {
    QList<int> rows;
    const QRect area = grid->viewport()->rect();
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        if (grid->visualRect(grid->model()->index(row, 0)).intersects(area)) {
            rows << row;
        }
    }
    return rows;
}

Visit Browse(MainFrame& frame, const QString& folder) {
    Visit visit;
    QElapsedTimer clock;
    clock.start();
    ImageBrowser* browser = frame.OpenBrowser(folder);
    QListView* grid = browser->Grid();
    ThumbnailModel& model = browser->Model();
    qint64 lastTick = clock.elapsed();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        visit.longestPauseMs = std::max(visit.longestPauseMs, now - lastTick);
        lastTick = now;
        if (visit.firstScreenMs < 0) {
            const QList<int> rows = VisibleRows(grid);
            const bool ready = !rows.isEmpty() && std::all_of(rows.begin(), rows.end(), [&](int r) {
                return model.index(r).data(ThumbnailModel::StateRole).toInt() !=
                       ThumbnailModel::Pending;
            });
            if (ready) {
                visit.firstScreenMs = now;
                visit.firstScreenCells = static_cast<int>(rows.size());
            }
        }
        if (model.Waiting() == 0 && visit.firstScreenMs >= 0) {
            visit.allMs = now;
            QApplication::exit(0);
        }
    });
    probe.start(1);
    QApplication::exec();
    browser->close();
    QApplication::processEvents();
    return visit;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir work;
    qputenv("XDG_CACHE_HOME", work.filePath("cache").toLocal8Bit());
    qputenv("PIXMILL_SETTINGS", work.filePath("Pixmill.ini").toLocal8Bit());
    QApplication application(argc, argv);
    const QString source = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QStringLiteral("/usr/share/backgrounds/mate/nature");
    const QStringList photos = QDir(source).entryList({"*.jpg", "*.jpeg"}, QDir::Files);
    if (photos.isEmpty()) {
        std::fprintf(stderr, "no photographs in %s\n", qPrintable(source));
        return 1;
    }
    const QString folder = work.filePath("photos");
    QDir().mkpath(folder);
    qint64 bytes = 0;
    for (int i = 0; i < kPhotos; ++i) {
        const QString from = source + '/' + photos[i % photos.size()];
        QFile::copy(from, folder + QStringLiteral("/photo%1.jpg").arg(i + 1, 3, 10, QChar('0')));
        bytes += QFileInfo(from).size();
    }
    std::printf("%d photographs (%.1f MB) copied from %s\n", kPhotos, bytes / 1e6,
                qPrintable(source));

    GuiServices services;
    PixmillApp app(&services, PIXMILL_BIN_DIR);
    if (!app.InitInstance({})) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    MainFrame& frame = *app.Frame();
    frame.resize(1280, 800);
    frame.show();
    const Visit cold = Browse(frame, folder);
    const Visit warm = Browse(frame, folder);
    std::printf("%-11s %14s %8s %12s %16s\n", "visit", "first screen", "cells", "all 500",
                "longest pause");
    for (const auto& [name, visit] :
         {std::pair{"cold cache", cold}, std::pair{"warm cache", warm}}) {
        std::printf("%-11s %11lld ms %8d %9lld ms %13lld ms\n", name, visit.firstScreenMs,
                    visit.firstScreenCells, visit.allMs, visit.longestPauseMs);
    }
    app.ExitInstance();
    return 0;
}
