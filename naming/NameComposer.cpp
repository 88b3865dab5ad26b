#include "naming/NameComposer.h"

#include "settings/SettingsStore.h"

namespace tc::composer {
namespace {

bool flagOn(const Sources& in, const wchar_t* key) { return in.setting(key) == L"1"; }

// Empty, or nothing but spaces and other blank characters.
bool blankName(const std::wstring& name) {
    return name.find_first_not_of(L" \t\r\n\v\f\u00a0\u3000") == std::wstring::npos;
}

std::wstring nowPlayingName(const std::wstring& name, const std::wstring& tag) {
    return name + L" " + tag + kNowPlayingMarker;
}

// The user's own name under `friendly`: the one kept with the name we showed
// last, when it is that name, else the name up to the current tag.
std::wstring ownName(const Sources& in, const std::wstring& friendly,
                     const std::optional<shownName::Shown>& last) {
    if (last && friendly == last->name && !last->own.empty()) return last->own;
    return baseName(friendly, in.setting(keys::CurrentTag)).value_or(friendly);
}

Decision send(const std::wstring& name) {
    Decision d;
    d.kind = Decision::Kind::Send;
    d.command = kNameCommand + name;
    return d;
}

Decision wait() { return {Decision::Kind::Wait, {}, {}}; }

// The custom form wins when both modes are on.
Decision nowPlaying(const Sources& in, const std::optional<std::wstring>& friendly,
                    const std::optional<shownName::Shown>& last) {
    const bool known = friendly && !friendly->empty();
    std::wstring own, name;
    if (flagOn(in, keys::CustomName)) {
        // The custom form needs no friendly name; the user's own name under
        // it is kept when it can be had, for a later return to the other mode.
        own = known ? ownName(in, *friendly, last) : (last ? last->own : std::wstring());
        name = nowPlayingName(in.setting(keys::CustomNamePl), in.setting(keys::CustomTagPl));
    } else {
        if (!known) return wait();
        own = ownName(in, *friendly, last);
        name = nowPlayingName(own, in.setting(keys::CurrentTag));
    }
    Decision d = send(name);
    d.shown = shownName::Shown{name, own};
    return d;
}

// The name we showed last, or exactly the now-playing name that would be
// composed now if it were the present one, with nothing known of what was
// shown.
bool showsOurNowPlaying(const Sources& in, const std::wstring& friendly,
                        const std::optional<shownName::Shown>& last) {
    if (last && friendly == last->name) return true;
    const Decision d = nowPlaying(in, friendly, std::nullopt);
    return d.kind == Decision::Kind::Send && d.command == kNameCommand + friendly;
}

} // namespace

std::optional<std::wstring> baseName(const std::wstring& friendlyName, const std::wstring& tag) {
    if (friendlyName.empty()) return std::nullopt;
    const std::wstring delimiter = L" " + tag;
    for (size_t at = friendlyName.find(delimiter); at != std::wstring::npos;
         at = friendlyName.find(delimiter, at + 1)) {
        const size_t after = at + delimiter.size();
        if (after == friendlyName.size() || friendlyName[after] == L' ')
            return friendlyName.substr(0, at);
    }
    return friendlyName;
}

bool anyModeOn(const Sources& in) {
    return flagOn(in, keys::CurrentName) || flagOn(in, keys::CustomName);
}

// A blank display name would leave every contact looking at nothing: such a
// plain name is not sent. The now-playing forms always carry the marker.
Decision decide(Wanted wanted, const Sources& in, const std::optional<std::wstring>& friendly,
                const std::optional<shownName::Shown>& last) {
    // Before the options were first saved there is nothing to compose.
    if (!anyModeOn(in)) return wait();
    if (wanted == Wanted::NowPlaying) return nowPlaying(in, friendly, last);
    if (!friendly || friendly->empty()) return wait();
    const bool ours = showsOurNowPlaying(in, *friendly, last);
    std::wstring name;
    if (flagOn(in, keys::CustomName)) {
        if (!ours) return {};
        name = in.setting(keys::CustomNameNotPl);
    } else {
        if (wanted == Wanted::PlainIfLeftByUs && !ours) return {};
        name = ownName(in, *friendly, last);
    }
    if (blankName(name) || name == *friendly) return {};
    return send(name);
}

} // namespace tc::composer
