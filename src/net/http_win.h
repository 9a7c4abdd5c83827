// HTTP over the system's WinINet: a file downloaded on a transfer thread of
// its own with the download panel fed once a second, and a short text
// fetched for a web variable. WinINet is loaded from the system folder at
// the first use (system_library_win.h), never imported.
#pragma once
#include <functional>
#include <string>

namespace kq {

enum class TransferResult { kDone, kFailed, kCancelled };

struct DownloadHooks {
    // Polled between the steps of the request and after every read.
    std::function<bool()> cancelRequested;
    // "percent,time left,rate" at most once a second (transfer_texts.h).
    std::function<void(const std::string&)> report;
    // The status-code message of a response that is not a success; shown in
    // a message box when not set.
    std::function<void(const std::string&)> tellFailure;
};

// Fetches `address` into `destination` on a transfer thread that the
// calling thread waits for while dispatching its messages. The body is
// written beside the destination and replaces it only when whole (as long
// as the Content-Length says, when the server sends one): a refused, cut or
// cancelled transfer leaves the earlier file byte for byte, or no file.
// Failures other than the status-code message are silent.
TransferResult DownloadFile(const std::string& address, const std::string& destination, const DownloadHooks& hooks);

// The body of a GET of `address` (accepting text), cut to its Content-Length
// when there is one and to kMaxFetchedText; empty on any failure, a status
// other than 200 included. Blocks the calling thread.
std::string FetchText(const std::string& address);

}  // namespace kq
