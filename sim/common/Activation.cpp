#include "sim/common/Activation.h"

#include "platform/ComPtr.h"

#include <string>

namespace tc::sim {
namespace {

bool readDefault(const std::wstring& path, const wchar_t* name, std::wstring& out) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY key = nullptr;
        std::wstring full = L"Software\\Classes\\" + path;
        if (RegOpenKeyExW(root, full.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
        wchar_t buf[1024] = {};
        DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
        LSTATUS rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            out = buf;
            return true;
        }
    }
    return false;
}

} // namespace

HRESULT createFromRegistration(const wchar_t* progIdOrClsid, REFIID iid, void** out) {
    if (!out || !progIdOrClsid) return E_POINTER;
    *out = nullptr;
    std::wstring name = progIdOrClsid, clsidText;
    if (!name.empty() && name[0] == L'{') clsidText = name;
    else if (!readDefault(name + L"\\CLSID", nullptr, clsidText)) return CO_E_CLASSSTRING;
    CLSID clsid;
    HRESULT hr = CLSIDFromString(clsidText.c_str(), &clsid);
    if (FAILED(hr)) return hr;

    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out);
    if (hr != REGDB_E_CLASSNOTREG) return hr;

    std::wstring dll;
    if (!readDefault(L"CLSID\\" + clsidText + L"\\InprocServer32", nullptr, dll))
        return REGDB_E_CLASSNOTREG;
    HMODULE module = LoadLibraryW(dll.c_str()); // kept loaded, as COM keeps it
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (!get) return CO_E_ERRORINDLL;
    ComPtr<IClassFactory> factory;
    hr = get(clsid, IID_IClassFactory, factory.putVoid());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, iid, out);
}

} // namespace tc::sim
