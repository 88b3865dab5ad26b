// The messenger's window events, generated: created and destroyed events and
// others, with the window passed every way a VARIANT allows and some it does
// not, and window objects whose handle reads fail, come as text, or collide.
// The sink must hand on exactly the window events that made sense, and a
// conversation list kept from them must stay exactly what they say and hold
// one reference per entry, no more.
#include "messenger/EventSink.h"
#include "messenger/ConversationList.h"
#include "platform/ComPtr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// A conversation window object as far as the list sees it: "hWnd" read late
// bound, answered in one fixed way per object.
class FakeWindow final : public IDispatch {
public:
    enum class Answer { Handle, HandleAsText, Garbage, Fails, NoSuchName };
    FakeWindow(Answer a, LONG handle) : answer_(a), handle_(handle) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!names || !ids || count != 1) return E_INVALIDARG;
        if (answer_ == Answer::NoSuchName || _wcsicmp(names[0], L"hWnd") != 0) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = 2048;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != 2048 || !result) return DISP_E_MEMBERNOTFOUND;
        VariantInit(result);
        switch (answer_) {
        case Answer::Handle: result->vt = VT_I4; result->lVal = handle_; return S_OK;
        case Answer::HandleAsText:
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(std::to_wstring(handle_).c_str());
            return S_OK;
        case Answer::Garbage:
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(L"not a handle");
            return S_OK;
        default: return E_FAIL;
        }
    }

    // The key the list must file this window under, if any.
    std::optional<std::wstring> key() const {
        if (answer_ == Answer::Handle || answer_ == Answer::HandleAsText)
            return L"HWND" + std::to_wstring(handle_);
        return std::nullopt;
    }

    long refs = 1;

private:
    Answer answer_;
    LONG handle_;
};

// The session's side of the sink: each call it gets, and a list kept from
// them as the session keeps its own.
class Handlers final : public tc::MessengerEvents {
public:
    void windowCreated(IDispatch* window) override {
        calls.push_back({tc::kOnIMWindowCreated, window});
        list.add(window);
    }
    void windowDestroyed(IDispatch* window) override {
        calls.push_back({tc::kOnIMWindowDestroyed, window});
        std::wstring key;
        if (SUCCEEDED(tc::windowKey(window, key))) list.remove(key);
    }
    void signedIn() override { ++signins; }

    std::vector<std::pair<DISPID, IDispatch*>> calls;
    int signins = 0;
    tc::ConversationList list;
};

class Rng {
public:
    explicit Rng(uint32_t seed) : g_(seed) {}
    uint32_t below(uint32_t n) { return n ? static_cast<uint32_t>(g_()) % n : 0; }
    bool chance(uint32_t percent) { return below(100) < percent; }

private:
    std::mt19937 g_;
};

} // namespace

TEST(EventSinkFuzz, TheListFollowsOnlyTheEventsThatMakeSense) {
    Handlers handlers; // outlives the sink
    tc::ComPtr<IDispatch> sink;
    ASSERT_EQ(tc::createMessengerEventSink(handlers, sink.put()), S_OK);

    using A = FakeWindow::Answer;
    std::vector<FakeWindow*> pool = {
        new FakeWindow(A::Handle, 656),         new FakeWindow(A::Handle, 657),
        new FakeWindow(A::Handle, 656),         // same handle as the first: a stale entry's twin
        new FakeWindow(A::Handle, -2147483647 - 1), new FakeWindow(A::HandleAsText, 9001),
        new FakeWindow(A::Garbage, 0),          new FakeWindow(A::Fails, 0),
        new FakeWindow(A::NoSuchName, 0),       new FakeWindow(A::Handle, 0)};

    // The model: keys in order, and which object each key holds.
    std::vector<std::pair<std::wstring, FakeWindow*>> model;
    Rng rng(424242);
    size_t largest = 0, changes = 0;

    for (int i = 0; i < 6000; ++i) {
        const uint32_t r = rng.below(100);
        const DISPID id = r < 45 ? tc::kOnIMWindowCreated
                          : r < 85 ? tc::kOnIMWindowDestroyed
                                   : static_cast<DISPID>(1024 + rng.below(30));
        FakeWindow* window = rng.chance(90) ? pool[rng.below(static_cast<uint32_t>(pool.size()))]
                                            : nullptr;
        IDispatch* slot = window;
        VARIANT inner;
        VariantInit(&inner);
        VARIANT args[3];
        for (VARIANT& v : args) VariantInit(&v);
        const UINT count = rng.chance(85) ? 1 : rng.below(4);
        // The window goes first in call order, so last in rgvarg.
        VARIANT& first = args[count ? count - 1 : 0];
        bool delivered = false;  // the handler gets `window`
        switch (rng.below(8)) {
        case 0: case 1: case 2: case 3:
            first.vt = VT_DISPATCH;
            first.pdispVal = window;
            delivered = window != nullptr;
            break;
        case 4:
            first.vt = VT_DISPATCH | VT_BYREF;
            first.ppdispVal = rng.chance(70) ? &slot : nullptr;
            delivered = first.ppdispVal && window;
            break;
        case 5:
            first.vt = VT_UNKNOWN;
            first.punkVal = window;
            delivered = window != nullptr;
            break;
        case 6:
            inner.vt = VT_DISPATCH;
            inner.pdispVal = window;
            first.vt = VT_VARIANT | VT_BYREF;
            first.pvarVal = rng.chance(70) ? &inner : nullptr;
            delivered = first.pvarVal && window;
            break;
        default:
            first.vt = static_cast<VARTYPE>(rng.chance(50) ? VT_I4 : VT_BSTR);
            first.lVal = 656;
            if (first.vt == VT_BSTR) first.bstrVal = nullptr;
            break;
        }
        if (count > 1) {
            args[0].vt = VT_I4;
            args[0].lVal = 1;
        }
        DISPPARAMS params = {count ? args : nullptr, nullptr, count, 0};
        const bool nullParams = rng.chance(3);
        const bool nullRgvarg = count && rng.chance(3);
        if (nullRgvarg) params.rgvarg = nullptr;
        if (nullParams || nullRgvarg || count == 0) delivered = false;
        if (id != tc::kOnIMWindowCreated && id != tc::kOnIMWindowDestroyed) delivered = false;

        handlers.calls.clear();
        const int signinsBefore = handlers.signins;
        const HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        nullParams ? nullptr : &params, nullptr, nullptr, nullptr);
        EXPECT_EQ(hr, S_OK) << "event " << i;
        std::vector<std::pair<DISPID, IDispatch*>> expected;
        if (delivered) expected.push_back({id, window});
        EXPECT_EQ(handlers.calls, expected) << "event " << i;
        if (id != tc::kOnSignin) {
            EXPECT_EQ(handlers.signins, signinsBefore) << "event " << i;
        }

        if (delivered) {
            if (const auto key = window->key()) {
                auto at = std::find_if(model.begin(), model.end(),
                                       [&](const auto& e) { return e.first == *key; });
                if (id == tc::kOnIMWindowCreated && at == model.end()) {
                    model.push_back({*key, window});
                    ++changes;
                }
                if (id == tc::kOnIMWindowDestroyed && at != model.end()) {
                    model.erase(at);
                    ++changes;
                }
                largest = std::max(largest, model.size());
            }
        }

        const std::vector<tc::ConversationList::Entry>& list = handlers.list.entries();
        ASSERT_EQ(list.size(), model.size()) << "after event " << i;
        for (size_t k = 0; k < model.size(); ++k) {
            EXPECT_EQ(list[k].key, model[k].first) << "after event " << i;
            EXPECT_EQ(list[k].window.get(), static_cast<IDispatch*>(model[k].second));
        }
        for (FakeWindow* w : pool) {
            const long held = std::count_if(model.begin(), model.end(),
                                            [&](const auto& e) { return e.second == w; });
            ASSERT_EQ(w->refs, 1 + held) << "after event " << i << ": one reference per entry";
        }
    }

    EXPECT_GT(changes, 500u) << "the generator must also make events that count";
    EXPECT_GE(largest, 4u);

    // Everything closes: the list empties and lets every object go.
    for (FakeWindow* w : pool) {
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_DISPATCH;
        arg.pdispVal = w;
        DISPPARAMS params = {&arg, nullptr, 1, 0};
        sink->Invoke(tc::kOnIMWindowDestroyed, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                     &params, nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(handlers.list.count(), 0);
    for (FakeWindow* w : pool) EXPECT_EQ(w->refs, 1);
}
