// How a cabinet entry's stored name and time become the file's name and
// time on this system.
// Includes <mspack.h>: see cabinet_system_win.h for the file offsets.
#pragma once
#if !defined(_FILE_OFFSET_BITS) || _FILE_OFFSET_BITS != 64
#error "define _FILE_OFFSET_BITS 64 before any system header"
#endif

#include <windows.h>
#include <mspack.h>

#include <string>

namespace kq {

// The name an entry is written under: the last component of its stored name,
// after turning a UTF-8 name into ANSI (so a character that maps to a
// separator is cut like one).
bool ExtractedName(const mscabd_file& file, std::string* name);

// The cabinet keeps the local date and time of the author's machine; the
// file system keeps system time.
bool StoredFileTime(const mscabd_file& file, FILETIME* system);

}  // namespace kq
