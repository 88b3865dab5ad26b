#pragma once
// The "/name" command that sets the display name, composed from the naming
// settings and, in current-name mode, the user's present friendly name.
#include "settings/ShownName.h"

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

// Where the composition gets the naming settings, read at each use.
struct Sources {
    std::function<std::wstring(const wchar_t* key)> setting;
};

// Whether either naming mode is on: before the options were first saved,
// there is nothing to compose.
bool anyModeOn(const Sources& in);

// What the display name should show.
enum class Wanted {
    NowPlaying,
    // The player stopped, paused or went: the plain name, if the name shows
    // the song.
    Plain,
    // A now-playing name may have been left with no player playing: the
    // plain name only if the name is exactly one of ours.
    PlainIfLeftByUs,
};

// What to send for what is wanted, decided when it goes out, from the
// friendly name as it stands then and what was last shown for this user.
struct Decision {
    enum class Kind {
        Send,    // `command`, and for a now-playing name `shown` to keep first
        Nothing, // the name already says it, or is the user's own to keep
        Wait,    // the friendly name, needed for this, cannot be read yet
    } kind = Kind::Nothing;
    std::wstring command;
    std::optional<shownName::Shown> shown;
};

// `friendly` is nothing when it cannot be read. Every song is sent, even
// when the name reads the same: the add-on may show the song for the
// marker. A plain name goes out only when it changes the name: in
// current-name mode it is the user's own name under a name of ours, or
// under one cut at the tag as ever; in custom-name mode only a now-playing
// name of ours gives way to it, since any other is one the user set. A
// name of ours is the one kept in `last` or one composed exactly so now.
Decision decide(Wanted wanted, const Sources& in, const std::optional<std::wstring>& friendly,
                const std::optional<shownName::Shown>& last);

} // namespace tc::composer
