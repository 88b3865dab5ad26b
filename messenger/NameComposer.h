#pragma once
// The "/name" command that sets the display name, composed from the naming
// settings and, in current-name mode, the user's present friendly name.
#include <functional>
#include <optional>
#include <string>

namespace tc::composer {

// Ends every now-playing command; the add-on recognises its own commands by it.
inline constexpr const wchar_t* kNowPlayingMarker = L" (!WAT)";
inline constexpr const wchar_t* kNameCommand = L"/name ";

// The friendly name up to the first " " + tag (exact, case-sensitive) that
// stands as a whole word, followed by a space or by the end of the name; the
// whole name when there is none. Stripping at the first occurrence is what
// keeps tags from piling up when a tagged name is composed again; the whole
// word is what keeps an empty tag, or one that starts a longer word, from
// cutting the user's own name. An empty friendly name gives nothing.
std::optional<std::wstring> baseName(const std::wstring& friendlyName, const std::wstring& tag);

// "/name " + name + " " + tag + " (!WAT)"
std::wstring nowPlayingCommand(const std::wstring& name, const std::wstring& tag);
// "/name " + name
std::wstring plainCommand(const std::wstring& name);

// Where the composition gets its inputs. Settings are read at each use; the
// friendly name only in current-name mode, and it may fail (false).
struct Sources {
    std::function<std::wstring(const wchar_t* key)> setting;
    std::function<bool(std::wstring& name)> friendlyName;
};

// Stage the command into `staged`: the current-name form first when its flag
// is on, then the custom form, which wins when both are on. A form whose
// inputs cannot be had, or a plain form whose name would be blank, leaves
// `staged` as it was. True when this call staged a command; false means
// there is nothing new to send.
bool composeNowPlaying(const Sources& in, std::wstring& staged);
bool composePlain(const Sources& in, std::wstring& staged);

// Whether `friendlyName` is exactly the name composeNowPlaying would set now
// if it were the present friendly name: "/name " + it is that command.
bool isNowPlayingName(const Sources& in, const std::wstring& friendlyName);

} // namespace tc::composer
