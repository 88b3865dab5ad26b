#pragma once
// The name-changing form driven directly, against the messenger stand-in
// living in this same process and thread.
#include "messenger/IMessenger.h"
#include "messenger/frmSendText.h"
#include "platform/Handles.h"
#include "settings/SettingsStore.h"
#include "sim/messenger/SimMessenger.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace tc::test {

inline const std::wstring kSlot =
    L"Software\\Venmoor\\Kestrix2\\ann@example.com\\Preferences\\QuickTexts\\QuickText09";

class MessengerTest : public ::testing::Test {
public:
    // The test's own form, loaded once the messenger stand-in is set up. It
    // lives as long as the process, as the product's does: the messenger
    // keeps its event sink, which points at it.
    static frmSendText& form() {
        static frmSendText* form = new frmSendText(systemClock());
        return *form;
    }

protected:
    void SetUp() override {
        wipeUserState();
        sim().reset();
        if (messengerRunning_) {
            ASSERT_EQ(sim().registerClass(), S_OK);
        }
        loadResult_ = form().load();
    }

    static sim::SimMessenger& sim() { return sim::SimMessenger::instance(); }
    static void currentNameMode(const std::wstring& tag = L"listening:") {
        ASSERT_EQ(writeSetting(keys::CurrentName, L"1"), S_OK);
        ASSERT_EQ(writeSetting(keys::CurrentTag, tag), S_OK);
    }

    static LONG readDword(const std::wstring& path, const wchar_t* name, DWORD* type = nullptr) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return -999;
        DWORD value = 0, size = sizeof value, t = 0;
        LSTATUS rc = RegQueryValueExW(key, name, nullptr, &t, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        if (type) *type = t;
        return rc == ERROR_SUCCESS ? static_cast<LONG>(value) : -999;
    }
    static void putSlot(const std::wstring& message, DWORD autoSend) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSlot.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"Message", 0, REG_SZ, reinterpret_cast<const BYTE*>(message.c_str()),
                       static_cast<DWORD>((message.size() + 1) * sizeof(wchar_t)));
        RegSetValueExW(key, L"AutoSend", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&autoSend),
                       sizeof autoSend);
        RegCloseKey(key);
    }
    static std::wstring slotMessage() {
        std::wstring text;
        return readString(HKEY_CURRENT_USER, kSlot, L"Message", text) ? text : L"<missing>";
    }

    // A plain window of this test in front, so that no conversation is.
    HWND frontWindow(const wchar_t* className = L"TcTestFront", HINSTANCE module = nullptr) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = module ? module : GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassW(&wc);
        HWND w = CreateWindowExW(0, className, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300,
                                 200, 150, nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(w);
        SetFocus(w);
        pump(50);
        return w;
    }

    // The conversations with that contact, in the order they opened.
    static std::vector<sim::Conversation> conversationsWith(const std::wstring& contact) {
        std::vector<sim::Conversation> out;
        for (const sim::Conversation& c : sim().conversations())
            if (c.contact == contact) out.push_back(c);
        return out;
    }

    bool messengerRunning_ = true;
    HRESULT loadResult_ = E_UNEXPECTED;
};

} // namespace tc::test
