// Input nobody should send but somebody will: settings of the wrong registry
// type, window titles full of control characters, bytes the code page has no
// character for, 64 KB of text, and friendly names of nothing or of 10,000
// characters. The title only tells the watcher that something changed; the
// names go into the command whole.
#include "tests/support/FaultFixture.h"

using tc::sim::PlayerSim;
using namespace tc::test;

namespace {

std::wstring repeat(const std::wstring& unit, size_t length) {
    std::wstring out;
    while (out.size() < length) out += unit;
    out.resize(length);
    return out;
}

} // namespace

// --- Settings of the wrong type ------------------------------------------------

TEST_F(FaultTest, BinaryTagReadsAsEmptyAndStaysAsStored) {
    const BYTE tag[] = {'l', 0, 'i', 0, 0xff, 0xfe, 0, 0, 7};
    writeRaw(kSettingsPath, L"CurrentTag", REG_BINARY, tag, sizeof tag);
    const auto stored = allValues(kSettingsPath);
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(expectSends(1), Sends({L"/name Ann  (!WAT)"}));
    player.close();
    EXPECT_EQ(expectSends(1), Sends({kPlain}));
    expectUserDataKept(&stored);
}

TEST_F(FaultTest, DwordSwitchWrittenWhileRunningReadsAsOffAndIsLeftAlone) {
    auto plugin = startWatching();
    const DWORD on = 1;
    writeRaw(kSettingsPath, L"onOff", REG_DWORD, &on, sizeof on);
    const auto stored = allValues(kSettingsPath);
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(quietFor(2500), Sends{}) << "only the text \"1\" switches the watcher on";
    expectUserDataKept(&stored);

    putSetting(L"onOff", L"1");
    player.play(2);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
}

TEST_F(FaultTest, DwordSwitchAtStartUpReadsAsMissingAndIsSeeded) {
    const DWORD off = 0;
    writeRaw(kSettingsPath, L"onOff", REG_DWORD, &off, sizeof off);
    auto plugin = startWatching();
    RawValue now;
    ASSERT_TRUE(readRaw(kSettingsPath, L"onOff", now));
    EXPECT_EQ(now.type, static_cast<DWORD>(REG_SZ));
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
}

TEST_F(FaultTest, ModeFlagsOfOtherTypesLeaveBothModesOff) {
    const DWORD one = 1;
    writeRaw(kSettingsPath, L"CurrentName", REG_DWORD, &one, sizeof one);
    const wchar_t multi[] = L"1\0" L"1\0";
    writeRaw(kSettingsPath, L"CustomName", REG_MULTI_SZ, multi, sizeof multi);
    const auto stored = allValues(kSettingsPath);
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_LT(longestDispatch(2500), 2500u);
    player.close();
    EXPECT_EQ(quietFor(2200), Sends{}) << "no mode, nothing composed, nothing sent";
    expectUserDataKept(&stored);
}

TEST_F(FaultTest, CustomNamesOfOtherTypesReadAsEmpty) {
    putSetting(L"CurrentName", L"0");
    putSetting(L"CustomName", L"1");
    const wchar_t expand[] = L"%USERNAME% rocks";
    writeRaw(kSettingsPath, L"CustomNamePl", REG_EXPAND_SZ, expand, sizeof expand);
    const BYTE junk[] = {0, 0, 0};
    writeRaw(kSettingsPath, L"CustomNameNotPl", REG_BINARY, junk, sizeof junk);
    const auto stored = allValues(kSettingsPath);
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(expectSends(1), Sends({L"/name  ~ (!WAT)"}));
    player.close();
    EXPECT_EQ(expectSends(1), Sends({L"/name "}));
    expectUserDataKept(&stored);
}

// --- Window titles ---------------------------------------------------------------

TEST_F(FaultTest, HostileSecondGenerationTitlesAreJustChanges) {
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    const HWND w = player.mainWindow();

    // Control characters.
    SetWindowTextW(w, L"\x01\x02\t\r\n\x1b[31mred\x7f\x08 - Winamp");
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    // Bytes with no character, or no complete one, in the code page.
    SetWindowTextA(w, "\x81\x8d\x8f\x90\x9d\xff\xfe\xe0\xa0\xc3 - Winamp");
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    // UTF-16 that no code page can hold: halves of surrogate pairs, non-characters.
    SetWindowTextW(w, L"\xD800 \xDC00 \xFFFF \xFFFE \xD83D\xDE00 - Winamp");
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    EXPECT_EQ(quietFor(2200), Sends{}) << "an unchanged hostile title is no change";

    // 64 KB: only the first 2047 characters count.
    const std::wstring big = repeat(L"0123456789abcdef\x01", 65536);
    SetWindowTextW(w, big.c_str());
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    std::wstring sameStart = big;
    sameStart.replace(3000, 10, L"##########");
    SetWindowTextW(w, sameStart.c_str());
    EXPECT_EQ(quietFor(2200), Sends{}) << "a difference after character 2047 is not seen";
    std::wstring early = big;
    early[2000] = L'#';
    SetWindowTextW(w, early.c_str());
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));

    player.close();
    EXPECT_EQ(expectSends(1), Sends({kPlain}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann") << "no title ever reaches the name";
    expectUserDataKept();
}

TEST_F(FaultTest, HostileThirdGenerationTitlesAreReadWhole) {
    auto plugin = startWatching();
    PlayerSim player(3);
    ASSERT_TRUE(player.open());
    const HWND w = player.titleWindow();

    const std::wstring big = repeat(L"\x01\x1f\xD800 abc ", 65536);
    SetWindowTextW(w, big.c_str());
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    std::wstring lastChanged = big;
    lastChanged.back() = L'!';
    SetWindowTextW(w, lastChanged.c_str());
    EXPECT_EQ(expectSends(1), Sends({kPlaying})) << "the whole text counts, to its last character";
    EXPECT_EQ(quietFor(2200), Sends{});
    SetWindowTextA(w, "\x81\x8d\xff");
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    SetWindowTextW(w, L"");
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));

    player.close();
    EXPECT_EQ(expectSends(1), Sends({kPlain}));
    expectUserDataKept();
}

// --- Friendly names ---------------------------------------------------------------

TEST_F(FaultTest, EmptyFriendlyNameComposesNothingNew) {
    messenger().setFriendlyName(L"");
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(quietFor(2500), Sends{}) << "nothing composed yet, so nothing to send";
    std::wstring slot;
    EXPECT_FALSE(readString(HKEY_CURRENT_USER, slotPath(kUser), L"Message", slot));

    messenger().setFriendlyName(L"Ann");
    player.play(2);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    // Empty again: nothing new is composed, so nothing at all is sent,
    // neither a broken command nor the last one again.
    messenger().setFriendlyName(L"");
    player.close();
    EXPECT_EQ(quietFor(2500), Sends{});
    expectUserDataKept();
}

TEST_F(FaultTest, TenThousandCharacterFriendlyNameGoesThroughWhole) {
    const std::wstring huge = repeat(L"Ann-Lee ", 10000);
    messenger().setFriendlyName(huge);
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    // The delimiter " listening:" does not occur: the whole name is the base.
    EXPECT_EQ(expectSends(1), Sends({L"/name " + huge + L" listening: (!WAT)"}));
    EXPECT_EQ(messenger().friendlyName(), huge + L" listening: (!WAT)");
    player.play(2);
    EXPECT_EQ(expectSends(1), Sends({L"/name " + huge + L" listening: (!WAT)"}))
        << "the tag is cut off before it is added again";
    player.close();
    EXPECT_EQ(expectSends(1), Sends({L"/name " + huge}));
    EXPECT_EQ(messenger().friendlyName(), huge);
    expectUserDataKept();
}
