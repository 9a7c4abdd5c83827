// The billboard show: the author's pictures one after another, each at its
// own screen position for its own time, in a borderless topmost window on a
// user-interface thread of its own, independent of the wizard. The show ends
// by itself after the last picture; its owner (the main frame) ends it early
// when it goes first, so neither the thread nor its window outlives it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/no_copy.h"
#include "presentation/presentation_rules.h"

namespace kq {

// Window text of the billboard window, by which tools find it.
constexpr char kBillboardTitle[] = "Merrowin billboard";

class CBillboards : private NoCopy {
public:
    CBillboards();
    ~CBillboards();

    // Starts the show's thread; false (and no thread) for an empty list or
    // when the thread cannot be made. The pictures are looked for in
    // `workFolder`, then in the disk-image folders of `currentFolder`.
    bool Start(const std::vector<Billboard>& list, const std::string& workFolder, const std::string& currentFolder);
    // Ends the show: closes the window and waits for the thread (at most 5 s).
    void Stop();
    // The thread, or null when none was started; signalled once it ended.
    HANDLE Thread() const { return m_thread; }

private:
    static DWORD WINAPI ThreadProc(void* self);
    void Run();

    std::vector<Billboard> m_list;
    std::string m_workFolder;
    std::string m_currentFolder;
    HANDLE m_stopEvent = nullptr;  // manual reset
    HANDLE m_thread = nullptr;
};

}  // namespace kq
