// The splash, the background and the billboards as a user sees them under
// Wine: the animated splash changes on the screen and holds the first page
// back for its minimum time, the background fills the screen with its
// gradient, the billboard shows at its position and goes by itself, and a
// run with "/S" makes none of these windows.
//
// The package is tests/e2e/packages/wizard with the default theme and the
// sample's splash picture (ten frames of 0.4 s) and billboard picture.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "setup_fixture.h"
#include "wizard_package.h"

namespace kq::e2e {
namespace {

using namespace wizard_package;

using Clock = std::chrono::steady_clock;

constexpr char kSplashTitle[] = "Merrowin splash";
constexpr char kBillboardTitle[] = "Merrowin billboard";
constexpr char kBackgroundTitle[] = "Calvarr Merrowin";
constexpr int kScreenWidth = 1024;  // the harness's Xvfb
constexpr int kScreenHeight = 768;
constexpr int kSplashSeconds = 5;

struct Rgb {
    int red = -1, green = -1, blue = -1;
};

class PresentationTest : public SetupTest {
protected:
    // The wizard package with the default theme, the sample's splash and
    // billboard pictures, and `sections` added to its setup script.
    fs::path PresentationPackage(const std::string& sections, const std::string& building = "No") {
        const fs::path authoring = CopyAuthoring("wizard");
        const fs::path sample = HarnessPaths::SourceDir() / "sample";
        fs::create_directories(authoring / "support");
        fs::copy_file(sample / "setup.gif", authoring / "setup.gif");
        fs::copy_file(sample / "support" / "billboard.bmp", authoring / "support" / "billboard.bmp");
        std::string script = ReadFile(authoring / "setup.inf");
        const size_t silent = script.find("[BUILDING]\n2=No");
        EXPECT_NE(silent, std::string::npos);
        if (silent != std::string::npos) script.replace(silent, 15, "[BUILDING]\n2=" + building);
        if (building == "Yes") {
            // Nothing to launch or show at the end of a silent run.
            for (const char* key : {"CT9=", "CT12=", "CT14="}) {
                const size_t at = script.find(std::string(key) + "Yes");
                if (at != std::string::npos) script.replace(at + std::string(key).size(), 3, "No");
            }
        }
        WriteFile(authoring / "setup.inf", script + "\n" + sections);
        return BuildInto(authoring);
    }

    // The screen's pixels in the rectangle as raw RGB bytes (empty on failure);
    // also kept as a small PNG in the case's scratch folder under `name`.
    std::string Capture(const std::string& name, int x, int y, int width, int height) {
        const std::string geometry =
            std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" + std::to_string(y);
        const fs::path raw = Session().ScratchDir() / (name + ".rgb");
        const fs::path png = Session().ScratchDir() / (name + ".png");
        ProcessResult grabbed = RunHost({"import", "-display", E2eEnvironment::Display(), "-window", "root", "-crop",
                                         geometry, "+repage", "-depth", "8", "rgb:" + raw.string()},
                                        {}, Millis(20000));
        EXPECT_EQ(grabbed.exitCode, EXIT_SUCCESS) << grabbed.errors;
        if (width > 1)
            RunHost({"convert", "-size", std::to_string(width) + "x" + std::to_string(height), "-depth", "8",
                     "rgb:" + raw.string(), "PNG8:" + png.string()},
                    {}, Millis(20000));
        return ReadFile(raw);
    }

    Rgb Pixel(int x, int y) {
        const std::string bytes = Capture("pixel", x, y, 1, 1);
        Rgb rgb;
        if (bytes.size() >= 3) {
            rgb.red = static_cast<unsigned char>(bytes[0]);
            rgb.green = static_cast<unsigned char>(bytes[1]);
            rgb.blue = static_cast<unsigned char>(bytes[2]);
        }
        return rgb;
    }

    bool Showing(const std::string& title, Millis timeout = Millis(200)) {
        return Session().WaitWindow({"--title", title, "--exact"}, timeout).has_value();
    }
};

::testing::AssertionResult Near(const Rgb& seen, int red, int green, int blue) {
    const auto close = [](int a, int b) { return std::abs(a - b) <= 12; };
    if (close(seen.red, red) && close(seen.green, green) && close(seen.blue, blue))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "saw (" << seen.red << "," << seen.green << "," << seen.blue
                                         << "), expected about (" << red << "," << green << "," << blue << ")";
}

// The splash plays its frames (two captures a second apart differ) and the
// first page comes only after the splash's minimum time, once it has closed.
TEST_F(PresentationTest, AnimatedSplashHoldsTheFirstPage) {
    const fs::path package = PresentationPackage("[SPLASH]\na1=Yes\na2=C:\\art\\intro.gif\na3=" +
                                         std::to_string(kSplashSeconds) + "\n");
    ASSERT_FALSE(HasFailure());
    const int setup = StartSetup(package);
    ASSERT_TRUE(Showing(kSplashTitle, Millis(60000))) << Session().Driver({"list"}).output;
    const Clock::time_point seen = Clock::now();

    // The splash is 240 by 120 pixels in a one-pixel border, centred. The
    // captures take its picture (first pixel: the picture's navy) once it is
    // on the screen, then again later; both must show it, changed.
    const int x = kScreenWidth / 2 - 120, y = kScreenHeight / 2 - 60;
    auto onScreen = [](const std::string& shot) {
        return shot.size() == 240u * 120u * 3u && std::abs(static_cast<unsigned char>(shot[0]) - 0x1c) <= 12 &&
               std::abs(static_cast<unsigned char>(shot[1]) - 0x3a) <= 12 &&
               std::abs(static_cast<unsigned char>(shot[2]) - 0x6e) <= 12;
    };
    std::string first;
    EXPECT_TRUE(WaitUntil(Millis(10000), [&] { return onScreen(first = Capture("splash-1", x, y, 240, 120)); }))
        << "the splash picture never showed on the screen";
    Capture("splash-screen", 0, 0, kScreenWidth, kScreenHeight);
    // Two and a half frames of 0.4 s later, and before the last of ten.
    std::this_thread::sleep_for(Millis(1000));
    const std::string second = Capture("splash-2", x, y, 240, 120);
    EXPECT_TRUE(onScreen(second));
    EXPECT_TRUE(first != second) << "the splash did not change between the captures";
    EXPECT_FALSE(Session().WaitWindow({"--title", kTitle, "--exact", "--contains", kWelcome}, Millis(100)))
        << "the first page is up while the splash shows";

    ASSERT_TRUE(Session().WaitWindow({"--title", kTitle, "--exact", "--contains", kWelcome}, Millis(60000)));
    const auto waited = std::chrono::duration_cast<Millis>(Clock::now() - seen);
    // The splash came up before `seen`, so the bound is loose by the time the
    // driver took to see it.
    EXPECT_GE(waited.count(), (kSplashSeconds - 2) * 1000) << "the first page came too early";
    EXPECT_FALSE(Showing(kSplashTitle)) << "the splash is still up under the first page";
    Session().Wait(Millis(1000), setup);
}

// The background fills the screen with its gradient and titles, and the
// billboard shows at its position, then goes after its time.
TEST_F(PresentationTest, BackgroundAndBillboard) {
    const fs::path package = PresentationPackage(
        "[BACKGROUND]\n0=1\n1=Wizard Test Product\n2=Setup 2.5.1\n3=Navy@0x00,0x00,0x80\n4=Sky@0x00,0x80,0xFF\n"
        "[BILLBOARDSKQ]\nTOTAL=1\nB0=C:\\art\\billboard.bmp\nC0=6\nD0=700\nE0=60\n");
    ASSERT_FALSE(HasFailure());
    const int setup = StartSetup(package);
    ASSERT_TRUE(Session().WaitWindow({"--title", kTitle, "--exact", "--contains", kWelcome}, Millis(60000)));
    ASSERT_TRUE(Showing(kBackgroundTitle, Millis(5000)));
    ASSERT_TRUE(Showing(kBillboardTitle, Millis(5000)));
    Capture("background", 0, 0, kScreenWidth, kScreenHeight);

    // Left of the billboard and clear of the page: near the top of the client
    // area the gradient is still navy, near the bottom almost sky blue.
    EXPECT_TRUE(Near(Pixel(1010, 40), 0, 4, 133));
    EXPECT_TRUE(Near(Pixel(1010, 760), 0, 126, 252));
    // The billboard's frame line at its corner, its paper colour inside.
    EXPECT_TRUE(Near(Pixel(700, 60), 0x1c, 0x3a, 0x6e));
    EXPECT_TRUE(Near(Pixel(700 + 190, 60 + 5), 0xe8, 0xe0, 0xc8));

    // It goes by itself after its 6 seconds.
    EXPECT_EQ(Session().Driver({"gone", "--title", kBillboardTitle, "--exact", "--timeout", "20000"}).exitCode,
              uidriver::kExitDone);
    Session().Wait(Millis(1000), setup);
}

// A run with "/S" makes no splash and no billboard, and is not held back.
TEST_F(PresentationTest, SilentRunMakesNoneOfThem) {
    const fs::path package = PresentationPackage(
        "[SPLASH]\na1=Yes\na2=intro.gif\na3=30\n[BACKGROUND]\n0=1\n1=Title\n"
        "[BILLBOARDSKQ]\nTOTAL=1\nB0=billboard.bmp\nC0=30\n",
        "Yes");
    ASSERT_FALSE(HasFailure());
    const int setup = StartSetup(package, {"/S"});
    std::string seen;
    const Clock::time_point deadline = Clock::now() + Millis(60000);
    while (Session().IsRunning(setup) && Clock::now() < deadline) {
        for (const WindowInfo& window : ParseWindows(Session().Driver({"list", "--hidden"}).output)) {
            if (window.title == kSplashTitle || window.title == kBillboardTitle || window.visible)
                seen += window.className + " \"" + window.title + "\"\n";
        }
    }
    EXPECT_EQ(seen, "");
    // Well before the splash's 30 seconds would have ended.
    ProcessResult ended = Session().Wait(Millis(15000), setup);
    EXPECT_FALSE(ended.timedOut);
    EXPECT_EQ(ended.exitCode, kExitInstalled) << ended.errors;
}

}  // namespace
}  // namespace kq::e2e
