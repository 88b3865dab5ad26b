#include "platform/Handles.h"
#include "ui/SysInfo.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

namespace tc::ui {
namespace {

constexpr const wchar_t* kTestKey = L"Software\\Tunecaster tests\\KeyValue";

class GetKeyValueTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tunecaster tests"); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tunecaster tests"); }

    static void setRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, name, type, data, size),
                  ERROR_SUCCESS);
    }
};

TEST_F(GetKeyValueTest, MissingKeyOrValueEmptiesTheTextAndFails) {
    std::wstring value = L"left over";
    EXPECT_FALSE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"PATH", value));
    EXPECT_EQ(value, L"");

    setRaw(L"Other", REG_SZ, L"x", 4);
    value = L"left over";
    EXPECT_FALSE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"PATH", value));
    EXPECT_EQ(value, L"");
}

TEST_F(GetKeyValueTest, TextComesBackWithoutItsTerminatorWhetherStoredWithOneOrNot) {
    const wchar_t path[] = L"C:\\Program Files\\Tools\\msinfo32.exe";
    setRaw(L"WithNul", REG_SZ, path, sizeof path);
    setRaw(L"WithoutNul", REG_SZ, path, sizeof path - sizeof(wchar_t));
    const wchar_t accented[] = L"C:\\Outils \x00e9t\x00e9";
    setRaw(L"Accented", REG_SZ, accented, sizeof accented);

    std::wstring value;
    ASSERT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"WithNul", value));
    EXPECT_EQ(value, path);
    ASSERT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"WithoutNul", value));
    EXPECT_EQ(value, path);
    ASSERT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"Accented", value));
    EXPECT_EQ(value, accented);
}

TEST_F(GetKeyValueTest, ATextLongerThanTheBufferFails) {
    const std::wstring huge(5000, L'x');
    setRaw(L"Huge", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t)));
    std::wstring value = L"left over";
    EXPECT_FALSE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"Huge", value));
    EXPECT_EQ(value, L"");
}

// The number itself in hexadecimal, whatever its bytes: a zero byte inside
// or at the top must not shift or drop digits.
TEST_F(GetKeyValueTest, ADwordComesBackAsItsHexadecimalNumber) {
    struct Case {
        DWORD number;
        const wchar_t* text;
    } cases[] = {
        {0x12345678, L"&h12345678"}, {0x0105, L"&h105"}, {0x01000005, L"&h1000005"},
        {0xABCDEF, L"&hABCDEF"},     {0, L"&h0"},        {0xFFFFFFFF, L"&hFFFFFFFF"},
    };
    for (const Case& c : cases) {
        setRaw(L"Number", REG_DWORD, &c.number, sizeof c.number);
        std::wstring value = L"before";
        ASSERT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"Number", value));
        EXPECT_EQ(value, c.text) << std::hex << c.number;
    }
}

TEST_F(GetKeyValueTest, OtherTypesSucceedAndLeaveTheTextAsItWas) {
    const BYTE bytes[] = {1, 2, 3};
    setRaw(L"Binary", REG_BINARY, bytes, sizeof bytes);
    const wchar_t multi[] = L"a\0b\0";
    setRaw(L"Multi", REG_MULTI_SZ, multi, sizeof multi);

    std::wstring value = L"as it came in";
    EXPECT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"Binary", value));
    EXPECT_EQ(value, L"as it came in");
    EXPECT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"Multi", value));
    EXPECT_EQ(value, L"as it came in");
}

// Sets the key's access rights from their text form.
void setKeyRights(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR rights = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                     &rights, nullptr));
    RegKey key;
    // The key's owner may always change its rights.
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, WRITE_DAC | KEY_READ, key.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, rights), ERROR_SUCCESS);
    LocalFree(rights);
}

// A key the user may read but not change, as the machine's keys are for
// users without administrator rights: reading its value must still work.
TEST_F(GetKeyValueTest, AKeyTheUserMayOnlyReadIsRead) {
    const wchar_t path[] = L"C:\\Tools\\msinfo32.exe";
    setRaw(L"PATH", REG_SZ, path, sizeof path);

    // Everyone: read only; nobody may write or change the key.
    setKeyRights(L"D:P(A;;KR;;;WD)");
    struct Restore {
        ~Restore() { setKeyRights(L"D:P(A;;KA;;;WD)"); }
    } restore;

    RegKey probe;
    const LSTATUS allAccess =
        RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_ALL_ACCESS, probe.put());
    if (allAccess == ERROR_SUCCESS)
        GTEST_SKIP() << "this system does not enforce the key's access rights";

    std::wstring value;
    EXPECT_TRUE(GetKeyValue(HKEY_CURRENT_USER, kTestKey, L"PATH", value));
    EXPECT_EQ(value, path);
}

} // namespace
} // namespace tc::ui
