// Registration and its removal that cannot finish, per user so that the
// machine's classes are never touched: registering must leave the registry
// exactly as it found it, a removal must say what it left, and nothing may
// escape to the caller (COM or regsvr32) as an exception.
#include "PlayerPlugin_h.h"
#include "platform/Product.h"
#include "platform/Registry.h"
#include "plugin/Registration.h"
#include "sim/common/ImportHook.h"
#include "tests/support/FailingAllocation.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace tc::reg {
// How gtest shows a value that differs.
void PrintTo(const RawValue& v, std::ostream* os) {
    *os << "type " << v.type << ":";
    char hex[4];
    for (BYTE b : v.bytes) {
        std::snprintf(hex, sizeof hex, " %02x", b);
        *os << hex;
    }
}
} // namespace tc::reg

namespace tc::test {
namespace {

std::wstring guidText(REFGUID g) {
    wchar_t buf[40] = {};
    StringFromGUID2(g, buf, 40);
    return buf;
}

const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kClsid = kClasses + L"CLSID\\" + guidText(CLSID_PlayerPlugin);
const std::wstring kTypeLib = kClasses + L"TypeLib\\" + guidText(LIBID_Tunecaster);
const std::wstring kInterface = kClasses + L"Interface\\" + guidText(IID__PlayerPlugin);

// Every key of the registration's trees with its values, keys without values
// included.
using Tree = std::map<std::wstring, std::map<std::wstring, reg::RawValue>>;

void readTree(const std::wstring& path, Tree& out) {
    RegKey key;
    if (reg::open(HKEY_CURRENT_USER, path, KEY_READ, key) != ERROR_SUCCESS) return;
    out[path] = test::allValues(path);
    std::vector<std::wstring> subkeys;
    reg::subkeyNames(key.get(), subkeys);
    for (const std::wstring& sub : subkeys) readTree(path + L"\\" + sub, out);
}

// The trees as the identity states them for the installer, which removes
// them itself.
const std::vector<std::wstring> kTrees = [] {
    std::vector<std::wstring> trees;
    for (const char* tree : {TC_REGISTRATION_TREES})
        trees.push_back(kClasses + std::wstring(tree, tree + std::strlen(tree)));
    return trees;
}();

// Every key one or two levels under Software\Classes.
std::set<std::wstring> classKeys() {
    std::set<std::wstring> keys;
    RegKey classes;
    if (reg::open(HKEY_CURRENT_USER, kClasses, KEY_READ, classes) != ERROR_SUCCESS) return keys;
    std::vector<std::wstring> top;
    reg::subkeyNames(classes.get(), top);
    for (const std::wstring& name : top) {
        keys.insert(kClasses + name);
        RegKey key;
        std::vector<std::wstring> below;
        if (reg::open(classes.get(), name, KEY_READ, key) == ERROR_SUCCESS)
            reg::subkeyNames(key.get(), below);
        for (const std::wstring& sub : below) keys.insert(kClasses + name + L"\\" + sub);
    }
    return keys;
}

Tree registrationTrees() {
    Tree t;
    for (const std::wstring& path : kTrees) readTree(path, t);
    return t;
}

// One tree refuses to go, as one whose rights another program has taken
// away does.
std::wstring g_refusedTree;
using DeleteTree = LSTATUS(WINAPI*)(HKEY, LPCWSTR);
DeleteTree g_deleteTree = nullptr;

LSTATUS WINAPI refusingDeleteTree(HKEY key, LPCWSTR sub) {
    if (sub && kClasses + sub == g_refusedTree) return ERROR_ACCESS_DENIED;
    return g_deleteTree(key, sub);
}

class RegistrationRollback : public ::testing::Test {
protected:
    void SetUp() override { unregisterServer(Scope::User); }
    void TearDown() override {
        failAllocation(-1);
        unregisterServer(Scope::User);
    }

    // A registration left by an earlier version in another folder: its
    // server path differs, it lacks a value, a key and a whole tree that
    // this one writes, and its interface key admits no lasting subkey, so
    // that registering over it fails near the end of the table.
    void earlierRegistrationThatBreaksTheNext() {
        ASSERT_EQ(registerServer(Scope::User), S_OK);
        RegKey server;
        ASSERT_EQ(reg::open(HKEY_CURRENT_USER, kClsid + L"\\InprocServer32", KEY_SET_VALUE, server),
                  ERROR_SUCCESS);
        ASSERT_EQ(reg::setString(server.get(), L"", L"C:\\Earlier\\tunecaster.dll"), ERROR_SUCCESS);
        ASSERT_EQ(reg::removeValue(server.get(), L"ThreadingModel"), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, (kClsid + L"\\Version").c_str()), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kTypeLib.c_str()), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kInterface.c_str()), ERROR_SUCCESS);
        RegKey volatileKey;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kInterface.c_str(), 0, nullptr,
                                  REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, volatileKey.put(),
                                  nullptr),
                  ERROR_SUCCESS);
    }
};

TEST_F(RegistrationRollback, AFailedWriteLeavesTheEarlierRegistrationAsItWas) {
    earlierRegistrationThatBreaksTheNext();
    const Tree before = registrationTrees();
    EXPECT_EQ(registerServer(Scope::User), SELFREG_E_CLASS);
    EXPECT_EQ(registrationTrees(), before);
}

TEST_F(RegistrationRollback, RunningOutOfMemoryAnywhereChangesNothingAndThrowsNothing) {
    earlierRegistrationThatBreaksTheNext();
    // Without the key that breaks it, registration goes through once memory
    // lasts: that ends each sweep.
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kInterface.c_str()), ERROR_SUCCESS);
    for (auto* run : {&registerServer, &unregisterServer}) {
        HRESULT hr = E_FAIL;
        for (long n = 0; n < 100000; ++n) {
            const Tree before = registrationTrees();
            failAllocation(n);
            EXPECT_NO_THROW(hr = run(Scope::User));
            failAllocation(-1);
            if (hr == S_OK) break;
            ASSERT_EQ(hr, E_OUTOFMEMORY) << "allocation " << n;
            ASSERT_EQ(registrationTrees(), before) << "allocation " << n;
        }
        EXPECT_EQ(hr, S_OK);
    }
}

// regsvr32 /u reports what removal returns: a tree left behind is a
// failure, and it keeps no other tree from going.
using Unregistration = RegistrationRollback;

// What registration writes is what the uninstaller removes without the DLL:
// the trees it adds are exactly the identity's.
TEST_F(RegistrationRollback, WritesUnderExactlyTheTreesTheInstallerRemoves) {
    for (const wchar_t* shared : {L"CLSID", L"TypeLib", L"Interface"}) {
        RegKey key;
        ASSERT_EQ(reg::create(HKEY_CURRENT_USER, kClasses + shared, KEY_READ, key), ERROR_SUCCESS);
    }
    const std::set<std::wstring> before = classKeys();
    ASSERT_EQ(registerServer(Scope::User), S_OK);
    const std::set<std::wstring> after = classKeys();
    const auto added = [&](const std::wstring& key) { return after.count(key) && !before.count(key); };
    std::set<std::wstring> roots; // added keys whose parent was there before
    for (const std::wstring& key : after)
        if (added(key) && !added(key.substr(0, key.rfind(L'\\')))) roots.insert(key);
    EXPECT_EQ(roots, std::set<std::wstring>(kTrees.begin(), kTrees.end()));
}

TEST_F(Unregistration, ATreeThatRefusesToGoIsAFailureAndTheOthersStillGo) {
    for (const std::wstring& refused : kTrees) {
        SCOPED_TRACE(refused);
        ASSERT_EQ(registerServer(Scope::User), S_OK);
        g_refusedTree = refused;
        {
            sim::ImportHook hook("advapi32.dll", "RegDeleteTreeW",
                                 reinterpret_cast<void*>(&refusingDeleteTree),
                                 reinterpret_cast<void**>(&g_deleteTree));
            ASSERT_TRUE(hook.active());
            EXPECT_EQ(unregisterServer(Scope::User), SELFREG_E_CLASS);
        }
        const Tree left = registrationTrees();
        EXPECT_EQ(left.count(refused), 1u);
        for (const auto& key : left) EXPECT_EQ(key.first.rfind(refused, 0), 0u) << key.first;
        EXPECT_EQ(unregisterServer(Scope::User), S_OK);
    }
}

} // namespace
} // namespace tc::test
