#include "sim/programs/host/Demo.h"

#include "sim/common/ForegroundRule.h"
#include "sim/common/OtherProgram.h"
#include "sim/common/Pump.h"
#include "sim/messenger/SimMessenger.h"
#include "sim/player/PlayerSim.h"
#include "sim/programs/host/Console.h"

#include "platform/Product.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace tc::host {
namespace {

const std::wstring kSettings = std::wstring(product::kSettingsKey) + L"\\Data";
// A change, a stop or a pause takes one tick; the very first song two, as the
// hidden conversation opens first. A step leaves a tick to spare.
constexpr DWORD kStepMs = 3000;
constexpr DWORD kTickMs = 1000;

void writeSetting(const wchar_t* key, const std::wstring& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettings.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(k, key, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

// Dispatches this thread's messages (the plug-in's timer, the conversation
// windows, the keys) for `ms`, reporting what the add-on sends meanwhile.
class Watcher {
public:
    explicit Watcher(sim::SimMessenger& m) : m_(m), sent_(m.sendCount()), opened_(m.instantMessageCalls()) {}

    void pumpFor(DWORD ms) {
        sim::pumpUntil([this] { report(); return false; }, ms);
    }
    // Pumps until the add-on has sent something new (reported as usual) or
    // `ms` have passed; true when it has.
    bool pumpUntilSent(DWORD ms) {
        const size_t before = sent_;
        return sim::pumpUntil([&] { report(); return sent_ > before; }, ms);
    }

private:
    void report() {
        if (m_.instantMessageCalls() > opened_) {
            opened_ = m_.instantMessageCalls();
            openedAt_ = GetTickCount();
            line("plug-in", L"opened its hidden conversation with Debug.Window (no keys on this "
                            L"call; the name follows at the next tick)");
        }
        std::vector<sim::SentText> all = m_.timeline();
        for (; sent_ < all.size(); ++sent_) {
            const sim::SentText& s = all[sent_];
            std::wstring after;
            if (openedAt_) {
                wchar_t ms[32];
                swprintf(ms, 32, L"%.2f", (GetTickCount() - *openedAt_) / 1000.0);
                after = L"  (" + std::wstring(ms) + L" s after the conversation opened)";
                openedAt_.reset();
            }
            line("add-on", L"sent '" + s.text + L"' into " +
                               (s.contact.empty() ? std::wstring(L"a conversation") : s.contact) +
                               L"  ->  display name: " + s.friendlyNameAfter + after);
        }
    }

    sim::SimMessenger& m_;
    size_t sent_;
    int opened_;
    std::optional<DWORD> openedAt_;
};

struct Step {
    const char* what;
    std::function<void()> act;
    bool playing; // the display name should show the song once the step settles
};

struct Verdict {
    int checks = 0, failures = 0;
};

void check(sim::SimMessenger& m, const std::wstring& expected, Verdict& v) {
    const std::wstring name = m.friendlyName();
    ++v.checks;
    if (name == expected) {
        line("check", L"display name is '" + name + L"'  ok");
    } else {
        ++v.failures;
        line("check", L"display name is '" + name + L"', expected '" + expected + L"'  MISMATCH");
    }
}

void runPlayer(sim::SimMessenger& m, Watcher& w, sim::PlayerSim& player,
               const std::vector<Step>& steps, const std::wstring& nowPlaying,
               const std::wstring& plainName, Verdict& v) {
    for (const Step& step : steps) {
        step.act();
        line("player", std::wstring(step.what, step.what + std::strlen(step.what)) + L": " +
                           (player.isOpen() ? player.title() : std::wstring(L"(closed)")));
        w.pumpFor(kStepMs);
        check(m, step.playing ? nowPlaying : plainName, v);
    }
}

// The user opens a conversation with `contact`, and the player opens and
// plays `song`, whose name goes out there. Returns the conversation.
HWND playInAConversation(sim::SimMessenger& m, Watcher& w, sim::PlayerSim& p,
                         const std::wstring& contact, int song, const std::wstring& nowPlaying,
                         Verdict& v) {
    line("user", L"opens a conversation with " + contact);
    HWND conversation = m.openConversation(contact);
    p.open();
    p.play(song);
    line("player", L"gen 2 opens, plays " + std::to_wstring(song) + L": " + p.title());
    w.pumpFor(kStepMs);
    check(m, nowPlaying, v);
    return conversation;
}

// The user works in another program while the music goes on. Windows then
// refuses the messenger the front, so the plug-in must not fight for it:
// its command waits, and goes out once the user is back in a conversation.
void anotherProgramScene(sim::SimMessenger& m, Watcher& w, const std::wstring& nowPlaying,
                         const std::wstring& plainName, Verdict& v) {
    namespace rule = sim::foregroundRule;
    rule::install();
    rule::install(GetModuleHandleW(TC_WIDEN(TC_DLL_NAME) L".dll"));
    rule::setOn(true);
    sim::PlayerSim p(2);
    HWND bob = playInAConversation(m, w, p, L"bob@example.com", 2, nowPlaying, v);
    {
        line("user", L"switches to another program, which now has the front; Windows' foreground "
                     L"rule is on (Wine does not apply it by itself)");
        sim::OtherProgram other;
        if (!other.ok()) {
            line("demo", L"could not start the other program  MISMATCH");
            ++v.checks;
            ++v.failures;
            return;
        }
        rule::resetCounts();
        const size_t sent = m.sendCount();
        p.play(5);
        line("player", L"plays 5: " + p.title());
        w.pumpFor(kStepMs);
        p.stop();
        line("player", L"stops: " + p.title());
        w.pumpFor(kStepMs);
        const rule::Counts c = rule::counts();
        line("plug-in", L"another program is in front: the command waits (" +
                            std::to_wstring(m.sendCount() - sent) + L" texts sent, " +
                            std::to_wstring(c.total()) + L" calls for the front or keys, " +
                            std::to_wstring(other.keys()) + L" keys reached the other program)");
        check(m, nowPlaying, v);
        line("user", L"comes back to the conversation with bob@example.com");
        rule::userActivates(bob);
        const DWORD back = GetTickCount();
        const bool arrived = w.pumpUntilSent(3 * kTickMs);
        const DWORD after = GetTickCount() - back;
        wchar_t seconds[32];
        swprintf(seconds, 32, L"%.2f", after / 1000.0);
        line("plug-in", arrived ? L"the waiting command went out " + std::wstring(seconds) +
                                      L" s after the user came back" +
                                      (after <= kTickMs + 100 ? L" (within a tick)" : L"")
                                : L"the waiting command did not go out");
        check(m, plainName, v);
        line("user", L"closes the other program and the conversation, and is back in the "
                     L"messenger's contact list");
    }
    rule::setOn(false);
    p.close();
    w.pumpFor(kStepMs);
    m.closeConversation(bob);
    m.showContactList();
    w.pumpFor(500);
}

// The user types a reply in a conversation while the song ends, and leaves
// it unsent to think. Alt+0 between their keys, or into the box that holds
// their draft, would send the draft with the quick text: the plain name
// waits for the pause after their last key, goes out through the hidden
// conversation, and the reply stays in the box as they left it.
void typingScene(sim::SimMessenger& m, Watcher& w, const std::wstring& nowPlaying,
                 const std::wstring& plainName, Verdict& v) {
    sim::PlayerSim p(2);
    HWND carol = playInAConversation(m, w, p, L"carol@example.com", 4, nowPlaying, v);
    const std::wstring reply = L"see you at eight";
    line("user", L"types a reply, a key every 250 ms, and leaves it unsent: '" + reply + L"'");
    DWORD lastKey = 0;
    for (size_t i = 0; i < reply.size(); ++i) {
        sim::foregroundRule::userTypes(static_cast<WORD>(towupper(reply[i])));
        lastKey = GetTickCount();
        if (i == 2) {
            p.stop();
            line("player", L"stops: " + p.title() + L"  (the name waits: the user is typing)");
        }
        w.pumpFor(250);
    }
    line("user", L"stops typing to think");
    const bool arrived = w.pumpUntilSent(3 * kTickMs);
    wchar_t seconds[32];
    swprintf(seconds, 32, L"%.2f", (GetTickCount() - lastKey) / 1000.0);
    line("plug-in", arrived ? L"the waiting command went out " + std::wstring(seconds) +
                                  L" s after the user's last key (a pause of 1 s, then the "
                                  L"next tick), through the hidden conversation"
                            : L"the waiting command did not go out");
    check(m, plainName, v);
    sim::Conversation after;
    for (const sim::Conversation& c : m.conversations())
        if (c.window == carol) after = c;
    ++v.checks;
    const std::wstring expectedKeys = L"[Alt+0]" + reply;
    if (after.draft == reply && after.messages.empty() && after.keys == expectedKeys &&
        GetForegroundWindow() == carol) {
        line("check", L"the reply is still in the box, unsent, with no Alt+0 in it, and the "
                      L"conversation is in front: '" + after.draft + L"'  ok");
    } else {
        ++v.failures;
        line("check", L"the box holds '" + after.draft + L"', " +
                          std::to_wstring(after.messages.size()) + L" messages sent, keys '" +
                          after.keys + L"'; expected '" + reply + L"' unsent, keys '" +
                          expectedKeys + L"', the conversation in front  MISMATCH");
    }
    line("user", L"closes the player and the conversation, and is back in the messenger's "
                 L"contact list");
    p.close();
    w.pumpFor(kStepMs);
    m.closeConversation(carol);
    m.showContactList();
    w.pumpFor(500);
}

} // namespace

void printPublished(const PluginInfo& info) {
    plain(L"Plug-in \"" + info.name + L"\": " + std::to_wstring(info.commandCount) +
          L" commands, " + std::to_wstring(info.tagCount) + L" tags");
    for (const PublishedCommand& c : info.commands) plain(L"  /" + c.value + L"  (" + c.name + L")");
}

std::wstring currentSetting(const wchar_t* key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettings.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return {};
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
    LSTATUS rc = RegQueryValueExW(k, key, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::wstring(buf) : std::wstring();
}

int runDemo(const wchar_t* progId) {
    sim::SimMessenger& m = sim::SimMessenger::instance();
    if (FAILED(m.registerClass())) {
        plain(L"cannot start the simulated messenger");
        return 1;
    }
    m.reset();
    m.setFriendlyName(L"Ann");
    m.setSigninName(L"ann@example.com");
    m.setSignedIn(true);

    // A fresh user who saved the current-name mode with the tag 'listening:'.
    RegDeleteTreeW(HKEY_CURRENT_USER, product::kSettingsKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Venmoor");
    writeSetting(L"CurrentName", L"1");
    writeSetting(L"CustomName", L"0");
    writeSetting(L"CurrentTag", L"listening:");

    plain(L"Messenger: signed in as ann@example.com, display name 'Ann'.");
    plain(L"Settings: current-name mode, tag 'listening:'.");
    HostedPlugin plugin;
    HRESULT hr = plugin.load(progId, m.signinName());
    if (FAILED(hr)) {
        std::printf("cannot load the plug-in from its registration: 0x%08lx\n", hr);
        return 1;
    }
    printPublished(plugin.info());
    plain(L"onOff after start-up: '" + currentSetting(L"onOff") + L"'");
    for (const wchar_t* text : {L"/xwinampoff", L"/xwinampon"}) {
        bool handled = false;
        std::wstring result;
        plugin.parseCommand(text, handled, result);
        plain(std::wstring(L"  ") + text + L" -> " + (handled ? L"handled" : L"not handled") +
              L"; onOff = '" + currentSetting(L"onOff") + L"'");
    }
    plain(L"");
    plain(L"Timeline (time, who, what):");

    Watcher w(m);
    Verdict v;
    line("user", L"has the messenger's contact list in front, no conversation open");
    m.showContactList();
    const std::wstring plainName = L"Ann", nowPlaying = L"Ann listening: (!WAT)";
    {
        sim::PlayerSim p(2);
        runPlayer(m, w, p,
                  {{"gen 2 opens, plays 1", [&] { p.open(); p.play(1); }, true},
                   {"plays 2", [&] { p.play(2); }, true},
                   {"plays 3", [&] { p.play(3); }, true},
                   {"pauses", [&] { p.pause(); }, false},
                   {"resumes", [&] { p.resume(); }, true},
                   {"stops", [&] { p.stop(); }, false},
                   {"exits", [&] { p.close(); }, false}},
                  nowPlaying, plainName, v);
    }
    {
        sim::PlayerSim p(3);
        runPlayer(m, w, p,
                  {{"gen 3 opens, plays 1", [&] { p.open(); p.play(1); }, true},
                   {"plays 2", [&] { p.play(2); }, true},
                   {"exits", [&] { p.close(); }, false}},
                  nowPlaying, plainName, v);
    }
    anotherProgramScene(m, w, nowPlaying, plainName, v);
    typingScene(m, w, nowPlaying, plainName, v);
    line("user", L"saves the custom-name mode: 'Ann' + 'is listening' while playing, "
                 L"'Ann (quiet)' otherwise");
    writeSetting(L"CurrentName", L"0");
    writeSetting(L"CustomName", L"1");
    writeSetting(L"CustomNamePl", L"Ann");
    writeSetting(L"CustomTagPl", L"is listening");
    writeSetting(L"CustomNameNotPl", L"Ann (quiet)");
    {
        sim::PlayerSim p(2);
        runPlayer(m, w, p,
                  {{"gen 2 opens, plays 4", [&] { p.open(); p.play(4); }, true},
                   {"stops", [&] { p.stop(); }, false},
                   {"exits", [&] { p.close(); }, false}},
                  L"Ann is listening (!WAT)", L"Ann (quiet)", v);
    }
    plugin.uninitialize();
    plain(L"");
    if (v.failures == 0) {
        plain(L"VERDICT: PASS - the display name followed the player at all " +
              std::to_wstring(v.checks) + L" checks (" + std::to_wstring(m.sendCount()) +
              L" texts sent by the add-on).");
        return 0;
    }
    plain(L"VERDICT: FAIL - the display name did not follow the player at " +
          std::to_wstring(v.failures) + L" of " + std::to_wstring(v.checks) + L" checks.");
    return 1;
}

int expectSongChange(const wchar_t* progId) {
    sim::SimMessenger& m = sim::SimMessenger::instance();
    if (FAILED(m.registerClass())) return 3;
    const std::wstring before = m.friendlyName();
    if (currentSetting(L"CurrentName") != L"1" && currentSetting(L"CustomName") != L"1") {
        writeSetting(L"CurrentName", L"1");
        writeSetting(L"CurrentTag", L"listening:");
    }
    HostedPlugin plugin;
    HRESULT hr = plugin.load(progId, m.signinName());
    if (FAILED(hr)) {
        std::printf("cannot load the plug-in from its registration: 0x%08lx\n", hr);
        return 2;
    }
    Watcher w(m);
    m.showContactList(); // the user is in the messenger, not in another program
    sim::PlayerSim p(2);
    p.open();
    p.play(1);
    // The first song: the tick that sees it opens the hidden conversation,
    // the next one sends its name.
    for (int i = 0; i < 40 && m.friendlyName() == before; ++i) w.pumpFor(250);
    const bool changed = m.friendlyName() != before;
    plain(changed ? L"song change reached the messenger: '" + m.friendlyName() + L"'"
                  : L"no song change reached the messenger");
    return changed ? 0 : 1;
}

} // namespace tc::host
