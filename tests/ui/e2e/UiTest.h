#pragma once
// Drives the plug-in's dialogs as a user would, through the real DLL: the
// test thread sends the command (which returns only once the dialog has
// closed) while a script on a second thread finds the dialog, reads and sets
// its controls and clicks its buttons with window messages.
#include "tests/support/HostedDll.h"
#include "tests/ui/UiSupport.h"
#include "ui/FormIds.h"

#include <functional>
#include <memory>

namespace tc::test {

// Posted, so that a click whose handler waits (a message box) does not hold
// the script.
void click(HWND dialog, int id);
// A key pressed on the control that has the focus in the UI thread.
void pressKey(DWORD uiThread, UINT virtualKey, wchar_t character);
HWND focusOf(DWORD uiThread);

// What ParseCommand answered.
struct Outcome {
    HRESULT hr = E_UNEXPECTED;
    VARIANT_BOOL result = VARIANT_FALSE;
    std::wstring sResult;
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Sends `command` to ParseCommand while `script` runs; whatever the
    // script leaves open is closed afterwards so the command always returns.
    Outcome command(const wchar_t* text, const std::function<void()>& script,
                    const wchar_t* sResultIn = L"as passed");
    // ParseCommand alone, on this thread.
    Outcome parse(const wchar_t* text, const wchar_t* sResultIn);

    std::unique_ptr<HostedDll> dll_;
    ComPtr<_PlayerPlugin> plugin_;
    const DWORD uiThread_ = GetCurrentThreadId();
};

} // namespace tc::test
