#pragma once
// The real DLL as a host has it (loaded, registered for the current user, the
// plug-in created from that registration), and late-bound calls to it.
#include "platform/Handles.h"
#include "tests/support/HostedDll.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace tc::test {

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        wipeUserState();
        ASSERT_TRUE(dll_.ok());
        ASSERT_EQ(dll_.createPlugin(plugin), S_OK);
        ASSERT_EQ(plugin.as(IID_IDispatch, disp), S_OK);
    }
    void TearDown() override { wipeUserState(); }

    static std::wstring setting(const wchar_t* key) { return readSetting(key); }

    HostedDll dll_;
    ComPtr<_PlayerPlugin> plugin;
    ComPtr<IDispatch> disp;
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
