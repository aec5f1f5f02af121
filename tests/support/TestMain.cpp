// The start-up every test program shares. It settles, before any test runs,
// what a test may not take from the machine it runs on, so that a program
// run whole by hand gives the answers it gives under CTest.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Only the fonts the set-up installs: a machine with more fonts would
    // otherwise match "Courier" or "Times" to another metric twin. Child
    // programs the tests start inherit it.
    setenv("FONTCONFIG_FILE", KALVORA_TEST_FONTCONFIG, 1);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
