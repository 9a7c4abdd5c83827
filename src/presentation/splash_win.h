// The splash window: a small bordered pop-up that shows the package's
// setup.<ext> picture (an animated GIF plays) centred on the screen and plays
// its setup.<ext> sound, while the start-up prepares the wizard. It paces the
// start-up: the main frame opens the first page only once the splash has set
// the run's splashFinished mark (presentation_rules.h says when), which it
// tells the frame by posting kSplashEndedMessage.
//
// The main frame owns the object; the window closes itself (its picture's
// animation thread and bitmaps go with it) and the object only goes with
// its owner, so a late timer never reaches freed memory.
#pragma once
#include <windows.h>

#include <string>

#include "layout/animated_picture_win.h"
#include "presentation/presentation_rules.h"
#include "run/setup_run.h"
#include "win/dialog_win.h"

namespace kq {

// Window text of the splash, by which tools find it (it has no caption bar).
constexpr char kSplashTitle[] = "Merrowin splash";
constexpr int kSplashPictureId = 1003;
// Posted to the window the splash tells its end to, once, when it sets
// splashFinished.
constexpr UINT kSplashEndedMessage = WM_APP + 1;

class CSplash : public CDialog {
public:
    // The run's: the splash reads diskImage and startupWorkDone and writes
    // splashFinished (and startupWorkDone at its time limit). `frame`, when
    // given, is told the end by kSplashEndedMessage.
    CSplash(const RunModes& modes, RunProgress& progress, HWND frame = nullptr);
    ~CSplash() override;

    // Makes the splash when the settings ask for a picture or a sound; false
    // when there is none (nothing to wait for). A run nobody watches does
    // not call this (Audience::SeesWindows).
    bool Create(const SplashSettings& settings, const std::string& sourceFolder);

    bool IsOpen() const { return m_hWnd != nullptr; }
    const CAnimatedPicture& Picture() const { return m_picture; }

protected:
    bool OnInit() override;
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override;

private:
    void OnTimer(UINT_PTR id);
    void Close();
    // Sets splashFinished and tells the frame, the first time.
    void Finish();

    const RunModes& m_modes;
    RunProgress& m_progress;
    HWND m_frame = nullptr;
    SplashSettings m_settings;
    std::string m_sourceFolder;
    std::string m_soundPath;  // empty when there is no sound to play
    bool m_soundPending = false;
    CAnimatedPicture m_picture;
};

}  // namespace kq
