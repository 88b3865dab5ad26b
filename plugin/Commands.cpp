#include "plugin/Commands.h"

#include "platform/Text.h"
#include "settings/SettingsStore.h"
#include "ui/Dialogs.h"

namespace tc {

const CommandInfo* commandAt(long index) {
    if (index < 1 || index > kCommandCount) return nullptr;
    return &kCommands[index - 1];
}

Command recognise(const std::wstring& text) {
    // Lower-case first, then compare without regard to case, in table order.
    const std::wstring lowered = lowerCase(text);
    static constexpr Command order[] = {Command::Options, Command::About, Command::On,
                                        Command::Off};
    for (long i = 0; i < kCommandCount; ++i) {
        std::wstring word = std::wstring(L"/") + kCommands[i].value;
        if (CompareStringOrdinal(lowered.c_str(), static_cast<int>(lowered.size()), word.c_str(),
                                 static_cast<int>(word.size()), TRUE) == CSTR_EQUAL)
            return order[i];
    }
    return Command::None;
}

CommandOutcome runCommand(const std::wstring& text) {
    CommandOutcome out;
    switch (recognise(text)) {
    case Command::None:
        return out;
    case Command::Options:
        out.hr = showOptionsDialog();
        out.clearResult = SUCCEEDED(out.hr);
        break;
    case Command::About:
        out.hr = showAboutBox();
        break;
    case Command::On:
        out.hr = writeSetting(keys::onOff, L"1");
        break;
    case Command::Off:
        out.hr = writeSetting(keys::onOff, L"0");
        break;
    }
    out.handled = SUCCEEDED(out.hr);
    return out;
}

} // namespace tc
