// The download panel's texts and the web address split.
#include "net/transfer_texts.h"

#include <gtest/gtest.h>

#include <climits>

#include "net/web_address.h"

namespace kq {
namespace {

TEST(TransferTexts, Rate) {
    struct Row { double bytesPerMs; const char* text; } rows[] = {
        {0.5, "512 Bytes/Sec"},
        {0, "0 Bytes/Sec"},
        {0.999, "1023 Bytes/Sec"},
        {1, "1.00 KB/Sec"},
        {2.5, "2.50 KB/Sec"},
        {9.996, "10.00 KB/Sec"},
        {10, "10 KB/Sec"},
        {37.8, "38 KB/Sec"},
        {-3, "0 Bytes/Sec"},  // a tick counter gone backwards
        {1e300, "1000000000000000 KB/Sec"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.text, RateText(row.bytesPerMs)) << row.bytesPerMs;
}

TEST(TransferTexts, SizeAndAmount) {
    struct Row { int64_t received, total; const char* text; } rows[] = {
        {0, 1023, "0 Bytes of 1023 Bytes"},
        {1024, 1048575, "1.0 KB of 1024.0 KB"},
        {1572864, 3355443, "1.50 MB of 3.20 MB"},
        {INT64_MAX, INT64_MAX, "8796093022208.00 MB of 8796093022208.00 MB"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.text, AmountText(row.received, row.total));
    EXPECT_EQ("900 Bytes received", ReceivedText(900));
}

TEST(TransferTexts, DurationAndTimeLeft) {
    struct Row { int32_t seconds; const char* text; } rows[] = {
        {0, "0 sec"}, {59, "59 sec"}, {60, "1 min"}, {120, "2 min"}, {125, "2 min 5 sec"},
        {INT32_MAX, "35791394 min 7 sec"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.text, DurationText(row.seconds)) << row.seconds;
    EXPECT_EQ("2 min 5 sec (1.50 MB of 3.20 MB copied)", TimeLeftText(125, 1572864, 3355443));
}

TEST(TransferTexts, SecondsLeft) {
    struct Row { uint32_t elapsedMs; int64_t received, total; int32_t seconds; } rows[] = {
        {1000, 1000, 3000, 2},       // 1 ms a byte, 2000 bytes to go
        {1000, 3000, 2000, 0},       // more than announced
        {1000, 0, 2000, 0},          // nothing yet
        {4000000000u, 1, INT64_MAX, INT32_MAX},
    };
    for (const Row& row : rows) EXPECT_EQ(row.seconds, SecondsLeft(row.elapsedMs, row.received, row.total));
}

TEST(TransferTexts, StatusVerdictAndMessage) {
    struct Row { int code; bool delivers; } rows[] = {
        {200, true}, {206, true}, {401, false}, {407, false}, {404, false}, {302, false}, {0, false},
    };
    for (const Row& row : rows) EXPECT_EQ(row.delivers, HttpStatusDelivers(row.code)) << row.code;
    EXPECT_EQ("Failed to retrieve a HTTP 200 status, Status Code:401\r\n"
              "Try later or download using your browser and add this file to Merrowin Folder.",
              HttpStatusFailedText(401));
}

// Reports come at most once a second; the rate is measured since the last
// report, the time left since the start.
TEST(DownloadMeter, ReportsOncePerInterval) {
    struct Row { uint32_t now; int64_t received; bool reports; const char* report; } rows[] = {
        {500, 1000, false, ""},
        {1000, 2000, false, ""},  // exactly a second: not yet
        {1001, 2000, true, "50,1 sec (2.0 KB of 3.9 KB copied),2.00 KB/Sec"},
        {1500, 3000, false, ""},
        {3001, 4000, true, "100,0 sec (3.9 KB of 3.9 KB copied),1.00 KB/Sec"},
    };
    DownloadMeter meter;
    meter.Start(0, 4000);
    for (const Row& row : rows) {
        std::string report;
        EXPECT_EQ(row.reports, meter.Step(row.now, row.received, report)) << row.now;
        EXPECT_EQ(row.report, report) << row.now;
    }
}

TEST(DownloadMeter, WithoutATotalReportsAmountAndRateOnly) {
    DownloadMeter meter;
    meter.Start(0xFFFFFF00u, 0);  // across the tick counter's wrap
    std::string report;
    EXPECT_TRUE(meter.Step(0xFFFFFF00u + 2000, 1000, report));
    EXPECT_EQ("-1,1000 Bytes received,512 Bytes/Sec", report);
    EXPECT_EQ(0, meter.Percent());
}

TEST(WebAddress, Split) {
    struct Row { const char* address; bool ok; bool secure; const char* host; int port; const char* path; } rows[] = {
        {"http://example.test/files/app.zip", true, false, "example.test", 80, "/files/app.zip"},
        {"HTTP://example.test/a", true, false, "example.test", 80, "/a"},
        {"example.test/a", true, false, "example.test", 80, "/a"},
        {"http://127.0.0.5:8080/path/f.bin", true, false, "127.0.0.5", 8080, "/path/f.bin"},
        {"host:8080/path", true, false, "host", 8080, "/path"},
        {"https://secure.test/x", true, true, "secure.test", 443, "/x"},
        {"https://secure.test:8443/x?y=1", true, true, "secure.test", 8443, "/x?y=1"},
        {"http://host/", true, false, "host", 80, "/"},
        {"http://host:00080/", true, false, "host", 80, "/"},
        {"ftp://host/file", false, false, "", 0, ""},
        {"http://host", false, false, "", 0, ""},           // no '/' after the host
        {"http:///path", false, false, "", 0, ""},          // no host
        {"http://host:/p", false, false, "", 0, ""},
        {"http://host:0/p", false, false, "", 0, ""},
        {"http://host:65536/p", false, false, "", 0, ""},
        {"http://host:99999999999999999999/p", false, false, "", 0, ""},
        {"http://host:8a/p", false, false, "", 0, ""},
        {"http://ho st/p", false, false, "", 0, ""},
        {"http://user@host/p", false, false, "", 0, ""},
        {"", false, false, "", 0, ""},
    };
    for (const Row& row : rows) {
        WebAddress split;
        split.port = 0;
        EXPECT_EQ(row.ok, SplitWebAddress(row.address, split)) << row.address;
        if (!row.ok) continue;
        EXPECT_EQ(row.secure, split.secure) << row.address;
        EXPECT_EQ(row.host, split.host) << row.address;
        EXPECT_EQ(row.port, split.port) << row.address;
        EXPECT_EQ(row.path, split.path) << row.address;
    }
    WebAddress split;
    EXPECT_FALSE(SplitWebAddress("http://" + std::string(kMaxHostLength + 1, 'h') + "/p", split));
    EXPECT_TRUE(SplitWebAddress("http://" + std::string(kMaxHostLength, 'h') + "/p", split));
}

}  // namespace
}  // namespace kq
