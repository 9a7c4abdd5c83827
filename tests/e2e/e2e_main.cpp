// Test main of the end-to-end suite: one Xvfb and the template check for the
// whole process, set up before the first case and stopped after the last.
#include <gtest/gtest.h>

#include "wine_session.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new kq::e2e::E2eEnvironment());
    return RUN_ALL_TESTS();
}
