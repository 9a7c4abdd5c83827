// Sounds through the system's sound player. The multimedia library is not a
// DLL every supported Windows protects by name, so it is reached only at run
// time through LoadSystemLibrary; a system without it plays nothing.
#pragma once

namespace kq {

// Starts `path` playing and returns at once; `loop` repeats it until another
// sound or StopSound. False when the player is missing or refuses the file.
bool PlaySoundFile(const char* path, bool loop);
// Stops whatever this process is playing.
void StopSound();

}  // namespace kq
