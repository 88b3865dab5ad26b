#include "plugin/Registration.h"

#include "PlayerPlugin_h.h"
#include <olectl.h>
#include "platform/Registry.h"
#include "platform/Module.h"
#include "platform/Product.h"

#include <string>
#include <vector>

namespace tc {
namespace {

std::wstring guidText(REFGUID g) {
    wchar_t buf[40] = {};
    StringFromGUID2(g, buf, 40);
    return buf;
}

struct Entry {
    std::wstring path;  // under Software\Classes
    std::wstring name;  // empty: the key's default value
    std::wstring value;
};

// Everything registration writes, in one table, so that writing and removing
// cannot drift apart.
std::vector<Entry> entries(const std::wstring& dllPath) {
    const std::wstring clsid = L"CLSID\\" + guidText(CLSID_PlayerPlugin);
    const std::wstring libid = guidText(LIBID_Tunecaster);
    const std::wstring lib = L"TypeLib\\" + libid + L"\\" + product::kTypeLibVersion;
    const std::wstring itf = L"Interface\\" + guidText(IID__PlayerPlugin);
    const std::wstring oleMarshaler = L"{00020424-0000-0000-C000-000000000046}";
    std::wstring dir = dllPath.substr(0, dllPath.find_last_of(L'\\') + 1);
    return {
        {clsid, L"", product::kClassDescription},
        {clsid + L"\\InprocServer32", L"", dllPath},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", L"", product::kProgIdVersioned},
        {clsid + L"\\VersionIndependentProgID", L"", product::kProgId},
        {clsid + L"\\TypeLib", L"", libid},
        {clsid + L"\\Version", L"", product::kTypeLibVersion},
        {product::kProgId, L"", product::kClassDescription},
        {std::wstring(product::kProgId) + L"\\CLSID", L"", guidText(CLSID_PlayerPlugin)},
        {std::wstring(product::kProgId) + L"\\CurVer", L"", product::kProgIdVersioned},
        {product::kProgIdVersioned, L"", product::kClassDescription},
        {std::wstring(product::kProgIdVersioned) + L"\\CLSID", L"", guidText(CLSID_PlayerPlugin)},
        {lib, L"", product::kName},
        {lib + L"\\FLAGS", L"", L"0"},
        {lib + L"\\HELPDIR", L"", dir},
        {lib + L"\\0\\win32", L"", dllPath},
        {itf, L"", L"_PlayerPlugin"},
        {itf + L"\\ProxyStubClsid", L"", oleMarshaler},
        {itf + L"\\ProxyStubClsid32", L"", oleMarshaler},
        {itf + L"\\TypeLib", L"", libid},
        {itf + L"\\TypeLib", L"Version", product::kTypeLibVersion},
    };
}

// The top-level keys that belong to us alone; removing them removes it all.
std::vector<std::wstring> ownedTrees() {
    return {
        L"CLSID\\" + guidText(CLSID_PlayerPlugin),
        product::kProgId,
        product::kProgIdVersioned,
        L"TypeLib\\" + guidText(LIBID_Tunecaster),
        L"Interface\\" + guidText(IID__PlayerPlugin),
    };
}

HKEY rootOf(Scope scope) {
    return scope == Scope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

} // namespace

HRESULT registerServer(Scope scope) {
    const std::wstring dll = module::path();
    if (dll.empty()) return HRESULT_FROM_WIN32(GetLastError());
    RegKey classes = reg::create(rootOf(scope), L"Software\\Classes", KEY_ALL_ACCESS);
    if (!classes) return SELFREG_E_CLASS;
    for (const Entry& e : entries(dll)) {
        RegKey key = reg::create(classes.get(), e.path, KEY_SET_VALUE);
        LSTATUS rc = key ? reg::setString(key.get(), e.name, e.value) : ERROR_ACCESS_DENIED;
        if (rc != ERROR_SUCCESS) {
            unregisterServer(scope);
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

HRESULT unregisterServer(Scope scope) {
    RegKey classes = reg::open(rootOf(scope), L"Software\\Classes", KEY_ALL_ACCESS);
    if (!classes) return S_OK; // nothing of ours can be there
    HRESULT result = S_OK;
    for (const std::wstring& tree : ownedTrees()) {
        LSTATUS rc = RegDeleteTreeW(classes.get(), tree.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
    }
    return result;
}

} // namespace tc
