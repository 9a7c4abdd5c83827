// msgbox_probe: a tiny GUI program for the harness's own tests. It shows one
// message box and exits with the id of the button that closed it, so a test
// can check both what uidriver read and what it pressed.
//
//   msgbox_probe [--text T] [--caption C] [--type N]
//   msgbox_probe --crash     writes through a null pointer instead
//
// --type is the MessageBoxA style number (0 = OK, 1 = OK/Cancel, 4 = Yes/No).
// In T the two-character sequences \r and \n stand for CR and LF.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "driver_exit_codes.h"

static_assert(kq::uidriver::kProbeOk == IDOK && kq::uidriver::kProbeCancel == IDCANCEL,
              "the probe ends with the id of the button pressed");

namespace {

std::string Unescape(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '\\' && p[1] == 'r') {
            out += '\r';
            ++p;
        } else if (p[0] == '\\' && p[1] == 'n') {
            out += '\n';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string text = "The probe is up.\r\nSecond line of the probe.";
    std::string caption = "Probe";
    UINT type = MB_OK;
    if (__argc == 2 && std::string(__argv[1]) == "--crash") {
        *static_cast<volatile int*>(nullptr) = 1;
    }
    for (int i = 1; i + 1 < __argc; i += 2) {
        std::string name = __argv[i];
        if (name == "--text") text = Unescape(__argv[i + 1]);
        else if (name == "--caption") caption = __argv[i + 1];
        else if (name == "--type") type = static_cast<UINT>(std::strtoul(__argv[i + 1], nullptr, 10));
        else return kq::uidriver::kProbeBadArgument;
    }
    return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
}
