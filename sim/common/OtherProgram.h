#pragma once
// Another program the user works in, in a process of its own
// (sim_other.exe, built beside the running program), with its window in
// front and the keyboard focus. Its window counts the keys it receives.
#include <windows.h>

#include <string>

namespace tc::sim {

class OtherProgram {
public:
    // Starts it and waits until its window is in front. The window has that
    // class: "IMWindowClass" makes it another messenger's conversation.
    explicit OtherProgram(const std::wstring& windowClass = L"TcOtherProgram");
    // Ends it.
    ~OtherProgram();
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    // Its window is in front: false when it could not be started or never
    // came there.
    bool ok() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    // Key presses its window received so far.
    int keys() const;

private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

} // namespace tc::sim
