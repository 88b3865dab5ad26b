// The settings store: round trips through the registry, and values the
// plug-in reads but does not control (another registry type, odd sizes),
// in the store and all the way to the display name.
#include "settings/SettingsStore.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

#include <gtest/gtest.h>

namespace tc::test {
namespace {

void putRaw(const wchar_t* key, DWORD type, const void* data, size_t bytes) {
    ASSERT_TRUE(writeRaw(kSettingsPath, key, rawOf(type, data, bytes)));
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { wipeUserState(); }
    void TearDown() override { wipeUserState(); }
};

TEST_F(SettingsStore, MissingValuesReadEmptyAndAWriteCreatesTheKeys) {
    EXPECT_EQ(readSetting(keys::onOff), L"");
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kSettingsPath));
    ASSERT_EQ(writeSetting(keys::onOff, L"1"), S_OK);
    EXPECT_EQ(readRaw(L"Software\\Dorvin's Tunecaster\\Data", L"onOff"), rawOf(REG_SZ, L"1", 4));
}

TEST_F(SettingsStore, EveryKeyKeepsItsOwnTextWhole) {
    for (const wchar_t* k : keys::all) ASSERT_EQ(writeSetting(k, std::wstring(k) + L"!"), S_OK);
    for (const wchar_t* k : keys::all) EXPECT_EQ(readSetting(k), std::wstring(k) + L"!");

    ASSERT_EQ(writeSetting(keys::CurrentTag, L""), S_OK);
    EXPECT_EQ(readSetting(keys::CurrentTag), L"");
    const std::wstring name = L"Ann \x2605 \x65E5\x672C \x0416";
    ASSERT_EQ(writeSetting(keys::CustomNamePl, name), S_OK);
    EXPECT_EQ(readSetting(keys::CustomNamePl), name);
    // Longer than any buffer a reader might start with.
    std::wstring longText(10000, L'x');
    longText[127] = L'\x2605';
    ASSERT_EQ(writeSetting(keys::CustomNameNotPl, longText), S_OK);
    EXPECT_EQ(readSetting(keys::CustomNameNotPl), longText);
}

TEST_F(SettingsStore, ValuesOfAnotherTypeReadAsEmptyAndStayAsTheyAre) {
    const DWORD one = 1;
    const ULONGLONG big = 1;
    const BYTE binary[] = {'1', 0};
    const wchar_t multi[] = L"1\0" L"1\0";
    const wchar_t expand[] = L"1";
    const reg::RawValue stored[] = {
        rawOf(REG_DWORD, &one, sizeof one),         rawOf(REG_QWORD, &big, sizeof big),
        rawOf(REG_BINARY, binary, sizeof binary),   rawOf(REG_MULTI_SZ, multi, sizeof multi),
        rawOf(REG_EXPAND_SZ, expand, sizeof expand), rawOf(REG_NONE, binary, sizeof binary),
        rawOf(REG_DWORD_BIG_ENDIAN, &one, sizeof one)};
    // Each key gets one of the types in turn.
    auto storedFor = [&](size_t key) { return stored[key % std::size(stored)]; };
    for (size_t i = 0; i < std::size(keys::all); ++i)
        ASSERT_TRUE(writeRaw(kSettingsPath, keys::all[i], storedFor(i)));
    for (size_t i = 0; i < std::size(keys::all); ++i) {
        EXPECT_EQ(readSetting(keys::all[i]), L"") << storedFor(i).type;
        EXPECT_EQ(readRaw(kSettingsPath, keys::all[i]), storedFor(i)) << storedFor(i).type;
    }
}

TEST_F(SettingsStore, StringsOfOddShapesReadWithoutHarm) {
    putRaw(keys::onOff, REG_SZ, L"1", sizeof(wchar_t));
    EXPECT_EQ(readSetting(keys::onOff), L"1") << "no terminating NUL";
    const BYTE odd[] = {'a', 0, 'b', 0, 'c'};
    putRaw(keys::CurrentTag, REG_SZ, odd, sizeof odd);
    EXPECT_EQ(readSetting(keys::CurrentTag), L"ab") << "the half character is not read";
    putRaw(keys::CustomNamePl, REG_SZ, nullptr, 0);
    EXPECT_EQ(readSetting(keys::CustomNamePl), L"") << "no bytes at all";
    const wchar_t inner[] = L"1\0x";
    putRaw(keys::CurrentName, REG_SZ, inner, sizeof inner);
    EXPECT_NE(readSetting(keys::CurrentName), L"1") << "a NUL inside: not the text \"1\"";
    std::wstring mega(512 * 1024, L'\x263A');
    mega[1000] = L'\x01';
    putRaw(keys::CustomNameNotPl, REG_SZ, mega.c_str(), (mega.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(readSetting(keys::CustomNameNotPl), mega) << "a megabyte comes back whole";
}

// What the user sees of settings of another type: each reads as empty all
// the way to the display name, and none is rewritten but the switch, which
// start-up seeds when it reads as missing.
class WrongTypeSettings : public BackgroundTest {
protected:
    WrongTypeSettings() { startNow_ = false; }
};

TEST_F(WrongTypeSettings, ReadAsEmptyAllTheWayToTheNameAndStayAsStored) {
    const DWORD zero = 0, one = 1;
    putRaw(keys::onOff, REG_DWORD, &zero, sizeof zero);
    const BYTE tag[] = {'l', 0, 'i', 0, 0xff, 0xfe, 0, 0, 7};
    putRaw(keys::CurrentTag, REG_BINARY, tag, sizeof tag);
    ASSERT_EQ(startUp(), S_OK);
    EXPECT_EQ(readRaw(kSettingsPath, keys::onOff), rawOf(REG_SZ, L"1", 4));
    messenger().openConversation(L"bob@example.com");
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(tick(), Sends({L"/name Ann  (!WAT)"})) << "a binary tag is no tag";

    putRaw(keys::onOff, REG_DWORD, &one, sizeof one);
    player.play(2);
    EXPECT_EQ(tick(), Sends{}) << "only the text \"1\" switches the watcher on";
    EXPECT_EQ(readRaw(kSettingsPath, keys::onOff), rawOf(REG_DWORD, &one, sizeof one));
    putSetting(keys::onOff, L"1");

    putRaw(keys::CurrentName, REG_DWORD, &one, sizeof one);
    const wchar_t multi[] = L"1\0" L"1\0";
    putRaw(keys::CustomName, REG_MULTI_SZ, multi, sizeof multi);
    player.play(3);
    EXPECT_EQ(tick(), Sends{}) << "no mode, nothing composed, nothing sent";

    putSetting(keys::CustomName, L"1");
    putSetting(keys::CustomTagPl, L"~");
    const wchar_t expand[] = L"%USERNAME% rocks";
    putRaw(keys::CustomNamePl, REG_EXPAND_SZ, expand, sizeof expand);
    const BYTE junk[] = {0, 0, 0};
    putRaw(keys::CustomNameNotPl, REG_BINARY, junk, sizeof junk);
    const auto stored = allValues(kSettingsPath);
    player.play(4);
    EXPECT_EQ(tick(), Sends({L"/name  ~ (!WAT)"}));
    player.close();
    EXPECT_EQ(tick(), Sends{}) << "a plain name read as empty is no name to send";
    EXPECT_EQ(allValues(kSettingsPath), stored);
}

} // namespace
} // namespace tc::test
