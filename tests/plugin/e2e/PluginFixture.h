#pragma once
// Loads the real DLL, registers it for the current user and creates the
// plug-in through COM, as a host does.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "platform/Handles.h"
#include "sim/common/Activation.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace tc::test {

using InstallFn = HRESULT(WINAPI*)(BOOL, LPCWSTR);
using PlainFn = HRESULT(WINAPI*)();

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        wipeUserState();
        dll_ = LoadLibraryW(pluginDllPath().c_str());
        ASSERT_NE(dll_, nullptr);
        install_ = dllExport<InstallFn>(dll_, "DllInstall");
        ASSERT_NE(install_, nullptr);
        ASSERT_EQ(install_(TRUE, L"user"), S_OK);
    }
    void TearDown() override {
        if (install_) install_(FALSE, L"user");
        wipeUserState();
    }

    ComPtr<_PlayerPlugin> create() {
        ComPtr<_PlayerPlugin> p;
        EXPECT_EQ(sim::createFromRegistration(L"Tunecaster.PlayerPlugin", IID__PlayerPlugin,
                                              p.putVoid()),
                  S_OK);
        return p;
    }

    HMODULE dll_ = nullptr;
    InstallFn install_ = nullptr;
};

// Arguments for IDispatch::Invoke, given in call order (stored reversed).
class Args {
public:
    Args(std::initializer_list<VARIANT> inOrder) : v_(inOrder.begin(), inOrder.end()) {
        std::reverse(v_.begin(), v_.end());
    }
    DISPPARAMS* params() {
        p_ = {v_.empty() ? nullptr : v_.data(), nullptr, static_cast<UINT>(v_.size()), 0};
        return &p_;
    }

private:
    std::vector<VARIANT> v_;
    DISPPARAMS p_{};
};

inline VARIANT vLong(LONG v) { VARIANT x; VariantInit(&x); x.vt = VT_I4; x.lVal = v; return x; }
inline VARIANT vBstr(BSTR b) { VARIANT x; VariantInit(&x); x.vt = VT_BSTR; x.bstrVal = b; return x; }
inline VARIANT vDisp(IDispatch* d) { VARIANT x; VariantInit(&x); x.vt = VT_DISPATCH; x.pdispVal = d; return x; }
inline VARIANT vRefBstr(BSTR* b) { VARIANT x; VariantInit(&x); x.vt = VT_BSTR | VT_BYREF; x.pbstrVal = b; return x; }
inline VARIANT vRefLong(LONG* l) { VARIANT x; VariantInit(&x); x.vt = VT_I4 | VT_BYREF; x.plVal = l; return x; }

inline HRESULT invoke(IDispatch* d, DISPID id, Args args, VARIANT* result) {
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.params(), result,
                     nullptr, nullptr);
}

} // namespace tc::test
