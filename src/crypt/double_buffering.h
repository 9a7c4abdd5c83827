// Buffered reader for the package decryption: one caller-owned buffer of S
// bytes used as two halves. Chunks of at most D bytes are handed out in
// order; as soon as a request runs past the data held, the other half is
// refilled from the stream (S/2 bytes at a time), so a chunk may end in one
// half and continue at the start of the other. The chunks are consecutive
// and cover the stream exactly once.
#pragma once
#include <cstdio>

#include "base/no_copy.h"
#include "base/status.h"

namespace kq {

class CDoubleBuffering : private NoCopy {
public:
    CDoubleBuffering() = default;

    // buffer holds size bytes and must outlive the reader. Reads the first
    // half at once. size must be even, the stream open (not null) and
    // without error, 0 < dataLen <= size/2.
    Status Init(std::FILE* in, char* buffer, int size, int dataLen);

    // Copies up to len bytes (len -1 means the dataLen given to Init) to out
    // and stores the count in *delivered: fewer than asked at the end of the
    // stream, 0 once it is exhausted. len must satisfy 0 < len <= size/2.
    Status GetData(char* out, int len, int* delivered);

private:
    Status Fill(int at);

    std::FILE* m_in = nullptr;
    char* m_buf = nullptr;
    int m_size = 0;
    int m_half = 0;
    int m_dataLen = 0;
    int m_readPos = 0;     // next byte to hand out
    int m_held = 0;        // bytes from m_readPos on (wrapping) not yet handed out
    bool m_atEnd = false;  // the stream has given its last byte
};

}  // namespace kq
