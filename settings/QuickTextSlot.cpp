#include "settings/QuickTextSlot.h"

#include "platform/Registry.h"

namespace tc::quickText {
namespace {

constexpr const wchar_t* kSlotValues[] = {L"Message", L"AutoSend"};
// Written last: a copy without it was interrupted and says nothing.
constexpr const wchar_t* kCompleteMark = L"Saved";
constexpr size_t kLongestKeyName = 255;

bool complete(HKEY copy) {
    reg::RawValue mark;
    return reg::getValue(copy, kCompleteMark, mark) == ERROR_SUCCESS && mark.type == REG_DWORD;
}

std::wstring copyPath(const std::wstring& signinName) {
    return std::wstring(kSavedSlotsPath) + L"\\" + signinName;
}

// Copies what the slot holds now; an absent value is recorded by its absence.
bool takeCopy(const std::wstring& slot, HKEY copy) {
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
    return reg::setDword(copy, kCompleteMark, 1) == ERROR_SUCCESS;
}

// Puts the copy's values into the slot, and takes out those it did not have.
bool restore(const std::wstring& slot, HKEY copy) {
    for (const wchar_t* name : kSlotValues) {
        reg::RawValue value;
        const LSTATUS read = reg::getValue(copy, name, value);
        if (read == ERROR_SUCCESS) {
            RegKey slotKey;
            if (reg::create(HKEY_CURRENT_USER, slot, KEY_SET_VALUE, slotKey) != ERROR_SUCCESS ||
                reg::setValue(slotKey.get(), name, value) != ERROR_SUCCESS)
                return false;
        } else if (read == ERROR_FILE_NOT_FOUND) {
            RegKey slotKey;
            const LSTATUS opened = reg::open(HKEY_CURRENT_USER, slot, KEY_SET_VALUE, slotKey);
            if (opened == ERROR_FILE_NOT_FOUND) continue;
            if (opened != ERROR_SUCCESS || reg::removeValue(slotKey.get(), name) != ERROR_SUCCESS)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::wstring> slotPath(const std::wstring& signinName) {
    if (signinName.empty() || signinName.size() > kLongestKeyName || signinName == L"." ||
        signinName == L".." || signinName.find_first_of(std::wstring(L"\\\0", 2)) != std::wstring::npos)
        return std::nullopt;
    return L"Software\\Venmoor\\Kestrix2\\" + signinName + L"\\Preferences\\QuickTexts\\QuickText09";
}

bool keepOriginal(const std::wstring& signinName) {
    const std::optional<std::wstring> slot = slotPath(signinName);
    if (!slot) return false;
    RegKey copy;
    if (reg::create(HKEY_CURRENT_USER, copyPath(signinName), KEY_QUERY_VALUE | KEY_SET_VALUE,
                    copy) != ERROR_SUCCESS)
        return false;
    return complete(copy.get()) || takeCopy(*slot, copy.get());
}

HRESULT giveBackAll() {
    RegKey saved;
    if (reg::open(HKEY_CURRENT_USER, kSavedSlotsPath, KEY_READ | KEY_WRITE, saved) != ERROR_SUCCESS)
        return S_OK; // nothing was ever taken over
    HRESULT result = S_OK;
    std::vector<std::wstring> names;
    reg::subkeyNames(saved.get(), names);
    for (const std::wstring& name : names) {
        const std::optional<std::wstring> slot = slotPath(name);
        RegKey copy;
        reg::open(saved.get(), name, KEY_QUERY_VALUE, copy);
        // An unfinished copy stopped the write it was taken for: the slot
        // still holds what the copy would have said.
        if (slot && copy && complete(copy.get()) && !restore(*slot, copy.get())) {
            result = HRESULT_FROM_WIN32(ERROR_CANTWRITE);
            continue;
        }
        copy = RegKey();
        RegDeleteTreeW(saved.get(), name.c_str());
    }
    saved = RegKey();
    if (SUCCEEDED(result)) RegDeleteKeyW(HKEY_CURRENT_USER, kSavedSlotsPath);
    return result;
}

} // namespace tc::quickText
