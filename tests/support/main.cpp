// Test entry point: an apartment-threaded UI thread like the host's, and
// output in binary mode so that ctest reads Unix line ends through Wine.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <cstdio>

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    ::testing::InitGoogleTest(&argc, argv);
    if (FAILED(OleInitialize(nullptr))) return 2;
    int rc = RUN_ALL_TESTS();
    // The plug-in keeps process-wide COM objects until the process ends, by
    // design; leave without tearing OLE down underneath them.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(rc);
}
