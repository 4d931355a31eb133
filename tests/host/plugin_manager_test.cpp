// The plug-in manager on real libraries built in the test tree: every folder
// below test-plugins/manager/ is one scan.
#include "host/plugin_manager.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

namespace {

const std::string kManagerDir = PIXMILL_TEST_PLUGIN_DIR "/manager/";
const std::string kFormats = kManagerDir + "Formats/";
const std::string kProcessing = kManagerDir + "Processing/";
const std::string kRefused = kManagerDir + "Refused/";

// Whether the library is mapped in the process (without loading it).
bool IsLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
}

std::unique_ptr<MemoryStream> StreamOf(CPluginHost* host, const std::string& bytes) {
    auto stream = std::make_unique<MemoryStream>(host, 16, 16);
    stream->Write(bytes.data(), bytes.size());
    stream->Seek(0, CVStream::FromStart);
    return stream;
}

std::optional<int32_t> StoredInt(MemorySettingsStore& store, const char* name) {
    auto stored = store.ReadBinary("Settings", name);
    if (!stored || stored->size() != 4) {
        return std::nullopt;
    }
    int32_t value;
    std::memcpy(&value, stored->data(), 4);
    return value;
}

// A private folder under the temporary directory, removed afterwards.
struct ScratchFolder {
    explicit ScratchFolder(const char* name)
        : path(fs::path(testing::TempDir()) /
               (std::string("pixmill-") + name + "-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchFolder() { fs::remove_all(path); }
    std::string Dir() const { return path.string() + "/"; }
    fs::path path;
};

} // namespace

TEST(PluginManager, FormatsAreBoundAndLookedUp) {
    TestHost host;
    PluginManager manager(host.get());
    // mgr_misplaced.so in the same folder has no GetFormat: skipped, released.
    EXPECT_EQ(manager.LoadFormats(kFormats), 2);
    EXPECT_FALSE(IsLoaded(kFormats + "mgr_misplaced.so"));
    EXPECT_TRUE(IsLoaded(kFormats + "mgr_mm_format.so"));
    EXPECT_EQ(manager.MaxSignatureSize(), 3);
    CFormatPlugin* jpeg = manager.FormatAt(0);
    CFormatPlugin* mm = manager.FormatAt(1);
    ASSERT_NE(jpeg, nullptr);
    ASSERT_NE(mm, nullptr);
    EXPECT_EQ(jpeg->GetSignatureSize(), 3);
    EXPECT_EQ(manager.FormatAt(2), nullptr);

    // By extension: lower-cased, from the last dot.
    EXPECT_EQ(manager.FindFormatByExtension("/home/me/photo.JPG"), jpeg);
    EXPECT_EQ(manager.FindFormatByExtension("scan.v2.tiff"), mm);
    EXPECT_EQ(manager.FindFormatByExtension("README"), nullptr);
    EXPECT_EQ(manager.FindFormatByExtension("picture.bmp"), nullptr);

    EXPECT_EQ(manager.FindFormatById(7), jpeg);
    EXPECT_EQ(manager.FindFormatById(0), mm);
    EXPECT_EQ(manager.FindFormatById(3), nullptr);

    // By content: the largest signature size is read; a match rewinds.
    auto tiff = StreamOf(host.get(), std::string("MM\0*rest", 8));
    EXPECT_EQ(manager.DetectFormat(tiff.get()), mm);
    EXPECT_EQ(tiff->Position(), 0u);
    auto jfif = StreamOf(host.get(), "\xFF\xD8\xFF\xE0");
    EXPECT_EQ(manager.DetectFormat(jfif.get()), jpeg);
    auto shortFile = StreamOf(host.get(), "MM");
    EXPECT_EQ(manager.DetectFormat(shortFile.get()), nullptr) << "3 bytes are needed";
    auto unknown = StreamOf(host.get(), "GIF89a");
    EXPECT_EQ(manager.DetectFormat(unknown.get()), nullptr);
    EXPECT_EQ(unknown->Position(), 3u) << "left after the bytes read";

    manager.UnloadAll();
    EXPECT_EQ(manager.FormatCount(), 0);
    EXPECT_EQ(manager.MaxSignatureSize(), 0);
    EXPECT_EQ(manager.FindFormatByExtension("a.jpg"), nullptr);
    EXPECT_EQ(manager.DetectFormat(tiff.get()), nullptr);
    EXPECT_FALSE(IsLoaded(kFormats + "mgr_mm_format.so"));
}

// On demand, each lookup opens libraries in name order only until it is
// answered, with the answers and the table order of a full load.
TEST(PluginManager, FormatsOpenOnDemandAnswerAsAFullLoad) {
    TestHost host;
    PluginManager manager(host.get());
    EXPECT_EQ(manager.LoadFormatsOnDemand(kFormats), 1);
    const std::string mm = kFormats + "mgr_mm_format.so";
    EXPECT_FALSE(IsLoaded(mm));
    CFormatPlugin* jpeg = manager.FormatAt(0);
    auto jfif = StreamOf(host.get(), "\xFF\xD8\xFF\xE0");
    EXPECT_EQ(manager.DetectFormat(jfif.get()), jpeg);
    EXPECT_EQ(manager.FindFormatByExtension("photo.jpeg"), jpeg);
    EXPECT_FALSE(IsLoaded(mm)) << "the first library answered both";

    // Content only the last library knows opens it, past the one without
    // the entry point.
    auto tiff = StreamOf(host.get(), std::string("MM\0*rest", 8));
    CFormatPlugin* found = manager.DetectFormat(tiff.get());
    EXPECT_EQ(found, manager.FormatAt(1));
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(tiff->Position(), 0u);
    EXPECT_TRUE(IsLoaded(mm));
    EXPECT_EQ(manager.FormatCount(), 2);
    EXPECT_FALSE(manager.LoadNextFormat());
    auto unknown = StreamOf(host.get(), "GIF89a");
    EXPECT_EQ(manager.DetectFormat(unknown.get()), nullptr);

    // An extension nobody has opens everything, then answers null; the
    // table is the full load's.
    PluginManager lazy(host.get());
    PluginManager full(host.get());
    lazy.LoadFormatsOnDemand(kFormats);
    full.LoadFormats(kFormats);
    EXPECT_EQ(lazy.FindFormatByExtension("picture.bmp"), nullptr);
    ASSERT_EQ(lazy.FormatCount(), full.FormatCount());
    for (int i = 0; i < full.FormatCount(); ++i) {
        EXPECT_STREQ(lazy.FormatAt(i)->GetExtensions(), full.FormatAt(i)->GetExtensions());
    }
    lazy.UnloadAll();
    EXPECT_FALSE(lazy.LoadNextFormat()) << "the list goes with the libraries";
    PluginManager none(host.get());
    EXPECT_EQ(none.LoadFormatsOnDemand(kManagerDir + "Missing/"), 0);
    EXPECT_EQ(none.DetectFormat(jfif.get()), nullptr);
}

TEST(PluginManager, OperationsGetCommandsMenusAndDirectEntries) {
    TestHost host;
    {
        PluginManager manager(host.get());
        ASSERT_EQ(manager.LoadProcessing(kProcessing), 2);
        // 1 operation, then 5 grouped under "&Filter".
        EXPECT_EQ(manager.FirstCommandOf(0), 600);
        EXPECT_EQ(manager.OperationCountOf(0), 1);
        EXPECT_EQ(manager.FirstCommandOf(1), 601);
        EXPECT_EQ(manager.OperationCountOf(1), 5);
        EXPECT_FALSE(manager.IsOperationCommand(599));
        EXPECT_TRUE(manager.IsOperationCommand(600));
        EXPECT_TRUE(manager.IsOperationCommand(605));
        EXPECT_FALSE(manager.IsOperationCommand(606));

        CProcessingPlugin* filters = manager.SelectOperation(603);
        ASSERT_EQ(filters, manager.ProcessorAt(1));
        EXPECT_EQ(filters->GetOperation(), 2);
        EXPECT_EQ(manager.SelectOperation(600), manager.ProcessorAt(0));
        EXPECT_EQ(manager.SelectOperation(606), nullptr);

        CVImage image(host.get());
        image.Create(2, 2, 24, 0, nullptr);
        EXPECT_TRUE(manager.CanApplyCommand(&image, 601)); // operation 0 accepts
        EXPECT_FALSE(manager.CanApplyCommand(&image, 602));
        EXPECT_FALSE(manager.CanApplyCommand(&image, 606));
        EXPECT_FALSE(manager.CanApplyCommand(nullptr, 601))
            << "no picture: the plug-in is not asked";

        ASSERT_EQ(manager.MenuCount(), 2);
        const Menu& popup = manager.GetMenu(0);
        ASSERT_EQ(popup.items.size(), 2u);
        EXPECT_EQ(popup.items[0].commandId, 600);
        EXPECT_EQ(popup.items[0].text, "&Op0");
        EXPECT_EQ(popup.items[0].submenu, -1);
        EXPECT_EQ(popup.items[1].text, "&Filter");
        EXPECT_EQ(popup.items[1].submenu, 1);
        const Menu& group = manager.GetMenu(1);
        ASSERT_EQ(group.items.size(), 5u);
        for (int j = 0; j < 5; ++j) {
            EXPECT_EQ(group.items[j].commandId, 601 + j);
            EXPECT_EQ(group.items[j].text, "&Op" + std::to_string(j));
        }

        // ResampleImage from the first library, ChangeColors from the second.
        EXPECT_EQ(manager.CallResampleImage(nullptr, nullptr, nullptr, 10, 20, 1, 1), 36);
        const uint8_t conversion[20] = {9};
        EXPECT_EQ(manager.CallChangeColors(nullptr, nullptr, nullptr, conversion), 9);

        const auto schemas = manager.SettingsSchemas();
        ASSERT_EQ(schemas.size(), 2u);
        EXPECT_STREQ(schemas[0]->name, "MgrSingle");
        EXPECT_STREQ(schemas[1]->name, "MgrFilters");
        EXPECT_FALSE(StoredInt(host.settings, "MgrFilters").has_value());
    } // the manager unloads: the objects save their settings
    const auto selections = StoredInt(host.settings, "MgrFilters");
    ASSERT_TRUE(selections.has_value());
    EXPECT_GE(*selections, 5) << "the menu builder selected every operation";
    EXPECT_FALSE(IsLoaded(kProcessing + "mgr_b_filters.so"));
}

TEST(PluginManager, RefusedLibraryLeavesNothingBehind) {
    TestHost host;
    PluginManager manager(host.get());
    // The library exports both direct entries but refuses GetProcessing; its
    // addresses must not outlive it.
    EXPECT_EQ(manager.LoadProcessing(kRefused), 0);
    EXPECT_FALSE(IsLoaded(kRefused + "mgr_c_refuser.so"));
    EXPECT_FALSE(manager.HasResampleImage());
    EXPECT_FALSE(manager.HasChangeColors());
    const uint8_t conversion[20] = {9};
    EXPECT_EQ(manager.CallChangeColors(nullptr, nullptr, nullptr, conversion), 0);
    EXPECT_EQ(manager.CallResampleImage(nullptr, nullptr, nullptr, 1, 1, 0, 0), 0);
    for (int id : {0, 599, 600, 601}) {
        EXPECT_FALSE(manager.IsOperationCommand(id));
        EXPECT_EQ(manager.SelectOperation(id), nullptr);
    }
    ASSERT_EQ(manager.MenuCount(), 1);
    EXPECT_TRUE(manager.GetMenu(0).items.empty());

    // Loading processing libraries later still finds the direct entries.
    EXPECT_EQ(manager.LoadProcessing(kProcessing), 2);
    EXPECT_TRUE(manager.HasResampleImage());
    EXPECT_TRUE(manager.HasChangeColors());
    manager.UnloadAll();
    EXPECT_FALSE(manager.HasResampleImage());
    EXPECT_EQ(manager.CallResampleImage(nullptr, nullptr, nullptr, 1, 1, 0, 0), 0);
    EXPECT_EQ(manager.MenuCount(), 0);
    EXPECT_FALSE(manager.IsOperationCommand(600));
}

TEST(PluginManager, ScanSkipsWhatIsNotALibraryAndStopsAtTwenty) {
    ScratchFolder formats("manager-formats");
    ScratchFolder processing("manager-processing");
    for (int i = 0; i <= PluginManager::kMaxPlugins; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "f%02d.so", i);
        fs::copy_file(kFormats + "mgr_mm_format.so", formats.path / name);
        fs::copy_file(kProcessing + "mgr_a_single.so", processing.path / name);
    }
    std::ofstream(formats.path / "broken.so") << "not a library";
    std::ofstream(formats.path / "notes.txt") << "text";
    fs::create_directory(formats.path / "folder.so");

    TestHost host;
    PluginManager manager(host.get());
    EXPECT_EQ(manager.LoadFormats(formats.Dir()), 20);
    EXPECT_TRUE(IsLoaded(formats.Dir() + "f19.so"));
    EXPECT_FALSE(IsLoaded(formats.Dir() + "f20.so")) << "the 21st is refused and released";

    // Without the trailing "/" the folder is scanned all the same.
    EXPECT_EQ(manager.LoadProcessing(processing.path.string()), 20);
    EXPECT_EQ(manager.FirstCommandOf(19), 619);
    EXPECT_TRUE(manager.IsOperationCommand(619));
    EXPECT_FALSE(manager.IsOperationCommand(620));
    EXPECT_FALSE(IsLoaded(processing.Dir() + "f20.so"));
    EXPECT_EQ(manager.GetMenu(0).items.size(), 20u);

    EXPECT_EQ(manager.LoadFormats("/nonexistent-pixmill-folder/"), 20) << "nothing, no error";
    manager.UnloadAll();
    EXPECT_FALSE(IsLoaded(formats.Dir() + "f00.so"));
    EXPECT_FALSE(IsLoaded(processing.Dir() + "f00.so"));
}

TEST(PluginManager, DirectoryScanServesOtherLoaders) {
    // The batch job scans its own folders with its own callback.
    std::vector<ModuleHandle> kept;
    int offered = 0;
    const int accepted = ScanPluginDirectory(kProcessing, "GetSettingsSchema",
                                             [&](ModuleHandle module, void* entry) {
                                                 EXPECT_NE(entry, nullptr);
                                                 if (offered++ == 0) {
                                                     kept.push_back(module);
                                                     return true;
                                                 }
                                                 return false;
                                             });
    EXPECT_EQ(offered, 2);
    EXPECT_EQ(accepted, 1);
    EXPECT_TRUE(IsLoaded(kProcessing + "mgr_a_single.so"));
    EXPECT_FALSE(IsLoaded(kProcessing + "mgr_b_filters.so"));
    for (ModuleHandle module : kept) {
        ReleaseModule(module);
    }
    EXPECT_FALSE(IsLoaded(kProcessing + "mgr_a_single.so"));

    const std::string program = ProgramDirectory();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.back(), '/');
    EXPECT_TRUE(fs::exists(program + "plugin_manager_tests"));
}
