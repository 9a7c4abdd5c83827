// kqexec.exe, the maintenance runner setup leaves in the Windows folder.
//
//   kqexec.exe [/S] /R <product code>   remove the product
//   kqexec.exe "/S" <product code>      the same, silently (how setup removes
//                                       an earlier version before installing)
//   kqexec.exe /M <product code>        modify: tells the user to run the
//                                       product's setup again
//
// Everything to remove is in "<Windows folder>\Installer\<code>\uninstall.log";
// removal_plan.h says in what order and with which checks. Afterwards the
// product's Uninstall key, the log and the maintenance folder are deleted.
// Without /S the user confirms first and sees what could not be removed.
//
// Exit codes: 0 removed (or the modify note shown), 1 the user said No,
// 2 bad command line or product code, 3 no uninstall log for the product.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/file.h"
#include "base/registry_path.h"
#include "engine/removal_plan.h"
#include "engine/uninstall_log.h"
#include "remover_win.h"
#include "win/registry_win.h"

namespace kq {
namespace {

enum ExitCode { kRemoved = 0, kDeclined = 1, kBadCommand = 2, kNoLog = 3 };

// The most not-removed items listed in the final message.
constexpr size_t kMaxListed = 10;

void Tell(const std::string& text, const std::string& title, UINT icon) {
    ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | icon | MB_SETFOREGROUND);
}

std::string WindowsFolder() {
    char buffer[MAX_PATH + 1] = "";
    UINT length = ::GetWindowsDirectoryA(buffer, sizeof(buffer));
    if (length == 0 || length >= sizeof(buffer)) return std::string();
    std::string folder(buffer, length);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

int Remove(const RunnerCommand& command) {
    const std::string& code = command.productCode;
    const std::string windows = WindowsFolder();
    const std::string maintenanceFolder = windows + "\\Installer\\" + code + "\\";
    const std::string logPath = maintenanceFolder + kUninstallLogName;
    const std::string key = UninstallKeyPath(code);
    std::string name = reg::ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName");
    if (name.empty()) name = code;

    std::string text;
    if (windows.empty() || !ReadWholeFile(logPath, text)) {
        if (!command.silent) {
            Tell("The removal information of " + name + " was not found:\r\n" + logPath, name, MB_ICONERROR);
        }
        return kNoLog;
    }
    if (!command.silent) {
        std::string question = "Are you sure you want to remove " + name + " and all of its components?";
        if (::MessageBoxA(nullptr, question.c_str(), name.c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) !=
            IDYES) {
            return kDeclined;
        }
    }

    // Out of every folder that is about to go.
    ::SetCurrentDirectoryA((windows + "\\").c_str());

    RemovalContext context;
    context.maintenanceFolder = maintenanceFolder;
    context.registeredProgram = reg::ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "UninstallExecute");
    RemovalPlan plan = PlanRemoval(ParseUninstallLog(text), context);
    RemovalOutcome outcome = CarryOutRemoval(plan);

    reg::DeleteKeyTree(HKEY_LOCAL_MACHINE, key.c_str());
    ::DeleteFileA(logPath.c_str());
    DeleteFolderTree(maintenanceFolder);

    if (!command.silent) {
        std::string message = name + " was removed from your computer.";
        if (!outcome.left.empty()) {
            message += "\r\n\r\nSome items could not be removed. You may remove them yourself:";
            for (size_t i = 0; i < outcome.left.size() && i < kMaxListed; ++i) message += "\r\n" + outcome.left[i];
            if (outcome.left.size() > kMaxListed) message += "\r\n...";
        }
        Tell(message, name, MB_ICONINFORMATION);
    }
    return kRemoved;
}

int Run() {
    RunnerCommand command = ParseRunnerCommandLine(SkipProgramName(::GetCommandLineA()));
    if (command.action == RunnerCommand::Action::kUsage) {
        if (!command.silent) {
            Tell("Usage:\r\n  kqexec.exe [/S] /R <product code>\r\n  kqexec.exe /M <product code>", "kqexec",
                 MB_ICONINFORMATION);
        }
        return kBadCommand;
    }
    if (!IsUsableProductCode(command.productCode)) {
        if (!command.silent) Tell("\"" + command.productCode + "\" is not a product code.", "kqexec", MB_ICONERROR);
        return kBadCommand;
    }
    if (command.action == RunnerCommand::Action::kModify) {
        std::string key = UninstallKeyPath(command.productCode);
        std::string name = reg::ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName");
        if (name.empty()) name = command.productCode;
        if (!command.silent) {
            Tell("To change which parts of " + name + " are installed, run its setup program again.", name,
                 MB_ICONINFORMATION);
        }
        return kRemoved;
    }
    return Remove(command);
}

}  // namespace
}  // namespace kq

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return kq::Run();
}
