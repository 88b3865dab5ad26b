#include "messenger/NameComposer.h"

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
    return kNameCommand + name + L" " + tag + kNowPlayingMarker;
}

std::wstring plainCommand(const std::wstring& name) { return kNameCommand + name; }

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

} // namespace tc::composer
