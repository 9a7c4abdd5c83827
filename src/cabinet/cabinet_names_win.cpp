// libmspack was built with 64-bit file offsets; its mspack_system callbacks
// take off_t, so this file must see the same off_t (checked at run time by
// MSPACK_SYS_SELFTEST). This has to come before any system header.
#define _FILE_OFFSET_BITS 64

#include "cabinet/cabinet_names_win.h"

#include <vector>

#include "base/safe_name.h"

namespace kq {
namespace {

// A name the cabinet marks as UTF-8, in the ANSI code page the rest of the
// program uses; false when it has no exact ANSI spelling.
bool AnsiFromUtf8(const char* utf8, std::string* ansi) {
    int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), wideLength) <= 0) return false;
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return false;
    std::vector<char> out(static_cast<size_t>(length));
    if (WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, out.data(), length, nullptr, &usedDefault) <= 0 ||
        usedDefault) {
        return false;
    }
    ansi->assign(out.data());
    return true;
}

}  // namespace

// The name an entry is written under: the last component of its stored name,
// after turning a UTF-8 name into ANSI (so a character that maps to a
// separator is cut like one).
bool ExtractedName(const mscabd_file& file, std::string* name) {
    if (file.filename == nullptr) return false;
    std::string stored;
    if (file.attribs & MSCAB_ATTRIB_UTF_NAME) {
        if (!AnsiFromUtf8(file.filename, &stored)) return false;
    } else {
        stored = file.filename;
    }
    return SafeLeafName(stored, name);
}

// The cabinet keeps the local date and time of the author's machine; the
// file system keeps system time.
bool StoredFileTime(const mscabd_file& file, FILETIME* system) {
    SYSTEMTIME stored = {};
    stored.wYear = WORD(file.date_y);
    stored.wMonth = WORD(file.date_m);
    stored.wDay = WORD(file.date_d);
    stored.wHour = WORD(file.time_h);
    stored.wMinute = WORD(file.time_m);
    stored.wSecond = WORD(file.time_s);
    FILETIME local;
    // A date the cabinet got wrong (month 0, day 31 of February) leaves the
    // time of extraction on the file.
    return SystemTimeToFileTime(&stored, &local) && LocalFileTimeToFileTime(&local, system);
}

}  // namespace kq
