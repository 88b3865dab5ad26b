#include "platform/Clock.h"

namespace tc {
namespace {

class SystemClock final : public Clock {
public:
    DWORD now() override { return GetTickCount(); }
    void sleep(DWORD ms) override { Sleep(ms); }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace tc
