// The add-on's quick-text slot 09: which sign-in names may name it, and the
// copy of the user's own content that is taken before the first write and
// given back on request.
#include "platform/Registry.h"
#include "settings/QuickTextSlot.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>

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

TEST_F(QuickTextSlot, OnlyANameThatCanBeOneKeyNameHasASlot) {
    EXPECT_EQ(quickText::slotPath(L"ann@example.com"),
              L"Software\\Venmoor\\Kestrix2\\ann@example.com\\Preferences\\QuickTexts\\QuickText09");
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

    // What the plug-in then writes, and a second copy that must not replace
    // the first.
    const reg::RawValue command = raw(REG_SZ, {'/', 0, 0, 0});
    for (const wchar_t* name : {L"ann", L"bob", L"cid"}) {
        put(slot(name), L"Message", command);
        put(slot(name), L"AutoSend", raw(REG_DWORD, {1, 0, 0, 0}));
        ASSERT_TRUE(quickText::keepOriginal(name));
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

} // namespace
} // namespace tc
