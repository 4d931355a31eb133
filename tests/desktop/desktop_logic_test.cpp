// The desktop program's logic without widgets: zoom arithmetic, the gamma
// table, the row renderer, the settings records, the selection tracker, the
// command table, the preferences model and the operation preview's copy.
#include "desktop/app_settings.h"
#include "desktop/commands.h"
#include "desktop/image_display.h"
#include "desktop/preferences_model.h"
#include "desktop/preview_source.h"
#include "desktop/row_renderer.h"
#include "desktop/selection_tracker.h"
#include "host/settings_store.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <vector>

namespace pixmill {
namespace {

TEST(Zoom, StepsUpAndDownFromTheNearestStep) {
    EXPECT_DOUBLE_EQ(NextZoom(100, true), 200);
    EXPECT_DOUBLE_EQ(NextZoom(100, false), 66.67);
    EXPECT_DOUBLE_EQ(NextZoom(1600, true), 1600);
    EXPECT_DOUBLE_EQ(NextZoom(1, false), 1);
    EXPECT_DOUBLE_EQ(NextZoom(33.3333, false), 20); // nearest step is 33.33 %
    EXPECT_DOUBLE_EQ(NextZoom(130, true), 200);     // nearest is 100 %
    // Every step goes up to the next one and back.
    for (size_t i = 0; i + 1 < kZoomSteps.size(); ++i) {
        const double zoom = kZoomSteps[i] / 100.0;
        EXPECT_DOUBLE_EQ(NextZoom(zoom, true), kZoomSteps[i + 1] / 100.0);
        EXPECT_DOUBLE_EQ(NextZoom(NextZoom(zoom, true), false), zoom);
    }
}

TEST(Zoom, SnapsDownToAStepAndFits) {
    EXPECT_DOUBLE_EQ(SnapZoom(150), 100);
    EXPECT_DOUBLE_EQ(SnapZoom(3000), 100); // above the last step
    EXPECT_DOUBLE_EQ(SnapZoom(1600), 1600);
    EXPECT_DOUBLE_EQ(SnapZoom(0.5), 1);
    EXPECT_DOUBLE_EQ(SnapZoom(49.99), 33.33);
    for (int step : kZoomSteps) {
        EXPECT_DOUBLE_EQ(SnapZoom(step / 100.0), step / 100.0);
    }
    // 2560 x 1600 in 800 x 600: min(31.25, 37.5) snaps to 20 %.
    EXPECT_DOUBLE_EQ(FitZoom(800, 600, 2560, 1600), 20);
    EXPECT_DOUBLE_EQ(FitZoom(800, 600, 400, 300), 200);
    EXPECT_DOUBLE_EQ(FitZoom(800, 600, 400, 299), 200);
}

TEST(Zoom, ConvertsTruncatingAndScrollsToTheCentre) {
    EXPECT_EQ(ImageToScreen(7, 33.33), 2);
    EXPECT_EQ(ScreenToImage(2, 33.33), 6);
    EXPECT_EQ(ScreenToImage(5, 0), 50000); // zoom 0 counts as 1
    EXPECT_EQ(ImageToScreen(3, 1600), 48);
    EXPECT_EQ(CentreOffset(500, 300), 100);
    EXPECT_EQ(CentreOffset(300, 500), 0);
    EXPECT_EQ(ScrollToCentre(500, 100, 400, 1000), 300);
    EXPECT_EQ(ScrollToCentre(10, 100, 400, 1000), 0);    // limited at the start
    EXPECT_EQ(ScrollToCentre(990, 100, 400, 1000), 600); // and at the end
    EXPECT_EQ(ScrollToCentre(500, 100, 400, 300), 0);    // the image fits
    EXPECT_EQ(FrameTitle("photo.jpg", 66.67), "photo.jpg (67%)");
    EXPECT_EQ(MousePositionText(3, 4, 10, 10), "3, 4");
    EXPECT_EQ(MousePositionText(10, 4, 10, 10), "");
    EXPECT_EQ(MousePositionText(-1, 4, 10, 10), "");
    EXPECT_EQ(ImageSizeText(640, 480, 8), "640x480  8 bit ");
}

TEST(Gamma, TableIsIdentityWhenDisabledAndRisesWhenEnabled) {
    GammaParameters parameters;
    const GammaTable identity = MakeGammaTable(parameters);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(identity[static_cast<size_t>(i)], i);
    }
    parameters.enabled = 1;
    parameters.gamma = 2.2;
    const GammaTable table = MakeGammaTable(parameters);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[255], 255);
    EXPECT_EQ(table[128], 145); // round(255 * (128/255)^(1/1.221))
    for (size_t i = 1; i < 256; ++i) {
        EXPECT_GE(table[i], table[i - 1]);
    }
    parameters.gamma = 0; // g limited to 0.01: all but the brightest levels go dark
    const GammaTable dark = MakeGammaTable(parameters);
    EXPECT_EQ(dark[128], 0);
    EXPECT_EQ(dark[254], 172);
    EXPECT_EQ(dark[255], 255);
}

// The picture the renderer should show at position (sx, sy).
uint32_t Expected(const CVImage& image, const GammaTable& gamma, double zoom, int sx, int sy) {
    const int x = std::min(ScreenToImage(sx, zoom), image.Width() - 1);
    const int y = std::min(ScreenToImage(sy, zoom), image.Height() - 1);
    uint32_t value = test::PixelAt(image, x, y);
    if (image.BitCount() != 24) {
        const RGBQUAD& c = image.palette[value];
        value = uint32_t{c.rgbRed} << 16 | uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
    }
    return 0xFF000000u | uint32_t{gamma[(value >> 16) & 0xFF]} << 16 |
           uint32_t{gamma[(value >> 8) & 0xFF]} << 8 | gamma[value & 0xFF];
}

TEST(RowRenderer, ShowsEveryDepthAtEveryZoomThroughTheGammaTable) {
    test::TestHost host;
    std::mt19937 random(7);
    GammaParameters parameters;
    parameters.enabled = 1;
    const GammaTable gamma = MakeGammaTable(parameters);
    for (int bits : {1, 4, 8, 24}) {
        CVImage image(host.get());
        image.Create(37, 23, bits, bits == 24 ? 0 : 1 << bits, nullptr);
        test::FillRandom(image, random);
        test::FillRandomPalette(image, random);
        for (double zoom : {5.0, 33.33, 66.67, 100.0, 300.0}) {
            const int width = ImageToScreen(image.Width(), zoom);
            const int height = ImageToScreen(image.Height(), zoom);
            // A window onto the middle of the zoomed picture.
            const RenderArea area{width / 4, height / 3, std::max(1, width / 2),
                                  std::max(1, height / 2)};
            std::vector<uint32_t> out(static_cast<size_t>(area.width * area.height) + 1, 0);
            RenderRows(image, zoom, gamma, area, out.data(), static_cast<size_t>(area.width));
            for (int y = 0; y < area.height; ++y) {
                for (int x = 0; x < area.width; ++x) {
                    ASSERT_EQ(out[static_cast<size_t>(y * area.width + x)],
                              Expected(image, gamma, zoom, area.x + x, area.y + y))
                        << bits << " bit at " << zoom << "% (" << x << ", " << y << ")";
                }
            }
            EXPECT_EQ(out.back(), 0u) << "wrote beyond the area";
        }
    }
}

TEST(RowRenderer, TakesEveryThirdPixelAtAThird) {
    test::TestHost host;
    CVImage image(host.get());
    image.Create(9, 3, 8, 256, nullptr);
    test::SetGrayRamp(image);
    for (int x = 0; x < 9; ++x) {
        test::SetPixelAt(image, x, 0, static_cast<uint32_t>(x * 10));
    }
    uint32_t out[3];
    RenderRows(image, 33.33, MakeGammaTable({}), RenderArea{0, 0, 3, 1}, out, 3);
    EXPECT_EQ(out[0] & 0xFF, 0u);
    EXPECT_EQ(out[1] & 0xFF, 30u);
    EXPECT_EQ(out[2] & 0xFF, 60u);
}

// A picture with an alpha plane shows over a checkerboard fixed to the
// zoomed picture: transparent pixels as the square under them, opaque ones
// as they are, the rest between the two; a window onto the picture shows
// what the whole picture shows there, so the squares stay put as it scrolls.
TEST(RowRenderer, ShowsAnAlphaPlaneOverACheckerboardFixedToThePicture) {
    test::TestHost host;
    CVImage image(host.get());
    image.CreateWithAlpha(40, 24);
    const uint8_t alphas[4] = {0, 255, 128, 40};
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 40; ++x) {
            uint8_t* pixel = image.Row(y) + 4 * x;
            pixel[0] = 10, pixel[1] = 100, pixel[2] = 250, pixel[3] = alphas[x / 10];
        }
    }
    const GammaTable gamma = MakeGammaTable({});
    for (double zoom : {100.0, 300.0}) {
        const int width = ImageToScreen(40, zoom);
        const int height = ImageToScreen(24, zoom);
        std::vector<uint32_t> whole(static_cast<size_t>(width * height));
        RenderRows(image, zoom, gamma, RenderArea{0, 0, width, height}, whole.data(),
                   static_cast<size_t>(width));
        std::set<uint32_t> squares;
        for (int sy = 0; sy < height; ++sy) {
            for (int sx = 0; sx < width; ++sx) {
                const uint32_t shown = whole[static_cast<size_t>(sy * width + sx)];
                const int red = (shown >> 16) & 0xFF;
                const int blue = shown & 0xFF;
                switch (alphas[ScreenToImage(sx, zoom) / 10]) {
                case 0:
                    ASSERT_EQ(red, blue) << "a transparent pixel shows grey";
                    squares.insert(shown);
                    // One square to the right is the other grey.
                    if (sx >= 8 && alphas[ScreenToImage(sx - 8, zoom) / 10] == 0) {
                        ASSERT_NE(shown, whole[static_cast<size_t>(sy * width + sx - 8)]);
                    }
                    break;
                case 255:
                    ASSERT_EQ(shown, 0xFFFA640Au);
                    break;
                default:
                    // Between the colour and the square under it.
                    ASSERT_GT(red, blue);
                    ASSERT_GT(red, 0xCC);
                    ASSERT_GT(blue, 10);
                    ASSERT_LT(blue, 0xFF);
                    break;
                }
            }
        }
        EXPECT_EQ(squares.size(), 2u) << "two greys in the checkerboard";
        const RenderArea window{width / 3, height / 4, width / 2, height / 2};
        std::vector<uint32_t> part(static_cast<size_t>(window.width * window.height));
        RenderRows(image, zoom, gamma, window, part.data(), static_cast<size_t>(window.width));
        for (int y = 0; y < window.height; ++y) {
            for (int x = 0; x < window.width; ++x) {
                ASSERT_EQ(part[static_cast<size_t>(y * window.width + x)],
                          whole[static_cast<size_t>((window.y + y) * width + window.x + x)]);
            }
        }
    }
}

TEST(SettingsRecords, ReadOnlyAtTheirLengthAndRoundTrip) {
    MemorySettingsStore store;
    AppSettings settings;
    settings.Load(store, "/home/user");
    EXPECT_EQ(settings.image.previewDelay, 2000);
    EXPECT_STREQ(settings.image.workingDirectory, "/home/user");
    EXPECT_EQ(settings.html.font.height, -10);
    EXPECT_STREQ(settings.html.font.faceName, "Terminal");
    EXPECT_EQ(settings.html.background, 0xFFFFFFu);
    EXPECT_DOUBLE_EQ(settings.gamma.gamma, 2.2);

    EXPECT_EQ(settings.image.zoomToWindow, 1) << "large pictures open fitted";
    settings.image.zoomToWindow = 0;
    settings.gamma.enabled = 1;
    settings.html.compoundWidth = 640;
    settings.Save(store);
    EXPECT_EQ(store.ReadBinary("Settings", "ImageProperty")->size(), 304u);
    EXPECT_EQ(store.ReadBinary("Settings", "HtmlProperty")->size(), 340u);
    EXPECT_EQ(store.ReadBinary("Settings", "GammaParameters")->size(), 16u);
    AppSettings again;
    again.Load(store, "/elsewhere");
    EXPECT_EQ(again.image.zoomToWindow, 0);
    EXPECT_EQ(again.gamma.enabled, 1);
    EXPECT_EQ(again.html.compoundWidth, 640);
    EXPECT_STREQ(again.image.workingDirectory, "/home/user");

    // A value of another length is ignored; the defaults stay.
    store.WriteBinary("Settings", "ImageProperty", Bytes(303, 0xFF));
    Bytes place(44, 0);
    store.WriteBinary("Settings", "WindowPlace", place);
    again.Load(store, "/elsewhere");
    EXPECT_EQ(again.image.zoomToWindow, 1);
    EXPECT_STREQ(again.image.workingDirectory, "/elsewhere");
    WindowPlace windowPlace;
    windowPlace.statusBarVisible = 7;
    EXPECT_FALSE(ReadRecord(store, kWindowPlaceName, windowPlace));
    EXPECT_EQ(windowPlace.statusBarVisible, 7);

    // An unterminated stored directory is cut at the field's end.
    Bytes image(304, 'a');
    store.WriteBinary("Settings", "ImageProperty", image);
    again.Load(store, "/x");
    EXPECT_EQ(std::strlen(again.image.workingDirectory), 259u);
}

TEST(RecentFiles, KeepFiveNewestFirstWithoutRepeats) {
    MemorySettingsStore store;
    RecentFiles recent;
    for (int i = 1; i <= 7; ++i) {
        recent.Add("/p/" + std::to_string(i) + ".jpg");
    }
    recent.Add("/p/4.jpg");
    EXPECT_EQ(recent.Files(), (std::vector<std::string>{"/p/4.jpg", "/p/7.jpg", "/p/6.jpg",
                                                        "/p/5.jpg", "/p/3.jpg"}));
    recent.Save(store);
    RecentFiles loaded;
    loaded.Load(store);
    EXPECT_EQ(loaded.Files(), recent.Files());
    loaded.Remove("/p/7.jpg");
    loaded.Save(store);
    recent.Load(store);
    EXPECT_EQ(recent.Files().size(), 4u);
}

TEST(SelectionTracker, DrawsMovesAndResizesInsideTheImage) {
    SelectionTracker tracker;
    EXPECT_TRUE(tracker.IsEmpty());
    // A new rectangle dragged up and left is normalised.
    tracker.Press(50, 40, 2, 100, 80);
    tracker.Drag(10, 5);
    tracker.Release();
    RECT r = tracker.Rect();
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 5);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(r.bottom, 40);
    EXPECT_EQ(tracker.HitTest(10, 5, 2), SelectionTracker::TopLeft);
    EXPECT_EQ(tracker.HitTest(30, 40, 2), SelectionTracker::Bottom);
    EXPECT_EQ(tracker.HitTest(30, 20, 2), SelectionTracker::Inside);
    EXPECT_EQ(tracker.HitTest(90, 70, 2), SelectionTracker::Outside);
    // Moving keeps the size and stops at the image's edge.
    tracker.Press(30, 20, 2, 100, 80);
    tracker.Drag(130, 120);
    tracker.Release();
    r = tracker.Rect();
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.bottom, 80);
    EXPECT_EQ(r.right - r.left, 40);
    EXPECT_EQ(r.bottom - r.top, 35);
    // A handle resizes one side; dragging past the image is clamped.
    tracker.Press(r.left, (r.top + r.bottom) / 2, 2, 100, 80);
    tracker.Drag(-20, 0);
    tracker.Release();
    EXPECT_EQ(tracker.Rect().left, 0);
    // A click without dragging leaves no selection.
    tracker.Press(5, 5, 0, 100, 80);
    tracker.Release();
    EXPECT_TRUE(tracker.IsEmpty());
}

TEST(Commands, TableIsConsistentAndRulesFollowTheState) {
    std::set<int> ids;
    std::set<std::string> shortcuts;
    for (const CommandSpec& spec : CommandTable()) {
        EXPECT_TRUE(ids.insert(spec.id).second) << spec.id;
        if (*spec.shortcut != '\0') {
            EXPECT_TRUE(shortcuts.insert(spec.shortcut).second) << spec.shortcut;
        }
        EXPECT_EQ(FindCommand(spec.id), &spec);
    }
    EXPECT_EQ(PromptText(*FindCommand(cmd::Open)), "Open an existing document");
    EXPECT_EQ(ToolTipText(*FindCommand(cmd::Open)), "Open");
    EXPECT_STREQ(FindCommand(cmd::Crop)->shortcut, "Ctrl+X");

    CommandState none;
    CommandState document{true, false, true, false, 100.0};
    EXPECT_TRUE(IsCommandEnabled(Enabling::Always, none));
    for (Enabling rule : {Enabling::Document, Enabling::Selection, Enabling::CanUndo,
                          Enabling::CanRedo, Enabling::ZoomInRoom}) {
        EXPECT_FALSE(IsCommandEnabled(rule, none));
    }
    EXPECT_TRUE(IsCommandEnabled(Enabling::CanUndo, document));
    EXPECT_FALSE(IsCommandEnabled(Enabling::CanRedo, document));
    EXPECT_FALSE(IsCommandEnabled(Enabling::Selection, document));
    EXPECT_FALSE(IsCommandEnabled(Enabling::NotActualSize, document));
    document.zoom = 1600;
    EXPECT_FALSE(IsCommandEnabled(Enabling::ZoomInRoom, document));
    EXPECT_TRUE(IsCommandEnabled(Enabling::ZoomOutRoom, document));
    document.zoom = 1;
    EXPECT_FALSE(IsCommandEnabled(Enabling::ZoomOutRoom, document));
}

TEST(PreferencesModel, LimitsGammaShowsTheFontAndChecksTheDirectory) {
    AppSettings settings;
    PreferencesModel model(settings);
    model.SetGamma(12.5);
    EXPECT_DOUBLE_EQ(model.Values().gamma.gamma, 10);
    model.SetGamma(-1);
    EXPECT_DOUBLE_EQ(model.Values().gamma.gamma, 0);
    EXPECT_EQ(model.FontText(), "Font: Terminal,  size: 8"); // 1 - (-10 * 72 / 100)
    model.SetFont("Sans", 12);
    EXPECT_EQ(model.FontText(), "Font: Sans,  size: 12");
    model.SetHtmlWorkingDirectory("/no/such/folder");
    EXPECT_EQ(model.Validate(), "Path not found");
    model.SetHtmlWorkingDirectory("/tmp");
    EXPECT_EQ(model.Validate(), "");
}

TEST(PreviewSource, KeepsTheKindAndFitsTheBox) {
    test::TestHost host;
    std::mt19937 random(3);
    for (int bits : {1, 4, 8, 24, kAlphaBitCount}) {
        CVImage image(host.get());
        if (bits == kAlphaBitCount) {
            image.CreateWithAlpha(1000, 400);
        } else {
            image.Create(1000, 400, bits, bits == 24 ? 0 : 1 << bits, nullptr);
        }
        test::FillRandom(image, random);
        CVImage preview(host.get());
        MakePreviewSource(image, nullptr, 320, 320, preview);
        EXPECT_EQ(preview.Width(), 320);
        EXPECT_EQ(preview.Height(), 128);
        EXPECT_EQ(preview.BitCount(), bits);
        EXPECT_EQ(preview.paletteCount, image.paletteCount);
        // Nearest pixel: preview pixel (x, y) is source pixel (x * 1000 / 320, y * 400 / 128).
        for (int y = 0; y < 128; y += 17) {
            for (int x = 0; x < 320; x += 13) {
                ASSERT_EQ(test::PixelAt(preview, x, y),
                          test::PixelAt(image, x * 1000 / 320, y * 400 / 128));
            }
        }
        // A small selection is taken as it is.
        const RECT selection{10, 20, 110, 70};
        CVImage part(host.get());
        MakePreviewSource(image, &selection, 320, 320, part);
        EXPECT_EQ(part.Width(), 100);
        EXPECT_EQ(part.Height(), 50);
        EXPECT_EQ(test::PixelAt(part, 0, 0), test::PixelAt(image, 10, 20));
    }
}

} // namespace
} // namespace pixmill
