// What a host does first: find the plug-in through its registration alone.
#include "PlayerPlugin_h.h"
#include "sim/common/Activation.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(Smoke, CreatesThePluginFromItsPerUserRegistration) {
    HMODULE dll = LoadLibraryW(tc::test::pluginDllPath().c_str());
    ASSERT_NE(dll, nullptr);
    auto install = tc::test::dllExport<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(dll, "DllInstall");
    ASSERT_NE(install, nullptr);
    ASSERT_EQ(install(TRUE, L"user"), S_OK);
    IDispatch* obj = nullptr;
    ASSERT_EQ(tc::sim::createFromRegistration(L"Tunecaster.PlayerPlugin", IID_IDispatch,
                                              reinterpret_cast<void**>(&obj)),
              S_OK);
    obj->Release();
    install(FALSE, L"user");
}
