// The version a user sees in the file's properties, and the type library
// hosts load from the DLL itself.
#include "tests/plugin/e2e/PluginFixture.h"

#include <vector>

namespace tc::test {
namespace {

TEST(Resources, VersionIsOnePointZeroAndTheTypeLibraryIsResourceOne) {
    const std::wstring path = pluginDllPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len));
    EXPECT_EQ(info->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(info->dwFileVersionLS, 0u);
    EXPECT_EQ(info->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(info->dwProductVersionLS, 0u);

    HMODULE dll = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    EXPECT_NE(FindResourceW(dll, MAKEINTRESOURCEW(1), L"TYPELIB"), nullptr);
    FreeLibrary(dll);
}

} // namespace
} // namespace tc::test
