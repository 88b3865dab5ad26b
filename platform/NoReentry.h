#pragma once
// A body that must never run inside itself, such as the timer's tick: a
// call made while it runs returns at once.
//
// The guard must also let go when the body ends by a processor fault (an
// access violation in someone else's in-process code, say). Our C++
// exceptions do not see such a fault and no destructor of ours runs on its
// way out; the system's message dispatch swallows it in a timer callback and
// unwinds past our frames. The guard therefore keeps a structured exception
// frame of its own for the length of the body, and is told of that unwind.
namespace tc {

class NoReentry {
public:
    NoReentry() = default;
    NoReentry(const NoReentry&) = delete;
    NoReentry& operator=(const NoReentry&) = delete;

    // Runs `body` unless a run is under way; false when it did not run. A
    // C++ exception from `body` passes on, with the guard let go.
    template <class F>
    bool run(F&& body) {
        return runRaw(&callBody<F>, &body);
    }

private:
    template <class F>
    static void callBody(void* body) {
        (*static_cast<F*>(body))();
    }
    bool runRaw(void (*body)(void*), void* context);

    bool busy_ = false;
};

} // namespace tc
