// The decoder's file system: libmspack reads the cabinet and writes each
// entry through these callbacks.
//
// libmspack was built with 64-bit file offsets; its mspack_system callbacks
// take off_t, so every file that includes this header must see the same
// off_t (checked at run time by MSPACK_SYS_SELFTEST): it defines
// _FILE_OFFSET_BITS 64 before any system header.
#pragma once
#if !defined(_FILE_OFFSET_BITS) || _FILE_OFFSET_BITS != 64
#error "define _FILE_OFFSET_BITS 64 before any system header"
#endif

#include <windows.h>
#include <mspack.h>

#include <string>

#include "cabinet/cabinet_win.h"

namespace kq {

// The decoder reads and writes through these callbacks over Win32 handles,
// with ANSI paths as the rest of the program uses them. The system remembers
// whether the output file of the current extract call was opened, so a
// failure can delete what it began.
struct ExtractSystem {
    mspack_system sys;
    bool outputOpened;
    // The stored time of the file being extracted, set on its still open
    // handle when it is closed: opening it again costs more than the write.
    bool hasStamp;
    FILETIME stamp;
    // The hooks of the entry being extracted; null when none.
    const EntryHooks* hooks;
    bool stopped;
    // The output had to be new and its name was taken.
    bool taken;
    // Where the entry being unpacked into memory goes; null for a file.
    std::string* sink;
};

// Fills in the callbacks and clears the state.
void InitSystem(ExtractSystem* system);
// The same for a decoder that only reads a cabinet's directory (one at a
// time: its memory is given back once its many records are freed).
void InitDirectorySystem(ExtractSystem* system);

// A new, empty output file in place of whatever file is at `filename`; with
// `newOnly` only where nothing of that name is (`*taken` says when something is).
HANDLE CreateOutput(const char* filename, bool newOnly, bool* taken);

}  // namespace kq
