#pragma once
// The delivery of the name command through quick text 09 and Alt+0, driven
// through the background work's own delivery; its waits read the test's
// clock, so a bound of 300 ms takes no real time.
#include "platform/Registry.h"
#include "tests/support/BackgroundTest.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tc::test {

inline const std::wstring kUser = L"ann@example.com";
inline const std::wstring kDebug = L"Debug.Window";
inline const std::wstring kKestrix = kAddOnRoot;
inline const std::wstring kPreferences = preferencesOf(kUser);

inline reg::RawValue dword(DWORD value) { return rawOf(REG_DWORD, &value, sizeof value); }

inline std::vector<std::wstring> subkeysOf(const std::wstring& path) {
    RegKey key;
    std::vector<std::wstring> names;
    if (reg::open(HKEY_CURRENT_USER, path, KEY_READ, key) == ERROR_SUCCESS)
        reg::subkeyNames(key.get(), names);
    return names;
}

class DeliveryTest : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        ASSERT_EQ(messenger().connectedSinks(), 1u) << "connected at start-up";
    }

    static std::wstring slotMessage() {
        std::wstring text;
        return (reg::getString(HKEY_CURRENT_USER, slotOf(kUser), L"Message", text) == ERROR_SUCCESS)
                   ? text
                   : L"<missing>";
    }
    static std::optional<reg::RawValue> autoSend() { return readRaw(slotOf(kUser), L"AutoSend"); }
    static void putSlot(const std::wstring& message, DWORD send) {
        ASSERT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, slotOf(kUser), L"Message", message));
        ASSERT_TRUE(writeRaw(slotOf(kUser), L"AutoSend", dword(send)));
    }

    // A debug conversation opened earlier and hidden, as a delivery leaves it.
    static HWND hiddenDebugConversation() {
        HWND d = messenger().openConversation(kDebug);
        ShowWindow(d, SW_HIDE);
        return d;
    }
    static std::vector<sim::Conversation> debugConversations() {
        std::vector<sim::Conversation> out;
        for (const sim::Conversation& c : messenger().conversations())
            if (c.contact == kDebug) out.push_back(c);
        return out;
    }
    // What the add-on sent since the last look, and into which window.
    using Sent = std::vector<std::pair<HWND, std::wstring>>;
    Sent sentTo() {
        Sent out;
        for (const sim::SentText& s : newEntries()) out.emplace_back(s.window, s.text);
        return out;
    }
    static sim::Conversation conversation(HWND w) {
        for (const sim::Conversation& c : messenger().conversations())
            if (c.window == w) return c;
        return {};
    }

    // One delivery: its waits keep within their budget on the test's
    // clock, and a bound far above that on the real one only catches a hang.
    void deliver(bool nowPlaying = true) {
        const DWORD start = GetTickCount(), waited = clock().now();
        if (nowPlaying) wantSong();
        else wantPlain();
        EXPECT_LE(clock().now() - waited, kDeliveryWaitMilliseconds);
        EXPECT_LT(GetTickCount() - start, 3000u) << "hang guard";
    }

    // The add-on's own values beside the slot, which no delivery may touch.
    static void putNeighbours() {
        ASSERT_TRUE(slotValues::writeString(
            HKEY_CURRENT_USER, kPreferences + L"\\QuickTexts\\QuickText01", L"Message", L"brb"));
        ASSERT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, kPreferences, L"Theme", L"dark"));
    }
    static void expectNeighboursKept() {
        std::wstring text, theme;
        reg::getString(HKEY_CURRENT_USER, kPreferences + L"\\QuickTexts\\QuickText01", L"Message",
                       text);
        reg::getString(HKEY_CURRENT_USER, kPreferences, L"Theme", theme);
        EXPECT_EQ(text, L"brb");
        EXPECT_EQ(theme, L"dark");
    }
};

} // namespace tc::test
