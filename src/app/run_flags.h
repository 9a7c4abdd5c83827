// Process-wide flags shared by the user-interface thread and the workers.
// Each is a 32-bit integer written by one side and polled by the other, so
// no lock is needed; 255 means set and 0 clear unless a flag says otherwise.
#pragma once
#include <atomic>
#include <cstdint>

namespace kq {

constexpr int32_t kFlagSet = 255;
constexpr int32_t kFlagClear = 0;
// Silent mode takes this value once the first progress page has been shown.
constexpr int32_t kSilentAfterProgress = 333;

struct RunFlags {
    std::atomic<int32_t> preview{0};
    std::atomic<int32_t> silent{0};
    std::atomic<int32_t> abort{-1};
    std::atomic<int32_t> cancelRequest{0};
    std::atomic<int32_t> mergeModulesPending{0};
    std::atomic<int32_t> diskImage{0};
    std::atomic<int32_t> startupWorkDone{0};
    std::atomic<int32_t> splashFinished{0};

    void Reset() {
        preview = 0;
        silent = 0;
        abort = -1;
        cancelRequest = 0;
        mergeModulesPending = 0;
        diskImage = 0;
        startupWorkDone = 0;
        splashFinished = 0;
    }
};

// The one set of flags of this process.
RunFlags& Flags();

}  // namespace kq
