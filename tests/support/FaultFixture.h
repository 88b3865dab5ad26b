#pragma once
// The real DLL, created from its per-user registration as a host does, with
// the messenger stand-in and player windows on this same thread. The
// plug-in's one-second timer ticks whenever the test pumps messages.
//
// Every test starts from user data that the plug-in must never lose: its own
// settings and an unrelated value of the add-on's tree. Tests check them again
// at the end.
#include "sim/player/PlayerSim.h"
#include "tests/support/HostedPluginTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace tc::test {

inline constexpr const wchar_t* kSettingsPath = kSettingsKey;
inline constexpr const wchar_t* kUser = L"ann@example.com";

using RawValue = reg::RawValue;

inline bool readRaw(const std::wstring& path, const std::wstring& name, RawValue& out) {
    const std::optional<RawValue> value = test::readRaw(path, name);
    if (value) out = *value;
    return value.has_value();
}

inline void writeRaw(const std::wstring& path, const std::wstring& name, DWORD type,
                     const void* data, DWORD size) {
    EXPECT_TRUE(test::writeRaw(path, name, rawOf(type, data, size)));
}

class FaultTest : public HostedPluginTest {
protected:
    void SetUp() override {
        HostedPluginTest::SetUp();
        if (HasFatalFailure()) return;
        putSetting(L"onOff", L"1");
        putSetting(L"CustomNameNotPl", L"Away");
        putSetting(L"CustomNamePl", L"Ann on air");
        putSetting(L"CustomTagPl", L"~");
        // The add-on's own data beside the slot the plug-in writes.
        const std::wstring other = L"Software\\Venmoor\\Kestrix2\\" + std::wstring(kUser) +
                                   L"\\Preferences\\QuickTexts\\QuickText01";
        putOther(other, L"Message", L"brb");
        putOther(L"Software\\Venmoor\\Kestrix2\\" + std::wstring(kUser) + L"\\Preferences",
                 L"Theme", L"dark");
        settingsBefore_ = allValues(kSettingsPath);
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
    std::vector<Other> others_;
    std::map<std::wstring, RawValue> settingsBefore_;
};

inline std::wstring slotPath(const std::wstring& signin) { return sim::quickTextPath(signin); }

} // namespace tc::test
