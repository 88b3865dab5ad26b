// The add-on's quick-text slot 09: which sign-in names may name it, and the
// copy of the user's own content that is taken before the first write and
// given back on request.
#include "platform/Registry.h"
#include "delivery/QuickTextSlot.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>
#include <sddl.h>

namespace tc {
namespace {

class QuickTextSlot : public ::testing::Test {
protected:
    void SetUp() override { test::wipeUserState(); }
    void TearDown() override { test::wipeUserState(); }

    static std::wstring slot(const wchar_t* name) { return *quickText::slotPath(name); }
    static void put(const std::wstring& path, const wchar_t* name, const reg::RawValue& value) {
        ASSERT_TRUE(test::writeRaw(path, name, value));
    }
    static LSTATUS get(const std::wstring& path, const wchar_t* name, reg::RawValue& value) {
        RegKey key;
        const LSTATUS opened = reg::open(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE, key);
        return opened == ERROR_SUCCESS ? reg::getValue(key.get(), name, value) : opened;
    }
};

reg::RawValue raw(DWORD type, std::vector<BYTE> bytes) { return {type, std::move(bytes)}; }

bool setAccess(const std::wstring& path, const wchar_t* sddl) {
    RegKey key;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (reg::open(HKEY_CURRENT_USER, path, WRITE_DAC, key) != ERROR_SUCCESS ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd,
                                                                      nullptr))
        return false;
    const bool set = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    LocalFree(sd);
    return set;
}

TEST_F(QuickTextSlot, OnlyANameThatCanBeOneKeyNameHasASlot) {
    EXPECT_EQ(quickText::slotPath(L"ann@example.com"),
              test::preferencesOf(L"ann@example.com") + L"\\QuickTexts\\QuickText09");
    EXPECT_TRUE(quickText::slotPath(std::wstring(255, L'a')));
    for (const std::wstring& name :
         {std::wstring(), std::wstring(L"."), std::wstring(L".."), std::wstring(L"a\\b"),
          std::wstring(L"\\ann"), std::wstring(L"ann\0x", 5), std::wstring(256, L'a')})
        EXPECT_FALSE(quickText::slotPath(name)) << name.size();
    EXPECT_FALSE(quickText::keepOriginal(L"..\\..\\Dorvin's Tunecaster"));
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, quickText::kSavedSlotsPath));
}

TEST_F(QuickTextSlot, TheFirstCopyIsKeptExactlyAndGivenBackExactly) {
    // Ann's slot: a text of an odd type without its terminator, no AutoSend.
    // Bob's: no slot at all. Cid's: an interrupted copy is taken again.
    const reg::RawValue odd = raw(REG_EXPAND_SZ, {'h', 0, 'i', 0});
    put(slot(L"ann"), L"Message", odd);
    put(std::wstring(quickText::kSavedSlotsPath) + L"\\cid", L"Message", raw(REG_SZ, {0, 0}));
    const reg::RawValue cidSend = raw(REG_DWORD, {2, 0, 0, 0});
    put(slot(L"cid"), L"AutoSend", cidSend);
    for (const wchar_t* name : {L"ann", L"bob", L"cid"}) ASSERT_TRUE(quickText::keepOriginal(name));

    // What the plug-in then writes, twice: the second copy must not replace
    // the first.
    for (const wchar_t* name : {L"ann", L"bob", L"cid"}) {
        ASSERT_TRUE(quickText::writeCommand(name, L"/name Ann"));
        ASSERT_TRUE(quickText::writeCommand(name, L"/name Ann listening"));
    }

    ASSERT_EQ(quickText::giveBackAll(), S_OK);
    reg::RawValue now;
    ASSERT_EQ(get(slot(L"ann"), L"Message", now), ERROR_SUCCESS);
    EXPECT_EQ(now, odd);
    EXPECT_EQ(get(slot(L"ann"), L"AutoSend", now), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(get(slot(L"bob"), L"Message", now), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(get(slot(L"bob"), L"AutoSend", now), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(get(slot(L"cid"), L"Message", now), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(get(slot(L"cid"), L"AutoSend", now), ERROR_SUCCESS);
    EXPECT_EQ(now, cidSend);
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, quickText::kSavedSlotsPath));
    EXPECT_EQ(quickText::giveBackAll(), S_OK) << "nothing left to give back";
}

// Only the plug-in's own last write is taken back: a slot the user wrote
// since keeps their newer text, a deleted profile is not made again, and a
// slot the plug-in created goes with the keys it created, while keys that
// were there or got content since stay.
TEST_F(QuickTextSlot, GivenBackOnlyWhileTheSlotHoldsOurLastWrite) {
    const std::wstring kestrix = test::kAddOnRoot;
    put(slot(L"ann"), L"Message", raw(REG_SZ, {'o', 0, 0, 0}));
    put(kestrix + L"\\bob\\Preferences", L"Colour", raw(REG_DWORD, {1, 0, 0, 0}));
    put(slot(L"cid"), L"Message", raw(REG_SZ, {'c', 0, 0, 0}));
    for (const wchar_t* name : {L"ann", L"bob", L"cid", L"dan"})
        ASSERT_TRUE(quickText::writeCommand(name, L"/name Ann"));
    reg::RawValue now;
    ASSERT_EQ(get(slot(L"dan"), L"AutoSend", now), ERROR_SUCCESS);
    EXPECT_EQ(now, raw(REG_DWORD, {1, 0, 0, 0}));
    const reg::RawValue newer = raw(REG_SZ, {'n', 0, 0, 0});
    put(slot(L"ann"), L"Message", newer);
    // The add-on stored Bob's slot again, without the terminator: still ours.
    put(slot(L"bob"), L"Message", raw(REG_SZ, {'/', 0, 'n', 0, 'a', 0, 'm', 0, 'e', 0, ' ', 0,
                                               'A', 0, 'n', 0, 'n', 0}));
    RegDeleteTreeW(HKEY_CURRENT_USER, (kestrix + L"\\cid").c_str());
    put(kestrix + L"\\dan\\Preferences\\QuickTexts\\QuickText01", L"Message", newer);

    ASSERT_EQ(quickText::giveBackAll(), S_OK);
    ASSERT_EQ(get(slot(L"ann"), L"Message", now), ERROR_SUCCESS);
    EXPECT_EQ(now, newer);
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, kestrix + L"\\bob\\Preferences\\QuickTexts"));
    EXPECT_TRUE(test::keyExists(HKEY_CURRENT_USER, kestrix + L"\\bob\\Preferences"));
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, kestrix + L"\\cid"));
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, slot(L"dan")));
    EXPECT_TRUE(test::keyExists(HKEY_CURRENT_USER, kestrix + L"\\dan\\Preferences\\QuickTexts\\QuickText01"));
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, quickText::kSavedSlotsPath));

    // Alone, a slot the plug-in created takes the whole tree with it.
    test::wipeUserState();
    ASSERT_TRUE(quickText::writeCommand(L"eve", L"/name Ann"));
    ASSERT_EQ(quickText::giveBackAll(), S_OK);
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, test::kAddOnKey));
}

// A copy that cannot be deleted (a key inside it nobody may read) is still
// there: the give-back says so rather than report success.
TEST_F(QuickTextSlot, ACopyThatCannotBeDeletedIsAFailure) {
    ASSERT_TRUE(quickText::writeCommand(L"ann", L"/name Ann"));
    const std::wstring locked = std::wstring(quickText::kSavedSlotsPath) + L"\\ann\\locked";
    RegKey lockedKey;
    ASSERT_EQ(reg::create(HKEY_CURRENT_USER, locked, KEY_READ, lockedKey), ERROR_SUCCESS);
    lockedKey = RegKey();
    ASSERT_TRUE(setAccess(locked, L"D:(D;;KR;;;WD)(A;;KA;;;WD)"));
    EXPECT_TRUE(FAILED(quickText::giveBackAll()));
    EXPECT_TRUE(test::keyExists(HKEY_CURRENT_USER, std::wstring(quickText::kSavedSlotsPath) + L"\\ann"));
    setAccess(locked, L"D:(A;;KA;;;WD)");
}

} // namespace
} // namespace tc
