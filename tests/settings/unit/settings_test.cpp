// The settings store: round trips through the registry, missing and
// wrong-typed values, texts outside the ANSI code page.
#include "settings/SettingsStore.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tc {
namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { test::wipeUserState(); }
    void TearDown() override { test::wipeUserState(); }
};

TEST_F(SettingsStoreTest, MissingValueReadsEmptyAndWriteCreatesKeys) {
    EXPECT_EQ(readSetting(keys::onOff), L"");
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, kSettingsPath));
    ASSERT_EQ(writeSetting(keys::onOff, L"1"), S_OK);
    EXPECT_EQ(readSetting(keys::onOff), L"1");
    std::wstring raw;
    ASSERT_TRUE(test::readString(HKEY_CURRENT_USER, L"Software\\Dorvin's Tunecaster\\Data",
                                 L"onOff", raw));
    EXPECT_EQ(raw, L"1");
}

TEST_F(SettingsStoreTest, EmptyAndNonAnsiTextsRoundTrip) {
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

TEST_F(SettingsStoreTest, AllSevenKeysAreIndependent) {
    const wchar_t* all[] = {keys::onOff, keys::CurrentName, keys::CustomName, keys::CurrentTag,
                            keys::CustomNameNotPl, keys::CustomNamePl, keys::CustomTagPl};
    for (const wchar_t* k : all) ASSERT_EQ(writeSetting(k, std::wstring(k) + L"!"), S_OK);
    for (const wchar_t* k : all) EXPECT_EQ(readSetting(k), std::wstring(k) + L"!");
}

TEST_F(SettingsStoreTest, ValuesOfTheWrongTypeReadEmpty) {
    ASSERT_EQ(writeSetting(keys::CurrentTag, L"x"), S_OK);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    DWORD one = 1;
    RegSetValueExW(key, keys::onOff, 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof one);
    const BYTE bin[] = {'a', 0, 'b', 0};
    RegSetValueExW(key, keys::CurrentTag, 0, REG_BINARY, bin, sizeof bin);
    RegCloseKey(key);
    EXPECT_EQ(readSetting(keys::onOff), L"");
    EXPECT_EQ(readSetting(keys::CurrentTag), L"");
}

} // namespace
} // namespace tc
