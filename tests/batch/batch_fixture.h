// The batch engine over the program's real plug-ins, in a temporary folder.
#pragma once

#include "batch/batch_job.h"
#include "host/image_doc.h"
#include "host/plugin_manager.h"
#include "host/streams.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/file_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdlib.h>

namespace pixmill::test {

class BatchFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pixmill-batch-XXXXXX";
        dir = std::string(mkdtemp(pattern)) + "/";
        plugins = std::make_unique<PluginManager>(host.get());
        plugins->LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        plugins->LoadProcessing(PIXMILL_BIN_DIR "/Processing/");
        ASSERT_GE(plugins->FormatCount(), 2);
    }
    void TearDown() override {
        job.reset();
        plugins.reset();
        std::filesystem::remove_all(dir);
    }
    BatchJob& Job() {
        if (!job) {
            job = std::make_unique<BatchJob>(*host, *plugins);
        }
        return *job;
    }
    // A random picture saved through the program's own document.
    std::string MakeImage(const std::string& name, int width, int height, int seed = 1) {
        const std::string path = dir + name;
        CVImage image(host.get());
        image.Create(width, height, 24, 0, nullptr);
        std::mt19937 random(static_cast<unsigned>(seed));
        FillRandom(image, random);
        ImageDoc doc(*host, *plugins);
        doc.TakeImage(image, plugins->FindFormatByExtension(path));
        EXPECT_TRUE(doc.OnSaveDocument(path)) << doc.LastError();
        return path;
    }
    void WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(dir + name, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string& path) { return test::FileText(path); }
    // Width and height of an image file as the program reads it.
    SIZE SizeOf(const std::string& path) {
        ImageDoc doc(*host, *plugins);
        FileStream stream(path, FileStream::ForReading);
        EXPECT_TRUE(doc.ReadFromStream(&stream)) << path << ": " << doc.LastError();
        return SIZE{doc.Image().Width(), doc.Image().Height()};
    }
    int OperationNamed(const std::string& name) {
        for (size_t i = 0; i < Job().Operations().size(); ++i) {
            if (Job().Operations()[i].name == name) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "no operation " << name;
        return -1;
    }

    TestHost host;
    std::unique_ptr<PluginManager> plugins;
    std::unique_ptr<BatchJob> job;
    std::string dir;
};

} // namespace pixmill::test
