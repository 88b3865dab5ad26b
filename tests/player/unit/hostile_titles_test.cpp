// Player titles nobody should show but some player will: control
// characters, bytes the code page has no character for, broken UTF-16, 64 KB
// of text. A title only tells the watcher that something changed; it never
// reaches the name.
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

namespace tc::test {
namespace {

std::wstring repeat(const std::wstring& unit, size_t length) {
    std::wstring out;
    while (out.size() < length) out += unit;
    out.resize(length);
    return out;
}

class HostileTitleChanges : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        messenger().openConversation(L"bob@example.com");
        settings_ = allValues(kSettingsPath);
    }
    void TearDown() override {
        EXPECT_EQ(messenger().friendlyName(), L"Ann") << "no title ever reaches the name";
        EXPECT_EQ(allValues(kSettingsPath), settings_);
    }
    // The window shows that text; what one tick sends.
    Sends show(HWND w, const std::wstring& text) {
        SetWindowTextW(w, text.c_str());
        return tick();
    }

    std::map<std::wstring, reg::RawValue> settings_;
};

TEST_F(HostileTitleChanges, SecondGenerationTitlesAreChangesWithinItsBuffer) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    const HWND w = player.mainWindow();
    EXPECT_EQ(show(w, L"\x01\x02\t\r\n\x1b[31mred\x7f\x08 - Winamp"), Sends({kPlaying}));
    SetWindowTextA(w, "\x81\x8d\x8f\x90\x9d\xff\xfe\xe0\xa0\xc3 - Winamp");
    EXPECT_EQ(tick(), Sends({kPlaying})) << "bytes with no character, or half of one";
    EXPECT_EQ(show(w, L"\xD800 \xDC00 \xFFFF \xFFFE \xD83D\xDE00 - Winamp"), Sends({kPlaying}))
        << "UTF-16 that no code page can hold";
    EXPECT_EQ(tick(2), Sends{}) << "an unchanged hostile title is no change";

    // 64 KB: only the first 2047 characters count.
    const std::wstring big = repeat(L"0123456789abcdef\x01", 65536);
    EXPECT_EQ(show(w, big), Sends({kPlaying}));
    std::wstring late = big;
    late.replace(3000, 10, L"##########");
    EXPECT_EQ(show(w, late), Sends{}) << "a difference after character 2047 is not seen";
    std::wstring early = big;
    early[2000] = L'#';
    EXPECT_EQ(show(w, early), Sends({kPlaying}));

    player.close();
    EXPECT_EQ(tick(), Sends({kPlain}));
}

TEST_F(HostileTitleChanges, ThirdGenerationTitlesAreReadWhole) {
    sim::PlayerSim player(3);
    ASSERT_TRUE(player.open());
    const HWND w = player.titleWindow();
    const std::wstring big = repeat(L"\x01\x1f\xD800 abc ", 65536);
    EXPECT_EQ(show(w, big), Sends({kPlaying}));
    std::wstring lastChanged = big;
    lastChanged.back() = L'!';
    EXPECT_EQ(show(w, lastChanged), Sends({kPlaying})) << "to its last character";
    EXPECT_EQ(tick(2), Sends{});
    SetWindowTextA(w, "\x81\x8d\xff");
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(show(w, L""), Sends({kPlaying}));

    player.close();
    EXPECT_EQ(tick(), Sends({kPlain}));
}

} // namespace
} // namespace tc::test
