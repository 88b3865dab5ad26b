#pragma once
// Window classes, captions and control identifiers of the two dialogs, for
// anyone who has to find them from outside (the tests drive them this way).
// The class names are what other programs may already look for: kept.

namespace tc::ui {

inline constexpr const wchar_t* kOptionsClass = L"Tunecaster.frmOptions";
inline constexpr const wchar_t* kOptionsCaption = L"Options";
inline constexpr const wchar_t* kAboutClass = L"Tunecaster.frmAbout";

namespace options {
inline constexpr int PlainNameBox = 101;       // custom mode: the name while nothing plays
inline constexpr int PlayingNameBox = 102;     // custom mode: the name while a song plays
inline constexpr int CurrentTagBox = 103;      // current-name mode: the tag after the name
inline constexpr int PlayingTagBox = 104;      // custom mode: the tag after the playing name
inline constexpr int CurrentNameOption = 111;
inline constexpr int CustomNameOption = 112;
inline constexpr int PlainNameCaption = 121;
inline constexpr int PlayingNameCaption = 122;
inline constexpr int SaveButton = 131;
} // namespace options

namespace about {
inline constexpr int TitleLabel = 201;
inline constexpr int VersionLabel = 202;
inline constexpr int DeveloperHeading = 203;
inline constexpr int DeveloperLabel = 204;
inline constexpr int MailLabel = 205;
inline constexpr int WebsiteLabel = 206;
inline constexpr int OtherPluginsLabel = 207;
inline constexpr int WarningLabel = 208;
inline constexpr int OkButton = 211;
inline constexpr int SysInfoButton = 212;
} // namespace about

inline constexpr const wchar_t* kSysInfoUnavailable =
    L"System Information Is Unavailable At This Time";

} // namespace tc::ui
