#include "host/host_services.h"
#include "host/qsettings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace pixmill;
namespace fs = std::filesystem;

TEST(QSettingsStore, BinaryAndTextValuesSurviveAReopen) {
    const std::string file = fs::temp_directory_path() / "pixmill-settings-test.ini";
    fs::remove(file);
    {
        QSettingsStore store(file);
        EXPECT_EQ(store.FileName(), file);
        store.WriteBinary("Settings", "TIFF_Parameters", Bytes{1, 0, 0xFF, 0x7F});
        store.WriteText("Settings", "BatchFileDest", "Dir=/home/x/out;Overwrite=1;");
        store.WriteBinary("Settings", "Empty", Bytes{});
    }
    {
        QSettingsStore store(file);
        EXPECT_EQ(store.ReadBinary("Settings", "TIFF_Parameters"), (Bytes{1, 0, 0xFF, 0x7F}));
        EXPECT_EQ(store.ReadText("Settings", "BatchFileDest"), "Dir=/home/x/out;Overwrite=1;");
        EXPECT_FALSE(store.ReadBinary("Settings", "BatchFileDest")) << "text is not binary";
        EXPECT_FALSE(store.ReadBinary("Settings", "Missing"));
        store.Remove("Settings", "TIFF_Parameters");
        EXPECT_FALSE(store.ReadBinary("Settings", "TIFF_Parameters"));
    }
    fs::remove(file);
}

TEST(QSettingsStore, EnvironmentSelectsTheFile) {
    // The test runner sets PIXMILL_SETTINGS for every test.
    const char* env = std::getenv("PIXMILL_SETTINGS");
    ASSERT_NE(env, nullptr);
    QSettingsStore store;
    EXPECT_EQ(store.FileName(), env);
    HostServices host(store);
    const uint8_t block[4] = {9, 8, 7, 6};
    host.SaveSettings("Probe", block, 4, 3);
    uint8_t loaded[4] = {};
    host.LoadSettings("Probe", loaded, 4, 3);
    EXPECT_EQ(loaded[3], 6);
}
