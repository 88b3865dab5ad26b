// Test entry point: an apartment-threaded UI thread like the host's, and
// output in binary mode so that ctest reads Unix line ends through Wine.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    ::testing::InitGoogleTest(&argc, argv);
    if (FAILED(OleInitialize(nullptr))) return 2;
    int rc = RUN_ALL_TESTS();
    // The plug-in keeps process-wide COM objects until the process ends, by
    // design; leave without tearing OLE down underneath them, and without
    // the system libraries' own teardown: under load, Wine's sometimes
    // crashes after a test that walked the type library's functions, and
    // the test, passed, would read as failed.
    std::fflush(stdout);
    std::fflush(stderr);
    // The runner takes this code rather than a crash in Wine's teardown.
    if (const char* path = std::getenv("TC_EXIT_FILE")) {
        if (FILE* out = std::fopen(path, "wb")) {
            std::fprintf(out, "%d\n", rc);
            std::fclose(out);
        }
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(rc));
    return rc;
}
