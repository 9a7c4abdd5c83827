// The processor record on the machine the tests run on: the identification
// instruction read through the compiler's guarded access, compared with what
// the host kernel says about the same processor (/proc/cpuinfo, which Wine
// shows as Z:\proc\cpuinfo).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>

#include "checks/processor.h"
#include "record/install_record.h"

namespace {

// "key : value" lines of the first processor.
std::map<std::string, std::string> HostCpuInfo() {
    std::map<std::string, std::string> fields;
    std::ifstream in("Z:\\proc\\cpuinfo");
    std::string line;
    while (std::getline(in, line) && !line.empty()) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : std::string();
        fields[key] = value;
    }
    return fields;
}

TEST(ProcessorIdentifyTest, AgreesWithTheHostKernel) {
    kq::CProcessor processor;
    ASSERT_TRUE(processor.Identify());
    EXPECT_EQ(processor.Vendor().size(), 12u);
    EXPECT_EQ(processor.Name(), kq::ProcessorName(processor.Vendor(), processor.Family(), processor.Model(),
                                                  processor.ExtendedFamily(), processor.ExtendedModel()));
    // Identify measured the clock: the time-stamp counter moved in that second.
    EXPECT_GT(processor.SpeedMHz(), 0u);

    std::map<std::string, std::string> host = HostCpuInfo();
    if (host.count("vendor_id") == 0 || host.count("cpu family") == 0 || host.count("model") == 0)
        GTEST_SKIP() << "no /proc/cpuinfo to compare with";
    EXPECT_EQ(processor.Vendor(), host["vendor_id"]);
    // The kernel adds the extended family to 15 and the extended model above
    // the low four bits; the record keeps the four-bit fields.
    const int family = std::stoi(host["cpu family"]);
    const int model = std::stoi(host["model"]);
    EXPECT_EQ(processor.Family(), family >= 15 ? 15 : family);
    EXPECT_EQ(processor.Model(), model & 0xF);
    if (family >= 15) {
        EXPECT_EQ(processor.ExtendedFamily(), family - 15);
    }
}

// Long contents go through the vector unit where this processor has one: the
// sum must be XXH3's all the same, in whatever pieces the bytes come.
TEST(ProcessorIdentifyTest, TheRecordChecksumIsXxh3OnThisProcessor) {
    std::string bytes;
    for (size_t i = 0; i < 1000003; ++i) bytes += char(i * 7 + i / 251);
    kq::FingerprintBuilder builder;
    for (size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 + 1)
        builder.Add(bytes.data() + at, std::min(piece, bytes.size() - at));
    EXPECT_EQ(builder.Finish().hash, "xxh3:06de9cb24f0c50de");
}

}  // namespace
