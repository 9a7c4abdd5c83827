// uidriver: looks at and drives the windows of another program running in the
// same Wine prefix, for the end-to-end tests. One command per invocation; the
// output is plain lines that tests parse (see kUsage). It depends on nothing
// but user32 so it builds even while the program under test does not.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver_exit_codes.h"

namespace {

constexpr char kUsage[] =
    "usage: uidriver COMMAND [OPTIONS]\n"
    "\n"
    "Commands (one per invocation):\n"
    "  list                               visible top-level windows\n"
    "  wait  [MATCH] [--timeout MS]       wait for a visible window, print it\n"
    "                                     and every control inside it\n"
    "  gone  [MATCH] [--timeout MS]       wait until no such visible window is left\n"
    "  click  MATCH (--text T | --id N) [--mode post|send|mouse|command]\n"
    "                                     press a control of the window\n"
    "  type   MATCH --id N --text STR     set the text of a control (edit box); in a\n"
    "                                     drop-down list, choose the entry starting with STR\n"
    "  key    MATCH enter|escape|tab|space\n"
    "                                     press a key in the window's focused control\n"
    "  version                            print what GetVersionExA reports\n"
    "\n"
    "MATCH:\n"
    "  --title T    the window title contains T (case-sensitive)\n"
    "  --exact      ... the title is exactly T\n"
    "  --class C    the window class is exactly C (a dialog is \"#32770\")\n"
    "  --contains S a control inside the window has a text containing S\n"
    "               (how a message box is best found: by what it says)\n"
    "  --hidden     also consider windows that are not visible\n"
    "With no --title, --class or --contains any visible window matches. When several\n"
    "match, the first in z-order (topmost) is used.\n"
    "\n"
    "Control texts (--text) are compared ignoring '&' mnemonics and case.\n"
    "--timeout defaults to 10000 ms; click, type and key also wait that long\n"
    "for their window and control to appear (visible and enabled).\n"
    "Click modes: post (default for buttons) posts BM_CLICK; send sends it and\n"
    "waits; mouse (default for other classes) posts a left button press and\n"
    "release at the control's centre; command posts WM_COMMAND/BN_CLICKED to\n"
    "the control's parent.\n"
    "\n"
    "Output lines (strings in double quotes, C escapes \\r \\n \\t \\\\ \\\" \\xNN):\n"
    "  window hwnd=0xHHHHHHHH pid=N class=\"C\" title=\"T\" visible=0|1 enabled=0|1\n"
    "  control hwnd=0xHHHHHHHH parent=0xHHHHHHHH id=N class=\"C\" text=\"T\" visible=0|1 enabled=0|1\n"
    "          rect=LEFT,TOP,RIGHT,BOTTOM [checked=N]   (rect: in the window's client coordinates)\n"
    "  clicked|typed|pressed hwnd=... (what was acted on); gone ...\n"
    "  version major=N minor=N build=N platform=N csd=\"...\"\n"
    "  error: TEXT (on standard error)\n"
    "Exit codes: 0 done, 1 window or control not found in time, 2 bad usage.\n";

using kq::uidriver::kExitDone;
using kq::uidriver::kExitNotFound;
using kq::uidriver::kExitUsage;
constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kPollMs = 50;
// A window that does not answer WM_GETTEXT this fast is hung; its text is
// then read from what the system keeps for it.
constexpr UINT kTextTimeoutMs = 1000;

struct Options {
    std::string command;
    std::string title;
    std::string windowClass;
    std::string contains;
    std::string text;
    std::string keyName;
    std::string mode;
    bool exact = false;
    bool hidden = false;
    bool haveText = false;
    bool haveId = false;
    int id = 0;
    DWORD timeoutMs = kDefaultTimeoutMs;
};

std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

// Window handles carry 32 significant bits on 64-bit Windows too (they are
// shared with 32-bit processes), so the printed form is the same on both.
unsigned long Handle(HWND hwnd) {
    return static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd));
}

std::string ClassOf(HWND hwnd) {
    char name[256] = "";
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// Asks the window itself, so edit boxes of other processes report their
// contents too; falls back to the text the system stores with the window.
std::string TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (::SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs, &length)) {
        std::vector<char> buffer(length + 2, '\0');
        DWORD_PTR copied = 0;
        if (::SendMessageTimeoutA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                                  SMTO_ABORTIFHUNG, kTextTimeoutMs, &copied))
            return std::string(buffer.data(), copied < buffer.size() ? copied : buffer.size() - 1);
    }
    char text[1024] = "";
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// Button texts are matched the way a user reads them: "&Next >" is "Next >".
std::string WithoutMnemonics(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

bool SameLabel(const std::string& a, const std::string& b) {
    std::string x = WithoutMnemonics(a);
    std::string y = WithoutMnemonics(b);
    return x.size() == y.size() && ::lstrcmpiA(x.c_str(), y.c_str()) == 0;
}

struct FindContext {
    const Options* options;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

bool HasControlContaining(HWND window, const std::string& text) {
    for (HWND child : Children(window))
        if (TextOf(child).find(text) != std::string::npos) return true;
    return false;
}

bool WindowMatches(HWND hwnd, const Options& options) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == ::GetCurrentProcessId()) return false;
    if (!options.hidden && !::IsWindowVisible(hwnd)) return false;
    if (!options.windowClass.empty() && ClassOf(hwnd) != options.windowClass) return false;
    if (!options.title.empty()) {
        std::string title = TextOf(hwnd);
        if (options.exact ? title != options.title : title.find(options.title) == std::string::npos) return false;
    }
    if (!options.contains.empty() && !HasControlContaining(hwnd, options.contains)) return false;
    return true;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    FindContext* context = reinterpret_cast<FindContext*>(param);
    if (WindowMatches(hwnd, *context->options)) context->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> FindWindows(const Options& options) {
    FindContext context{&options, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

HWND FindWindowNow(const Options& options) {
    std::vector<HWND> found = FindWindows(options);
    return found.empty() ? nullptr : found.front();
}

bool IsButtonClass(const std::string& name) {
    return ::lstrcmpiA(name.c_str(), "Button") == 0;
}

HWND FindControl(HWND window, const Options& options) {
    for (HWND child : Children(window)) {
        if (options.haveId && ::GetDlgCtrlID(child) == options.id) return child;
        if (!options.haveId && options.haveText && SameLabel(TextOf(child), options.text)) return child;
    }
    return nullptr;
}

void PrintWindow(HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    std::printf("window hwnd=0x%08lx pid=%lu class=\"%s\" title=\"%s\" visible=%d enabled=%d\n",
                Handle(hwnd), static_cast<unsigned long>(pid), Escape(ClassOf(hwnd)).c_str(),
                Escape(TextOf(hwnd)).c_str(), ::IsWindowVisible(hwnd) ? 1 : 0, ::IsWindowEnabled(hwnd) ? 1 : 0);
}

void PrintControl(HWND window, HWND hwnd) {
    std::string name = ClassOf(hwnd);
    RECT rect = {};
    ::GetWindowRect(hwnd, &rect);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    std::printf(
        "control hwnd=0x%08lx parent=0x%08lx id=%d class=\"%s\" text=\"%s\" visible=%d enabled=%d "
        "rect=%ld,%ld,%ld,%ld",
        Handle(hwnd), Handle(::GetParent(hwnd)), ::GetDlgCtrlID(hwnd), Escape(name).c_str(),
        Escape(TextOf(hwnd)).c_str(), ::IsWindowVisible(hwnd) ? 1 : 0, ::IsWindowEnabled(hwnd) ? 1 : 0,
        static_cast<long>(rect.left), static_cast<long>(rect.top), static_cast<long>(rect.right),
        static_cast<long>(rect.bottom));
    if (IsButtonClass(name)) {
        DWORD_PTR state = 0;
        if (::SendMessageTimeoutA(hwnd, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs, &state))
            std::printf(" checked=%d", static_cast<int>(state));
    }
    std::printf("\n");
}

// Polls until `found` returns true or the time is up.
template <typename Probe>
bool PollUntil(DWORD timeoutMs, Probe found) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (found()) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(kPollMs);
    }
}

std::string MatchDescription(const Options& options) {
    std::string text;
    if (!options.title.empty()) text += "title \"" + Escape(options.title) + "\"";
    if (!options.windowClass.empty()) text += std::string(text.empty() ? "" : " ") + "class \"" + options.windowClass + "\"";
    if (!options.contains.empty()) text += std::string(text.empty() ? "" : " ") + "text \"" + Escape(options.contains) + "\"";
    return text.empty() ? "any window" : text;
}

int CommandList(const Options& options) {
    Options all = options;
    all.title.clear();
    all.windowClass.clear();
    all.contains.clear();
    for (HWND hwnd : FindWindows(all)) PrintWindow(hwnd);
    return kExitDone;
}

int CommandWait(const Options& options) {
    HWND window = nullptr;
    if (!PollUntil(options.timeoutMs, [&] { return (window = FindWindowNow(options)) != nullptr; })) {
        std::fprintf(stderr, "error: no window with %s after %lu ms\n", MatchDescription(options).c_str(),
                     static_cast<unsigned long>(options.timeoutMs));
        return kExitNotFound;
    }
    PrintWindow(window);
    for (HWND child : Children(window)) PrintControl(window, child);
    return kExitDone;
}

int CommandGone(const Options& options) {
    if (!PollUntil(options.timeoutMs, [&] { return FindWindowNow(options) == nullptr; })) {
        std::fprintf(stderr, "error: a window with %s is still there after %lu ms\n",
                     MatchDescription(options).c_str(), static_cast<unsigned long>(options.timeoutMs));
        return kExitNotFound;
    }
    std::printf("gone %s\n", MatchDescription(options).c_str());
    return kExitDone;
}

// Finds the window and, when the command names one, the control; waits for
// both within the time limit.
bool FindTarget(const Options& options, HWND& window, HWND& control) {
    bool wantControl = options.haveId || options.haveText;
    return PollUntil(options.timeoutMs, [&] {
        window = FindWindowNow(options);
        if (window == nullptr) return false;
        if (!wantControl) return true;
        control = FindControl(window, options);
        return control != nullptr && ::IsWindowVisible(control) && ::IsWindowEnabled(control);
    });
}

int ReportMissing(const Options& options, HWND window) {
    if (window == nullptr) {
        std::fprintf(stderr, "error: no window with %s\n", MatchDescription(options).c_str());
    } else if (options.haveId) {
        std::fprintf(stderr, "error: no visible, enabled control with id %d\n", options.id);
    } else {
        std::fprintf(stderr, "error: no visible, enabled control with text \"%s\"\n", Escape(options.text).c_str());
    }
    return kExitNotFound;
}

int CommandClick(const Options& options) {
    HWND window = nullptr;
    HWND control = nullptr;
    if (!FindTarget(options, window, control)) return ReportMissing(options, window);

    // Read what is clicked first: the click may destroy the window.
    std::string name = ClassOf(control);
    std::string label = TextOf(control);
    int id = ::GetDlgCtrlID(control);
    std::string mode = options.mode.empty() ? (IsButtonClass(name) ? "post" : "mouse") : options.mode;
    if (mode == "post") {
        // Posted, not sent: the click may open a modal loop (a message box)
        // that would keep a sent message from returning.
        ::PostMessageA(control, BM_CLICK, 0, 0);
    } else if (mode == "send") {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, options.timeoutMs, &ignored);
    } else if (mode == "mouse") {
        RECT rect;
        ::GetClientRect(control, &rect);
        LPARAM at = MAKELPARAM((rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2);
        ::PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageA(control, WM_LBUTTONUP, 0, at);
    } else if (mode == "command") {
        ::PostMessageA(::GetParent(control), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                       reinterpret_cast<LPARAM>(control));
    } else {
        std::fprintf(stderr, "error: unknown click mode \"%s\"\n", mode.c_str());
        return kExitUsage;
    }
    std::printf("clicked hwnd=0x%08lx id=%d class=\"%s\" text=\"%s\" mode=%s\n", Handle(control), id,
                Escape(name).c_str(), Escape(label).c_str(), mode.c_str());
    return kExitDone;
}

int CommandType(const Options& options) {
    HWND window = nullptr;
    HWND control = nullptr;
    if (!FindTarget(options, window, control)) return ReportMissing(options, window);
    DWORD_PTR ignored = 0;
    // A drop-down list takes no text: the user picks the entry instead.
    const bool list = ::lstrcmpiA(ClassOf(control).c_str(), "ComboBox") == 0 &&
                      (::GetWindowLongA(control, GWL_STYLE) & 3) == CBS_DROPDOWNLIST;
    ::SendMessageTimeoutA(control, list ? CB_SELECTSTRING : WM_SETTEXT, list ? static_cast<WPARAM>(-1) : 0,
                          reinterpret_cast<LPARAM>(options.text.c_str()), SMTO_ABORTIFHUNG, options.timeoutMs,
                          &ignored);
    std::printf("typed hwnd=0x%08lx id=%d class=\"%s\" text=\"%s\"\n", Handle(control),
                ::GetDlgCtrlID(control), Escape(ClassOf(control)).c_str(), Escape(TextOf(control)).c_str());
    return kExitDone;
}

int CommandKey(const Options& options) {
    static const struct {
        const char* name;
        WORD key;
    } kKeys[] = {{"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB}, {"space", VK_SPACE}};
    WORD key = 0;
    for (const auto& entry : kKeys)
        if (::lstrcmpiA(entry.name, options.keyName.c_str()) == 0) key = entry.key;
    if (key == 0) {
        std::fprintf(stderr, "error: unknown key \"%s\"\n", options.keyName.c_str());
        return kExitUsage;
    }
    HWND window = nullptr;
    HWND control = nullptr;
    if (!FindTarget(options, window, control)) return ReportMissing(options, window);

    // The key goes where a keyboard would send it: the focused control of
    // the window's thread, so the dialog manager sees it in its loop.
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    HWND target = window;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus != nullptr)
        target = info.hwndFocus;
    UINT scan = ::MapVirtualKeyA(key, 0);
    ::PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
    ::PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    std::printf("pressed key=%s hwnd=0x%08lx class=\"%s\"\n", options.keyName.c_str(), Handle(target),
                Escape(ClassOf(target)).c_str());
    return kExitDone;
}

int CommandVersion() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) {
        std::fprintf(stderr, "error: GetVersionExA failed\n");
        return kExitNotFound;
    }
    std::printf("version major=%lu minor=%lu build=%lu platform=%lu csd=\"%s\"\n",
                static_cast<unsigned long>(info.dwMajorVersion), static_cast<unsigned long>(info.dwMinorVersion),
                static_cast<unsigned long>(info.dwBuildNumber & 0xffff), static_cast<unsigned long>(info.dwPlatformId),
                Escape(info.szCSDVersion).c_str());
    return kExitDone;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    if (argc < 2) return false;
    options.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--title" && hasValue) {
            options.title = argv[++i];
        } else if (arg == "--class" && hasValue) {
            options.windowClass = argv[++i];
        } else if (arg == "--contains" && hasValue) {
            options.contains = argv[++i];
        } else if (arg == "--text" && hasValue) {
            options.text = argv[++i];
            options.haveText = true;
        } else if (arg == "--id" && hasValue) {
            options.id = std::atoi(argv[++i]);
            options.haveId = true;
        } else if (arg == "--timeout" && hasValue) {
            options.timeoutMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--mode" && hasValue) {
            options.mode = argv[++i];
        } else if (arg == "--exact") {
            options.exact = true;
        } else if (arg == "--hidden") {
            options.hidden = true;
        } else if (options.command == "key" && options.keyName.empty() && arg.compare(0, 2, "--") != 0) {
            options.keyName = arg;
        } else {
            std::fprintf(stderr, "error: unexpected argument \"%s\"\n", arg.c_str());
            return false;
        }
    }
    return true;
}

int Usage() {
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // Lines must reach the test as soon as they are printed, even when the
    // driver is stopped afterwards.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // Rectangles as the program under test has them: a driver the system
    // took for unaware of the screen's pixels per inch would get them
    // converted to 96. The call exists from Vista on.
    using SetAwareFn = BOOL(WINAPI*)();
    if (HMODULE user32 = ::GetModuleHandleA("user32.dll")) {
        if (auto setAware =
                reinterpret_cast<SetAwareFn>(reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDPIAware"))))
            setAware();
    }
    Options options;
    if (!ParseArguments(argc, argv, options)) return Usage();
    const std::string& command = options.command;
    if (command == "list") return CommandList(options);
    if (command == "wait") return CommandWait(options);
    if (command == "gone") return CommandGone(options);
    if (command == "version") return CommandVersion();
    if (command == "click") {
        if (!options.haveText && !options.haveId) return Usage();
        return CommandClick(options);
    }
    if (command == "type") {
        if (!options.haveId || !options.haveText) return Usage();
        Options target = options;
        target.haveText = false;  // the text is what to type, not what to find
        return CommandType(target);
    }
    if (command == "key") {
        if (options.keyName.empty()) return Usage();
        return CommandKey(options);
    }
    return Usage();
}
