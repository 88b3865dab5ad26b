#pragma once
// Finding and starting the Windows system information tool for the about box.
#include <windows.h>

#include <string>

namespace tc::ui {

inline constexpr const wchar_t* kSysInfoKey = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const wchar_t* kSysInfoPathValue = L"PATH";
inline constexpr const wchar_t* kSysInfoFolderKey = L"SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const wchar_t* kSysInfoFolderValue = L"MSINFO";
inline constexpr const wchar_t* kSysInfoProgram = L"\\MSINFO32.EXE";

// Reads one value of root\keyName as text into `value`. The key is opened
// for reading only: users without write access to the machine's keys can
// still find the tool. A missing key or value empties `value` and gives
// false. Text values come back without their terminating NUL; a DWORD comes
// back as "&h" and its hexadecimal digits; any other type leaves `value` as
// it was (and still gives true).
bool GetKeyValue(HKEY root, const std::wstring& keyName, const std::wstring& valueName,
                 std::wstring& value);

// The conversion GetKeyValue applies to the bytes it has read.
void keyValueFromData(DWORD type, const BYTE* data, DWORD size, std::wstring& value);

// Starts the tool in a normal window with the focus, or tells the user, in
// a message box owned by `owner`, that it is not available.
void StartSysInfo(HWND owner);

} // namespace tc::ui
