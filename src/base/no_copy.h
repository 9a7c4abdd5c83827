// A base for the classes that own something only one object may let go of:
// a handle, a thread, a window, a buffer others point into. A copy would
// close or free it twice.
#pragma once

namespace kq {

class NoCopy {
public:
    NoCopy(const NoCopy&) = delete;
    NoCopy& operator=(const NoCopy&) = delete;

protected:
    NoCopy() = default;
    ~NoCopy() = default;
};

}  // namespace kq
