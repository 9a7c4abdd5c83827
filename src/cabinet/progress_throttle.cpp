#include "cabinet/progress_throttle.h"

namespace kq {

void ProgressThrottle::Reset(int32_t range, int32_t width) {
    m_range = range;
    m_width = width;
    m_lastPixel = -1;
    m_lastPosition = -1;
}

int64_t ProgressThrottle::Pixel(int32_t position) const {
    if (m_range <= 0) return position;
    return static_cast<int64_t>(position) * m_width / m_range;
}

bool ProgressThrottle::ShouldSend(int32_t position) {
    bool send = m_width <= 0 || m_range <= 0 || m_lastPosition < 0 || position < m_lastPosition ||
                position >= m_range || Pixel(position) != m_lastPixel;
    if (send) {
        m_lastPixel = Pixel(position);
        m_lastPosition = position;
    }
    return send;
}

}  // namespace kq
