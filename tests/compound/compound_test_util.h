// What the compound image tests share: the real format plug-ins behind the
// picture-file interface, a scratch folder, and pictures written into it.
#pragma once

#include "compound/plugin_image_files.h"
#include "host/plugin_manager.h"
#include "support/test_host.h"
#include "support/file_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace pixmill::test {

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
    return test::FileText(path);
}

struct CompoundFixture {
    CompoundFixture() {
        plugins = std::make_unique<PluginManager>(host.get());
        plugins->LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        plugins->LoadProcessing(PIXMILL_BIN_DIR "/Processing/");
        files = std::make_unique<PluginImageFiles>(*host, *plugins);
        dir = std::filesystem::temp_directory_path() /
              ("pixmill-compound-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    ~CompoundFixture() {
        files.reset();
        plugins.reset();
        std::filesystem::remove_all(dir);
    }
    // A picture of the size with a colour gradient, written as name.
    std::string Picture(const std::string& name, int width, int height, int seed = 0) {
        QImage picture(width, height, QImage::Format_RGB888);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                picture.setPixelColor(x, y,
                                      QColor((x * 7 + seed) & 255, (y * 5 + seed * 3) & 255,
                                             (x + y + seed * 11) & 255));
            }
        }
        const std::string path = (dir / name).string();
        std::string error;
        if (!files->Write(picture, path, &error)) {
            ADD_FAILURE() << error;
        }
        return path;
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    TestHost host;
    std::unique_ptr<PluginManager> plugins;
    std::unique_ptr<PluginImageFiles> files;
    std::filesystem::path dir;
    static inline int serial = 0;
};

} // namespace pixmill::test
