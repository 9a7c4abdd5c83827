// Decryption throughput of the package cipher: DecryptFile on a large
// encrypted file (through the 384-byte chunk path the installer uses), with
// the in-memory block rate alongside to separate cipher cost from file I/O.
//
// usage: bench_crypt [--size MB] [--runs N] [--dir FOLDER]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "crypt/file_crypt.h"

using kq::CFileCrypt;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

bool WritePlainFile(const std::string& path, long long bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> block(1 << 20);
    unsigned x = 12345;
    for (char& c : block) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    for (long long left = bytes; left > 0; left -= static_cast<long long>(block.size())) {
        const long long n = left < static_cast<long long>(block.size()) ? left : static_cast<long long>(block.size());
        out.write(block.data(), std::streamsize(n));
    }
    out.close();
    return !out.fail();
}

}  // namespace

int main(int argc, char** argv) {
    long long sizeMb = 64;
    int runs = 5;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            sizeMb = std::atoll(argv[++i]);
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir = argv[++i];
        } else {
            std::fprintf(stderr, "usage: bench_crypt [--size MB] [--runs N] [--dir FOLDER]\n");
            return 2;
        }
    }
    if (sizeMb <= 0 || runs <= 0) {
        std::fprintf(stderr, "bench_crypt: size and runs must be positive\n");
        return 2;
    }
    std::error_code ec;
    const std::filesystem::path base = dir.empty() ? std::filesystem::temp_directory_path(ec) : std::filesystem::path(dir);
    const std::string plain = (base / "kq_bench_plain.bin").string();
    const std::string nsx = (base / "kq_bench.nsx").string();
    const std::string back = (base / "kq_bench_back.bin").string();
    const long long bytes = sizeMb * 1024 * 1024;
    const double mb = double(bytes) / (1024.0 * 1024.0);

    CFileCrypt crypt;
    kq::Status st = kq::KeyForPackage(crypt);
    if (!st || !WritePlainFile(plain, bytes)) {
        std::fprintf(stderr, "bench_crypt: cannot prepare %s\n", plain.c_str());
        return 1;
    }
    Clock::time_point t0 = Clock::now();
    st = crypt.EncryptFile(plain.c_str(), nsx.c_str());
    const double encryptSeconds = Seconds(t0);
    if (!st) {
        std::fprintf(stderr, "bench_crypt: %s\n", st.message().c_str());
        return 1;
    }

    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        t0 = Clock::now();
        st = crypt.DecryptFile(nsx.c_str(), back.c_str());
        const double s = Seconds(t0);
        if (!st) {
            std::fprintf(stderr, "bench_crypt: %s\n", st.message().c_str());
            return 1;
        }
        if (s < best) best = s;
    }

    // The cipher alone, on 384-byte chunks in memory.
    std::vector<uint8_t> chunk(CFileCrypt::kChunkSize, 0x5a);
    const long long memChunks = bytes / CFileCrypt::kChunkSize;
    double bestMem = 1e30;
    for (int r = 0; r < runs; ++r) {
        t0 = Clock::now();
        for (long long i = 0; i < memChunks; ++i) crypt.Decrypt(chunk.data(), chunk.data(), CFileCrypt::kChunkSize);
        const double s = Seconds(t0);
        if (s < bestMem) bestMem = s;
    }

    std::printf("file size            %.0f MB (MB = 2^20 bytes)\n", mb);
    std::printf("EncryptFile          %.1f MB/s (one run)\n", mb / encryptSeconds);
    std::printf("DecryptFile          %.1f MB/s (best of %d)\n", mb / best, runs);
    std::printf("Decrypt in memory    %.1f MB/s (best of %d, checksum %02x)\n",
                double(memChunks * CFileCrypt::kChunkSize) / (1024.0 * 1024.0) / bestMem, runs, chunk[0]);

    std::filesystem::remove(plain, ec);
    std::filesystem::remove(nsx, ec);
    std::filesystem::remove(back, ec);
    return 0;
}
