#include "crypt/double_buffering.h"

#include <cstring>

namespace kq {

Status CDoubleBuffering::Init(std::FILE* in, char* buffer, int size, int dataLen) {
    m_in = nullptr;
    if (size % 2 != 0) return Status::Error("CDoubleBuffering: m_iSize should be Even Number!");
    if (in == nullptr || std::ferror(in) != 0)
        return Status::Error("CDoubleBuffering: Referenced File not Opened or in Bad State!");
    if (buffer == nullptr || size <= 0 || dataLen <= 0 || dataLen > size / 2) {
        return Status::Error("CDoubleBuffering: Illegal Construction Data!");
    }
    m_in = in;
    m_buf = buffer;
    m_size = size;
    m_half = size / 2;
    m_dataLen = dataLen;
    m_readPos = 0;
    m_held = 0;
    m_atEnd = false;
    return Fill(0);
}

Status CDoubleBuffering::Fill(int at) {
    const int got = static_cast<int>(std::fread(m_buf + at, 1, size_t(m_half), m_in));
    // A read error must not pass for the end of the file: the decrypted
    // output would silently come out short.
    if (std::ferror(m_in) != 0) return Status::Error("CDoubleBuffering: Read Error on Referenced File!");
    m_held += got;
    if (got < m_half) m_atEnd = true;
    return Status::Ok();
}

Status CDoubleBuffering::GetData(char* out, int len, int* delivered) {
    if (delivered != nullptr) *delivered = 0;
    if (m_in == nullptr) return Status::Error("CDoubleBuffering: Referenced File not Opened or in Bad State!");
    if (len == -1) len = m_dataLen;
    if (len <= 0 || len > m_half || out == nullptr || delivered == nullptr) {
        return Status::Error("CDoubleBuffering::GetData(): Illegal iDataLen!");
    }
    if (m_held < len && !m_atEnd) {
        // Until the end of the stream, the data held always ends on a half
        // boundary; m_held < len <= S/2 means it lies within one half, so the
        // other half (starting where the data ends) is free to refill.
        Status st = Fill((m_readPos + m_held) % m_size);
        if (!st) return st;
    }
    const int n = m_held < len ? m_held : len;
    const int first = (m_size - m_readPos) < n ? (m_size - m_readPos) : n;
    std::memcpy(out, m_buf + m_readPos, size_t(first));
    if (n > first) std::memcpy(out + first, m_buf, size_t(n - first));
    m_readPos = (m_readPos + n) % m_size;
    m_held -= n;
    *delivered = n;
    return Status::Ok();
}

}  // namespace kq
