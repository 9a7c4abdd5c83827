#include "wine_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kq::e2e {
namespace {

// coreutils timeout's exit codes: after its TERM, and after the KILL that
// follows when the program outlives that.
constexpr int kTimeoutTerminated = 124;
constexpr int kTimeoutKilled = 128 + SIGKILL;

bool StoppedByTimeout(int exitCode) { return exitCode == kTimeoutTerminated || exitCode == kTimeoutKilled; }

constexpr char kDllOverrides[] = "winemenubuilder.exe,mscoree,mshtml=";
// Time a stopped process gets between the polite and the hard signal.
constexpr char kKillAfter[] = "2";

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string Seconds(Millis limit) {
    long long ms = std::max<long long>(limit.count(), 1);
    std::ostringstream text;
    text << ms / 1000 << '.' << (ms % 1000) / 100 << (ms % 100) / 10 << ms % 10;
    return text.str();
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The Windows build and the Wine that run it, as scripts/wine-route chose them
// (once per test process): the one place that decides between 32-bit Wine and
// wine64 for this host.
struct WineRoute {
    std::string arch = "win32";
    std::string wine = "wine";
    std::string wineserver = "wineserver";
    std::string winBuildDir;
    std::string templateDir;
    bool hostRuns32Bit = true;
};

const WineRoute& Route();

std::string g_display;
std::string g_templateProblem = "the end-to-end environment was not set up";

// Forks and execs argv with `env`, in `cwd`, standard output and error into
// the given files. The child gets a process group of its own so the whole
// group can be stopped.
pid_t SpawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env, const fs::path& cwd,
                   const fs::path& out, const fs::path& err) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::setpgid(0, 0);
    // A test process that dies takes its programs with it (`timeout` passes
    // the signal on to what it runs).
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    int in = ::open("/dev/null", O_RDONLY);
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || o < 0 || e < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    for (int fd = 3; fd < 256; ++fd) ::close(fd);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execvpe(args[0], args.data(), envp.data());
    ::_exit(127);
}

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    return env;
}

void SetVariable(std::vector<std::string>& env, const std::string& name, const std::string& value) {
    std::string prefix = name + "=";
    env.erase(std::remove_if(env.begin(), env.end(),
                             [&](const std::string& e) { return e.compare(0, prefix.size(), prefix) == 0; }),
              env.end());
    env.push_back(prefix + value);
}

// Puts `line` ("\"Name\"=data") into the key of Wine's registry file `reg`
// whose header starts with `header`: in place of that name's value, or
// first in the key. False when the key is not there or the file was not
// written. Wine reads the file when its server starts.
bool SetRegistryFileValue(const fs::path& reg, const std::string& header, const std::string& line) {
    std::string text = ReadFile(reg);
    const size_t section = text.find(header);
    if (section == std::string::npos) return false;
    size_t end = text.find("\n[", section + 1);
    if (end == std::string::npos) end = text.size();
    const size_t at = text.find("\n" + line.substr(0, line.find('=') + 1), section);
    if (at != std::string::npos && at < end) {
        text.replace(at + 1, text.find('\n', at + 1) - at - 1, line);
    } else {
        text.insert(text.find('\n', section + 1) + 1, line + "\n");
    }
    WriteFile(reg, text);
    return ReadFile(reg) == text;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

// ---------------------------------------------------------------- paths

fs::path HarnessPaths::SourceDir() {
    return EnvOr("KQ_SOURCE_DIR", KQ_E2E_SOURCE_DIR);
}

fs::path HarnessPaths::WinBuildDir() {
    return Route().winBuildDir;
}

fs::path HarnessPaths::Template() {
    return Route().templateDir;
}

bool HarnessPaths::HostRuns32Bit() {
    return Route().hostRuns32Bit;
}

fs::path HarnessPaths::Kqbuild() {
    return EnvOr("KQ_KQBUILD", KQ_E2E_KQBUILD);
}

fs::path HarnessPaths::SetupExe() {
    fs::path dir = WinBuildDir();
    return dir.empty() ? fs::path() : dir / "setup.exe";
}

fs::path HarnessPaths::Uidriver() {
    fs::path dir = WinBuildDir();
    return dir.empty() ? fs::path() : dir / "tools" / "uidriver" / "uidriver.exe";
}

fs::path HarnessPaths::CrashNote() {
    fs::path dir = WinBuildDir();
    return dir.empty() ? fs::path() : dir / "tools" / "uidriver" / "crash_note.exe";
}

fs::path HarnessPaths::MsgboxProbe() {
    fs::path dir = WinBuildDir();
    return dir.empty() ? fs::path() : dir / "tools" / "uidriver" / "msgbox_probe.exe";
}

fs::path HarnessPaths::WineTemplateScript() {
    return SourceDir() / "scripts" / "wine-template";
}

const char* WineVersionName(WindowsVersion version) {
    switch (version) {
    case WindowsVersion::Win98: return "win98";
    case WindowsVersion::WinMe: return "winme";
    case WindowsVersion::Nt40: return "nt40";
    case WindowsVersion::Win2k: return "win2k";
    case WindowsVersion::WinXp: return "winxp";
    case WindowsVersion::Win2003: return "win2003";
    }
    return "winxp";
}

// ---------------------------------------------------------------- host processes

ProcessResult RunHost(const std::vector<std::string>& argv, const fs::path& cwd, Millis limit) {
    ProcessResult result;
    char dirTemplate[] = "/tmp/kq-e2e-run.XXXXXX";
    if (::mkdtemp(dirTemplate) == nullptr) {
        result.errors = "cannot make a temporary folder";
        return result;
    }
    fs::path dir = dirTemplate;
    std::vector<std::string> command = {"timeout", "-k", kKillAfter, Seconds(limit)};
    command.insert(command.end(), argv.begin(), argv.end());
    pid_t pid = SpawnProcess(command, CurrentEnvironment(), cwd, dir / "out", dir / "err");
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid) {
        result.exitCode = ExitCodeOf(status);
        result.timedOut = StoppedByTimeout(result.exitCode);
    }
    result.output = ReadFile(dir / "out");
    result.errors = ReadFile(dir / "err");
    std::error_code error;
    fs::remove_all(dir, error);
    return result;
}

namespace {

const WineRoute& Route() {
    static const WineRoute route = [] {
        WineRoute r;
        ProcessResult asked = RunHost({(HarnessPaths::SourceDir() / "scripts" / "wine-route").string()}, {},
                                      Millis(30000));
        std::istringstream lines(asked.output);
        std::string line;
        while (std::getline(lines, line)) {
            size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            std::string key = line.substr(0, eq), value = line.substr(eq + 1);
            if (key == "KQ_WINE_ARCH") r.arch = value;
            if (key == "KQ_WINE") r.wine = value;
            if (key == "KQ_WINESERVER") r.wineserver = value;
            if (key == "KQ_WIN_BUILD_DIR") r.winBuildDir = value;
            if (key == "KQ_WINE_TEMPLATE") r.templateDir = value;
            if (key == "KQ_HOST_RUNS_32BIT") r.hostRuns32Bit = value == "yes";
        }
        if (asked.exitCode != EXIT_SUCCESS)
            std::fprintf(stderr, "scripts/wine-route failed: %s\n", asked.errors.c_str());
        return r;
    }();
    return route;
}

}  // namespace

// ---------------------------------------------------------------- environment

void E2eEnvironment::SetUp() {
    // The template is made once per machine and reused; making it takes
    // about ten seconds, checking it a few milliseconds.
    ProcessResult made = RunHost({HarnessPaths::WineTemplateScript().string(), HarnessPaths::Template().string()},
                                 {}, Millis(300000));
    if (made.exitCode == EXIT_SUCCESS) {
        g_templateProblem.clear();
    } else {
        g_templateProblem = "scripts/wine-template failed (exit " + std::to_string(made.exitCode) + "): " + made.errors;
    }

    // One X server for the whole test process: Xvfb chooses a free display
    // number and writes it to the pipe once it accepts connections.
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(fds[0]);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return;
    }
    m_xvfb = pid;
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) g_display = ":" + number;
}

void E2eEnvironment::TearDown() {
    if (m_xvfb > 0) {
        ::kill(m_xvfb, SIGTERM);
        ::waitpid(m_xvfb, nullptr, 0);
        m_xvfb = -1;
    }
    g_display.clear();
}

std::string E2eEnvironment::Display() {
    return g_display.empty() ? EnvOr("DISPLAY", "") : g_display;
}

const std::string& E2eEnvironment::TemplateProblem() {
    return g_templateProblem;
}

// ---------------------------------------------------------------- session

WineSession::WineSession(WindowsVersion version) {
    auto start = std::chrono::steady_clock::now();
    char dirTemplate[] = "/tmp/kq-e2e.XXXXXX";
    if (::mkdtemp(dirTemplate) == nullptr) {
        m_problem = "cannot make the case folder";
        return;
    }
    m_dir = dirTemplate;
    m_prefix = m_dir / "prefix";
    std::error_code error;
    fs::create_directories(ScratchDir(), error);

    if (!E2eEnvironment::TemplateProblem().empty()) {
        m_problem = E2eEnvironment::TemplateProblem();
        return;
    }
    ProcessResult cloned = RunHost({HarnessPaths::WineTemplateScript().string(), "--clone", m_prefix.string(),
                                    HarnessPaths::Template().string()},
                                   {}, Millis(300000));
    if (cloned.exitCode != EXIT_SUCCESS) {
        m_problem = "cannot copy the template prefix: " + cloned.errors;
        return;
    }
    if (!SetVersion(version)) {
        m_problem = "cannot set the Windows version in " + (m_prefix / "user.reg").string();
        return;
    }
    SetDebugger();
    m_prepareSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m_ready = true;
}

WineSession::~WineSession() {
    if (!m_prefix.empty() && Exists(m_prefix)) StopAll();
    const char* keep = std::getenv("KQ_E2E_KEEP");
    if (m_dir.empty() || (keep != nullptr && std::strcmp(keep, "1") == 0)) return;
    std::error_code error;
    fs::remove_all(m_dir, error);
}

std::string WineSession::Crashes() {
    const fs::path file = DriveC() / "windows" / "temp" / "kq-crashes.txt";
    if (!Exists(file)) return std::string();
    // The debugger may still be writing: a backtrace ends with the system's
    // description, its last line the host's version. The debugger ends by
    // itself within seconds, the case's own programs perhaps not.
    WaitUntil(Millis(15000), [&file] {
        const std::string text = ReadFile(file);
        const size_t last = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
        return text.compare(last == std::string::npos ? 0 : last + 1, 17, "    Host version:") == 0;
    });
    StopAll();
    // Each backtrace ends with the list of processes, the crashed one marked
    // "(D)". One of Wine's own programs (a service a killed program was
    // talking to, say) is noted, not the case's failure; a backtrace cut
    // short counts as one of ours.
    const std::string trace = ReadFile(file);
    bool ours = trace.find(" (D) ") == std::string::npos;
    std::string wines;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(" (D) ");
        if (at == std::string::npos) continue;
        std::string image = line.substr(at + 5);
        if (!image.empty() && image.back() == '\r') image.pop_back();
        const std::string head = ReadFile(HostPath(image)).substr(0, 128);
        if (head.find("Wine builtin DLL") == std::string::npos) ours = true;
        else wines += " " + image;
    }
    if (!ours) {
        std::fprintf(stderr, "note: Wine's own%s crashed in the case\n", wines.c_str());
        return std::string();
    }
    std::string report;
    for (const Child& child : m_children) {
        std::istringstream errors(ReadFile(child.err));
        for (std::string line; std::getline(errors, line);)
            if (line.rfind("wine: Unhandled", 0) == 0) report += child.program + ": " + line + "\n";
    }
    return report + (trace.empty() ? "(the debugger wrote nothing)\n" : trace.substr(0, 8000));
}

// Wine runs the harness's debugger on a crash (crash_note.exe, with the
// file the template's own debugger writes to as well), in place of the
// template's, which opens a console window where no console is.
bool WineSession::SetDebugger() {
    const fs::path note = HarnessPaths::CrashNote();
    if (note.empty() || !Exists(note)) return false;
    std::string escaped;
    for (char c : "\"" + WinPath(note) + "\" C:\\windows\\temp\\kq-crashes.txt %ld %ld") {
        if (c == '\\' || c == '"') escaped += '\\';
        escaped += c;
    }
    return SetRegistryFileValue(m_prefix / "system.reg",
                                "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\AeDebug]",
                                "\"Debugger\"=\"" + escaped + "\"");
}

// Wine reads the version from HKCU\Software\Wine when a process starts, so
// writing it into the registry file before the first start is enough.
bool WineSession::SetVersion(WindowsVersion version) {
    return SetRegistryFileValue(m_prefix / "user.reg", "\n[Software\\\\Wine] ",
                                std::string("\"Version\"=\"") + WineVersionName(version) + "\"");
}

std::vector<std::string> WineSession::Environment() const {
    std::vector<std::string> env = CurrentEnvironment();
    SetVariable(env, "WINEPREFIX", m_prefix.string());
    SetVariable(env, "WINEARCH", Route().arch);
    SetVariable(env, "WINEDEBUG", "-all");
    SetVariable(env, "WINEDLLOVERRIDES", kDllOverrides);
    for (const auto& [name, value] : m_environment)
        SetVariable(env, name, name == "WINEDLLOVERRIDES" ? std::string(kDllOverrides) + ";" + value : value);
    std::string display = E2eEnvironment::Display();
    if (!display.empty()) SetVariable(env, "DISPLAY", display);
    return env;
}

void WineSession::SetEnvironment(const std::string& name, const std::string& value) {
    m_environment.emplace_back(name, value);
}

int WineSession::Spawn(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd,
                       Millis limit) {
    Child child;
    size_t index = m_children.size();
    child.out = m_dir / ("out-" + std::to_string(index) + ".txt");
    child.err = m_dir / ("err-" + std::to_string(index) + ".txt");
    std::vector<std::string> argv = {"timeout", "-k", kKillAfter, Seconds(limit), Route().wine, exe};
    argv.insert(argv.end(), args.begin(), args.end());
    child.program = exe.substr(exe.find_last_of("\\/") + 1);
    child.pid = SpawnProcess(argv, Environment(), cwd.empty() ? DriveC() : cwd, child.out, child.err);
    child.startedAt = std::chrono::steady_clock::now();
    if (child.pid < 0) {
        child.finished = true;
        child.status = -1;
    }
    m_children.push_back(child);
    return static_cast<int>(index);
}

bool WineSession::Reap(Child& child, bool block) {
    if (child.finished) return true;
    int status = 0;
    pid_t got = ::waitpid(child.pid, &status, block ? 0 : WNOHANG);
    if (got == child.pid) {
        child.finished = true;
        child.status = status;
    } else if (got < 0) {
        child.finished = true;
        child.status = -1;
    }
    return child.finished;
}

ProcessResult WineSession::Collect(const Child& child) const {
    ProcessResult result;
    result.exitCode = child.status == -1 ? -1 : ExitCodeOf(child.status);
    result.timedOut = StoppedByTimeout(result.exitCode);
    result.output = ReadFile(child.out);
    result.errors = ReadFile(child.err);
    return result;
}

void WineSession::Kill(Child& child) {
    if (child.finished) return;
    ::kill(-child.pid, SIGKILL);
    Reap(child, true);
}

void WineSession::KillProcess(int handle) {
    if (handle < 0 || handle >= static_cast<int>(m_children.size())) return;
    Child& child = m_children[handle];
    if (child.finished) return;
    // The started process is timeout(1); the program is its child, the
    // one process whose parent it is.
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        std::istringstream stat(ReadFile(entry.path() / "stat"));
        std::string pid, name, state;
        pid_t parent = -1;
        // The name is in parentheses and may hold blanks; none of ours does.
        if (stat >> pid >> name >> state >> parent && parent == child.pid) ::kill(std::stoi(pid), SIGKILL);
    }
    Reap(child, true);
}

ProcessResult WineSession::Run(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd,
                               Millis timeout) {
    int handle = Spawn(exe, args, cwd, timeout);
    Child& child = m_children[handle];
    Reap(child, true);
    return Collect(child);
}

int WineSession::Start(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd,
                       Millis limit) {
    return Spawn(exe, args, cwd, limit);
}

ProcessResult WineSession::Wait(Millis timeout, int handle) {
    if (handle < 0) handle = static_cast<int>(m_children.size()) - 1;
    if (handle < 0 || handle >= static_cast<int>(m_children.size())) return ProcessResult();
    Child& child = m_children[handle];
    bool done = WaitUntil(timeout, [&] { return Reap(child, false); });
    if (!done) {
        Kill(child);
        ProcessResult result = Collect(child);
        result.timedOut = true;
        return result;
    }
    return Collect(child);
}

bool WineSession::IsRunning(int handle) {
    if (handle < 0) handle = static_cast<int>(m_children.size()) - 1;
    if (handle < 0 || handle >= static_cast<int>(m_children.size())) return false;
    return !Reap(m_children[handle], false);
}

ProcessResult WineSession::RunWineserver(const std::vector<std::string>& args, Millis limit) {
    Child child;
    child.out = m_dir / "wineserver-out.txt";
    child.err = m_dir / "wineserver-err.txt";
    std::vector<std::string> argv = {"timeout", "-k", kKillAfter, Seconds(limit), Route().wineserver};
    argv.insert(argv.end(), args.begin(), args.end());
    child.pid = SpawnProcess(argv, Environment(), m_dir, child.out, child.err);
    if (child.pid > 0) Reap(child, true);
    return Collect(child);
}

void WineSession::StopAll() {
    // The prefix's own wineserver ends every Windows process of the prefix;
    // then the harness's wrappers are reaped (or stopped when they hang).
    RunWineserver({"-k"}, Millis(10000));
    RunWineserver({"-w"}, Millis(20000));
    for (Child& child : m_children) {
        if (!WaitUntil(Millis(2000), [&] { return Reap(child, false); })) Kill(child);
    }
}

ProcessResult WineSession::Driver(const std::vector<std::string>& args) {
    fs::path driver = HarnessPaths::Uidriver();
    // The driver's own limit plus room for Wine to start.
    Millis limit(10000);
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--timeout") limit = Millis(std::strtol(args[i + 1].c_str(), nullptr, 10));
    return Run(driver.string(), args, {}, limit + Millis(20000));
}

std::optional<WindowInfo> WineSession::WaitWindow(const std::vector<std::string>& match, Millis timeout) {
    std::vector<std::string> args = {"wait", "--timeout", std::to_string(timeout.count())};
    args.insert(args.end(), match.begin(), match.end());
    ProcessResult result = Driver(args);
    if (result.exitCode != uidriver::kExitDone) return std::nullopt;
    std::vector<WindowInfo> windows = ParseWindows(result.output);
    if (windows.empty()) return std::nullopt;
    return windows.front();
}

bool WineSession::Click(const std::vector<std::string>& match, const std::string& label) {
    std::vector<std::string> args = {"click"};
    args.insert(args.end(), match.begin(), match.end());
    args.push_back("--text");
    args.push_back(label);
    return Driver(args).exitCode == uidriver::kExitDone;
}

fs::path WineSession::HostPath(const std::string& winPath) const {
    if (winPath.size() < 2 || winPath[1] != ':') return fs::path(winPath);
    std::string drive = Lower(winPath.substr(0, 2));
    std::error_code error;
    fs::path root = fs::read_symlink(m_prefix / "dosdevices" / drive, error);
    if (error) return fs::path();
    if (root.is_relative()) root = m_prefix / "dosdevices" / root;
    root = root.lexically_normal();

    fs::path path = root;
    std::stringstream parts(winPath.substr(2));
    std::string part;
    while (std::getline(parts, part, '\\')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            path = path.parent_path();
            continue;
        }
        fs::path exact = path / part;
        if (!Exists(exact) && fs::is_directory(path, error)) {
            // Windows names ignore case; the files on disk keep theirs.
            for (const auto& entry : fs::directory_iterator(path, error)) {
                if (Lower(entry.path().filename().string()) == Lower(part)) {
                    exact = entry.path();
                    break;
                }
            }
        }
        path = exact;
    }
    return path;
}

std::string WineSession::WinPath(const fs::path& hostPath) const {
    fs::path path = fs::absolute(hostPath).lexically_normal();
    fs::path driveC = DriveC().lexically_normal();
    std::string text = path.string();
    std::string root = driveC.string();
    std::string win;
    if (text.compare(0, root.size(), root) == 0 && (text.size() == root.size() || text[root.size()] == '/')) {
        win = "C:" + text.substr(root.size());
        if (win.size() == 2) win += "\\";
    } else {
        win = "Z:" + text;
    }
    std::replace(win.begin(), win.end(), '/', '\\');
    return win;
}

fs::path WineSession::TempDir() const {
    // Wine 8 makes C:\users\<unix user>\Temp; the user's name is the folder
    // beside "Public" that holds a Temp folder.
    std::error_code error;
    fs::path users = DriveC() / "users";
    for (const auto& entry : fs::directory_iterator(users, error)) {
        if (!entry.is_directory() || entry.path().filename() == "Public") continue;
        for (const auto& inner : fs::directory_iterator(entry.path(), error)) {
            if (inner.is_directory() && Lower(inner.path().filename().string()) == "temp") return inner.path();
        }
    }
    return fs::path();
}

std::optional<std::string> WineSession::RegQuery(const std::string& key, const std::string& value) {
    ProcessResult result = Run("reg", {"query", key, "/v", value});
    if (result.exitCode != EXIT_SUCCESS) return std::nullopt;
    // A value line reads "    NAME    REG_TYPE    DATA".
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t type = line.find("    REG_");
        if (type == std::string::npos) continue;
        std::string name = line.substr(0, type);
        name.erase(0, name.find_first_not_of(' '));
        if (Lower(name) != Lower(value)) continue;
        size_t data = line.find("    ", type + 4);
        return data == std::string::npos ? std::string() : line.substr(data + 4);
    }
    return std::nullopt;
}

bool WineSession::Screenshot(const fs::path& png) {
    std::string display = E2eEnvironment::Display();
    if (display.empty()) return false;
    ProcessResult result = RunHost({"import", "-display", display, "-window", "root", png.string()}, {}, Millis(20000));
    return result.exitCode == EXIT_SUCCESS && Exists(png);
}

// ---------------------------------------------------------------- fixture

void WineTest::SetUp() {
    m_session = std::make_unique<WineSession>(Version());
    ASSERT_TRUE(m_session->Ready()) << m_session->Problem();
}

void WineTest::TearDown() {
    if (m_session && m_session->Ready()) {
        const std::string crashes = m_session->Crashes();
        EXPECT_TRUE(crashes.empty()) << "a program of the case crashed:\n" << crashes;
    }
    m_session.reset();
}

// ---------------------------------------------------------------- files

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

void WriteFile(const fs::path& path, const std::string& data) {
    std::error_code error;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

}  // namespace kq::e2e
