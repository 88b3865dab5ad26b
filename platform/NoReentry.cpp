#include "platform/NoReentry.h"

#include <windows.h>

// A chain of frames on the stack is how 32-bit x86 finds its exception
// handlers; other processors find them in tables, and this would need
// another way.
#if !defined(__i386__)
#error "NoReentry keeps a 32-bit x86 exception frame"
#endif

namespace tc {
namespace {

// Our frame in the thread's chain of exception handlers. The record comes
// first: the system hands the handler the record's address.
struct Frame {
    EXCEPTION_REGISTRATION_RECORD record;
    bool* busy;
};

// Never handles anything: it only hears that the frames of the body are
// being unwound, by whoever handled the fault further out. (The system
// restores the stack after calling a handler, so the convention the headers
// declare is as good as any.)
EXCEPTION_DISPOSITION NTAPI letGoOnUnwind(EXCEPTION_RECORD* exception, void* frame, CONTEXT*,
                                          void*) {
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        *static_cast<Frame*>(frame)->busy = false;
    return ExceptionContinueSearch;
}

// The thread's information block, whose own address it holds at fs:0x18.
// Read here rather than through NtCurrentTeb(), whose header intrinsic the
// optimiser takes for a read outside an array of length zero.
NT_TIB* currentTib() {
    NT_TIB* tib;
    asm volatile("movl %%fs:0x18, %0" : "=r"(tib));
    return tib;
}

} // namespace

bool NoReentry::runRaw(void (*body)(void*), void* context) {
    if (busy_) return false;
    busy_ = true;
    // The chain's head lives in the thread's information block; the
    // compiler must neither drop nor move our writes to it.
    NT_TIB* volatile tib = currentTib();
    // The record must lie on this thread's stack, below its callers' frames:
    // the system ignores a chain that does not.
    volatile Frame frame{};
    frame.record.Next = tib->ExceptionList;
    frame.record.Handler = &letGoOnUnwind;
    frame.busy = &busy_;
    tib->ExceptionList = const_cast<EXCEPTION_REGISTRATION_RECORD*>(&frame.record);
    try {
        body(context);
    } catch (...) {
        tib->ExceptionList = frame.record.Next;
        busy_ = false;
        throw;
    }
    tib->ExceptionList = frame.record.Next;
    busy_ = false;
    return true;
}

} // namespace tc
