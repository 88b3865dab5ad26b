#include "plugin/Registration.h"

#include "PlayerPlugin_h.h"
#include <olectl.h>
#include "platform/Registry.h"
#include "platform/Boundary.h"
#include "platform/Module.h"
#include "platform/Product.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tc {
namespace {

std::wstring guidText(REFGUID g) {
    wchar_t buf[40] = {};
    StringFromGUID2(g, buf, 40);
    return buf;
}

// One value under one of the trees that are ours alone. Removing those
// trees removes everything written.
struct Entry {
    std::wstring tree;  // under Software\Classes
    std::wstring sub;   // under the tree; empty: the tree's own key
    std::wstring name;  // empty: the key's default value
    std::wstring value;
    std::wstring path() const;
};

constexpr const wchar_t* kClasses = L"Software\\Classes";

std::wstring Entry::path() const {
    std::wstring p = std::wstring(kClasses) + L"\\" + tree;
    if (!sub.empty()) p += L"\\" + sub;
    return p;
}

// Everything registration writes, in one table, from which removing takes
// its trees, so that writing and removing cannot drift apart.
//
// The type library is registered under locale 0, not under its own 0x409:
// a lookup for the user's locale falls back to the language and then to 0,
// never to English, so on a German Windows a library under 409 is not found.
std::vector<Entry> entries(const std::wstring& dllPath) {
    const std::wstring clsidText = guidText(CLSID_PlayerPlugin);
    const std::wstring clsid = L"CLSID\\" + clsidText;
    const std::wstring libid = guidText(LIBID_Tunecaster);
    const std::wstring lib = L"TypeLib\\" + libid;
    const std::wstring version = product::kTypeLibVersion;
    const std::wstring itf = L"Interface\\" + guidText(IID__PlayerPlugin);
    const std::wstring progId = product::kProgId;
    const std::wstring progIdVersioned = product::kProgIdVersioned;
    const std::wstring oleMarshaler = L"{00020424-0000-0000-C000-000000000046}";
    return {
        {clsid, L"", L"", product::kClassDescription},
        {clsid, L"InprocServer32", L"", dllPath},
        {clsid, L"InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid, L"ProgID", L"", product::kProgIdVersioned},
        {clsid, L"VersionIndependentProgID", L"", product::kProgId},
        {clsid, L"TypeLib", L"", libid},
        {clsid, L"Version", L"", version},
        {progId, L"", L"", product::kClassDescription},
        {progId, L"CLSID", L"", clsidText},
        {progId, L"CurVer", L"", product::kProgIdVersioned},
        {progIdVersioned, L"", L"", product::kClassDescription},
        {progIdVersioned, L"CLSID", L"", clsidText},
        {lib, version, L"", product::kName},
        {lib, version + L"\\FLAGS", L"", L"0"},
        {lib, version + L"\\0\\win32", L"", dllPath},
        {itf, L"", L"", L"_PlayerPlugin"},
        {itf, L"ProxyStubClsid", L"", oleMarshaler},
        {itf, L"ProxyStubClsid32", L"", oleMarshaler},
        {itf, L"TypeLib", L"", libid},
        {itf, L"TypeLib", L"Version", version},
    };
}

// The trees the table writes under, each once.
std::vector<std::wstring> ownedTrees() {
    std::vector<std::wstring> trees;
    for (const Entry& e : entries(L""))
        if (std::find(trees.begin(), trees.end(), e.tree) == trees.end()) trees.push_back(e.tree);
    return trees;
}

HKEY rootOf(Scope scope) {
    return scope == Scope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The keys and values a registration is about to write, as they were before
// it started, and the means to put them back. A registration over an earlier
// one mostly rewrites what is there; undoing it must restore those values,
// not remove them. All that rolling back needs is gathered before the first
// write, so that it allocates nothing and cannot stop half-way.
class Undo {
public:
    explicit Undo(HKEY root) : root_(root) {}
    Undo(const Undo&) = delete;
    Undo& operator=(const Undo&) = delete;
    ~Undo() {
        if (armed_) rollBack();
    }

    // Records the key, each level of its path, and the value as they are
    // now. False when that cannot be read; then nothing may be written.
    bool remember(const std::wstring& path, const std::wstring& name) {
        for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
            std::wstring level = path.substr(0, end);
            if (std::find(seen_.begin(), seen_.end(), level) == seen_.end()) {
                RegKey key;
                const LSTATUS rc = reg::open(root_, level, KEY_QUERY_VALUE, key);
                if (rc == ERROR_FILE_NOT_FOUND) created_.push_back(level);
                else if (rc != ERROR_SUCCESS) return false;
                seen_.push_back(std::move(level));
            }
            if (end == std::wstring::npos) break;
        }
        Value before{path, name, false, {}};
        RegKey key;
        const LSTATUS opened = reg::open(root_, path, KEY_QUERY_VALUE, key);
        if (opened == ERROR_SUCCESS) {
            const LSTATUS read = reg::getValue(key.get(), name, before.old);
            if (read == ERROR_SUCCESS) before.existed = true;
            else if (read != ERROR_FILE_NOT_FOUND) return false;
        } else if (opened != ERROR_FILE_NOT_FOUND) {
            return false;
        }
        values_.push_back(std::move(before));
        return true;
    }

    // From the first write on, leaving without keep() puts everything back.
    void arm() { armed_ = true; }
    void keep() { armed_ = false; }

private:
    struct Value {
        std::wstring path, name;
        bool existed;
        reg::RawValue old;
    };

    void rollBack() noexcept {
        for (auto v = values_.rbegin(); v != values_.rend(); ++v) {
            RegKey key;
            if (reg::open(root_, v->path, KEY_SET_VALUE, key) != ERROR_SUCCESS) continue;
            if (v->existed) reg::setValue(key.get(), v->name, v->old);
            else reg::removeValue(key.get(), v->name);
        }
        // Children before their parents. RegDeleteKey leaves a key that has
        // gained a subkey meanwhile, which is then not ours to take.
        for (auto k = created_.rbegin(); k != created_.rend(); ++k) RegDeleteKeyW(root_, k->c_str());
    }

    HKEY root_;
    std::vector<std::wstring> seen_;     // every level looked at
    std::vector<std::wstring> created_;  // levels that were missing, parents first
    std::vector<Value> values_;
    bool armed_ = false;
};

HRESULT registerIn(HKEY root) {
    const std::wstring dll = module::path();
    if (dll.empty()) return HRESULT_FROM_WIN32(GetLastError());
    const std::vector<Entry> table = entries(dll);
    Undo undo(root);
    for (const Entry& e : table) {
        if (!undo.remember(e.path(), e.name)) return SELFREG_E_CLASS;
    }
    undo.arm();
    for (const Entry& e : table) {
        RegKey key;
        if (reg::create(root, e.path(), KEY_SET_VALUE, key) != ERROR_SUCCESS ||
            reg::setString(key.get(), e.name, e.value) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    undo.keep();
    return S_OK;
}

HRESULT unregisterIn(HKEY root) {
    RegKey classes;
    if (reg::open(root, kClasses, KEY_ALL_ACCESS, classes) != ERROR_SUCCESS)
        return S_OK; // nothing of ours can be there
    HRESULT result = S_OK;
    for (const std::wstring& tree : ownedTrees()) {
        LSTATUS rc = RegDeleteTreeW(classes.get(), tree.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
    }
    return result;
}

} // namespace

HRESULT registerServer(Scope scope) noexcept {
    return comBoundary([scope] { return registerIn(rootOf(scope)); });
}

HRESULT unregisterServer(Scope scope) noexcept {
    return comBoundary([scope] { return unregisterIn(rootOf(scope)); });
}

} // namespace tc
