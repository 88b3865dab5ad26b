// The registry routines that fill the add-on's quick-text slot.
#include "platform/Registry.h"
#include "delivery/SlotValues.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>

namespace tc::test {
namespace {

using namespace slotValues;

const std::wstring kBase = std::wstring(kAddOnKey) + L"\\RegTest";

class ModReg : public ::testing::Test {
protected:
    void SetUp() override { wipeUserState(); }
    void TearDown() override { wipeUserState(); }
    static LONG read(const std::wstring& name, const std::wstring& path = kBase) {
        return readDword(HKEY_CURRENT_USER, path, name);
    }
};

TEST_F(ModReg, ReadsOnlyFourByteDwordsAsSignedAndCreatesNothing) {
    EXPECT_EQ(read(L"AutoSend", kBase + L"\\a\\b"), 0);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kBase));

    const DWORD all = 0xFFFFFFFFu, seven = 7;
    const unsigned long long big = 5;
    ASSERT_TRUE(writeRaw(kBase, L"Minus", rawOf(REG_DWORD, &all, 4)));
    ASSERT_TRUE(writeRaw(kBase, L"Seven", rawOf(REG_DWORD, &seven, 4)));
    ASSERT_TRUE(writeRaw(kBase, L"Text", rawOf(REG_SZ, L"1", 4)));
    ASSERT_TRUE(writeRaw(kBase, L"Binary", rawOf(REG_BINARY, &seven, 4)));
    ASSERT_TRUE(writeRaw(kBase, L"Qword", rawOf(REG_QWORD, &big, 8)));
    ASSERT_TRUE(writeRaw(kBase, L"LongBinary", rawOf(REG_BINARY, &big, 8)));
    EXPECT_EQ(read(L"Minus"), -1);
    EXPECT_EQ(read(L"Seven"), 7);
    for (const wchar_t* other : {L"Text", L"Binary", L"Qword", L"LongBinary", L"Missing"})
        EXPECT_EQ(read(other), 0) << std::wstring(other);
}

TEST_F(ModReg, WritesCreateEveryMissingLevelAndReplaceAValueOfAnotherType) {
    const std::wstring path = kBase + L"\\one\\two\\three";
    EXPECT_TRUE(writeString(HKEY_CURRENT_USER, path, L"Message", L"/name Ann"));
    EXPECT_TRUE(writeDword(HKEY_CURRENT_USER, path + L"\\four", L"AutoSend", -2));
    const DWORD minusTwo = static_cast<DWORD>(-2);
    EXPECT_EQ(readRaw(path, L"Message"), rawOf(REG_SZ, L"/name Ann", 20));
    EXPECT_EQ(readRaw(path + L"\\four", L"AutoSend"), rawOf(REG_DWORD, &minusTwo, 4));

    ASSERT_TRUE(writeRaw(kBase, L"AutoSend", rawOf(REG_SZ, L"1", 4)));
    EXPECT_TRUE(writeDword(HKEY_CURRENT_USER, kBase, L"AutoSend", 1));
    EXPECT_EQ(read(L"AutoSend"), 1);
}

TEST_F(ModReg, StringsAreStoredWholeWithTheirTerminator) {
    const std::wstring name = L"/name Ann \u2605 \u65e5\u672c \u00e9";
    EXPECT_TRUE(writeString(HKEY_CURRENT_USER, kBase, L"Message", name));
    std::wstring text;
    ASSERT_EQ(reg::getString(HKEY_CURRENT_USER, kBase, L"Message", text), ERROR_SUCCESS);
    EXPECT_EQ(text, name);
    EXPECT_TRUE(writeString(HKEY_CURRENT_USER, kBase, L"Message", L""));
    EXPECT_EQ(readRaw(kBase, L"Message"), rawOf(REG_SZ, L"", 2));
}

// A write that does not happen says so: the delivery presses no key after it.
TEST_F(ModReg, PathsAndNamesTheRegistryRefusesWriteNothingAndReadZero) {
    const std::wstring tooLong = preferencesOf(std::wstring(300, L'a') + L"@example.com") +
                                 L"\\QuickTexts\\QuickText09";
    EXPECT_FALSE(writeDword(HKEY_CURRENT_USER, tooLong, L"AutoSend", 1));
    EXPECT_FALSE(writeString(HKEY_CURRENT_USER, tooLong, L"Message", L"/name X"));
    EXPECT_EQ(read(L"AutoSend", tooLong), 0);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, tooLong));
    RegKey kestrix;
    std::vector<std::wstring> made;
    if (reg::open(HKEY_CURRENT_USER, kAddOnRoot, KEY_READ, kestrix) ==
        ERROR_SUCCESS)
        reg::subkeyNames(kestrix.get(), made);
    EXPECT_TRUE(made.empty()) << "nothing made of a shortened name";

    const std::wstring longName(20000, L'v');
    EXPECT_FALSE(writeString(HKEY_CURRENT_USER, kBase, longName, L"x"));
    EXPECT_EQ(read(longName), 0);
}

} // namespace
} // namespace tc::test
