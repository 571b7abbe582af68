// The main() of every test program: COM on the test thread, then GoogleTest. Started to host a
// component's entry point, a test program does that instead, as the program does: the code
// under test starts the program it runs in.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/AppShell.h"
#include "platform/ComPtr.h"
#include "platform/ComponentHost.h"

int main(int argc, char** argv) {
    if (const auto hosted = ta::HostComponentEntryIfAsked(ta::CommandLineArguments(::GetCommandLineW()))) return *hosted;
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ta::ComApartment com;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
