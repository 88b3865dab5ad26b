#include "naming/NameComposer.h"

#include "settings/SettingsStore.h"

namespace tc::composer {
namespace {

bool flagOn(const Sources& in, const wchar_t* key) { return in.setting(key) == L"1"; }

// Empty, or nothing but spaces and other blank characters.
bool blankName(const std::wstring& name) {
    return name.find_first_not_of(L" \t\r\n\v\f\u00a0\u3000") == std::wstring::npos;
}

// The base name from the friendly name and "CurrentTag"; nothing when the
// friendly name cannot be read or is empty.
std::optional<std::wstring> currentBase(const Sources& in, std::wstring& tag) {
    std::wstring friendly;
    if (!in.friendlyName || !in.friendlyName(friendly)) return std::nullopt;
    tag = in.setting(keys::CurrentTag);
    return baseName(friendly, tag);
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

bool showsOurNowPlaying(const Sources& in, const std::wstring& friendly,
                        const std::optional<shownName::Shown>& last) {
    return (last && friendly == last->name) || isNowPlayingName(in, friendly);
}

Decision send(const std::wstring& name) {
    Decision d;
    d.kind = Decision::Kind::Send;
    d.command = kNameCommand + name;
    return d;
}

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
        if (!known) return {Decision::Kind::Wait, {}, {}};
        own = ownName(in, *friendly, last);
        name = nowPlayingName(own, in.setting(keys::CurrentTag));
    }
    Decision d = send(name);
    d.shown = shownName::Shown{name, own};
    return d;
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

std::wstring nowPlayingCommand(const std::wstring& name, const std::wstring& tag) {
    return kNameCommand + nowPlayingName(name, tag);
}

std::wstring plainCommand(const std::wstring& name) { return kNameCommand + name; }

bool anyModeOn(const Sources& in) {
    return flagOn(in, keys::CurrentName) || flagOn(in, keys::CustomName);
}

bool composeNowPlaying(const Sources& in, std::wstring& staged) {
    bool composed = false;
    if (flagOn(in, keys::CurrentName)) {
        std::wstring tag;
        if (std::optional<std::wstring> base = currentBase(in, tag)) {
            staged = nowPlayingCommand(*base, tag);
            composed = true;
        }
    }
    if (flagOn(in, keys::CustomName)) {
        staged = nowPlayingCommand(in.setting(keys::CustomNamePl), in.setting(keys::CustomTagPl));
        composed = true;
    }
    return composed;
}

// A blank display name would leave every contact looking at nothing: such a
// form is not composed. The now-playing forms always carry the marker.
bool composePlain(const Sources& in, std::wstring& staged) {
    bool composed = false;
    if (flagOn(in, keys::CurrentName)) {
        std::wstring tag;
        std::optional<std::wstring> base = currentBase(in, tag);
        if (base && !blankName(*base)) {
            staged = plainCommand(*base);
            composed = true;
        }
    }
    if (flagOn(in, keys::CustomName)) {
        const std::wstring name = in.setting(keys::CustomNameNotPl);
        if (!blankName(name)) {
            staged = plainCommand(name);
            composed = true;
        }
    }
    return composed;
}

bool isNowPlayingName(const Sources& in, const std::wstring& friendlyName) {
    Sources present = in;
    present.friendlyName = [&friendlyName](std::wstring& name) {
        name = friendlyName;
        return true;
    };
    std::wstring command;
    return composeNowPlaying(present, command) && command == kNameCommand + friendlyName;
}

Decision decide(Wanted wanted, const Sources& in, const std::optional<std::wstring>& friendly,
                const std::optional<shownName::Shown>& last) {
    if (wanted == Wanted::NowPlaying) return nowPlaying(in, friendly, last);
    if (!friendly || friendly->empty()) return {Decision::Kind::Wait, {}, {}};
    const bool ours = showsOurNowPlaying(in, *friendly, last);
    std::wstring name;
    if (flagOn(in, keys::CustomName)) {
        if (!ours) return {};
        name = in.setting(keys::CustomNameNotPl);
    } else if (flagOn(in, keys::CurrentName)) {
        if (wanted == Wanted::PlainIfLeftByUs && !ours) return {};
        name = ownName(in, *friendly, last);
    } else {
        return {Decision::Kind::Wait, {}, {}};
    }
    if (blankName(name) || name == *friendly) return {};
    return send(name);
}

} // namespace tc::composer
