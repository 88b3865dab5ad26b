// Values the plug-in reads but does not control: settings of another
// registry type or of odd sizes, registry paths the registry refuses,
// friendly names of nothing or of 10,000 characters, and command texts with
// NULs and broken UTF-16 in them.
#include "messenger/NameComposer.h"
#include "plugin/Commands.h"
#include "settings/SettingsStore.h"
#include "settings/modReg.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kData = L"Software\\Dorvin's Tunecaster\\Data";

void putRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kData.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::vector<BYTE> getRaw(const wchar_t* name, DWORD& type) {
    std::vector<BYTE> bytes(2 * 1024 * 1024 + 16);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kData.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    DWORD size = static_cast<DWORD>(bytes.size());
    LSTATUS rc = RegQueryValueExW(key, name, nullptr, &type, bytes.data(), &size);
    RegCloseKey(key);
    bytes.resize(rc == ERROR_SUCCESS ? size : 0);
    return bytes;
}

class StoredValues : public ::testing::Test {
protected:
    void SetUp() override { tc::test::wipeUserState(); }
    void TearDown() override { tc::test::wipeUserState(); }
};

} // namespace

TEST_F(StoredValues, SettingsOfAnotherTypeReadAsEmptyAndStayAsTheyAre) {
    const DWORD one = 1;
    const ULONGLONG big = 1;
    const BYTE binary[] = {'1', 0};
    const wchar_t multi[] = L"1\0" L"1\0";
    const wchar_t expand[] = L"1";
    struct Case {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD size;
    } cases[] = {
        {L"onOff", REG_DWORD, &one, sizeof one},
        {L"CurrentName", REG_QWORD, &big, sizeof big},
        {L"CustomName", REG_BINARY, binary, sizeof binary},
        {L"CurrentTag", REG_MULTI_SZ, multi, sizeof multi},
        {L"CustomNamePl", REG_EXPAND_SZ, expand, sizeof expand},
        {L"CustomTagPl", REG_NONE, binary, sizeof binary},
        {L"CustomNameNotPl", REG_DWORD_BIG_ENDIAN, &one, sizeof one},
    };
    for (const Case& c : cases) putRaw(c.name, c.type, c.data, c.size);
    for (const Case& c : cases) {
        EXPECT_EQ(tc::readSetting(c.name), L"") << c.type;
        DWORD type = 0;
        const std::vector<BYTE> now = getRaw(c.name, type);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(now, std::vector<BYTE>(static_cast<const BYTE*>(c.data),
                                         static_cast<const BYTE*>(c.data) + c.size));
    }
}

TEST_F(StoredValues, StringSettingsOfOddShapesReadWithoutHarm) {
    // No terminating NUL.
    putRaw(L"onOff", REG_SZ, L"1", sizeof(wchar_t));
    EXPECT_EQ(tc::readSetting(L"onOff"), L"1");
    // An odd number of bytes: the half character is not read.
    const BYTE odd[] = {'a', 0, 'b', 0, 'c'};
    putRaw(L"CurrentTag", REG_SZ, odd, sizeof odd);
    EXPECT_EQ(tc::readSetting(L"CurrentTag"), L"ab");
    // Nothing at all.
    putRaw(L"CustomNamePl", REG_SZ, nullptr, 0);
    EXPECT_EQ(tc::readSetting(L"CustomNamePl"), L"");
    // A NUL inside: it is not the text "1".
    const wchar_t inner[] = L"1\0x";
    putRaw(L"CurrentName", REG_SZ, inner, sizeof inner);
    EXPECT_NE(tc::readSetting(L"CurrentName"), L"1");
    // A megabyte comes back whole.
    std::wstring mega(512 * 1024, L'\x263A');
    mega[1000] = L'\x01';
    putRaw(L"CustomNameNotPl", REG_SZ, mega.c_str(),
           static_cast<DWORD>((mega.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(tc::readSetting(L"CustomNameNotPl"), mega);
}

TEST_F(StoredValues, SlotPathsTheRegistryRefusesWriteNothingAndReadZero) {
    const std::wstring base = L"Software\\Venmoor\\Kestrix2\\";
    const std::wstring tail = L"\\Preferences\\QuickTexts\\QuickText09";
    const std::wstring tooLong = base + std::wstring(300, L'a') + L"@example.com" + tail;
    tc::modReg::WriteRegDword(HKEY_CURRENT_USER, tooLong, L"AutoSend", 1);
    tc::modReg::WriteRegString(HKEY_CURRENT_USER, tooLong, L"Message", L"/name X");
    EXPECT_EQ(tc::modReg::ReadRegDword(HKEY_CURRENT_USER, tooLong, L"AutoSend"), 0);
    EXPECT_FALSE(tc::test::keyExists(HKEY_CURRENT_USER, tooLong));
    HKEY kestrix = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Venmoor\\Kestrix2", 0, KEY_READ, &kestrix) ==
        ERROR_SUCCESS) {
        DWORD subkeys = 0;
        RegQueryInfoKeyW(kestrix, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(kestrix);
        EXPECT_EQ(subkeys, 0u) << "nothing made of a shortened name";
    }
    // A value name the registry cannot take either.
    const std::wstring slot = base + L"ann@example.com" + tail;
    tc::modReg::WriteRegString(HKEY_CURRENT_USER, slot, std::wstring(20000, L'v'), L"x");
    EXPECT_EQ(tc::modReg::ReadRegDword(HKEY_CURRENT_USER, slot, std::wstring(20000, L'v')), 0);
}

TEST(HostileNames, BaseNamesOfEmptyAndHugeFriendlyNames) {
    using tc::composer::baseName;
    EXPECT_FALSE(baseName(L"", L"listening:").has_value());
    EXPECT_FALSE(baseName(L"", L"").has_value());
    const std::wstring huge(10000, L'n');
    EXPECT_EQ(baseName(huge, L"listening:"), huge);
    EXPECT_EQ(baseName(huge + L" listening: (!WAT)", L"listening:"), huge);
    EXPECT_EQ(baseName(huge, huge), huge) << "the tag without its space does not match";
    EXPECT_EQ(baseName(L"x " + huge, huge), L"x");
    EXPECT_EQ(baseName(std::wstring(10000, L' '), L""), L"") << "the delimiter at the very start";
    EXPECT_EQ(baseName(std::wstring(L"a\0b listening:", 14), L"listening:"),
              std::wstring(L"a\0b", 3));
}

TEST(HostileNames, CommandsFromHugeOrMissingNamesAreWholeOrNothing) {
    const std::wstring huge(10000, L'n');
    std::wstring friendly = huge;
    bool readable = true;
    tc::composer::Sources in;
    in.setting = [](const wchar_t* key) -> std::wstring {
        const std::wstring k = key;
        if (k == L"CurrentName") return L"1";
        if (k == L"CurrentTag") return L"listening:";
        return L"";
    };
    in.friendlyName = [&](std::wstring& out) {
        if (!readable) return false;
        out = friendly;
        return true;
    };
    std::wstring staged = L"/name before";
    tc::composer::composeNowPlaying(in, staged);
    EXPECT_EQ(staged, L"/name " + huge + L" listening: (!WAT)");
    tc::composer::composePlain(in, staged);
    EXPECT_EQ(staged, L"/name " + huge);

    friendly.clear();
    tc::composer::composeNowPlaying(in, staged);
    EXPECT_EQ(staged, L"/name " + huge) << "an empty name composes nothing";
    readable = false;
    tc::composer::composePlain(in, staged);
    EXPECT_EQ(staged, L"/name " + huge) << "an unreadable name composes nothing";
}

TEST(HostileCommands, OnlyTheWholeCommandTextCounts) {
    const tc::CommandInfo* none = nullptr;
    EXPECT_EQ(tc::recognise(L"/XWinampOn"), tc::commandAt(3));
    EXPECT_EQ(tc::recognise(std::wstring(L"/xwinampon\0", 11)), none);
    EXPECT_EQ(tc::recognise(std::wstring(L"/xwinampoff\0/x", 14)), none);
    EXPECT_EQ(tc::recognise(std::wstring(L"\0/xwinampon", 11)), none);
    EXPECT_EQ(tc::recognise(L"/xwinampon\xD800"), none);
    EXPECT_EQ(tc::recognise(L"\xDC00/xwinampoff"), none);
    EXPECT_EQ(tc::recognise(std::wstring(1 << 20, L'/')), none);
    EXPECT_EQ(tc::recognise(L"/xwinampon" + std::wstring(100000, L'\x200B')), none);
    EXPECT_EQ(tc::recognise(L""), none);
}
