#include "PlayerPlugin_h.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(Smoke, CreatesThePluginFromItsRegistration) {
    HMODULE dll = LoadLibraryW(tc::test::pluginDllPath().c_str());
    ASSERT_NE(dll, nullptr);
    auto install = tc::test::dllExport<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(dll, "DllInstall");
    ASSERT_NE(install, nullptr);
    ASSERT_EQ(install(TRUE, L"user"), S_OK);
    IDispatch* obj = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_PlayerPlugin, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&obj)), S_OK);
    obj->Release();
    install(FALSE, L"user");
}
