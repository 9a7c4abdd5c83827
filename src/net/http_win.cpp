#include "net/http_win.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>

#include "base/no_copy.h"
#include "base/product.h"
#include "net/transfer_texts.h"
#include "net/web_address.h"
#include "win/system_library_win.h"
#include "win/window_win.h"

namespace kq {
namespace {

constexpr char kWinInet[] = "wininet.dll";
constexpr DWORD kReadSize = 1024;

// The WinINet functions the transfer needs, looked up once per request.
struct WinInet {
    decltype(&::InternetOpenA) open = SystemProc<decltype(&::InternetOpenA)>(kWinInet, "InternetOpenA");
    decltype(&::InternetConnectA) connect = SystemProc<decltype(&::InternetConnectA)>(kWinInet, "InternetConnectA");
    decltype(&::HttpOpenRequestA) openRequest =
        SystemProc<decltype(&::HttpOpenRequestA)>(kWinInet, "HttpOpenRequestA");
    decltype(&::HttpSendRequestA) send = SystemProc<decltype(&::HttpSendRequestA)>(kWinInet, "HttpSendRequestA");
    decltype(&::HttpQueryInfoA) query = SystemProc<decltype(&::HttpQueryInfoA)>(kWinInet, "HttpQueryInfoA");
    decltype(&::InternetReadFile) read = SystemProc<decltype(&::InternetReadFile)>(kWinInet, "InternetReadFile");
    decltype(&::InternetCloseHandle) close =
        SystemProc<decltype(&::InternetCloseHandle)>(kWinInet, "InternetCloseHandle");

    bool Loaded() const { return open && connect && openRequest && send && query && read && close; }
};

// The three handles of one request, closed innermost first.
class Request : private NoCopy {
public:
    explicit Request(const WinInet& api) : m_api(api) {}
    ~Request() {
        if (m_request) m_api.close(m_request);
        if (m_connection) m_api.close(m_connection);
        if (m_internet) m_api.close(m_internet);
    }

    // Opens, connects and sends the GET; `cancelled` is asked between steps.
    bool Send(const WebAddress& address, const char* accept, const std::function<bool()>& cancelled) {
        auto stop = [&cancelled] { return cancelled && cancelled(); };
        // The system's own proxy settings, as a browser of the machine would.
        m_internet = m_api.open(kProductName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!m_internet || stop()) return false;
        m_connection = m_api.connect(m_internet, address.host.c_str(), address.port, nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, 0, 0);
        if (!m_connection || stop()) return false;
        const char* accepted[] = {accept, nullptr};
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                      INTERNET_FLAG_PRAGMA_NOCACHE;
        if (address.secure) flags |= INTERNET_FLAG_SECURE;
        m_request = m_api.openRequest(m_connection, "GET", address.path.c_str(), nullptr, nullptr, accepted, flags, 0);
        if (!m_request || stop()) return false;
        return m_api.send(m_request, nullptr, 0, nullptr, 0) && !stop();
    }

    // A numeric header; false when the response has none.
    bool Number(DWORD info, long long& value) {
        char text[32] = {};
        DWORD size = sizeof(text);
        if (!m_api.query(m_request, info, text, &size, nullptr)) return false;
        text[sizeof(text) - 1] = '\0';
        value = std::strtoll(text, nullptr, 10);
        return true;
    }

    // Bytes read into `buffer`; 0 at the end of the body. A blocking read:
    // with WinINet's no-wait reads an empty answer only says that nothing
    // has arrived yet, which would end a slow body early.
    bool Read(char* buffer, DWORD size, DWORD& got) {
        got = 0;
        return m_api.read(m_request, buffer, size, &got) != 0;
    }

private:
    const WinInet& m_api;
    HINTERNET m_internet = nullptr;
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
};

struct Transfer {
    std::string address;
    std::string destination;
    const DownloadHooks* hooks;
    TransferResult result = TransferResult::kFailed;

    bool Cancelled() const { return hooks->cancelRequested && hooks->cancelRequested(); }

    // The body goes into a file of its own beside the destination, which
    // takes the destination's place only once it is whole: a refused, cut
    // or cancelled download leaves the file that was there, or none.
    TransferResult Run() {
        const std::string staging = StagingPathBeside(destination);
        if (staging.empty()) return TransferResult::kFailed;
        HANDLE file = ::CreateFileA(staging.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        TransferResult outcome = TransferResult::kFailed;
        if (file != INVALID_HANDLE_VALUE) {
            outcome = Fetch(file);
            ::CloseHandle(file);
        }
        if (outcome == TransferResult::kDone && !ReplaceWith(staging, destination)) outcome = TransferResult::kFailed;
        if (outcome != TransferResult::kDone) ::DeleteFileA(staging.c_str());
        return outcome;
    }

    // A new file in the destination's folder ("kq....tmp"), so the rename
    // stays on one volume and the file has that folder's permissions.
    static std::string StagingPathBeside(const std::string& path) {
        const size_t cut = path.find_last_of('\\');
        if (cut == std::string::npos) return std::string();
        char staging[MAX_PATH] = "";
        if (::GetTempFileNameA(path.substr(0, cut + 1).c_str(), "kq", 0, staging) == 0) return std::string();
        return staging;
    }

    static bool ReplaceWith(const std::string& staging, const std::string& path) {
        if (::MoveFileExA(staging.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        // Windows 9x has no MoveFileEx: the earlier file goes first.
        if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
        ::DeleteFileA(path.c_str());
        return ::MoveFileA(staging.c_str(), path.c_str()) != 0;
    }

    TransferResult Fetch(HANDLE file) {
        WebAddress split;
        WinInet api;
        if (!SplitWebAddress(address, split) || !api.Loaded()) return TransferResult::kFailed;
        Request request(api);
        const bool sent = request.Send(split, "*/*", hooks->cancelRequested);
        if (Cancelled()) return TransferResult::kCancelled;
        long long status = 0;
        if (!sent || !request.Number(HTTP_QUERY_STATUS_CODE, status)) return TransferResult::kFailed;
        if (!HttpStatusDelivers(static_cast<int>(status))) {
            const std::string text = HttpStatusFailedText(static_cast<int>(status));
            if (hooks->tellFailure) {
                hooks->tellFailure(text);
            } else {
                ::MessageBoxA(nullptr, text.c_str(), kProductName, MB_OK | MB_TOPMOST);
            }
            return TransferResult::kFailed;
        }
        long long total = 0;
        const bool announced = request.Number(HTTP_QUERY_CONTENT_LENGTH, total);
        if (!announced) total = 0;

        DownloadMeter meter;
        meter.Start(::GetTickCount(), total);
        long long received = 0;
        char buffer[kReadSize];
        for (;;) {
            DWORD got = 0;
            if (!request.Read(buffer, sizeof(buffer), got)) return TransferResult::kFailed;
            if (Cancelled()) return TransferResult::kCancelled;
            if (got != 0) {
                DWORD written = 0;
                if (!::WriteFile(file, buffer, got, &written, nullptr) || written != got)
                    return TransferResult::kFailed;
            }
            received += got;
            std::string report;
            if (meter.Step(::GetTickCount(), received, report) && hooks->report) hooks->report(report);
            // A connection that closes early ends the body as well: only the
            // length the server announced tells a cut download from a whole one.
            if (got == 0) return announced && received != total ? TransferResult::kFailed : TransferResult::kDone;
        }
    }

    static DWORD WINAPI ThreadProc(void* self) {
        Transfer* transfer = static_cast<Transfer*>(self);
        transfer->result = transfer->Run();
        return transfer->result == TransferResult::kDone ? 0 : 255;
    }
};

}  // namespace

TransferResult DownloadFile(const std::string& address, const std::string& destination, const DownloadHooks& hooks) {
    Transfer transfer{address, destination, &hooks};
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, &Transfer::ThreadProc, &transfer, 0, &id);
    if (thread == nullptr) return transfer.Run();
    PumpWait(thread);
    ::CloseHandle(thread);
    return transfer.result;
}

std::string FetchText(const std::string& address) {
    WebAddress split;
    WinInet api;
    if (!SplitWebAddress(address, split) || !api.Loaded()) return std::string();
    Request request(api);
    long long status = 0;
    if (!request.Send(split, "text/*", nullptr) || !request.Number(HTTP_QUERY_STATUS_CODE, status)) return std::string();
    // An error page is not the value the author asked for; the variable's
    // default serves better.
    if (status != 200) return std::string();
    long long length = -1;
    if (!request.Number(HTTP_QUERY_CONTENT_LENGTH, length)) length = -1;

    std::string text;
    char buffer[kReadSize];
    for (;;) {
        DWORD got = 0;
        if (!request.Read(buffer, sizeof(buffer), got)) return std::string();
        if (got == 0) break;
        text.append(buffer, got);
        if (text.size() >= kMaxFetchedText) break;
    }
    if (length >= 0 && static_cast<unsigned long long>(length) < text.size()) text.resize(static_cast<size_t>(length));
    if (text.size() > kMaxFetchedText) text.resize(kMaxFetchedText);
    return text;
}

}  // namespace kq
