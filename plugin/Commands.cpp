#include "plugin/Commands.h"

#include "platform/Text.h"
#include "settings/SettingsStore.h"
#include "ui/Dialogs.h"

#include <iterator>

namespace tc {
namespace {

CommandOutcome options() {
    CommandOutcome out;
    out.hr = showOptionsDialog();
    out.clearResult = true;
    return out;
}
CommandOutcome about() { return {showAboutBox()}; }
CommandOutcome on() { return {writeSetting(keys::onOff, L"1")}; }
CommandOutcome off() { return {writeSetting(keys::onOff, L"0")}; }

// In the order the host numbers them and a typed text is compared with them.
constexpr CommandInfo kCommands[] = {
    {L"Options", L"xwinampoptions", options},
    {L"About", L"xwinampabout", about},
    {L"On", L"xwinampon", on},
    {L"Off", L"xwinampoff", off},
};

static_assert(std::size(kCommands) == kCommandCount, "the published count is the table's size");

} // namespace

long commandCount() { return kCommandCount; }

const CommandInfo* commandAt(long index) {
    if (index < 1 || index > commandCount()) return nullptr;
    return &kCommands[index - 1];
}

const CommandInfo* recognise(const std::wstring& text) {
    // Lower-case first, then compare without regard to case, in table order.
    const std::wstring lowered = lowerCase(text);
    for (const CommandInfo& command : kCommands) {
        const std::wstring word = std::wstring(L"/") + command.value;
        if (CompareStringOrdinal(lowered.c_str(), static_cast<int>(lowered.size()), word.c_str(),
                                 static_cast<int>(word.size()), TRUE) == CSTR_EQUAL)
            return &command;
    }
    return nullptr;
}

CommandOutcome runCommand(const std::wstring& text) {
    const CommandInfo* command = recognise(text);
    if (!command) return {};
    CommandOutcome out = command->run();
    out.handled = SUCCEEDED(out.hr);
    out.clearResult = out.clearResult && out.handled;
    return out;
}

} // namespace tc
