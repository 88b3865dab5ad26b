#pragma once
// End-to-end base: the real DLL, registered for the current user and created
// from that registration as a host does, with the messenger stand-in on this
// same thread. The plug-in's one-second timer ticks whenever the test pumps
// messages. Starts every test in the current-name mode with the tag
// 'listening:' and the friendly name 'Ann'.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "sim/messenger/SimMessenger.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tc::test {

inline const std::wstring kPlaying = L"/name Ann listening: (!WAT)";
inline const std::wstring kPlain = L"/name Ann";
using Sends = std::vector<std::wstring>;

inline void putSetting(const wchar_t* name, const std::wstring& value) {
    ASSERT_TRUE(writeString(HKEY_CURRENT_USER, kSettingsKey, name, value));
}

class HostedPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        wipeUserState();
        putSetting(L"CurrentName", L"1");
        putSetting(L"CustomName", L"0");
        putSetting(L"CurrentTag", L"listening:");
        messenger().reset();
        messenger().setFriendlyName(L"Ann");
        if (registerMessenger_) {
            ASSERT_EQ(messenger().registerClass(), S_OK);
        }
        dll_ = std::make_unique<HostedDll>();
        ASSERT_TRUE(dll_->ok());
    }

    static sim::SimMessenger& messenger() { return sim::SimMessenger::instance(); }

    ComPtr<_PlayerPlugin> createPlugin() {
        ComPtr<_PlayerPlugin> p;
        EXPECT_EQ(dll_->createPlugin(p), S_OK);
        return p;
    }

    // The plug-in, and a conversation of the user's own in front, where the
    // name commands go.
    ComPtr<_PlayerPlugin> startWatching() {
        ComPtr<_PlayerPlugin> p = createPlugin();
        conversation_ = messenger().openConversation(L"bob@example.com");
        return p;
    }

    // What the add-on sent since the last call.
    std::vector<sim::SentText> newEntries() {
        auto all = messenger().timeline();
        std::vector<sim::SentText> out(all.begin() + static_cast<long>(seen_), all.end());
        seen_ = all.size();
        return out;
    }
    Sends newSends() {
        Sends out;
        for (const sim::SentText& s : newEntries()) out.push_back(s.text);
        return out;
    }
    // Pumps until `count` more texts have been sent (or `ms` passed), then a
    // little longer to catch extra ones, and returns what was sent.
    Sends expectSends(size_t count, DWORD ms = 3500) {
        messenger().waitForSend(seen_ + count - 1, ms);
        pump(300);
        return newSends();
    }
    // Pumps for `ms` and returns whatever was sent meanwhile.
    Sends quietFor(DWORD ms = 2500) {
        pump(ms);
        return newSends();
    }

    bool registerMessenger_ = true;
    std::unique_ptr<HostedDll> dll_;
    HWND conversation_ = nullptr;
    size_t seen_ = 0;
};

} // namespace tc::test
