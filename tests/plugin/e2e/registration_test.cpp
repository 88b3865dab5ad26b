// Registration, machine-wide and per user: what is written is enough for a
// host to create the plug-in, and removing it leaves the registry as it was.
#include "tests/plugin/e2e/PluginFixture.h"

#include <olectl.h>

#include <set>
#include <string>

namespace tc::test {
namespace {

const wchar_t* kClsidKey = L"Software\\Classes\\CLSID\\{E286386C-7D78-48AB-ABB7-A6C4FCCF37D5}";

std::set<std::wstring> subkeys(HKEY root, const std::wstring& path) {
    std::set<std::wstring> out;
    RegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return out;
    wchar_t name[512];
    for (DWORD i = 0;; ++i) {
        DWORD len = 512;
        if (RegEnumKeyExW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        out.insert(name);
    }
    return out;
}

// The parts of a Classes tree that registration may touch.
struct Snapshot {
    std::set<std::wstring> top, clsid, iface, typelib;
    explicit Snapshot(HKEY root)
        : top(subkeys(root, L"Software\\Classes")),
          clsid(subkeys(root, L"Software\\Classes\\CLSID")),
          iface(subkeys(root, L"Software\\Classes\\Interface")),
          typelib(subkeys(root, L"Software\\Classes\\TypeLib")) {}
    bool operator==(const Snapshot& o) const {
        return top == o.top && clsid == o.clsid && iface == o.iface && typelib == o.typelib;
    }
};

bool samePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

using InstallFn = HRESULT(WINAPI*)(BOOL, LPCWSTR);
using PlainFn = HRESULT(WINAPI*)();

class RegistrationTest : public ::testing::Test {
protected:
    // Every test starts from the DLL loaded and registered nowhere.
    void SetUp() override {
        dll = dll_.module();
        ASSERT_NE(dll, nullptr);
        install = dll_.exportOf<InstallFn>("DllInstall");
        reg = dll_.exportOf<PlainFn>("DllRegisterServer");
        unreg = dll_.exportOf<PlainFn>("DllUnregisterServer");
        ASSERT_TRUE(install && reg && unreg);
        unreg();
        install(FALSE, L"user");
    }
    void TearDown() override {
        if (unreg) unreg();
        if (install) install(FALSE, L"user");
    }

    // What a host does with the registration alone.
    void expectCreatableByProgId() {
        ComPtr<_PlayerPlugin> obj;
        ASSERT_EQ(dll_.createPlugin(obj), S_OK);
    }

    void expectServerEntries(HKEY root) {
        std::wstring value;
        ASSERT_EQ(reg::getString(root, std::wstring(kClsidKey) + L"\\InprocServer32", L"", value),
                  ERROR_SUCCESS);
        EXPECT_TRUE(samePath(value, pluginDllPath())) << testing::PrintToString(value);
        ASSERT_EQ(reg::getString(root, std::wstring(kClsidKey) + L"\\InprocServer32",
                                 L"ThreadingModel", value),
                  ERROR_SUCCESS);
        EXPECT_EQ(value, L"Apartment");
        ASSERT_EQ(
            reg::getString(root, L"Software\\Classes\\Tunecaster.PlayerPlugin\\CLSID", L"", value),
            ERROR_SUCCESS);
        EXPECT_EQ(value, L"{E286386C-7D78-48AB-ABB7-A6C4FCCF37D5}");
        ASSERT_EQ(
            reg::getString(root,
                           L"Software\\Classes\\TypeLib\\{6984267E-C34E-4A55-A2B3-60D1B3B61659}"
                           L"\\1.0\\0\\win32",
                           L"", value),
            ERROR_SUCCESS);
        EXPECT_TRUE(samePath(value, pluginDllPath()));
    }

    HostedDll dll_;
    HMODULE dll = nullptr;
    InstallFn install = nullptr;
    PlainFn reg = nullptr, unreg = nullptr;
};

TEST_F(RegistrationTest, MachineWideRoundTripLeavesNothingBehind) {
    const Snapshot machineBefore(HKEY_LOCAL_MACHINE), userBefore(HKEY_CURRENT_USER);
    ASSERT_EQ(reg(), S_OK);
    expectServerEntries(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kClsidKey));
    expectCreatableByProgId();
    // Machine-wide, COM itself finds it.
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Tunecaster.PlayerPlugin", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_PlayerPlugin);
    ComPtr<IDispatch> obj;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, obj.putVoid()),
              S_OK);

    // The type library is found through the registry, as late binders do.
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_Tunecaster, 1, 0, 0x409, lib.put()), S_OK);
    // Also on a Windows in another language, whose lookups fall back to the
    // neutral locale, never to English.
    const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    EXPECT_EQ(LoadRegTypeLib(LIBID_Tunecaster, 1, 0, german, lib.put()), S_OK);

    ASSERT_EQ(unreg(), S_OK);
    EXPECT_TRUE(Snapshot(HKEY_LOCAL_MACHINE) == machineBefore);
    EXPECT_TRUE(Snapshot(HKEY_CURRENT_USER) == userBefore);
    EXPECT_EQ(unreg(), S_OK) << "unregistering twice is harmless";
}

TEST_F(RegistrationTest, PerUserRoundTripTouchesOnlyTheCurrentUser) {
    const Snapshot machineBefore(HKEY_LOCAL_MACHINE), userBefore(HKEY_CURRENT_USER);
    ASSERT_EQ(install(TRUE, L"user"), S_OK);
    expectServerEntries(HKEY_CURRENT_USER);
    EXPECT_TRUE(Snapshot(HKEY_LOCAL_MACHINE) == machineBefore);
    expectCreatableByProgId();

    ASSERT_EQ(install(FALSE, L"user"), S_OK);
    EXPECT_TRUE(Snapshot(HKEY_CURRENT_USER) == userBefore);
    EXPECT_TRUE(Snapshot(HKEY_LOCAL_MACHINE) == machineBefore);

    // Any other command line is refused and writes nothing.
    EXPECT_EQ(install(TRUE, L"everyone"), E_INVALIDARG);
    EXPECT_TRUE(Snapshot(HKEY_CURRENT_USER) == userBefore);
    EXPECT_TRUE(Snapshot(HKEY_LOCAL_MACHINE) == machineBefore);
}

DWORD runAndWait(std::wstring commandLine) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return static_cast<DWORD>(-1);
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

TEST_F(RegistrationTest, Regsvr32PerUserSwitchesRegisterAndRemove) {
    const std::wstring quoted = L"\"" + pluginDllPath() + L"\"";
    ASSERT_EQ(runAndWait(L"regsvr32.exe /s /n /i:user " + quoted), 0u);
    expectServerEntries(HKEY_CURRENT_USER);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kClsidKey));
    ASSERT_EQ(runAndWait(L"regsvr32.exe /s /u /n /i:user " + quoted), 0u);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kClsidKey));
}

TEST_F(RegistrationTest, ClassObjectAndUnloadRules) {
    auto getClassObject =
        dll_.exportOf<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    auto canUnload = dll_.exportOf<PlainFn>("DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnload);

    ComPtr<IClassFactory> factory;
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(canUnload(), S_OK) << "nothing exists yet";

    ASSERT_EQ(getClassObject(CLSID_PlayerPlugin, IID_IClassFactory, factory.putVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnload(), S_OK);

    ComPtr<IUnknown> outer;
    const DWORD started = GetTickCount();
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, outer.putVoid()), S_OK);
    IUnknown* aggregate = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown,
                                      reinterpret_cast<void**>(&aggregate)),
              CLASS_E_NOAGGREGATION);
    outer.reset();
    // The background work started with the first object is never torn down,
    // so the DLL must stay loaded even with no object left.
    EXPECT_EQ(canUnload(), S_FALSE);
    // A host may free the library or end COM without asking: the timer and
    // the messenger's events point into the DLL, so it stays all the same,
    // and the next tick of the real one-second timer runs in it.
    for (int i = 0; i < 8; ++i) FreeLibrary(dll);
    CoFreeUnusedLibraries();
    EXPECT_EQ(GetModuleHandleW(L"tunecaster.dll"), dll);
    DWORD tickedAt = 0;
    for (MSG msg; !tickedAt && GetTickCount() - started < 5000;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && !msg.hwnd && msg.lParam) tickedAt = GetTickCount();
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    ASSERT_NE(tickedAt, 0u) << "hang guard: the timer did not tick within 5 s";
    EXPECT_GE(tickedAt - started, 800u) << "one tick a second, not sooner";
}

} // namespace
} // namespace tc::test
