// Result of a core operation: success, or failure with the system's fixed
// message text. The core never lets exceptions cross a module boundary.
#pragma once
#include <string>
#include <utility>

namespace kq {

class Status {
public:
    static Status Ok() { return Status(); }
    static Status Error(std::string message) { return Status(std::move(message)); }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& message() const { return message_; }

private:
    Status() = default;
    explicit Status(std::string message) : ok_(false), message_(std::move(message)) {}

    bool ok_ = true;
    std::string message_;
};

}  // namespace kq
