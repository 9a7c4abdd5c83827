#include "presentation/sound_win.h"

#include <windows.h>
#include <mmsystem.h>

#include "win/system_library_win.h"

namespace kq {
namespace {

using SndPlaySound = BOOL(WINAPI*)(LPCSTR, UINT);

SndPlaySound Player() { return SystemProc<SndPlaySound>("winmm.dll", "sndPlaySoundA"); }

}  // namespace

bool PlaySoundFile(const char* path, bool loop) {
    SndPlaySound play = Player();
    if (play == nullptr || path == nullptr) return false;
    // Without SND_NODEFAULT a file the player cannot read gives the system's
    // default beep instead of silence.
    return play(path, SND_ASYNC | SND_NODEFAULT | (loop ? SND_LOOP : 0)) != FALSE;
}

void StopSound() {
    if (SndPlaySound play = Player()) play(nullptr, 0);
}

}  // namespace kq
