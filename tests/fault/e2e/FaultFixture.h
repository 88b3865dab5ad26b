#pragma once
// The real DLL, created from its per-user registration as a host does, with
// the messenger stand-in and player windows on this same thread. The
// plug-in's one-second timer ticks whenever the test pumps messages.
//
// Every test starts from user data that the plug-in must never lose: its own
// settings and an unrelated value of the add-on's tree. Tests check them again
// at the end.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "sim/common/Activation.h"
#include "sim/messenger/SimMessenger.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace tc::test {

inline constexpr const wchar_t* kSettingsPath = L"Software\\Dorvin's Tunecaster\\Data";
inline constexpr const wchar_t* kUser = L"ann@example.com";
inline const std::wstring kPlaying = L"/name Ann listening: (!WAT)";
inline const std::wstring kPlain = L"/name Ann";

// A value under HKEY_CURRENT_USER, raw: type and bytes.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool operator==(const RawValue& o) const { return type == o.type && bytes == o.bytes; }
};

inline bool readRaw(const std::wstring& path, const std::wstring& name, RawValue& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LSTATUS rc = RegQueryValueExW(key, name.c_str(), nullptr, &out.type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        out.bytes.assign(size, 0);
        rc = RegQueryValueExW(key, name.c_str(), nullptr, &out.type,
                              out.bytes.empty() ? nullptr : out.bytes.data(), &size);
        out.bytes.resize(size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

inline void writeRaw(const std::wstring& path, const std::wstring& name, DWORD type,
                     const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

inline void putSetting(const wchar_t* name, const std::wstring& value) {
    writeRaw(kSettingsPath, name, REG_SZ, value.c_str(),
             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Every value of a key, by name.
inline std::map<std::wstring, RawValue> allValues(const std::wstring& path) {
    std::map<std::wstring, RawValue> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLen = 16384;
        if (RegEnumValueW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        RawValue v;
        if (readRaw(path, std::wstring(name, nameLen), v)) out[std::wstring(name, nameLen)] = v;
    }
    RegCloseKey(key);
    return out;
}

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        wipeUserState();
        putSetting(L"onOff", L"1");
        putSetting(L"CurrentName", L"1");
        putSetting(L"CustomName", L"0");
        putSetting(L"CurrentTag", L"listening:");
        putSetting(L"CustomNameNotPl", L"Away");
        putSetting(L"CustomNamePl", L"Ann on air");
        putSetting(L"CustomTagPl", L"~");
        // The add-on's own data beside the slot the plug-in writes.
        const std::wstring other = L"Software\\Venmoor\\Kestrix2\\" + std::wstring(kUser) +
                                   L"\\Preferences\\QuickTexts\\QuickText01";
        putOther(other, L"Message", L"brb");
        putOther(L"Software\\Venmoor\\Kestrix2\\" + std::wstring(kUser) + L"\\Preferences",
                 L"Theme", L"dark");
        messenger().reset();
        messenger().setFriendlyName(L"Ann");
        if (registerMessenger_) {
            ASSERT_EQ(messenger().registerClass(), S_OK);
        }
        dll_ = LoadLibraryW(pluginDllPath().c_str());
        ASSERT_NE(dll_, nullptr);
        install_ = dllExport<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(dll_, "DllInstall");
        ASSERT_NE(install_, nullptr);
        ASSERT_EQ(install_(TRUE, L"user"), S_OK);
        settingsBefore_ = allValues(kSettingsPath);
    }
    void TearDown() override {
        if (install_) install_(FALSE, L"user");
    }

    static sim::SimMessenger& messenger() { return sim::SimMessenger::instance(); }

    ComPtr<_PlayerPlugin> createPlugin() {
        ComPtr<_PlayerPlugin> p;
        EXPECT_EQ(sim::createFromRegistration(L"Tunecaster.PlayerPlugin", IID__PlayerPlugin,
                                              p.putVoid()),
                  S_OK);
        return p;
    }

    // The plug-in, and a conversation of the user's own in front, where the
    // name commands go.
    ComPtr<_PlayerPlugin> startWatching() {
        ComPtr<_PlayerPlugin> p = createPlugin();
        conversation_ = messenger().openConversation(L"bob@example.com");
        return p;
    }

    void putOther(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
        writeRaw(path, name, REG_SZ, value.c_str(),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        others_.push_back({path, name, value});
    }

    // Nothing the user stored was lost or changed: the settings as they were
    // at the start (or as the test says they should now be) and the add-on's
    // other values.
    void expectUserDataKept(const std::map<std::wstring, RawValue>* settings = nullptr) {
        EXPECT_TRUE(allValues(kSettingsPath) == (settings ? *settings : settingsBefore_))
            << "the plug-in's settings changed";
        for (const auto& o : others_) {
            std::wstring now;
            EXPECT_TRUE(readString(HKEY_CURRENT_USER, o.path, o.name, now) && now == o.value)
                << "the add-on's value " << std::string(o.name.begin(), o.name.end())
                << " changed";
        }
    }

    std::vector<std::wstring> newSends() {
        std::vector<std::wstring> out;
        auto all = messenger().timeline();
        for (size_t i = seen_; i < all.size(); ++i) out.push_back(all[i].text);
        seen_ = all.size();
        return out;
    }
    // Pumps until `count` more texts have been sent (or `ms` passed), then a
    // little longer to catch extra ones, and returns what was sent.
    std::vector<std::wstring> expectSends(size_t count, DWORD ms = 3500) {
        messenger().waitForSend(seen_ + count - 1, ms);
        pump(300);
        return newSends();
    }
    std::vector<std::wstring> quietFor(DWORD ms = 2500) {
        pump(ms);
        return newSends();
    }

    // Pumps for `ms` and reports the longest time one dispatched message
    // (a timer tick among them) held the thread.
    DWORD longestDispatch(DWORD ms) {
        DWORD longest = 0;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                const DWORD before = GetTickCount();
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                longest = std::max(longest, GetTickCount() - before);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return longest;
    }

    struct Other {
        std::wstring path, name, value;
    };
    bool registerMessenger_ = true;
    HMODULE dll_ = nullptr;
    HRESULT(WINAPI* install_)(BOOL, LPCWSTR) = nullptr;
    HWND conversation_ = nullptr;
    size_t seen_ = 0;
    std::vector<Other> others_;
    std::map<std::wstring, RawValue> settingsBefore_;
};

using Sends = std::vector<std::wstring>;

inline std::wstring slotPath(const std::wstring& signin) { return sim::quickTextPath(signin); }

} // namespace tc::test
