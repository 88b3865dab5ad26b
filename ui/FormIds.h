#pragma once
// Window classes, captions and control identifiers of the two dialogs, for
// anyone who has to find them from outside (the tests drive them this way).

namespace tc::ui {

inline constexpr const wchar_t* kOptionsClass = L"Tunecaster.frmOptions";
inline constexpr const wchar_t* kOptionsCaption = L"Options";
inline constexpr const wchar_t* kAboutClass = L"Tunecaster.frmAbout";

namespace options {
inline constexpr int Text1 = 101;    // name while nothing plays
inline constexpr int Text2 = 102;    // name while a song plays
inline constexpr int Text3 = 103;    // tag after the current name
inline constexpr int Text4 = 104;    // tag after the playing name
inline constexpr int Option1 = 111;  // current-name mode
inline constexpr int Option2 = 112;  // custom-name mode
inline constexpr int Label1 = 121;
inline constexpr int Label2 = 122;
inline constexpr int Command1 = 131; // save
} // namespace options

namespace about {
inline constexpr int LblTitle = 201;
inline constexpr int LblVersion = 202;
inline constexpr int Label2 = 203;
inline constexpr int LbDevelover = 204;
inline constexpr int LbEmail = 205;
inline constexpr int LbPhone = 206;
inline constexpr int Label1 = 207;
inline constexpr int Label3 = 208;
inline constexpr int Command2 = 211; // OK
inline constexpr int Command3 = 212; // System Info
} // namespace about

inline constexpr const wchar_t* kSysInfoUnavailable =
    L"System Information Is Unavailable At This Time";

} // namespace tc::ui
