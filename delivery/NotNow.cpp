#include "delivery/NotNow.h"

#include "platform/InputBox.h"
#include "platform/Win32.h"

namespace tc {

// The desktop window is nobody's: Wine reports it in front while no window
// is active. No window in front at all is not nobody's.
Front lookAtTheFront() {
    Front f;
    f.window = GetForegroundWindow();
    if (!f.window) f.kind = Front::Nothing;
    else if (f.window == GetDesktopWindow()) f.kind = Front::Ours;
    else if (!win::ownedByThisProcess(f.window)) f.kind = Front::AnotherProgram;
    else if (win::className(f.window, kClassNameLimit) == kConversationClass)
        f.kind = Front::OurConversation;
    else f.kind = Front::Ours;
    return f;
}

const NotNowRule kNotNowRules[] = {
    // The workstation is locked, a secure desktop is up, or one window is
    // losing the front to another.
    {L"no window is in front", false,
     [](const Front& f, UserActivity&) { return f.kind == Front::Nothing; }},
    // Windows lets a process take the front only while it is its own or
    // nobody's, and the keys would go to that program; another messenger's
    // conversation too.
    {L"another program is in front", false,
     [](const Front& f, UserActivity&) { return f.kind == Front::AnotherProgram; }},
    // Locked, disconnected, another user's session, or a secure desktop over
    // a window still reported in front: the system refuses the front and
    // keys.
    {L"the desktop that takes input is not ours", false,
     [](const Front&, UserActivity&) { return !win::inputDesktopIsThisThreads(); }},
    {L"the user is typing or holds a key or button", true,
     [](const Front&, UserActivity& user) { return user.busy(); }},
    // A composition gets its text without the keys the pause watches, may
    // stay open across it, and a key or the front taken away would end it.
    {L"an input method is composing", true,
     [](const Front&, UserActivity&) { return win::compositionOpen(GetFocus()); }},
};
const size_t kNotNowRuleCount = sizeof kNotNowRules / sizeof kNotNowRules[0];

const NotNowRule* notNow(const Front& front, UserActivity& user, bool justBeforeTheKeys) {
    for (const NotNowRule& rule : kNotNowRules)
        if ((!justBeforeTheKeys || rule.again) && rule.holds(front, user)) return &rule;
    return nullptr;
}

} // namespace tc
