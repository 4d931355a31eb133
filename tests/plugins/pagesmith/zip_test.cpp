// The zip of a gallery's full-size pictures: checked by Python's zipfile (an
// independent reader), linked from the modern and the classic index, left
// out when off or when it cannot be made whole.
#include "page_generator.h"
#include "picture_zip.h"
#include "support/file_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdlib.h>
#include <unistd.h>

namespace pixmill::pagesmith {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
    return test::FileText(path);
}

// What Python's zipfile reads: "name size sha256" per entry after testzip
// found every CRC right, or the failure.
std::string ZipListing(const std::string& zip) {
    const std::string command =
        "python3 -c 'import sys,zipfile,hashlib\n"
        "z=zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "  assert i.flag_bits & 0x800 and i.compress_type == 0\n"
        "  print(i.filename, i.file_size, hashlib.sha256(z.read(i)).hexdigest())' '" +
        zip + "' 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        pclose(pipe);
    }
    return out;
}

std::string Sha256(const std::string& path) {
    std::string out;
    if (FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r")) {
        char buffer[128];
        if (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out = std::string(buffer).substr(0, 64);
        }
        pclose(pipe);
    }
    return out;
}

class PictureZip : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pixmill-zip-XXXXXX";
        dir = std::string(mkdtemp(pattern)) + "/";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Pictures of random bytes (stored as they are, so any bytes do); the
    // second has a further format, the third no big picture.
    std::vector<GalleryImage> Images() {
        std::mt19937 random(7);
        const char* stems[] = {"dune", "Café ünïcode", "wood"};
        std::vector<GalleryImage> images;
        for (int i = 0; i < 3; ++i) {
            GalleryImage image;
            image.itemName = stems[i];
            image.bigFile = dir + stems[i] + ".jpg";
            image.thumbnailFile = dir + stems[i] + "_thumbnail.jpg";
            image.bigPresent = i != 2;
            if (i == 1) {
                image.otherFiles = {dir + stems[i] + ".webp"};
            }
            for (const std::string& file : {image.bigFile, image.thumbnailFile}) {
                std::string bytes(1000 + 70000 * i, '\0');
                for (char& c : bytes) {
                    c = static_cast<char>(random());
                }
                std::ofstream(file, std::ios::binary) << bytes;
            }
            for (const std::string& file : image.otherFiles) {
                std::ofstream(file, std::ios::binary) << "RIFF webp bytes";
            }
            images.push_back(image);
        }
        return images;
    }
    std::vector<std::string> Generate(const std::vector<GalleryImage>& images) {
        log.clear();
        PageGenerator generator(profile, dir + "album.htm",
                                [this](const std::string& text) { log += text; });
        return generator.Generate(images);
    }
    // The archive is made under a hidden temporary name beside it.
    void NoTemporaryLeft() {
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
            EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
        }
    }
    std::string dir, log;
    HtmlProfile profile;
};

TEST_F(PictureZip, HoldsEveryBigPictureAsWrittenAndTheIndexLinksIt) {
    const std::vector<GalleryImage> images = Images();
    for (const bool modern : {true, false}) {
        profile.project.modernPages = modern;
        profile.project.pictureZip = true;
        const std::vector<std::string> written = Generate(images);
        ASSERT_TRUE(fs::exists(dir + "album.zip")) << log;
        EXPECT_EQ(written.front(), dir + "album.zip");
        std::string expected;
        for (const std::string& file : {images[0].bigFile, images[1].bigFile,
                                        images[1].otherFiles[0]}) {
            expected += FileNameOf(file) + " " + std::to_string(fs::file_size(file)) + " " +
                        Sha256(file) + "\n";
        }
        EXPECT_EQ(ZipListing(dir + "album.zip"), expected);
        EXPECT_NE(log.find("(3 files, " + std::to_string(fs::file_size(dir + "album.zip")) +
                           " bytes)"),
                  std::string::npos)
            << log;
        const std::string index = Read(dir + (modern ? "album.htm" : "album_c.htm"));
        EXPECT_NE(index.find(modern ? "<a href=\"album.zip\" download>Download all pictures (ZIP, "
                                      "73 kB)</a>"
                                    : "album.zip\">Download all pictures (ZIP, 73 kB)</A>"),
                  std::string::npos)
            << index;
        NoTemporaryLeft();
        fs::remove(dir + "album.zip");
    }
}

TEST_F(PictureZip, NoZipWhenOffOrWhenAPictureIsMissing) {
    std::vector<GalleryImage> images = Images();
    profile.project.modernPages = true;
    Generate(images);
    EXPECT_FALSE(fs::exists(dir + "album.zip"));
    EXPECT_EQ(Read(dir + "album.htm").find(".zip"), std::string::npos);

    // A picture gone since it was saved: the pages come, without a link to
    // an archive that would lack it, and the log says why.
    profile.project.pictureZip = true;
    fs::remove(images[1].otherFiles[0]);
    Generate(images);
    EXPECT_FALSE(fs::exists(dir + "album.zip"));
    EXPECT_NE(log.find("cannot read " + images[1].otherFiles[0]), std::string::npos) << log;
    EXPECT_EQ(Read(dir + "album.htm").find(".zip"), std::string::npos);
    NoTemporaryLeft();
}

TEST_F(PictureZip, RefusesWhatWouldPassFourGibibytes) {
    // A sparse file: refused by its size before a byte is read.
    const std::string big = dir + "huge.jpg";
    std::ofstream(big, std::ios::binary).close();
    fs::resize_file(big, kZipLimit + 1);
    std::ofstream(dir + "small.jpg", std::ios::binary) << "small";
    for (const auto& files : {std::vector<std::string>{big},
                              std::vector<std::string>{dir + "small.jpg", big}}) {
        const std::string error = WritePictureZip(dir + "out.zip", files);
        EXPECT_NE(error.find("would pass 4 GiB"), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(dir + "out.zip"));
    }
}

} // namespace
} // namespace pixmill::pagesmith
