#include "tests/support/HostedDll.h"

#include "platform/Product.h"
#include "sim/common/Activation.h"

#include <vector>

namespace tc::test {
namespace {
using InstallFn = HRESULT(WINAPI*)(BOOL, LPCWSTR);
} // namespace

std::wstring pluginDllPath() {
    std::vector<wchar_t> buf(MAX_PATH * 4);
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    const std::wstring exe(buf.data(), n);
    return exe.substr(0, exe.find_last_of(L'\\') + 1) + TC_WIDEN(TC_DLL_NAME) L".dll";
}

HostedDll::HostedDll() {
    module_ = LoadLibraryW(pluginDllPath().c_str());
    if (!module_) return;
    if (InstallFn install = exportOf<InstallFn>("DllInstall"))
        registered_ = SUCCEEDED(install(TRUE, L"user"));
}

HostedDll::~HostedDll() {
    if (!registered_) return;
    if (InstallFn install = exportOf<InstallFn>("DllInstall")) install(FALSE, L"user");
}

HRESULT HostedDll::createPlugin(ComPtr<_PlayerPlugin>& out) const {
    return sim::createFromRegistration(product::kProgId, IID__PlayerPlugin, out.putVoid());
}

} // namespace tc::test
