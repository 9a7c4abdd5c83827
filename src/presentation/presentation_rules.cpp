#include "presentation/presentation_rules.h"

#include <climits>

#include "base/text.h"
#include "run/script.h"

namespace kq {
namespace {

// Seconds from the script turned into a timer period without overflowing;
// a negative number counts as 0.
unsigned SecondsToMs(int seconds) {
    if (seconds <= 0) return 0;
    constexpr int kLongest = INT_MAX / 1000;
    return static_cast<unsigned>(seconds > kLongest ? kLongest : seconds) * 1000u;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

int ComponentValue(const std::string& word) {
    struct Row { const char* word; int value; };
    static const Row kWords[] = {{"0x00", 0}, {"0x80", 128}, {"0xC0", 192}, {"0xFF", 255}};
    const std::string trimmed = Trimmed(word);
    for (const Row& row : kWords)
        if (trimmed == row.word) return row.value;
    return 0;
}

}  // namespace

std::string PathFileName(const std::string& path) {
    const size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string PathExtension(const std::string& path) {
    const std::string name = PathFileName(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// ---------------------------------------------------------------- splash

SplashSettings ReadSplashSettings(const Script& script) {
    SplashSettings s;
    s.showPicture = Script::IsYes(script.Value("SPLASH", "a1"));
    s.pictureName = script.Value("SPLASH", "a2");
    s.minimumSeconds = LeadingNumber(script.Value("SPLASH", "a3"));
    if (s.minimumSeconds < 0) s.minimumSeconds = 0;
    s.playSound = Script::IsYes(script.Value("SPLASH", "a5"));
    s.soundName = script.Value("SPLASH", "a6");
    s.soundOnce = script.Value("SPLASH", "a7") == "Once";
    return s;
}

std::string SplashFilePath(const std::string& sourceFolder, const std::string& authorName) {
    return sourceFolder + "setup" + PathExtension(authorName);
}

std::vector<SplashTimerStart> SplashTimers(const SplashSettings& settings, bool diskImage, bool soundFileFound) {
    std::vector<SplashTimerStart> timers;
    const unsigned minimumMs = SecondsToMs(settings.minimumSeconds);
    if (settings.showPicture) {
        if (minimumMs != 0)
            timers.push_back({kSplashTimerMinimum, minimumMs});
        else
            timers.push_back({kSplashTimerPoll, 1000});
        if (diskImage) timers.push_back({kSplashTimerDiskImage, minimumMs});
    } else if (settings.playSound) {
        timers.push_back({kSplashTimerPoll, 1000});
    }
    if (settings.playSound && soundFileFound) timers.push_back({kSplashTimerSound, kSplashSoundDelayMs});
    return timers;
}

SplashTickAction OnSplashTick(unsigned timerId, const SplashSettings& settings, bool diskImage, bool workDone) {
    SplashTickAction action;
    switch (timerId) {
    case kSplashTimerPoll:
    case kSplashTimerMinimum:
        // Without a picture nothing else would ever close a disk-image
        // splash: the start-up marks no work done there.
        if (workDone || (!settings.showPicture && diskImage)) {
            action.stopTimer = true;
            action.markClosed = true;
            action.closeWindow = true;
        }
        break;
    case kSplashTimerSound:
        action.stopTimer = true;
        action.playSound = true;
        break;
    case kSplashTimerDiskImage:
        action.stopTimer = true;
        action.markWorkDone = true;
        action.markClosed = true;
        action.closeWindow = true;
        break;
    }
    return action;
}

ScreenPoint CentredOrigin(int screenWidth, int screenHeight, int width, int height) {
    return ScreenPoint{screenWidth / 2 - width / 2, screenHeight / 2 - height / 2};
}

// ---------------------------------------------------------------- background

BackgroundSettings ReadBackgroundSettings(const Script& script, bool pagesHidden) {
    BackgroundSettings s;
    if (pagesHidden || script.Value("BACKGROUND", "0") != "1") return s;
    s.active = true;
    s.title = script.Value("BACKGROUND", "1");
    s.subtitle = script.Value("BACKGROUND", "2");
    s.top = ParseGradientColour(script.Value("BACKGROUND", "3"));
    s.bottom = ParseGradientColour(script.Value("BACKGROUND", "4"));
    s.pictureName = PathFileName(script.Value("BACKGROUND", "5"));
    return s;
}

Rgb ParseGradientColour(const std::string& text) {
    Rgb colour;
    const size_t at = text.find('@');
    if (at == std::string::npos) return colour;
    int* components[] = {&colour.red, &colour.green, &colour.blue};
    size_t start = at + 1;
    for (int* component : components) {
        const size_t comma = text.find(',', start);
        *component = ComponentValue(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return colour;
}

Rgb GradientRow(const Rgb& top, const Rgb& bottom, int y, int height) {
    if (height <= 0) return top;
    auto step = [y, height](int from, int to) { return from + (to - from) * y / height; };
    return Rgb{step(top.red, bottom.red), step(top.green, bottom.green), step(top.blue, bottom.blue)};
}

// ---------------------------------------------------------------- billboards

std::vector<Billboard> ReadBillboards(const Script& script) {
    std::vector<Billboard> list;
    int total = script.Total("BILLBOARDSKQ");
    if (total > kMaxBillboards) total = kMaxBillboards;
    for (int i = 0; i < total; ++i) {
        Billboard b;
        b.file = script.Item("BILLBOARDSKQ", 'B', i);
        b.seconds = LeadingNumber(script.Item("BILLBOARDSKQ", 'C', i));
        b.left = LeadingNumber(script.Item("BILLBOARDSKQ", 'D', i));
        b.top = LeadingNumber(script.Item("BILLBOARDSKQ", 'E', i));
        if (b.left == 0) b.left = 1;
        if (b.top == 0) b.top = 1;
        list.push_back(b);
    }
    return list;
}

unsigned BillboardMilliseconds(const Billboard& b) { return SecondsToMs(b.seconds); }

std::vector<std::string> BillboardCandidates(const std::string& workFolder, const std::string& currentFolder,
                                             const std::string& file) {
    const std::string name = PathFileName(file);
    const std::string current = WithTrailingBackslash(currentFolder);
    const std::string work = workFolder.empty() ? workFolder : WithTrailingBackslash(workFolder);
    return {work + name, current + "DiskImage1\\" + name, current + "DiskImage2\\" + name};
}

std::string PickBillboardFile(const std::vector<std::string>& candidates,
                              const std::function<bool(const std::string&)>& exists) {
    for (const std::string& candidate : candidates)
        if (exists(candidate)) return candidate;
    return candidates.empty() ? std::string() : candidates.back();
}

}  // namespace kq
