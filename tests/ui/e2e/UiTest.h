#pragma once
// Drives the plug-in's dialogs as a user would, through the real DLL: the
// test thread sends the command (which returns only once the dialog has
// closed) while a script on a second thread finds the dialog, reads and sets
// its controls and clicks its buttons with window messages.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "platform/Handles.h"
#include "tests/support/TestSupport.h"
#include "ui/FormIds.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <thread>

namespace tc::test {

inline constexpr const wchar_t* kDataPath = L"Software\\Dorvin's Tunecaster\\Data";

// All values of the plug-in's settings section, by name.
using Settings = std::map<std::wstring, std::wstring>;
Settings storedSettings();
void storeSetting(const std::wstring& key, const std::wstring& value);

// --- for scripts, on the second thread ------------------------------------
// The first visible top-level window of that class, waited for.
HWND waitForWindow(const wchar_t* className, DWORD ms = 10000);
bool waitGone(HWND window, DWORD ms = 5000);
std::wstring textOf(HWND window);
void setTextOf(HWND window, const std::wstring& text);
bool isChecked(HWND dialog, int id);
// Posted, so that a click whose handler waits (a message box) does not hold
// the script.
void click(HWND dialog, int id);
// A key pressed on the control that has the focus in the UI thread.
void pressKey(DWORD uiThread, UINT virtualKey, wchar_t character);
HWND focusOf(DWORD uiThread);
// A message box of that thread showing `text`, waited for; null if none came.
HWND waitForMessageBox(DWORD uiThread, const std::wstring& text, DWORD ms = 10000);
// Rect of a child in its parent's client coordinates.
RECT childRect(HWND dialog, int id);

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    struct Outcome {
        HRESULT hr = E_UNEXPECTED;
        VARIANT_BOOL result = VARIANT_FALSE;
        std::wstring sResult;
    };
    // Sends `command` to ParseCommand while `script` runs; whatever the
    // script leaves open is closed afterwards so the command always returns.
    Outcome command(const wchar_t* text, const std::function<void()>& script,
                    const wchar_t* sResultIn = L"as passed");

    ComPtr<_PlayerPlugin> plugin_;
    DWORD uiThread_ = GetCurrentThreadId();
    HMODULE dll_ = nullptr;
    HRESULT(WINAPI* install_)(BOOL, LPCWSTR) = nullptr;
};

} // namespace tc::test
