#include "delivery/QuickTextSlot.h"

#include "platform/Registry.h"
#include "delivery/SlotValues.h"

#include <cstring>

namespace tc::quickText {
namespace {

constexpr const wchar_t* kSlotValues[] = {L"Message", L"AutoSend"};
// Written last: a copy without it was interrupted and says nothing.
constexpr const wchar_t* kCompleteMark = L"Saved";
// How many keys at the end of the slot's path did not exist when the copy
// was taken: the plug-in's first write created them, and they go again.
constexpr const wchar_t* kMissingLevels = L"MissingLevels";
// The command the plug-in last wrote to the slot, recorded before the write.
constexpr const wchar_t* kLastWrite = L"Written";
// Software\Venmoor\Kestrix2\<name>\Preferences\QuickTexts\QuickText09:
// everything below Software may be missing.
constexpr DWORD kSlotLevels = 6;

bool complete(HKEY copy) {
    reg::RawValue mark;
    return reg::getValue(copy, kCompleteMark, mark) == ERROR_SUCCESS && mark.type == REG_DWORD;
}

std::wstring copyPath(const std::wstring& signinName) {
    return std::wstring(kSavedSlotsPath) + L"\\" + signinName;
}

std::wstring parentOf(const std::wstring& path) {
    const size_t at = path.rfind(L'\\');
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}

// How many keys at the end of the slot's path do not exist; false when that
// cannot be told.
bool countMissing(const std::wstring& slot, DWORD& missing) {
    missing = 0;
    std::wstring path = slot;
    while (missing < kSlotLevels) {
        RegKey key;
        const LSTATUS opened = reg::open(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE, key);
        if (opened == ERROR_SUCCESS) return true;
        if (opened != ERROR_FILE_NOT_FOUND) return false;
        ++missing;
        path = parentOf(path);
    }
    return true;
}

// Copies what the slot holds now; an absent value is recorded by its absence.
bool takeCopy(const std::wstring& slot, HKEY copy) {
    DWORD missing = 0;
    if (!countMissing(slot, missing)) return false;
    RegKey slotKey;
    const LSTATUS opened = reg::open(HKEY_CURRENT_USER, slot, KEY_QUERY_VALUE, slotKey);
    if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) return false;
    for (const wchar_t* name : kSlotValues) {
        reg::RawValue value;
        const LSTATUS read =
            slotKey ? reg::getValue(slotKey.get(), name, value) : ERROR_FILE_NOT_FOUND;
        LSTATUS kept = ERROR_SUCCESS;
        if (read == ERROR_SUCCESS) kept = reg::setValue(copy, name, value);
        else if (read == ERROR_FILE_NOT_FOUND) kept = reg::removeValue(copy, name);
        else return false;
        if (kept != ERROR_SUCCESS) return false;
    }
    if (reg::setDword(copy, kMissingLevels, missing) != ERROR_SUCCESS) return false;
    return reg::setDword(copy, kCompleteMark, 1) == ERROR_SUCCESS;
}

// A text value as text: whether its terminator was stored or not (the
// add-on may store the slot again either way) says nothing about its text.
std::optional<std::wstring> textOf(const reg::RawValue& value) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return std::nullopt;
    std::wstring text(value.bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(&text[0], value.bytes.data(), text.size() * sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

// True while the slot's text is the one the copy records as the plug-in's
// last write: then nobody else has written the slot since, and what the
// copy holds is still the user's latest text of their own.
bool holdsOurLastWrite(const std::wstring& slot, HKEY copy) {
    reg::RawValue ours;
    if (reg::getValue(copy, kLastWrite, ours) != ERROR_SUCCESS) return false;
    RegKey slotKey;
    reg::RawValue now;
    if (reg::open(HKEY_CURRENT_USER, slot, KEY_QUERY_VALUE, slotKey) != ERROR_SUCCESS ||
        reg::getValue(slotKey.get(), L"Message", now) != ERROR_SUCCESS)
        return false;
    const std::optional<std::wstring> recorded = textOf(ours);
    return recorded && textOf(now) == recorded;
}

bool isEmpty(HKEY key) {
    DWORD subkeys = 0, values = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

// Takes away the keys the plug-in's first write created, from the slot
// upwards, each only while it is empty: whatever the user or the add-on put
// there since stays.
bool removeCreatedKeys(const std::wstring& slot, DWORD levels) {
    std::wstring path = slot;
    for (DWORD i = 0; i < levels && i < kSlotLevels; ++i, path = parentOf(path)) {
        RegKey key;
        const LSTATUS opened = reg::open(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE, key);
        if (opened == ERROR_FILE_NOT_FOUND) continue;
        if (opened != ERROR_SUCCESS) return false;
        if (!isEmpty(key.get())) return true;
        key = RegKey();
        const LSTATUS deleted = RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return false;
    }
    return true;
}

// Puts the copy's values into the slot, which exists (it holds our last
// write), and takes out those it did not have.
bool restore(const std::wstring& slot, HKEY copy) {
    RegKey slotKey;
    if (reg::open(HKEY_CURRENT_USER, slot, KEY_SET_VALUE, slotKey) != ERROR_SUCCESS) return false;
    for (const wchar_t* name : kSlotValues) {
        reg::RawValue value;
        const LSTATUS read = reg::getValue(copy, name, value);
        LSTATUS put = ERROR_SUCCESS;
        if (read == ERROR_SUCCESS) put = reg::setValue(slotKey.get(), name, value);
        else if (read == ERROR_FILE_NOT_FOUND) put = reg::removeValue(slotKey.get(), name);
        else return false;
        if (put != ERROR_SUCCESS) return false;
    }
    slotKey = RegKey();
    DWORD missing = 0;
    reg::RawValue levels;
    if (reg::getValue(copy, kMissingLevels, levels) == ERROR_SUCCESS && levels.type == REG_DWORD &&
        levels.bytes.size() == sizeof(DWORD))
        missing = *reinterpret_cast<const DWORD*>(levels.bytes.data());
    return removeCreatedKeys(slot, missing);
}

// The copy of the user's slot, taken now if it was not yet, and left open
// for the caller; false when there is none (and the slot must not be
// written).
bool openKeptCopy(const std::wstring& signinName, RegKey& copy) {
    const std::optional<std::wstring> slot = slotPath(signinName);
    if (!slot) return false;
    if (reg::create(HKEY_CURRENT_USER, copyPath(signinName), KEY_QUERY_VALUE | KEY_SET_VALUE,
                    copy) != ERROR_SUCCESS)
        return false;
    return complete(copy.get()) || takeCopy(*slot, copy.get());
}

} // namespace

std::optional<std::wstring> slotPath(const std::wstring& signinName) {
    if (!reg::isOneKeyName(signinName)) return std::nullopt;
    return L"Software\\Venmoor\\Kestrix2\\" + signinName + L"\\Preferences\\QuickTexts\\QuickText09";
}

bool keepOriginal(const std::wstring& signinName) {
    RegKey copy;
    return openKeptCopy(signinName, copy);
}

// The record goes first: should the slot's write then fail, the slot holds
// something else than the record and is left as it is at the give-back,
// which loses nothing of the user's.
bool writeCommand(const std::wstring& signinName, const std::wstring& command) {
    RegKey copy;
    if (!openKeptCopy(signinName, copy) ||
        reg::setString(copy.get(), kLastWrite, command) != ERROR_SUCCESS)
        return false;
    const std::wstring slot = *slotPath(signinName);
    if (slotValues::readDword(HKEY_CURRENT_USER, slot, L"AutoSend") == 0)
        slotValues::writeDword(HKEY_CURRENT_USER, slot, L"AutoSend", 1);
    return slotValues::writeString(HKEY_CURRENT_USER, slot, L"Message", command);
}

HRESULT giveBackAll() {
    RegKey saved;
    if (reg::open(HKEY_CURRENT_USER, kSavedSlotsPath, KEY_READ | KEY_WRITE, saved) != ERROR_SUCCESS)
        return S_OK; // nothing was ever taken over
    HRESULT result = S_OK;
    std::vector<std::wstring> names;
    const LSTATUS listed = reg::subkeyNames(saved.get(), names);
    if (listed != ERROR_SUCCESS) return HRESULT_FROM_WIN32(listed);
    for (const std::wstring& name : names) {
        const std::optional<std::wstring> slot = slotPath(name);
        RegKey copy;
        reg::open(saved.get(), name, KEY_QUERY_VALUE, copy);
        // An unfinished copy stopped the write it was taken for: the slot
        // still holds what the copy would have said. A slot that no longer
        // holds our last write (the user's own text, or a profile that is
        // gone) is not ours to change.
        if (slot && copy && complete(copy.get()) && holdsOurLastWrite(*slot, copy.get()) &&
            !restore(*slot, copy.get())) {
            result = HRESULT_FROM_WIN32(ERROR_CANTWRITE);
            continue;
        }
        copy = RegKey();
        const LSTATUS deleted = RegDeleteTreeW(saved.get(), name.c_str());
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND)
            result = HRESULT_FROM_WIN32(deleted);
    }
    saved = RegKey();
    if (SUCCEEDED(result)) {
        const LSTATUS deleted = RegDeleteKeyW(HKEY_CURRENT_USER, kSavedSlotsPath);
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND)
            result = HRESULT_FROM_WIN32(deleted);
    }
    return result;
}

} // namespace tc::quickText
