#include "ui/SysInfo.h"

#include "platform/Handles.h"
#include "platform/Registry.h"
#include "platform/Product.h"
#include "ui/FormIds.h"

#include <cstring>
#include <memory>
#include <string>

namespace tc::ui {
namespace {

// Room for a path of 1,023 characters and its NUL.
constexpr DWORD kValueBufferBytes = 1024 * sizeof(wchar_t);

std::wstring hexDigits(DWORD number) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring digits;
    do {
        digits.insert(digits.begin(), kDigits[number & 0xF]);
        number >>= 4;
    } while (number);
    return digits;
}

bool isFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The registry's text is a command line, as the tool's own setup may write
// it: quoted already, or with arguments. Only a text that names one file as
// a whole is quoted, so that a path with blanks starts exactly that program
// and not a shorter one that happens to exist (C:\Program.exe).
bool startProgram(const std::wstring& path) {
    if (path.empty()) return false;
    std::wstring commandLine = isFile(path) ? L"\"" + path + L"\"" : path;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return false;
    KernelHandle process(started.hProcess), thread(started.hThread);
    return true;
}

void showUnavailable(HWND owner) {
    MessageBoxW(owner, kSysInfoUnavailable, product::kName, MB_OK);
}

} // namespace

void keyValueFromData(DWORD type, const BYTE* data, DWORD size, std::wstring& value) {
    switch (type) {
    case REG_SZ: {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        if (!text.empty()) std::memcpy(&text[0], data, text.size() * sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        value = text;
        break;
    }
    case REG_DWORD: {
        // Byte by byte, from the last kept to the first, each without a
        // leading zero, after whatever the text held already. A last byte of
        // zero is not kept, as if it ended a string.
        DWORD kept = size;
        if (kept > 0 && data[kept - 1] == 0) --kept;
        std::wstring digits = value;
        for (DWORD i = kept; i-- > 0;) digits += hexDigits(data[i]);
        value = L"&h" + digits;
        break;
    }
    default:
        break;
    }
}

bool GetKeyValue(HKEY root, const std::wstring& keyName, const std::wstring& valueName,
                 std::wstring& value) {
    reg::RawValue read;
    if (reg::getBounded(root, keyName, valueName, kValueBufferBytes, read) != ERROR_SUCCESS) {
        value.clear();
        return false;
    }
    keyValueFromData(read.type, read.bytes.data(), static_cast<DWORD>(read.bytes.size()), value);
    return true;
}

void StartSysInfo(HWND owner) {
    std::wstring path;
    if (!GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoPathValue, path)) {
        if (!GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoFolderKey, kSysInfoFolderValue, path)) {
            showUnavailable(owner);
            return;
        }
        const std::wstring program = path + kSysInfoProgram;
        if (!isFile(program)) {
            showUnavailable(owner);
            return;
        }
        path = program;
    }
    // The first key's path is not checked beforehand: a program that is not
    // there fails to start, and the user hears the same.
    if (!startProgram(path)) showUnavailable(owner);
}

} // namespace tc::ui
