// Decides which progress positions are worth a message: a bar of `width`
// pixels over `range` steps shows a new position only when the filled part
// grows by a pixel. Every message to the page blocks the sending worker
// until the user-interface thread has handled it, so sending the rest only
// costs time.
#pragma once
#include <cstdint>

namespace kq {

class ProgressThrottle {
public:
    void Reset(int32_t range, int32_t width);
    // True when `position` moves the bar (or is its first, last or a
    // backward position).
    bool ShouldSend(int32_t position);

private:
    int64_t Pixel(int32_t position) const;

    int32_t m_range = 0;
    int32_t m_width = 0;
    int64_t m_lastPixel = -1;
    int32_t m_lastPosition = -1;
};

}  // namespace kq
