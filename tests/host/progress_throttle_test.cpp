#include "cabinet/progress_throttle.h"

#include <gtest/gtest.h>

#include <vector>

namespace kq {
namespace {

std::vector<int> Sent(int range, int width, int upTo) {
    ProgressThrottle throttle;
    throttle.Reset(range, width);
    std::vector<int> sent;
    for (int p = 0; p <= upTo; ++p)
        if (throttle.ShouldSend(p)) sent.push_back(p);
    return sent;
}

TEST(ProgressThrottle, SendsOnlyWhenTheBarGrowsByAPixel) {
    // 2,000 files on a 100-pixel bar: one message per 20 files, plus the end.
    std::vector<int> sent = Sent(2000, 100, 2000);
    ASSERT_EQ(101u, sent.size());
    EXPECT_EQ(0, sent.front());
    EXPECT_EQ(20, sent[1]);
    EXPECT_EQ(2000, sent.back());
}

TEST(ProgressThrottle, FewStepsOnAWideBarSendEveryStep) {
    std::vector<int> expected = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(expected, Sent(5, 300, 5));
}

TEST(ProgressThrottle, UnknownSizesSendEverything) {
    EXPECT_EQ(6u, Sent(5, 0, 5).size());   // no bar width known
    EXPECT_EQ(6u, Sent(0, 100, 5).size()); // no range yet
}

TEST(ProgressThrottle, BackwardsAndPastTheEndAreSent) {
    ProgressThrottle throttle;
    throttle.Reset(1000, 10);
    EXPECT_TRUE(throttle.ShouldSend(500));
    EXPECT_FALSE(throttle.ShouldSend(501));
    EXPECT_TRUE(throttle.ShouldSend(3));     // a new run starting over
    EXPECT_TRUE(throttle.ShouldSend(1000));  // the end always shows
    EXPECT_TRUE(throttle.ShouldSend(1200));
}

}  // namespace
}  // namespace kq
