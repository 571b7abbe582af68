// The main() of every test program: COM on the test thread, then GoogleTest.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/ComPtr.h"

int main(int argc, char** argv) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ta::ComApartment com;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
