// The author's file actions (setup script section FILEACTION): programs,
// web addresses and DLL functions run at a moment of the wizard - when a
// page is about to be shown (by its layout file), at start-up with the
// start page, or when Finish is pressed. The list is read once at start-up;
// each action keeps a done flag for the whole run so that a "once" action
// runs at most once however often its page is shown.
//
// Section keys of item i (Script conventions; "TOTAL" read as a short value):
//   B<i>  file: ".exe" program, ".dll" library, or a web address ("http...")
//         containing ".exe"; placeholders expanded when read
//   C<i>  program arguments, or the library's function name; expanded
//   E<i>  moment: a page name ("License Agreement"), a layout file name, or
//         "After Click Finish Button"
//   G<i>  "Yes": once      H<i>  "Yes": wait for a started program
//   L<i>  program mask (decimal)      M<i>  condition name
// The list is untrusted input: at most kMaxFileActions items are read.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run/script.h"

namespace kq {

constexpr int kMaxFileActions = 100;

struct FileAction {
    std::string file;
    std::string parameter;
    std::string moment;  // already mapped to its layout file name
    bool once = false;
    bool wait = false;
    int32_t programMask = 0;
    std::string condition;
    bool done = false;  // a "once" action that was due
};

// The layout file a moment stands for ("Install Welcome" -> "welcome.lcd");
// any other text is kept as it is.
std::string MomentLayoutFile(const std::string& moment);

// What running an action's file means.
enum class FileActionKind {
    kNone,     // neither ".exe" nor ".dll" in it: nothing runs
    kProgram,  // ".exe" (a web address too: the shell opens it)
    kLibrary,  // ".dll": the named function is called
};
// ".exe" wins over ".dll"; both compared without regard to case.
FileActionKind ClassifyActionFile(const std::string& file);

// Carries out what the table decides.
class FileActionMachine {
public:
    virtual ~FileActionMachine() = default;
    // Program mask and condition of an action that is due.
    virtual bool Admits(int32_t programMask, const std::string& condition) = 0;
    // Starts a program (or opens a web address, never waiting for it).
    virtual void StartProgram(const std::string& program, const std::string& arguments, bool wait) = 0;
    // Calls `function` of the library `file` with the install folder.
    virtual void CallLibrary(const std::string& file, const std::string& function) = 0;
};

class FileActionTable {
public:
    // Replaces the table with the script's FILEACTION section.
    void Load(const Script& script, const std::function<std::string(const std::string&)>& expand);

    // Runs, in table order, every action whose moment is `layoutFile` (or
    // kFinishTrigger), and returns how many were carried out. A "once"
    // action is marked done before its checks: one that its mask or
    // condition skipped is not tried again.
    int RunFor(const std::string& layoutFile, FileActionMachine& machine);

    int Count() const { return static_cast<int>(m_actions.size()); }
    const FileAction& At(int index) const { return m_actions[static_cast<size_t>(index)]; }

private:
    bool Run(FileAction& action, FileActionMachine& machine);

    std::vector<FileAction> m_actions;
};

}  // namespace kq
