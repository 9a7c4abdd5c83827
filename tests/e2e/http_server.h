// A small HTTP/1.0 server for the download cases, listening on a loopback
// address of the case's own (127.0.0.N, so cases can run side by side) and
// stopped with the case. It answers GET requests from a table of paths and
// records which paths were asked for.
#pragma once
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kq::e2e {

struct HttpReply {
    int status = 200;
    std::string body;
    bool contentLength = true;  // false: the body ends when the connection closes
    // A slow body: after the headers, `slowChunk` bytes every 50 ms until
    // the client goes or the server stops; `body` is then ignored and the
    // Content-Length announces far more than ever comes.
    size_t slowChunk = 0;
    // When not 0: the connection closes after this many bytes of `body`,
    // though the Content-Length announces all of it.
    size_t cutAt = 0;
};

class TestHttpServer {
public:
    TestHttpServer() = default;
    ~TestHttpServer() { Stop(); }
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Empty on success, else why it cannot listen.
    std::string Start(const std::string& address, int port, std::map<std::string, HttpReply> replies);
    void Stop();

    // The paths asked for so far, in order.
    std::vector<std::string> Requests();
    // Bytes of slow bodies sent so far.
    size_t SlowBytesSent() const { return m_slowSent; }

private:
    void Serve();
    void Answer(int client);

    int m_listener = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_slowSent{0};
    std::thread m_thread;
    std::map<std::string, HttpReply> m_replies;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

}  // namespace kq::e2e
