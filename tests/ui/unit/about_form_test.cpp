// The about box's form in this process: its layout on white, and its lift
// above other windows. How the command shows it is tested through the DLL
// (e2e/about_box_test).
#include "tests/ui/UiSupport.h"
#include "ui/FormIds.h"
#include "ui/AboutBox.h"

namespace tc::test {
namespace {

using namespace ui::about;

OwnedWindow openAbout() {
    OwnedWindow box(ui::createAbout(nullptr));
    EXPECT_TRUE(box) << "the form was not created";
    ShowWindow(box.get(), SW_SHOWNORMAL);
    return box;
}

TEST(AboutForm, LayoutFollowsTheTwipsAtTheScreenResolutionOnWhite) {
    OwnedWindow box = openAbout();
    HWND b = box.get();
    EXPECT_EQ(clientOf(b), twipsPlace(0, 0, 5610, 3120));
    EXPECT_EQ(placeOf(b, OkButton), twipsPlace(4200, 1200, 1215, 375));
    EXPECT_EQ(placeOf(b, VersionLabel), twipsPlace(1755, 645, 3090, 300));
    EXPECT_EQ(pixelOf(b, clientOf(b)[2] - 3, clientOf(b)[3] - 3), RGB(255, 255, 255));
}

// This program's version resource is 1.2.3.4: the label shows the major,
// minor and revision fields, the revision being the fourth.
TEST(AboutForm, VersionLabelShowsMajorMinorAndRevision) {
    OwnedWindow box = openAbout();
    wchar_t text[64] = {};
    GetDlgItemTextW(box.get(), VersionLabel, text, 64);
    EXPECT_STREQ(text, L"Version 1.2.4");
}

// Whether a is above b in the window order.
bool above(HWND a, HWND b) {
    for (HWND w = GetWindow(b, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        if (w == a) return true;
    return false;
}

// The box's Timer1 lifts it above whatever the host put over it meanwhile,
// once: the timer goes with the lift, so nothing lifts it again.
TEST(AboutForm, LiftsItselfAboveOtherWindowsOnceAboutASecondAfterOpening) {
    constexpr UINT_PTR kTimer1 = 1;
    OwnedWindow box = openAbout();
    OwnedWindow cover(CreateWindowExW(0, L"Static", L"cover", WS_POPUP | WS_VISIBLE, 10, 10, 50,
                                      50, nullptr, nullptr, nullptr, nullptr));
    SetWindowPos(cover.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    pump(0);
    EXPECT_TRUE(above(cover.get(), box.get())) << "lifted at once";

    EXPECT_TRUE(pumpUntil([&] { return above(box.get(), cover.get()); }, 5000))
        << "never lifted itself (waited five seconds)";
    EXPECT_FALSE(KillTimer(box.get(), kTimer1)) << "the timer outlived the lift";
}

} // namespace
} // namespace tc::test
