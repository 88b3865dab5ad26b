// What quick-text slot 09 holds: only a command this delivery wrote gets the
// keys, the user's own text is kept and given back, and nothing beside the
// slot is touched.
#include "tests/delivery/DeliveryTest.h"

namespace tc::test {
namespace {

class SlotWrites : public DeliveryTest {};

TEST_F(SlotWrites, AutoSendIsMadeNonZeroAndOtherwiseLeftAlone) {
    messenger().openConversation(L"bob@example.com");
    const struct {
        const char* what;
        std::function<void()> prepare;
        DWORD expected;
    } cases[] = {
        {"2 stays", [] { putSlot(L"old", 2); }, 2},
        {"-1 stays", [] { putSlot(L"old", 0xFFFFFFFFu); }, 0xFFFFFFFFu},
        {"0 becomes 1", [] { putSlot(L"old", 0); }, 1},
        {"missing becomes 1", [] { RegDeleteTreeW(HKEY_CURRENT_USER, kAddOnKey); }, 1},
        {"text '1' becomes DWORD 1",
         [] { writeRaw(slotOf(kUser), L"AutoSend", rawOf(REG_SZ, L"1", 4)); }, 1},
    };
    for (const auto& c : cases) {
        c.prepare();
        wantSong();
        EXPECT_EQ(autoSend(), dword(c.expected)) << c.what;
        EXPECT_EQ(slotMessage(), kPlaying) << c.what;
        EXPECT_EQ(newSends(), Sends({kPlaying})) << c.what;
    }
}

// The hot key sends whatever the slot holds: unless this delivery wrote its
// command there, that is an old text, maybe the user's own. A user signed
// out, sign-in names that cannot name the slot (or would lead elsewhere in
// the registry) and a slot whose content cannot be saved first all leave
// it, and everything outside the add-on's slot, alone; the name waits.
TEST_F(SlotWrites, NoKeyUnlessThisDeliveryWroteTheSlot) {
    putNeighbours();
    messenger().openConversation(L"bob@example.com");
    wantSong();
    ASSERT_EQ(newSends(), Sends({kPlaying}));
    putSlot(L"/name Someone else", 1);
    putSetting(keys::CustomName, L"1");
    putSetting(keys::CustomNamePl, L"DJ Ann");
    const std::wstring custom = L"/name DJ Ann  (!WAT)";

    // Signed out: whose slot it would be cannot be told, so nothing is
    // composed.
    messenger().setSignedIn(false);
    wantSong();
    EXPECT_TRUE(delivery().waiting());
    messenger().setSignedIn(true);
    const auto settings = allValues(kSettingsPath);

    for (const std::wstring& name :
         {std::wstring(), std::wstring(L".."), std::wstring(L"..\\..\\Dorvin's Tunecaster"),
          std::wstring(L"..\\..\\..\\Dorvin's Tunecaster\\Data"), std::wstring(L"\\..\\.."),
          std::wstring(L"ann@example.com\\x"), std::wstring(L"ann@example.com\0x", 17),
          std::wstring(300, L'a') + L"@example.com"}) {
        messenger().setSigninName(name);
        deliver();
        EXPECT_TRUE(delivery().waiting());
    }
    // The user's own slot content cannot be saved first (a key the registry
    // keeps volatile takes no lasting copies).
    messenger().setSigninName(kUser);
    RegDeleteTreeW(HKEY_CURRENT_USER, quickText::kSavedSlotsPath);
    RegKey saved;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, quickText::kSavedSlotsPath, 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, saved.put(), nullptr),
              ERROR_SUCCESS);
    clock().advance(kRestMilliseconds);
    wantSong();
    EXPECT_TRUE(delivery().waiting());

    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 1);
    EXPECT_EQ(messenger().instantMessageCalls(), 0);
    EXPECT_EQ(slotMessage(), L"/name Someone else");
    EXPECT_EQ(autoSend(), dword(1));
    EXPECT_EQ(subkeysOf(kKestrix), std::vector<std::wstring>{kUser});
    EXPECT_EQ(subkeysOf(kAddOnKey), std::vector<std::wstring>{L"Kestrix2"});
    for (const wchar_t* outside : {L"Software\\Preferences", L"Software\\Venmoor\\Preferences",
                                   L"Software\\Dorvin's Tunecaster\\Preferences",
                                   L"Software\\Dorvin's Tunecaster\\Data\\Preferences"})
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, outside)) << std::wstring(outside);
    EXPECT_EQ(allValues(kSettingsPath), settings);
    expectNeighboursKept();

    // The copy can be taken again: the name that waited goes out.
    saved = RegKey();
    RegDeleteTreeW(HKEY_CURRENT_USER, quickText::kSavedSlotsPath);
    clock().advance(kRestMilliseconds);
    EXPECT_EQ(tick(2), Sends({custom}));

    // A name that can be a key name, however odd, has its slot beside the
    // user's.
    const std::wstring odd = L"a\x263A\xD800@example.com";
    messenger().setSigninName(odd);
    wantSong();
    EXPECT_EQ(newSends(), Sends({custom}));
    EXPECT_EQ(subkeysOf(kKestrix), (std::vector<std::wstring>{kUser, odd}));
}

// A call that composed nothing has nothing new to say: before the first
// command it would press the key on whatever the slot held, after it it
// would send the previous command again.
TEST_F(SlotWrites, NothingComposedMeansNothingWrittenAndNoKeys) {
    // An empty friendly name, then neither mode on: both calls each time.
    auto composeNothing = [this] {
        messenger().setFriendlyName(L"");
        wantSong();
        wantPlain();
        putSetting(keys::CurrentName, L"0");
        messenger().setFriendlyName(L"Ann");
        const int reads = messenger().nameReads();
        wantSong();
        wantPlain();
        // An unused mode does not even ask for the friendly name: each wish
        // reads only who it is for.
        EXPECT_EQ(messenger().nameReads(), reads + 2);
    };
    putSlot(L"/name Old", 0);
    messenger().openConversation(L"bob@example.com");
    composeNothing();
    EXPECT_EQ(slotMessage(), L"/name Old");
    EXPECT_EQ(autoSend(), dword(0));
    EXPECT_EQ(messenger().hotKeyCount(), 0);

    putSetting(keys::CurrentName, L"1");
    wantSong();
    EXPECT_EQ(newSends(), Sends({kPlaying}));
    composeNothing();
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 1);
}

// The slot's content before the plug-in first wrote it is kept, once, and
// the copy gives it back exactly.
TEST_F(SlotWrites, TheUsersOwnQuickTextIsKeptAndGivenBack) {
    putSlot(L"see you at 8", 0);
    messenger().openConversation(L"bob@example.com");
    wantSong();
    wantPlain();
    ASSERT_EQ(newSends(), Sends({kPlaying, kPlain}));
    EXPECT_EQ(slotMessage(), kPlain);
    EXPECT_EQ(quickText::giveBackAll(), S_OK);
    EXPECT_EQ(slotMessage(), L"see you at 8");
    EXPECT_EQ(autoSend(), dword(0));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, quickText::kSavedSlotsPath));
}

TEST_F(SlotWrites, NamesOutsideTheAnsiCodePageAndOfTenThousandCharactersGoThroughWhole) {
    messenger().setSigninName(L"\u00e5sa\u2605@example.com");
    messenger().setFriendlyName(L"Ann \u2605");
    messenger().openConversation(L"bob@example.com");
    wantSong();
    wantPlain();
    EXPECT_EQ(newSends(), Sends({L"/name Ann \u2605 listening: (!WAT)", L"/name Ann \u2605"}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann \u2605");

    std::wstring huge;
    while (huge.size() < 10000) huge += L"Ann-Lee ";
    messenger().setFriendlyName(huge);
    wantSong();
    wantSong(); // the tag is cut off before it is added again
    wantPlain();
    const std::wstring playing = L"/name " + huge + L" listening: (!WAT)";
    EXPECT_EQ(newSends(), Sends({playing, playing, L"/name " + huge}));
    EXPECT_EQ(messenger().friendlyName(), huge);
}

} // namespace
} // namespace tc::test
