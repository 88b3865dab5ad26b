#include "sim/player/PlayerSim.h"

#include <utility>

namespace tc::sim {
namespace {

constexpr const wchar_t* kGen2Class = L"Winamp v1.x";
constexpr const wchar_t* kGen3MainClass = L"studio";
constexpr const wchar_t* kGen3PopupClass = L"basewindow_rootwnd";
// Deliberately unlike "basewindow_rootwnd": class lookups ignore case.
constexpr const wchar_t* kGen3TitleClass = L"TcSimPlayerTitle";
constexpr UINT_PTR kScrollTimer = 1;

void registerClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    for (const wchar_t* name : {kGen2Class, kGen3MainClass, kGen3PopupClass, kGen3TitleClass}) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = name;
        RegisterClassW(&wc);
    }
}

HWND makeWindow(const wchar_t* cls, const wchar_t* text, DWORD style, HWND owner, int x, int y) {
    return CreateWindowExW(0, cls, text, style, x, y, 420, 60, owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

PlayerSim::PlayerSim(int generation, std::vector<std::wstring> playlist)
    : generation_(generation == 3 ? 3 : 2), playlist_(std::move(playlist)) {}

PlayerSim::~PlayerSim() { close(); }

std::vector<std::wstring> PlayerSim::defaultPlaylist() {
    return {L"Orla Fenwick - Harbour Lights", L"The Quiet Tides - Northbound",
            L"Mara Voss - Paper Satellites", L"Deltaline - Glass Rivers",
            L"Ivo Brandt - Slow Arithmetic"};
}

bool PlayerSim::open(bool show) {
    if (isOpen()) return true;
    registerClasses();
    state_ = State::Stopped;
    song_ = 1;
    const std::wstring text = titleFor(song_, state_);
    const DWORD visible = show ? WS_VISIBLE : 0;
    if (generation_ == 2) {
        main_ = makeWindow(kGen2Class, text.c_str(), WS_OVERLAPPEDWINDOW | visible, nullptr, 40, 40);
    } else {
        main_ = makeWindow(kGen3MainClass, L"Winamp3", WS_OVERLAPPEDWINDOW | visible, nullptr, 40, 120);
        title_ = makeWindow(kGen3TitleClass, text.c_str(), WS_OVERLAPPEDWINDOW | visible, nullptr, 40,
                            200);
        popup_ = makeWindow(kGen3PopupClass, L"", WS_POPUP, title_, 40, 280);
    }
    if (!isOpen()) {
        destroyAll();
        state_ = State::Closed;
        return false;
    }
    SetWindowLongPtrW(titleWindow(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    startScrollTimer();
    return true;
}

bool PlayerSim::isOpen() const {
    if (generation_ == 2) return main_ != nullptr;
    return main_ && title_ && popup_;
}

void PlayerSim::destroyAll() {
    // The popup first: it is owned by the title window.
    for (HWND* h : {&popup_, &title_, &main_}) {
        if (*h && IsWindow(*h)) DestroyWindow(*h);
        *h = nullptr;
    }
}

void PlayerSim::close() {
    destroyAll();
    state_ = State::Closed;
    scrollText_.clear();
}

void PlayerSim::setTitle(const std::wstring& text) {
    if (HWND w = titleWindow()) SetWindowTextW(w, text.c_str());
}

std::wstring PlayerSim::title() const {
    HWND w = titleWindow();
    if (!w) return {};
    int n = GetWindowTextLengthW(w);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(w, &text[0], n + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

std::wstring PlayerSim::titleFor(int song, State state) const {
    std::wstring entry = L"(unknown)";
    if (song >= 1 && static_cast<size_t>(song) <= playlist_.size())
        entry = playlist_[static_cast<size_t>(song) - 1];
    std::wstring text = std::to_wstring(song) + L". " + entry + L" - Winamp";
    if (state == State::Stopped) text += L" [Stopped]";
    if (state == State::Paused) text += L" [Paused]";
    return text;
}

void PlayerSim::apply() {
    scrolledBy_ = 0;
    if (scrolling_ && state_ == State::Playing) {
        scrollText_ = titleFor(song_, state_) + kScrollSeparator;
        setTitle(scrollText_);
    } else {
        scrollText_.clear();
        setTitle(titleFor(song_, state_));
    }
}

void PlayerSim::setScrolling(bool on, UINT everyMs) {
    scrolling_ = on;
    scrollEveryMs_ = on ? everyMs : 0;
    if (HWND w = titleWindow()) KillTimer(w, kScrollTimer);
    startScrollTimer();
    if (isOpen()) apply();
}

void PlayerSim::startScrollTimer() {
    if (scrollEveryMs_ == 0) return;
    if (HWND w = titleWindow()) SetTimer(w, kScrollTimer, scrollEveryMs_, &PlayerSim::onScrollTimer);
}

void CALLBACK PlayerSim::onScrollTimer(HWND window, UINT, UINT_PTR, DWORD) {
    if (auto* player = reinterpret_cast<PlayerSim*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        player->scrollStep();
}

void PlayerSim::scrollStep() {
    if (scrollText_.empty()) return;
    scrolledBy_ = (scrolledBy_ + kScrollChars) % scrollText_.size();
    setTitle(scrollText_.substr(scrolledBy_) + scrollText_.substr(0, scrolledBy_));
}

void PlayerSim::play(int song) {
    if (!isOpen()) return;
    song_ = song;
    state_ = State::Playing;
    apply();
}

void PlayerSim::pause() {
    if (state_ != State::Playing) return;
    state_ = State::Paused;
    apply();
}

void PlayerSim::resume() {
    if (state_ != State::Paused && state_ != State::Stopped) return;
    state_ = State::Playing;
    apply();
}

void PlayerSim::stop() {
    if (state_ == State::Closed) return;
    state_ = State::Stopped;
    apply();
}

} // namespace tc::sim
