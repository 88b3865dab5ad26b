#pragma once
// Clock, summaries and message pumping shared by the benchmark's sections.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace tc::bench {

inline double nowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / perMs;
}

// Processor time this thread has used so far, user and kernel. The system
// counts it in coarse steps (10 ms under Wine): measure many calls at once.
inline double threadCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    auto ms = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

struct Summary {
    size_t count = 0;
    double min = 0, median = 0, max = 0;
};

inline Summary summarise(std::vector<double> values) {
    Summary s;
    s.count = values.size();
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    s.min = values.front();
    s.max = values.back();
    const size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return s;
}

inline void printMs(const char* label, const Summary& s) {
    std::printf("  %-44s n=%-3zu min %8.2f  median %8.2f  max %8.2f ms\n", label, s.count, s.min,
                s.median, s.max);
}

// Dispatches this thread's messages until `done` says so or `ms` pass;
// checks `done` after every message. True when `done` held. `dispatch`,
// when given, handles each message instead of TranslateMessage and
// DispatchMessageW.
inline bool pumpUntil(const std::function<bool()>& done, double ms,
                      const std::function<void(MSG&)>& dispatch = nullptr) {
    const double start = nowMs();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dispatch) {
                dispatch(msg);
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (done && done()) return true;
        }
        if (done && done()) return true;
        const double left = ms - (nowMs() - start);
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 5 ? 1 : 5, QS_ALLINPUT);
    }
}

inline void pumpFor(double ms) { pumpUntil(nullptr, ms); }

} // namespace tc::bench
