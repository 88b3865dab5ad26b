// The delivery's waits on the window system: for the keys to be read, and
// for a window to come to the front, each bounded.
#include "sim/common/ImportHook.h"
#include "tests/delivery/DeliveryTest.h"

#include <memory>

namespace tc::test {
namespace {

class KeyWaits : public DeliveryTest {};

// The system may deliver synthesised keys a moment after SendInput returns,
// as Windows' input thread does: here a thread of ours sends them 20 ms
// later.
void* g_sendInput = nullptr;
struct LateKeys {
    std::vector<INPUT> keys;
    int size;
};
DWORD WINAPI sendLater(void* p) {
    std::unique_ptr<LateKeys> late(static_cast<LateKeys*>(p));
    Sleep(20);
    reinterpret_cast<UINT(WINAPI*)(UINT, LPINPUT, int)>(g_sendInput)(
        static_cast<UINT>(late->keys.size()), late->keys.data(), late->size);
    return 0;
}
UINT WINAPI lateSendInput(UINT n, LPINPUT in, int size) {
    auto* late = new LateKeys{std::vector<INPUT>(in, in + n), size};
    if (HANDLE t = CreateThread(nullptr, 0, sendLater, late, 0, nullptr)) CloseHandle(t);
    return n;
}

// The wait for the keys ends once our own Alt+0 has been read, not on keys
// the user typed just before: hiding the conversation earlier would leave
// our keys to whichever window comes next.
TEST_F(KeyWaits, TheKeyWaitEndsOnOurOwnKeysNotOnTheUsersTyping) {
    HWND debug = hiddenDebugConversation();
    frontWindow();
    INPUT typed[4] = {};
    for (int i = 0; i < 4; ++i) {
        typed[i].type = INPUT_KEYBOARD;
        typed[i].ki.wVk = i < 2 ? 'A' : 'B';
        typed[i].ki.dwFlags = i % 2 ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(SendInput(4, typed, sizeof(INPUT)), 4u);
    userPauses(); // with the keys still queued
    sim::ImportHook late("user32.dll", "SendInput", reinterpret_cast<void*>(&lateSendInput),
                         &g_sendInput);
    wantSong();
    EXPECT_EQ(conversation(debug).hotKeys, 1) << "read before the delivery returned";
}

// The wait for the front is bounded and sleeps between its attempts: a
// busy loop would ask thousands of times within the bound.
TEST_F(KeyWaits, AConversationThatNeverComesToTheFrontGetsNoKeysAndTheCallReturns) {
    HWND debug = hiddenDebugConversation();
    messenger().setRefuseForeground(debug, true);
    HWND front = frontWindow();
    deliver();
    EXPECT_LT(conversation(debug).activations, 50) << "attempts to bring it to the front";
    deliver();
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 0);
    EXPECT_EQ(messenger().strayHotKeys(), 0);
    ASSERT_EQ(debugConversations().size(), 1u) << "the same conversation, not a new one each time";
    EXPECT_FALSE(IsWindowVisible(debug));
    EXPECT_EQ(GetForegroundWindow(), front);

    // It comes to the front again: the next change goes through it.
    messenger().setRefuseForeground(debug, false);
    deliver();
    EXPECT_EQ(newSends(), Sends({kPlaying}));

    // A new one that refuses the front from its opening ends just as well.
    messenger().closeConversation(debug);
    messenger().setNewWindowsRefuseForeground(true);
    frontWindow();
    deliver();
    const std::vector<sim::Conversation> opened = debugConversations();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_FALSE(opened[0].visible);
}

} // namespace
} // namespace tc::test
