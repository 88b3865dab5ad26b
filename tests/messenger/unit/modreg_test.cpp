// The registry routines that fill the add-on's quick-text slot.
#include "settings/modReg.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace tc::modReg;

const std::wstring kBase = L"Software\\Venmoor\\RegTest";

class ModReg : public ::testing::Test {
protected:
    void SetUp() override { tc::test::wipeUserState(); }

    static void putRaw(const std::wstring& name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kBase.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    static bool readRaw(const std::wstring& path, const std::wstring& name, DWORD& type,
                        std::wstring& bytes) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return false;
        wchar_t buffer[256] = {};
        DWORD size = sizeof buffer;
        LSTATUS rc = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        bytes.assign(buffer, (size + 1) / sizeof(wchar_t));
        return rc == ERROR_SUCCESS;
    }
};

TEST_F(ModReg, ReadsOnlyFourByteDwordsAsSigned) {
    const DWORD all = 0xFFFFFFFFu, seven = 7;
    putRaw(L"Minus", REG_DWORD, &all, 4);
    putRaw(L"Seven", REG_DWORD, &seven, 4);
    putRaw(L"Text", REG_SZ, L"1", 4);
    putRaw(L"Binary", REG_BINARY, &seven, 4);
    const unsigned long long big = 5;
    putRaw(L"Qword", REG_QWORD, &big, 8);
    putRaw(L"LongBinary", REG_BINARY, &big, 8);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kBase, L"Minus"), -1);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kBase, L"Seven"), 7);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kBase, L"Text"), 0);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kBase, L"Binary"), 0);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kBase, L"Qword"), 0);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kBase, L"LongBinary"), 0);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kBase, L"Missing"), 0);
}

TEST_F(ModReg, ReadingAMissingKeyCreatesNothing) {
    const std::wstring path = kBase + L"\\a\\b";
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, path, L"AutoSend"), 0);
    EXPECT_FALSE(tc::test::keyExists(HKEY_CURRENT_USER, kBase));
}

TEST_F(ModReg, WritesCreateEveryMissingLevel) {
    const std::wstring path = kBase + L"\\one\\two\\three";
    WriteRegString(HKEY_CURRENT_USER, path, L"Message", L"/name Ann");
    WriteRegDword(HKEY_CURRENT_USER, path + L"\\four", L"AutoSend", -2);
    std::wstring text;
    ASSERT_TRUE(tc::test::readString(HKEY_CURRENT_USER, path, L"Message", text));
    EXPECT_EQ(text, L"/name Ann");
    DWORD type = 0;
    std::wstring bytes;
    ASSERT_TRUE(readRaw(path + L"\\four", L"AutoSend", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, path + L"\\four", L"AutoSend"), -2);
}

TEST_F(ModReg, StringsKeepTextOutsideTheAnsiCodePage) {
    const std::wstring name = L"/name Ann \u2605 \u65e5\u672c \u00e9";
    WriteRegString(HKEY_CURRENT_USER, kBase, L"Message", name);
    std::wstring text;
    ASSERT_TRUE(tc::test::readString(HKEY_CURRENT_USER, kBase, L"Message", text));
    EXPECT_EQ(text, name);
}

TEST_F(ModReg, EmptyStringIsStoredAsItsTerminatorOnly) {
    WriteRegString(HKEY_CURRENT_USER, kBase, L"Message", L"");
    DWORD type = 0;
    std::wstring bytes;
    ASSERT_TRUE(readRaw(kBase, L"Message", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    std::wstring text = L"x";
    ASSERT_TRUE(tc::test::readString(HKEY_CURRENT_USER, kBase, L"Message", text));
    EXPECT_EQ(text, L"");
}

TEST_F(ModReg, DwordOverwritesAValueOfAnotherType) {
    putRaw(L"AutoSend", REG_SZ, L"1", 4);
    WriteRegDword(HKEY_CURRENT_USER, kBase, L"AutoSend", 1);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kBase, L"AutoSend"), 1);
}

} // namespace
