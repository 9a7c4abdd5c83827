#include "crypt/double_buffering.h"

#include <cstring>

kq::Status CDoubleBuffering::Init(std::istream& in, char* buffer, int size, int dataLen) {
    in_ = nullptr;
    if (size % 2 != 0) return kq::Status::Error("CDoubleBuffering: m_iSize should be Even Number!");
    if (!in.good()) return kq::Status::Error("CDoubleBuffering: Referenced File not Opened or in Bad State!");
    if (buffer == nullptr || size <= 0 || dataLen <= 0 || dataLen > size / 2) {
        return kq::Status::Error("CDoubleBuffering: Illegal Construction Data!");
    }
    in_ = &in;
    buf_ = buffer;
    size_ = size;
    half_ = size / 2;
    dataLen_ = dataLen;
    readPos_ = 0;
    held_ = 0;
    atEnd_ = false;
    return Fill(0);
}

kq::Status CDoubleBuffering::Fill(int at) {
    in_->read(buf_ + at, half_);
    const int got = static_cast<int>(in_->gcount());
    // A read error must not pass for the end of the file: the decrypted
    // output would silently come out short.
    if (in_->bad()) return kq::Status::Error("CDoubleBuffering: Read Error on Referenced File!");
    held_ += got;
    if (got < half_) atEnd_ = true;
    return kq::Status::Ok();
}

kq::Status CDoubleBuffering::GetData(char* out, int len, int* delivered) {
    if (delivered != nullptr) *delivered = 0;
    if (in_ == nullptr) return kq::Status::Error("CDoubleBuffering: Referenced File not Opened or in Bad State!");
    if (len == -1) len = dataLen_;
    if (len <= 0 || len > half_ || out == nullptr || delivered == nullptr) {
        return kq::Status::Error("CDoubleBuffering::GetData(): Illegal iDataLen!");
    }
    if (held_ < len && !atEnd_) {
        // Until the end of the stream, the data held always ends on a half
        // boundary; held_ < len <= S/2 means it lies within one half, so the
        // other half (starting where the data ends) is free to refill.
        kq::Status st = Fill((readPos_ + held_) % size_);
        if (!st) return st;
    }
    const int n = held_ < len ? held_ : len;
    const int first = (size_ - readPos_) < n ? (size_ - readPos_) : n;
    std::memcpy(out, buf_ + readPos_, size_t(first));
    if (n > first) std::memcpy(out + first, buf_, size_t(n - first));
    readPos_ = (readPos_ + n) % size_;
    held_ -= n;
    *delivered = n;
    return kq::Status::Ok();
}
