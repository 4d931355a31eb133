// The scanner client against the fake source manager of
// tests/test-plugins/twain: protocol states, source selection, transfers
// into untitled documents, close requests and failures at each step.
#include "acquisition/twain_document_client.h"
#include "host/doc_template.h"
#include "host/image_doc.h"
#include "host/plugin_manager.h"
#include "pixmill/cv_image.h"
#include "support/plugin_library.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "test-plugins/fake_twain_pattern.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace pixmill;
using namespace pixmill::test;
using namespace pixmill::twain;

namespace {

constexpr const char* kFakeManager = PIXMILL_TEST_PLUGIN_DIR "/twain/fake_twain_dsm.so";
constexpr const char* kNotAvailable = "Twain is not available";
constexpr const char* kActivateError = "Twain source activate error";

class Twain : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(manager.handle, nullptr);
        configure = manager.Entry<void (*)(const char*)>("FakeDsmConfigure");
        fakeState = manager.Entry<int (*)()>("FakeDsmState");
        liveHandles = manager.Entry<int (*)()>("FakeDsmLiveHandles");
        appIdentity = manager.Entry<const TW_IDENTITY* (*)()>("FakeDsmAppIdentity");
        plugins = std::make_unique<PluginManager>(host.get());
        plugins->LoadFormats(PIXMILL_TEST_PLUGIN_DIR "/document/Formats/");
        ASSERT_GT(plugins->FormatCount(), 0);
        documentTemplate =
            std::make_unique<ImageDocTemplate>(*host.host, *plugins, plugins->FormatAt(0));
    }
    void TearDown() override {
        client.reset();
        EXPECT_EQ(fakeState(), 2) << "the manager was left open";
        EXPECT_EQ(liveHandles(), 0) << "transferred bitmaps were not freed";
        documents.clear();
        documentTemplate.reset();
        plugins.reset();
    }
    // A client on the fake manager; with setup, as the main frame has it
    // after start (identity set, manager open).
    TwainDocumentClient& Client(const char* scenario, bool setup = true) {
        configure(scenario);
        client = std::make_unique<TwainDocumentClient>(*host.host, documentTemplate.get(),
                                                       [this](std::unique_ptr<ImageDoc> document) {
                                                           documents.push_back(std::move(document));
                                                       });
        client->SetManagerLibraries({kFakeManager});
        if (setup) {
            client->Setup(nullptr);
        } else {
            client->SetIdentity(1, 1, TWLG_ENGLISH_USA, TWCY_USA, "Version 1.0",
                                "QOREL Technologies", "QOREL Pixmill", "QOREL Pixmill 1.0");
        }
        return *client;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& message : host.ui.messages) {
            texts.push_back(message.text);
        }
        return texts;
    }

    PluginLibrary manager{kFakeManager}; // keeps the fake's settings across loads
    void (*configure)(const char*) = nullptr;
    int (*fakeState)() = nullptr;
    int (*liveHandles)() = nullptr;
    const TW_IDENTITY* (*appIdentity)() = nullptr;
    TestHost host;
    std::unique_ptr<PluginManager> plugins;
    std::unique_ptr<ImageDocTemplate> documentTemplate;
    std::unique_ptr<TwainDocumentClient> client;
    std::vector<std::unique_ptr<ImageDoc>> documents;
};

TEST_F(Twain, WithoutAManagerBothCommandsReportItAndStayInState1) {
    for (const std::vector<std::string>& names :
         {std::vector<std::string>{"/nonexistent/libtwaindsm.so"},
          std::vector<std::string>{PIXMILL_TEST_PLUGIN_DIR "/document/Formats/test_raw.so"}}) {
        host.ui.messages.clear();
        TwainDocumentClient orphan(*host.host, documentTemplate.get(), nullptr);
        orphan.SetManagerLibraries(names); // missing, or a library without DSM_Entry
        orphan.Setup(nullptr);
        EXPECT_FALSE(orphan.IsAvailable());
        orphan.SelectSourceCommand();
        orphan.AcquireCommand();
        EXPECT_EQ(orphan.State(), TwainClient::ManagerUnloaded);
        EXPECT_EQ(Messages(), (std::vector<std::string>{kNotAvailable, kNotAvailable}));
        EXPECT_EQ(host.ui.messages[0].caption, "Pixmill");
    }
}

TEST_F(Twain, SetupOpensTheManagerWithTheProgramsIdentity) {
    TwainDocumentClient& twain = Client("");
    EXPECT_EQ(twain.State(), TwainClient::ManagerOpen);
    EXPECT_EQ(fakeState(), 3);
    const TW_IDENTITY& seen = *appIdentity();
    EXPECT_STREQ(seen.ProductName, "QOREL Pixmill 1.0");
    EXPECT_STREQ(seen.ProductFamily, "QOREL Pixmill");
    EXPECT_STREQ(seen.Manufacturer, "QOREL Technologies");
    EXPECT_STREQ(seen.Version.Info, "Version 1.0");
    EXPECT_EQ(seen.Version.Language, 13);
    EXPECT_EQ(seen.ProtocolMajor * 10 + seen.ProtocolMinor, 16);
    EXPECT_EQ(seen.SupportedGroups & 3u, 3u);
    EXPECT_EQ(twain.AppIdentity().Id, 7u) << "the id the manager gave is kept";
}

TEST_F(Twain, SelectingASourceReturnsToTheStateBefore) {
    for (const char* scenario : {"select=cancel", ""}) {
        for (bool setup : {true, false}) {
            TwainDocumentClient& twain = Client(scenario, setup);
            const int before = twain.State();
            twain.SelectSourceCommand();
            EXPECT_EQ(twain.State(), before) << scenario << " setup " << setup;
            if (setup) {
                EXPECT_EQ(twain.LastReturnCode(), *scenario != '\0' ? TWRC_CANCEL : TWRC_SUCCESS);
            }
            EXPECT_EQ(fakeState(), setup ? 3 : 2);
            client.reset();
        }
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Twain, EachTransferredPictureBecomesAnUntitledDocument) {
    TwainDocumentClient& twain = Client("images=3");
    twain.AcquireCommand();
    EXPECT_EQ(twain.State(), TwainClient::SourceEnabled);
    EXPECT_TRUE(documents.empty()) << "events wait for the user-interface thread";
    twain.DispatchEvents();
    EXPECT_EQ(twain.State(), TwainClient::SourceEnabled) << "the source keeps its dialog";
    ASSERT_EQ(documents.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const CVImage& image = documents[k]->Image();
        EXPECT_EQ(documents[k]->Title().rfind("Untitled", 0), 0u) << documents[k]->Title();
        ASSERT_EQ(image.Width(), fake_twain::WidthOf(k));
        ASSERT_EQ(image.Height(), fake_twain::HeightOf(k));
        ASSERT_EQ(image.BitCount(), fake_twain::DepthOf(k));
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                uint32_t color = PixelAt(image, x, y);
                if (image.BitCount() <= 8) {
                    const RGBQUAD& entry = image.palette[color];
                    color = uint32_t(entry.rgbRed) << 16 | uint32_t(entry.rgbGreen) << 8 |
                            entry.rgbBlue;
                }
                ASSERT_EQ(color, fake_twain::ColorAt(k, x, y)) << k << " at " << x << "," << y;
            }
        }
    }
    EXPECT_NE(documents[0]->Title(), documents[1]->Title());
}

TEST_F(Twain, EventsFromTheSourcesThreadAreHandedToTheDispatcher) {
    std::mutex lock;
    std::condition_variable arrived;
    int notices = 0;
    TwainDocumentClient& twain = Client("images=2;close=1;thread=1");
    twain.SetEventNotifier([&] {
        std::lock_guard guard(lock);
        ++notices;
        arrived.notify_all();
    });
    twain.AcquireCommand();
    std::unique_lock wait(lock);
    ASSERT_TRUE(arrived.wait_for(wait, std::chrono::seconds(10), [&] { return notices == 2; }));
    wait.unlock();
    twain.DispatchEvents();
    EXPECT_EQ(documents.size(), 2u);
    EXPECT_EQ(twain.State(), TwainClient::ManagerOpen);
}

TEST_F(Twain, ACloseRequestWhileEnabledReturnsToState3) {
    TwainDocumentClient& twain = Client("close=1");
    twain.AcquireCommand();
    EXPECT_EQ(twain.State(), TwainClient::SourceEnabled);
    twain.DispatchEvents();
    EXPECT_EQ(twain.State(), TwainClient::ManagerOpen);
    EXPECT_EQ(fakeState(), 3);
    // A message of the closed source is stale.
    EXPECT_FALSE(twain.ProcessMessage(MSG_XFERREADY));
    EXPECT_TRUE(documents.empty());
}

TEST_F(Twain, RefusedOrCancelledPicturesMakeNoDocument) {
    for (const char* scenario : {"images=3;bad=1", "images=3;cancel=2"}) {
        documents.clear();
        TwainDocumentClient& twain = Client(scenario);
        twain.AcquireCommand();
        twain.DispatchEvents();
        EXPECT_EQ(documents.size(), 2u) << scenario;
        EXPECT_EQ(twain.State(), TwainClient::SourceEnabled);
        EXPECT_TRUE(Messages().empty()) << "no message for a lost picture";
        client.reset();
    }
}

TEST_F(Twain, FailuresToActivateTheSourceStepBackDown) {
    struct Case {
        const char* scenario;
        bool setup;
        const char* message;
        int fakeAfter;
    };
    for (const Case& c : {Case{"fail=opends", true, kActivateError, 3},
                          Case{"fail=callback", true, kActivateError, 3},
                          Case{"fail=enableds", true, kActivateError, 3},
                          Case{"fail=enableds", false, kActivateError, 2},
                          Case{"fail=opendsm", false, kNotAvailable, 2}}) {
        host.ui.messages.clear();
        TwainDocumentClient& twain = Client(c.scenario, c.setup);
        const int before = twain.State();
        twain.AcquireCommand();
        EXPECT_EQ(twain.State(), before) << c.scenario;
        EXPECT_EQ(fakeState(), c.fakeAfter) << c.scenario;
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message}) << c.scenario;
        client.reset();
    }
}

TEST_F(Twain, AFailedTransferLeavesTheTransferStates) {
    for (const char* scenario : {"images=2;fail=xfer", "images=2;fail=endxfer"}) {
        TwainDocumentClient& twain = Client(scenario);
        twain.AcquireCommand();
        twain.DispatchEvents();
        EXPECT_TRUE(documents.empty()) << scenario;
        EXPECT_LE(twain.State(), TwainClient::Transferring);
        if (std::string(scenario).find("endxfer") == std::string::npos) {
            EXPECT_EQ(twain.State(), TwainClient::SourceEnabled) << scenario;
        }
        configure(""); // let the client close down
        client.reset();
    }
}

TEST_F(Twain, DestroyingTheClientClosesEverything) {
    TwainDocumentClient& twain = Client("");
    twain.AcquireCommand();
    EXPECT_EQ(fakeState(), 5);
    client.reset(); // TearDown checks the manager is closed
}

} // namespace
