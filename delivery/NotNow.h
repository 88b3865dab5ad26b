#pragma once
// Why a name cannot go out now. The rules are checked in this order before
// anything is written or asked of the window system; the first that holds
// keeps the wish waiting, and nothing is touched. Those marked `again` are
// checked once more just before the keys, since the user may have taken up
// the keyboard during the trip. A new rule is one row here and its check.
// The names are what the benchmark prints and the README lists.
#include "delivery/UserActivity.h"

#include <windows.h>

#include <string>

namespace tc {

// The window in front, and what it means for the delivery.
struct Front {
    enum Kind {
        Nothing,         // none: locked, a secure desktop, or the front passing on
        OurConversation, // one of this messenger's conversations
        Ours,            // another window of this process, or the desktop
        AnotherProgram,  // Windows lets no process take the front from it
    };
    HWND window = nullptr;
    Kind kind = Nothing;
};

inline constexpr const wchar_t* kConversationClass = L"IMWindowClass";
inline constexpr int kClassNameLimit = 250;

// Looks at the front now.
Front lookAtTheFront();

struct NotNowRule {
    const wchar_t* name;
    bool again;
    bool (*holds)(const Front& front, UserActivity& user);
};

extern const NotNowRule kNotNowRules[];
extern const size_t kNotNowRuleCount;

// The first rule that holds now, or null. Just before the keys, only those
// marked `again`.
const NotNowRule* notNow(const Front& front, UserActivity& user, bool justBeforeTheKeys = false);

} // namespace tc
