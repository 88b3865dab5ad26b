#pragma once
// The user coming back to this session: the workstation unlocked, or the
// session connected again to the console or a remote desktop. Windows says
// so with WM_WTSSESSION_CHANGE, to windows registered for it: a
// message-only window of this thread, whose messages the host's loop
// dispatches like any other.
#include "platform/Handles.h"

namespace tc::win {

class SessionReturns {
public:
    SessionReturns() = default;
    ~SessionReturns();
    SessionReturns(const SessionReturns&) = delete;
    SessionReturns& operator=(const SessionReturns&) = delete;

    // Makes the window and registers it, once. False while that cannot be
    // done yet: early in a boot the system's session services may not have
    // started (RPC_S_INVALID_BINDING), so the caller asks again later.
    bool listen();
    bool listening() const { return registered_; }
    // Whether the user came back since the last call.
    bool take();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    WindowHandle window_;
    bool registered_ = false;
    bool returned_ = false;
};

} // namespace tc::win
