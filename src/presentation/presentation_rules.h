// The decisions of the presentation touches, kept apart from the windows that
// act on them so each rule can be tested off Windows: what the SPLASH,
// BACKGROUND and BILLBOARDSKQ sections of the setup script say, which splash
// timers run and what each tick does, the background's gradient, and where a
// billboard's picture is looked for and how long it stays.
//
// SPLASH (values of at most 254 characters):
//   a1 "Yes": show a picture        a2 picture name (only its extension is used)
//   a3 seconds the picture stays at least (0: checked every second)
//   a4 kept, not used               a5 "Yes": play a sound
//   a6 sound name (extension only)  a7 "Once": play once; anything else loops
// The files themselves are "setup" plus that extension in the package folder.
//
// BACKGROUND: "0" "1" turns it on; "1" title, "2" second line, "3" and "4"
// the gradient's top and bottom colours ("anything@R,G,B" with each
// component one of 0x00, 0x80, 0xC0, 0xFF), "5" a picture (file-name part).
//
// BILLBOARDSKQ: TOTAL, then per billboard i "B%i" picture (file-name part),
// "C%i" seconds, "D%i" left and "E%i" top in screen pixels.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace kq {

class Script;

// The part of `path` after its last backslash, slash or colon.
std::string PathFileName(const std::string& path);
// The extension of the file-name part, dot included ("" when it has none).
std::string PathExtension(const std::string& path);

// ---------------------------------------------------------------- splash

struct SplashSettings {
    bool showPicture = false;
    std::string pictureName;
    int minimumSeconds = 0;
    bool playSound = false;
    std::string soundName;
    bool soundOnce = false;  // exactly "Once"; "once" loops
};

SplashSettings ReadSplashSettings(const Script& script);
// Whether the start-up makes a splash at all (a picture or a sound).
inline bool WantsSplash(const SplashSettings& settings) { return settings.showPicture || settings.playSound; }
// "<source>setup<extension of authorName>": setup.gif for an author's logo.gif.
std::string SplashFilePath(const std::string& sourceFolder, const std::string& authorName);

// The splash window's timers.
enum SplashTimerId : unsigned {
    kSplashTimerPoll = 1,       // closes once the start-up's work is done
    kSplashTimerSound = 2,      // starts the sound
    kSplashTimerMinimum = 3,    // the same as 1, after the author's minimum time
    kSplashTimerDiskImage = 4,  // closes at once, whatever the start-up does
};

// A sound waits this long after the splash appears (the picture comes first).
constexpr unsigned kSplashSoundDelayMs = 1500;

struct SplashTimerStart {
    unsigned id;
    unsigned periodMs;
    bool operator==(const SplashTimerStart& other) const { return id == other.id && periodMs == other.periodMs; }
};

// The timers the splash starts when it is set up, in order. `soundFileFound`
// says whether the sound's file exists; a missing sound file starts nothing.
//
// A splash with a sound but no picture would start no closing timer, and the
// start-up would wait for it forever. Such a splash polls every second like a
// picture without a minimum time, and counts as closed at the first tick at
// which the start-up's work is done: at once in the disk-image case, where the
// start-up sets no such mark. Its sound still plays (the window stays until
// the sound has been started).
std::vector<SplashTimerStart> SplashTimers(const SplashSettings& settings, bool diskImage, bool soundFileFound);

// What one tick of a splash timer does.
struct SplashTickAction {
    bool stopTimer = false;
    bool playSound = false;
    bool markWorkDone = false;  // the start-up's work counts as done from now on
    bool markClosed = false;    // the start-up may open the first page
    bool closeWindow = false;
    bool operator==(const SplashTickAction& o) const {
        return stopTimer == o.stopTimer && playSound == o.playSound && markWorkDone == o.markWorkDone &&
               markClosed == o.markClosed && closeWindow == o.closeWindow;
    }
};

SplashTickAction OnSplashTick(unsigned timerId, const SplashSettings& settings, bool diskImage, bool workDone);

// Where a picture of `width` by `height` goes to be centred on the screen.
struct ScreenPoint {
    int x;
    int y;
};
ScreenPoint CentredOrigin(int screenWidth, int screenHeight, int width, int height);

// ---------------------------------------------------------------- background

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb& o) const { return red == o.red && green == o.green && blue == o.blue; }
};

struct BackgroundSettings {
    bool active = false;
    std::string title;
    std::string subtitle;
    Rgb top;
    Rgb bottom;
    std::string pictureName;  // file-name part of key "5"
};

// `pagesHidden`: the wizard's pages are not shown (a silent script, "/S"):
// no background behind them.
BackgroundSettings ReadBackgroundSettings(const Script& script, bool pagesHidden);
// "anything@0xFF,0x80,0x00".
Rgb ParseGradientColour(const std::string& text);
// The colour of pixel row `y` of `height` rows: each component
// top + (bottom - top) * y / height, truncated.
Rgb GradientRow(const Rgb& top, const Rgb& bottom, int y, int height);

// ---------------------------------------------------------------- billboards

// The list holds this many; the rest of a longer TOTAL are not shown.
constexpr int kMaxBillboards = 20;

struct Billboard {
    std::string file;  // as the script gives it
    int seconds = 0;
    int left = 1;  // a 0 in the script is 1
    int top = 1;
};

std::vector<Billboard> ReadBillboards(const Script& script);
// How long billboard `b` stays; a negative time counts as 0 (the next one
// follows at once).
unsigned BillboardMilliseconds(const Billboard& b);
// Where the picture is looked for, in order: the working folder (where the
// cabinet's files go), then DiskImage1 and DiskImage2 of the current folder.
std::vector<std::string> BillboardCandidates(const std::string& workFolder, const std::string& currentFolder,
                                             const std::string& file);
// The first candidate that exists, else the last one (tried anyway).
std::string PickBillboardFile(const std::vector<std::string>& candidates,
                              const std::function<bool(const std::string&)>& exists);

}  // namespace kq
