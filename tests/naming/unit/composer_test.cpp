// The "/name" command decided from the naming settings and the friendly name:
// the forms of both modes, and where the user's own name ends.
#include "naming/NameComposer.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

using tc::composer::Decision;
using tc::composer::Sources;
using tc::composer::Wanted;

struct Inputs {
    std::map<std::wstring, std::wstring> settings;
    std::optional<std::wstring> friendly; // nullopt: cannot be read
    bool sent = false;                    // what the last decision answered

    Sources sources() {
        Sources in;
        in.setting = [this](const wchar_t* key) {
            auto it = settings.find(key);
            return it == settings.end() ? std::wstring() : it->second;
        };
        return in;
    }
    // What goes out for a song, or `otherwise` when nothing does.
    std::wstring nowPlaying(std::wstring otherwise = L"previous") {
        return outcome(Wanted::NowPlaying, otherwise);
    }
    // What goes out when the song is over, the name showing `friendly`.
    std::wstring plain(std::wstring otherwise = L"previous") {
        return outcome(Wanted::Plain, otherwise);
    }

private:
    std::wstring outcome(Wanted wanted, const std::wstring& otherwise) {
        const Decision d = tc::composer::decide(wanted, sources(), friendly, std::nullopt);
        sent = d.kind == Decision::Kind::Send;
        return sent ? d.command : otherwise;
    }
};

Inputs currentMode(const std::wstring& friendly, const std::wstring& tag) {
    Inputs in;
    in.settings = {{L"CurrentName", L"1"}, {L"CurrentTag", tag}};
    in.friendly = friendly;
    return in;
}

TEST(BaseName, EndsAtTheFirstTagWithItsSpaceOrTakesTheWholeName) {
    using tc::composer::baseName;
    EXPECT_EQ(baseName(L"Ann listening: (!WAT)", L"listening:"), L"Ann");
    EXPECT_EQ(baseName(L"Ann", L"listening:"), L"Ann");
    EXPECT_EQ(baseName(L"Ann x y x", L"x"), L"Ann");
    // The tag without its leading space is not the delimiter.
    EXPECT_EQ(baseName(L"Annx", L"x"), L"Annx");
    EXPECT_EQ(baseName(L"Ann Listening:", L"listening:"), L"Ann Listening:");
    EXPECT_EQ(baseName(L" x rest", L"x"), L"");
    EXPECT_EQ(baseName(L"Ann Lee", L""), L"Ann Lee");
    EXPECT_EQ(baseName(std::wstring(10000, L' '), L""), L"") << "the delimiter at the very start";
    EXPECT_EQ(baseName(std::wstring(L"a\0b listening:", 14), L"listening:"),
              std::wstring(L"a\0b", 3));
    EXPECT_FALSE(baseName(L"", L"x").has_value());
    EXPECT_FALSE(baseName(L"", L"").has_value());

    const std::wstring huge(10000, L'n');
    EXPECT_EQ(baseName(huge, L"listening:"), huge);
    EXPECT_EQ(baseName(huge + L" listening: (!WAT)", L"listening:"), huge);
    EXPECT_EQ(baseName(huge, huge), huge);
    EXPECT_EQ(baseName(L"x " + huge, huge), L"x");
}

TEST(ComposeCurrentName, TaggedAndPlainNameGiveTheSameCommands) {
    const std::wstring huge(10000, L'n');
    for (const std::wstring& base : {std::wstring(L"Ann"), huge}) {
        for (const std::wstring& friendly : {base + L" listening: (!WAT)", base}) {
            Inputs in = currentMode(friendly, L"listening:");
            EXPECT_EQ(in.nowPlaying(), L"/name " + base + L" listening: (!WAT)") << base.size();
            EXPECT_EQ(in.plain(), friendly == base ? L"previous" : L"/name " + base)
                << base.size() << ": a plain name is sent only where it changes the name";
        }
    }
}

// The tag ends the base name only as a whole word: an empty tag, or one that
// starts a longer word of the name, cuts nothing, there and back.
TEST(ComposeCurrentName, EmptyTagOrATagStartingALongerWordKeepsTheWholeName) {
    Inputs empty = currentMode(L"Ann Lee", L"");
    EXPECT_EQ(empty.nowPlaying(), L"/name Ann Lee  (!WAT)");
    EXPECT_EQ(empty.plain(), L"previous") << "already the plain name";
    empty.friendly = L"Ann Lee  (!WAT)";
    EXPECT_EQ(empty.nowPlaying(), L"/name Ann Lee  (!WAT)");
    EXPECT_EQ(empty.plain(), L"/name Ann Lee");

    Inputs word = currentMode(L"Ann isabel", L"is");
    EXPECT_EQ(word.nowPlaying(), L"/name Ann isabel is (!WAT)");
    word.friendly = L"Ann isabel is (!WAT)";
    EXPECT_EQ(word.plain(), L"/name Ann isabel");
}

// A plain name that would be blank is not composed, so nothing is sent; the
// now-playing form carries its marker and still is.
TEST(ComposeCurrentName, NameStartingWithTheDelimiterGivesNoPlainCommand) {
    Inputs in = currentMode(L" x and more", L"x");
    EXPECT_EQ(in.nowPlaying(), L"/name  x (!WAT)");
    EXPECT_EQ(in.plain(), L"previous");
    EXPECT_FALSE(in.sent);
}

TEST(ComposeCurrentName, TagInOtherLetterCaseStaysInTheName) {
    Inputs in = currentMode(L"Ann LISTENING: (!WAT)", L"listening:");
    EXPECT_EQ(in.nowPlaying(), L"/name Ann LISTENING: (!WAT) listening: (!WAT)");
    in.friendly = L"Ann LISTENING: (!WAT) listening: (!WAT)";
    EXPECT_EQ(in.plain(), L"/name Ann LISTENING: (!WAT)");
}

TEST(ComposeCurrentName, EmptyOrUnreadableFriendlyNameKeepsThePreviousCommand) {
    Inputs empty = currentMode(L"", L"x");
    EXPECT_EQ(empty.nowPlaying(), L"previous");
    EXPECT_EQ(empty.plain(), L"previous");
    Inputs unreadable = currentMode(L"Ann", L"x");
    unreadable.friendly.reset();
    EXPECT_EQ(unreadable.nowPlaying(), L"previous");
    EXPECT_EQ(unreadable.plain(), L"previous");
}

TEST(ComposeModes, OnlyTheExactTextOneTurnsAModeOn) {
    for (const wchar_t* off : {L"0", L"", L"1 ", L" 1", L"true", L"-1"}) {
        Inputs in = currentMode(L"Ann", L"x");
        in.settings[L"CurrentName"] = off;
        in.settings[L"CustomName"] = off;
        in.settings[L"CustomNamePl"] = L"Bob";
        EXPECT_EQ(in.nowPlaying(), L"previous") << off;
        EXPECT_EQ(in.plain(), L"previous") << off;
    }
}

TEST(ComposeModes, CustomWinsWhenBothAreOn) {
    Inputs in = currentMode(L"Ann", L"x");
    in.settings[L"CustomName"] = L"1";
    in.settings[L"CustomNamePl"] = L"DJ Bob";
    in.settings[L"CustomTagPl"] = L"on air";
    in.settings[L"CustomNameNotPl"] = L"Bob";
    EXPECT_EQ(in.nowPlaying(), L"/name DJ Bob on air (!WAT)");
    in.friendly = L"DJ Bob on air (!WAT)";
    EXPECT_EQ(in.plain(), L"/name Bob");
    // The custom form does not depend on the messenger being readable.
    in.friendly.reset();
    EXPECT_EQ(in.nowPlaying(L""), L"/name DJ Bob on air (!WAT)");
}

TEST(ComposeModes, CustomWithEverythingEmptyKeepsItsSpacesAndSendsNoBlankName) {
    Inputs in;
    in.settings = {{L"CustomName", L"1"}};
    EXPECT_EQ(in.nowPlaying(), L"/name   (!WAT)");
    in.friendly = L"  (!WAT)";
    for (const wchar_t* blank : {L"", L" ", L" \t  ", L"\u3000"}) {
        in.settings[L"CustomNameNotPl"] = blank;
        EXPECT_EQ(in.plain(), L"previous");
        EXPECT_FALSE(in.sent);
    }
}

TEST(ComposeModes, ValuesAreUsedExactlyAsStored) {
    Inputs in;
    in.settings = {{L"CustomName", L"1"},
                   {L"CustomNamePl", L"  \"Ann\" ★ "},
                   {L"CustomTagPl", L"%s\\n"},
                   {L"CustomNameNotPl", L"Ann ★"}};
    EXPECT_EQ(in.nowPlaying(), L"/name   \"Ann\" ★  %s\\n (!WAT)");
    in.friendly = L"  \"Ann\" ★  %s\\n (!WAT)";
    EXPECT_EQ(in.plain(), L"/name Ann ★");
}

} // namespace

namespace decide_ {

using tc::composer::Decision;
using tc::composer::Wanted;
using tc::shownName::Shown;
using Kind = Decision::Kind;

// What goes out is decided from the name as it stands when it goes: every
// song is sent, a plain name only where it changes the name and takes back
// a name of ours, and what was last shown tells where the user's own name
// ends after the tag or the mode changed.
TEST(Decide, FromTheNameAsItStandsAndWhatWasShown) {
    const std::optional<Shown> none;
    const Shown shownTagged = {L"Ann listening: (!WAT)", L"Ann"};
    const Shown shownCustom = {L"DJ Ann live (!WAT)", L"Ann"};
    const std::map<std::wstring, std::wstring> current = {{L"CurrentName", L"1"},
                                                          {L"CurrentTag", L"on air"}};
    const std::map<std::wstring, std::wstring> custom = {{L"CustomName", L"1"},
                                                         {L"CustomNamePl", L"DJ Ann"},
                                                         {L"CustomTagPl", L"live"},
                                                         {L"CustomNameNotPl", L"Ann away"}};
    const struct {
        const char* what;
        Wanted wanted;
        std::map<std::wstring, std::wstring> settings;
        std::optional<std::wstring> friendly;
        std::optional<Shown> shown;
        Kind kind;
        std::wstring command;
    } cases[] = {
        {"a song on the user's name", Wanted::NowPlaying, current, L"Ann", none, Kind::Send,
         L"/name Ann on air (!WAT)"},
        {"a song on a name shown with the old tag", Wanted::NowPlaying, current,
         L"Ann listening: (!WAT)", shownTagged, Kind::Send, L"/name Ann on air (!WAT)"},
        {"a song on the same name again", Wanted::NowPlaying, current, L"Ann on air (!WAT)", none,
         Kind::Send, L"/name Ann on air (!WAT)"},
        {"a song, the name unreadable", Wanted::NowPlaying, current, std::nullopt, none,
         Kind::Wait, L""},
        {"a custom song, the name unreadable", Wanted::NowPlaying, custom, std::nullopt, none,
         Kind::Send, L"/name DJ Ann live (!WAT)"},
        {"the stop of a name shown with the old tag", Wanted::Plain, current,
         L"Ann listening: (!WAT)", shownTagged, Kind::Send, L"/name Ann"},
        {"the stop on a plain name", Wanted::Plain, current, L"Ann", none, Kind::Nothing, L""},
        {"the stop on a name the user set", Wanted::Plain, current, L"Ann (away till 5)",
         shownTagged, Kind::Nothing, L""},
        {"the stop, the name unreadable", Wanted::Plain, current, std::nullopt, shownTagged,
         Kind::Wait, L""},
        {"a custom stop of the name shown", Wanted::Plain, custom, L"DJ Ann live (!WAT)",
         shownCustom, Kind::Send, L"/name Ann away"},
        {"a custom stop on a name the user set", Wanted::Plain, custom, L"Ann (away till 5)",
         shownCustom, Kind::Nothing, L""},
        {"a name left, exactly ours", Wanted::PlainIfLeftByUs, current, L"Ann on air (!WAT)", none,
         Kind::Send, L"/name Ann"},
        {"a name left, only with our tag", Wanted::PlainIfLeftByUs, current,
         L"Ann on air Artist - Song", none, Kind::Nothing, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Inputs in;
        in.settings = c.settings;
        const Decision d = tc::composer::decide(c.wanted, in.sources(), c.friendly, c.shown);
        EXPECT_EQ(d.kind, c.kind);
        EXPECT_EQ(d.command, c.command);
        if (c.wanted == Wanted::NowPlaying && d.kind == Kind::Send) {
            ASSERT_TRUE(d.shown);
            EXPECT_EQ(L"/name " + d.shown->name, d.command) << "what is kept is what is sent";
        }
    }
}

} // namespace decide_
