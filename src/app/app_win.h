// The application object: process start-up checks, the main frame, the
// message loop.
#pragma once
#include <memory>

namespace kq {

class CMainFrame;

class CSetupApp {
public:
    CSetupApp();
    ~CSetupApp();

    // False when the process must end at once.
    bool InitInstance();
    // Runs the message loop until the quit message; returns its exit code.
    int Run();

private:
    bool m_socketsUp = false;
    bool m_oleUp = false;
    CMainFrame* m_mainWindow = nullptr;  // deletes itself when its window is destroyed
};

}  // namespace kq
