// The image browser's logic with the real format plug-ins and files on disk:
// thumbnails of every readable kind, error cells, the shared thumbnail cache
// (judged with libpng), the order thumbnails are made in, listing and sort.
#include "desktop/browser/folder_listing.h"
#include "desktop/browser/thumbnail_model.h"
#include "desktop/browser/thumbnail_queue.h"
#include "desktop/browser/thumbnail_source.h"
#include "host/image_io.h"
#include "host/plugin_manager.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/format_plugin.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>
#include <png.h>

#include <map>
#include <random>
#include <sys/stat.h>

using namespace pixmill;
using namespace pixmill::test;

namespace {

// Text chunks of a PNG as libpng reads them: key -> (value, compressed).
std::map<std::string, std::pair<std::string, bool>> PngText(const QString& path) {
    std::map<std::string, std::pair<std::string, bool>> result;
    FILE* file = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (file == nullptr) {
        return result;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_textp text = nullptr;
        int count = 0;
        png_get_text(png, info, &text, &count);
        for (int i = 0; i < count; ++i) {
            result[text[i].key] = {text[i].text, text[i].compression != PNG_TEXT_COMPRESSION_NONE};
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return result;
}

class BrowserLogic : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QCoreApplication::instance() == nullptr) { // the model's timer needs one
            static int argc = 1;
            static char name[] = "browser_logic_tests";
            static char* argv[] = {name, nullptr};
            static QCoreApplication application(argc, argv);
        }
        plugins = std::make_unique<PluginManager>(host.get());
        plugins->LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        ASSERT_GE(plugins->FormatCount(), 2);
        ASSERT_TRUE(folder.isValid());
        pictures = folder.filePath("pictures");
        QDir().mkpath(pictures);
        source = std::make_unique<ThumbnailSource>(*host, *plugins,
                                                   ThumbnailCache(folder.filePath("cache")));
    }
    void TearDown() override {
        source.reset();
        plugins.reset();
    }

    // A picture of width x height in the format, written by its own plug-in
    // (24-bit colour, or 8-bit paletted for formats that store only that).
    QString Write(CFormatPlugin* format, const QString& name, int width, int height) {
        CVImage image(host.get());
        image.Create(width, height, 24, 0, nullptr);
        FillRandom(image, random);
        if (!format->CanSave(&image)) {
            image.Create(width, height, 8, 256, nullptr);
            FillRandomPalette(image, random);
            FillRandom(image, random);
        }
        const QString path = pictures + '/' + name;
        FileStream stream(path.toStdString(), FileStream::ForWriting);
        EXPECT_GT(WriteImage(format, image, stream, nullptr, nullptr, {}), 0)
            << format->GetName(true);
        return path;
    }
    // One picture per loaded format; the expected depth by path.
    std::map<QString, int> WriteEveryFormat(int width, int height) {
        std::map<QString, int> depths;
        for (int i = 0; i < plugins->FormatCount(); ++i) {
            CFormatPlugin* format = plugins->FormatAt(i);
            const QString extension =
                QString::fromUtf8(format->GetExtensions()).section(';', 0, 0).mid(1);
            const QString path =
                Write(format, "kind" + QString::number(i) + extension, width, height);
            CVImage check(host.get());
            FileStream stream(path.toStdString(), FileStream::ForReading);
            const SIZE tiny{1, 1};
            ReadImageByContent(*plugins, stream, check, &tiny, nullptr, {});
            depths[path] = check.BitCount();
        }
        return depths;
    }
    void MakeAll(ThumbnailModel& model) {
        for (int round = 0; model.Waiting() > 0 && round < 1000; ++round) {
            model.MakeThumbnails();
        }
        ASSERT_EQ(model.Waiting(), 0);
    }
    int RowOf(const ThumbnailModel& model, const QString& name) {
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.index(row).data().toString() == name) {
                return row;
            }
        }
        return -1;
    }

    TestHost host;
    std::unique_ptr<PluginManager> plugins;
    std::unique_ptr<ThumbnailSource> source;
    QTemporaryDir folder;
    QString pictures;
    std::mt19937 random{11};
};

TEST_F(BrowserLogic, EveryReadableKindGetsAThumbnailAndBrokenFilesAnErrorCell) {
    const std::map<QString, int> depths = WriteEveryFormat(600, 400);
    // Not pictures: text under a picture's name, a truncated JPEG, and a
    // text file the filter leaves out.
    QFile fake(pictures + "/fake.jpg");
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("this is not a picture at all, just words\n");
    fake.close();
    const QString jpeg = std::find_if(depths.begin(), depths.end(), [](const auto& entry) {
                             return entry.first.endsWith(".jpg");
                         })->first;
    QFile whole(jpeg);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(pictures + "/truncated.jpg");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 3));
    cut.close();
    QFile notes(pictures + "/notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("notes");
    notes.close();

    ThumbnailModel model(*source);
    model.SetPatterns(FormatFilters(*plugins).front().patterns);
    model.SetFolder(pictures);
    ASSERT_EQ(model.rowCount(), static_cast<int>(depths.size()) + 2);
    EXPECT_EQ(RowOf(model, "notes.txt"), -1);
    MakeAll(model);

    for (const auto& [path, depth] : depths) {
        const QModelIndex index = model.index(RowOf(model, QFileInfo(path).fileName()));
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(index.data(ThumbnailModel::StateRole).toInt(), ThumbnailModel::Ready);
        const QImage thumbnail = index.data(ThumbnailModel::ThumbnailRole).value<QImage>();
        EXPECT_EQ(thumbnail.size(), QSize(128, 85));
        EXPECT_EQ(index.data(ThumbnailModel::InfoRole).toString(),
                  QStringLiteral("600 x 400, %1 bit").arg(depth));
        EXPECT_TRUE(QFile::exists(source->Cache().FileOf(path, ThumbnailSize::Normal)));
    }
    for (const char* broken : {"fake.jpg", "truncated.jpg"}) {
        const QModelIndex index = model.index(RowOf(model, broken));
        SCOPED_TRACE(broken);
        EXPECT_EQ(index.data(ThumbnailModel::StateRole).toInt(), ThumbnailModel::Failed);
        EXPECT_FALSE(index.data(ThumbnailModel::ErrorRole).toString().isEmpty());
        EXPECT_TRUE(index.data(ThumbnailModel::ThumbnailRole).value<QImage>().isNull());
        EXPECT_FALSE(QFile::exists(source->Cache().FileOf(
            index.data(ThumbnailModel::PathRole).toString(), ThumbnailSize::Normal)));
    }
    // Damage became error cells, not messages, and the program's policy stands.
    EXPECT_TRUE(host.ui.messages.empty());
    EXPECT_EQ(host->GetDamagePolicy(), HostServices::DamagePolicy::Keep);
}

TEST_F(BrowserLogic, CacheFilesCarryUriAndTimeAndAreRemadeWhenThePictureChanges) {
    CFormatPlugin* jpeg = plugins->FindFormatByExtension("a.jpg");
    ASSERT_NE(jpeg, nullptr);
    const QString path =
        Write(jpeg, QString::fromUtf8("sea side \xC3\xA9t\xC3\xA9 #1.jpg"), 700, 300);
    const QString uri = ThumbnailCache::UriOf(path);
    // Escaped as file managers escape it, and named by its MD5.
    EXPECT_EQ(uri, QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()));
    EXPECT_TRUE(uri.endsWith("/sea%20side%20%C3%A9t%C3%A9%20%231.jpg"));
    const QString file = source->Cache().FileOf(path, ThumbnailSize::Large);
    EXPECT_EQ(QFileInfo(file).fileName(),
              QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex() + ".png");
    EXPECT_EQ(QFileInfo(file).dir().dirName(), "large");

    const Thumbnail first = source->Get(path, 150, 150);
    ASSERT_FALSE(first.failed) << first.error.toStdString();
    EXPECT_FALSE(first.cached);
    EXPECT_EQ(first.image.width(), 256);
    EXPECT_NEAR(first.image.height(), 110, 1);
    const qint64 modified = QFileInfo(path).lastModified().toSecsSinceEpoch();
    auto text = PngText(file);
    EXPECT_EQ(text["Thumb::URI"], std::make_pair(uri.toStdString(), false));
    EXPECT_EQ(text["Thumb::MTime"], std::make_pair(std::to_string(modified), false));
    EXPECT_EQ(text["Thumb::Size"].first, std::to_string(QFileInfo(path).size()));
    EXPECT_EQ(text["Thumb::Image::Width"].first, "700");
    struct stat info {};
    ASSERT_EQ(stat(file.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file left behind";

    const Thumbnail second = source->Get(path, 150, 150);
    EXPECT_TRUE(second.cached);
    EXPECT_EQ(second.image, first.image);
    EXPECT_EQ(second.width, 700);
    EXPECT_EQ(second.depth, 24);

    // A thumbnail another program wrote (no size keys) still tells the size.
    QFile::remove(file);
    QImage foreign(64, 32, QImage::Format_RGB32);
    foreign.fill(Qt::red);
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(
        PngWithText(foreign, {{"Thumb::URI", uri}, {"Thumb::MTime", QString::number(modified)}}));
    out.close();
    const Thumbnail borrowed = source->Get(path, 150, 150);
    EXPECT_TRUE(borrowed.cached);
    EXPECT_EQ(borrowed.image.size(), QSize(64, 32));
    EXPECT_EQ(borrowed.width, 700);
    EXPECT_EQ(borrowed.height, 300);
    EXPECT_EQ(borrowed.depth, 24);

    // A changed picture (another time) is decoded and stored again.
    QFile touched(path);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    ASSERT_TRUE(touched.setFileTime(QDateTime::fromSecsSinceEpoch(modified - 3600),
                                    QFileDevice::FileModificationTime));
    touched.close();
    const Thumbnail third = source->Get(path, 150, 150);
    EXPECT_FALSE(third.cached);
    EXPECT_EQ(third.image.width(), 256);
    EXPECT_EQ(PngText(file)["Thumb::MTime"].first, std::to_string(modified - 3600));
    // The cache's own files get thumbnails but are never stored in it.
    const QString inner = QFileInfo(file).path() + "/picture.jpg";
    ASSERT_TRUE(QFile::copy(path, inner));
    EXPECT_FALSE(source->Get(inner, 150, 150).failed);
    EXPECT_FALSE(QFile::exists(source->Cache().FileOf(inner, ThumbnailSize::Large)));
    // The normal size is a separate file.
    EXPECT_FALSE(source->Get(path, 100, 100).cached);
    EXPECT_TRUE(QFile::exists(source->Cache().FileOf(path, ThumbnailSize::Normal)));
}

TEST_F(BrowserLogic, ThumbnailsComeOnScreenFirstThenBelowThenAbove) {
    ThumbnailQueue queue;
    queue.Reset(10);
    queue.SetVisible(4, 6);
    std::vector<int> order;
    for (int next = queue.Next(); next >= 0; next = queue.Next()) {
        order.push_back(next);
        queue.Done(next);
    }
    EXPECT_EQ(order, (std::vector<int>{4, 5, 6, 7, 8, 9, 3, 2, 1, 0}));
    EXPECT_EQ(queue.Waiting(), 0);
    // Rows leaving the list and pictures made again.
    queue.Reset(5);
    queue.SetVisible(0, 1);
    queue.Done(0);
    queue.Remove(1); // waiting row 1 goes; rows 2..4 move up
    EXPECT_EQ(queue.Waiting(), 3);
    EXPECT_EQ(queue.Next(), 1);
    queue.Requeue(0);
    EXPECT_EQ(queue.Next(), 0);
    queue.Remove(7); // beyond the list: nothing happens
    EXPECT_EQ(queue.Waiting(), 4);
}

TEST_F(BrowserLogic, ListsByFilterAndSortsByNameDateAndSize) {
    auto make = [&](const QString& name, int bytes, qint64 time) {
        QFile file(pictures + '/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'x'));
        file.flush(); // else closing writes and sets the time again
        ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(time),
                                     QFileDevice::FileModificationTime));
    };
    make("photo 10.jpg", 30, 1000);
    make("photo 2.JPG", 30, 3000);
    make("Alpha.tif", 50, 2000);
    make("notes.txt", 10, 500);
    make(".hidden.jpg", 10, 500);
    QDir(pictures).mkdir("sub.jpg");

    const std::vector<FormatFilter> filters = FormatFilters(*plugins);
    ASSERT_EQ(static_cast<int>(filters.size()), plugins->FormatCount() + 1);
    EXPECT_TRUE(filters[0].text.startsWith("All supported images (*.jpg"));
    for (size_t i = 1; i < filters.size(); ++i) {
        for (const QString& pattern : filters[i].patterns) {
            EXPECT_TRUE(filters[0].patterns.contains(pattern));
            EXPECT_TRUE(filters[i].text.contains(pattern));
        }
    }
    auto names = [](const std::vector<FileEntry>& entries) {
        QStringList list;
        for (const FileEntry& entry : entries) {
            list << entry.name;
        }
        return list;
    };
    std::vector<FileEntry> all = ListFolder(pictures, filters[0].patterns);
    SortEntries(all, SortKey::Name, false);
    EXPECT_EQ(names(all), (QStringList{"Alpha.tif", "photo 2.JPG", "photo 10.jpg"}));
    SortEntries(all, SortKey::Date, true);
    EXPECT_EQ(names(all), (QStringList{"photo 2.JPG", "Alpha.tif", "photo 10.jpg"}));
    SortEntries(all, SortKey::Size, false); // equal sizes by name
    EXPECT_EQ(names(all), (QStringList{"photo 2.JPG", "photo 10.jpg", "Alpha.tif"}));
    const auto jpeg = std::find_if(filters.begin() + 1, filters.end(), [](const FormatFilter& f) {
        return f.patterns.contains("*.jpg");
    });
    ASSERT_NE(jpeg, filters.end());
    EXPECT_EQ(ListFolder(pictures, jpeg->patterns).size(), 2u);

    // Drags carry the files' URLs; removed rows leave the list.
    ThumbnailModel model(*source);
    model.SetPatterns(filters[0].patterns);
    model.SetFolder(pictures);
    std::unique_ptr<QMimeData> drag(model.mimeData({model.index(0), model.index(2)}));
    EXPECT_EQ(drag->urls(), (QList<QUrl>{QUrl::fromLocalFile(pictures + "/Alpha.tif"),
                                         QUrl::fromLocalFile(pictures + "/photo 10.jpg")}));
    model.RemovePaths({pictures + "/photo 2.JPG"});
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.Waiting(), 2);
}

TEST_F(BrowserLogic, NothingIsDecodedWhileTheProgramIsBusy) {
    CFormatPlugin* jpeg = plugins->FindFormatByExtension("a.jpg");
    for (int i = 0; i < 3; ++i) {
        Write(jpeg, QStringLiteral("p%1.jpg").arg(i), 64, 48);
    }
    ThumbnailModel model(*source);
    bool busy = true;
    model.SetBusyCheck([&] { return busy; });
    model.SetPatterns({"*.jpg"});
    model.SetFolder(pictures);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(model.Waiting(), 3);
    busy = false;
    bool finished = false;
    QObject::connect(&model, &ThumbnailModel::AllThumbnailsMade, [&] { finished = true; });
    for (clock.restart(); !finished && clock.elapsed() < 10000;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_TRUE(finished);
    EXPECT_EQ(model.Waiting(), 0);
}

} // namespace
