#include "http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace kq::e2e {
namespace {

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 407: return "Proxy Authentication Required";
    default: return "Status";
    }
}

bool SendAll(int socket, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string TestHttpServer::Start(const std::string& address, int port, std::map<std::string, HttpReply> replies) {
    m_replies = std::move(replies);
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listener < 0) return std::string("socket: ") + std::strerror(errno);
    int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in bound = {};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &bound.sin_addr) != 1) return "bad address " + address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&bound), sizeof(bound)) != 0 || ::listen(m_listener, 8) != 0) {
        std::string why = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(m_listener);
        m_listener = -1;
        return why;
    }
    m_thread = std::thread([this] { Serve(); });
    return std::string();
}

void TestHttpServer::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listener >= 0) ::close(m_listener);
    m_listener = -1;
}

std::vector<std::string> TestHttpServer::Requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void TestHttpServer::Serve() {
    while (!m_stop) {
        pollfd waiting = {m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 100) <= 0) continue;
        int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0) continue;
        Answer(client);
        ::close(client);
    }
}

void TestHttpServer::Answer(int client) {
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd readable = {client, POLLIN, 0};
        if (::poll(&readable, 1, 5000) <= 0) return;
        ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<size_t>(n));
    }
    // "GET /path HTTP/1.1"
    size_t start = request.find(' ');
    size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
    if (end == std::string::npos) return;
    const std::string path = request.substr(start + 1, end - start - 1);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(path);
    }
    auto found = m_replies.find(path);
    HttpReply reply = found != m_replies.end() ? found->second : HttpReply{404, "no such file", true, 0};

    std::string headers = "HTTP/1.0 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
    headers += "Content-Type: application/octet-stream\r\nConnection: close\r\n";
    if (reply.status == 401) headers += "WWW-Authenticate: Basic realm=\"test\"\r\n";
    if (reply.slowChunk > 0) {
        headers += "Content-Length: 100000000\r\n\r\n";
        if (!SendAll(client, headers)) return;
        const std::string chunk(reply.slowChunk, 's');
        while (!m_stop && SendAll(client, chunk)) {
            m_slowSent += chunk.size();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return;
    }
    if (reply.contentLength) headers += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    SendAll(client, headers + "\r\n" + (reply.cutAt > 0 ? reply.body.substr(0, reply.cutAt) : reply.body));
    ::shutdown(client, SHUT_WR);
}

}  // namespace kq::e2e
