// The list of open conversation windows, kept from the messenger's events.
#include "messenger/EventSink.h"
#include "messenger/MessengerSession.h"
#include "tests/support/BackgroundTest.h"

namespace tc::test {
namespace {

std::wstring keyOf(HWND w) { return L"HWND" + std::to_wstring(reinterpret_cast<LONG_PTR>(w)); }

class WindowList : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        listening();
    }
    void listening() {
        ASSERT_EQ(messenger().connectedSinks(), 1u);
    }
    const ConversationList& list() { return session().conversations(); }
    std::vector<std::wstring> keys() {
        std::vector<std::wstring> out;
        for (const ConversationList::Entry& e : list().entries()) out.push_back(e.key);
        return out;
    }
};

// Windows that opened before start-up, which the list never heard of.
class WindowListStartedLate : public WindowList {
protected:
    WindowListStartedLate() { startNow_ = false; }
    void SetUp() override { BackgroundTest::SetUp(); }
    void startUpNow() {
        ASSERT_EQ(startUp(), S_OK);
        listening();
    }
};

VARIANT position(LONG at) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = at;
    return v;
}

TEST_F(WindowList, ListsOpenWindowsInOrderByKeyAndPositionUntilTheyClose) {
    HWND a = messenger().openConversation(L"a@example.com");
    HWND b = messenger().openConversation(L"b@example.com");
    EXPECT_EQ(keys(), (std::vector<std::wstring>{keyOf(a), keyOf(b)}));
    const std::vector<ComPtr<IDispatch>> walk = list().windows();
    ASSERT_EQ(walk.size(), 2u);
    EXPECT_EQ(walk[0].get(), ComPtr<IDispatch>::attach(messenger().windowObject(a)).get());
    EXPECT_EQ(walk[1].get(), ComPtr<IDispatch>::attach(messenger().windowObject(b)).get());
    Variant key;
    key.get()->vt = VT_BSTR;
    key.get()->bstrVal = SysAllocString(keyOf(b).c_str());
    ComPtr<IDispatch> byKey, byPosition;
    ASSERT_EQ(list().item(*key.get(), byKey.put()), S_OK);
    ASSERT_EQ(list().item(position(2), byPosition.put()), S_OK);
    EXPECT_EQ(byKey.get(), walk[1].get());
    EXPECT_EQ(byPosition.get(), walk[1].get());
    EXPECT_TRUE(FAILED(list().item(position(3), byPosition.put())));

    messenger().closeConversation(a);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(b)});
    messenger().closeConversation(b);
    EXPECT_EQ(list().count(), 0);
    EXPECT_TRUE(FAILED(list().item(position(1), byPosition.put())));
}

TEST_F(WindowList, RepeatedCreationKeepsTheFirstEntry) {
    HWND a = messenger().openConversation(L"a@example.com");
    HWND b = messenger().openConversation(L"b@example.com");
    messenger().refireCreated(a);
    EXPECT_EQ(keys(), (std::vector<std::wstring>{keyOf(a), keyOf(b)}));
    // A new window reporting the handle of a listed one is not taken in.
    messenger().setReportedHandle(b, static_cast<LONG>(reinterpret_cast<LONG_PTR>(a)));
    messenger().refireCreated(b);
    EXPECT_EQ(list().count(), 2);
    ComPtr<IDispatch> objA = ComPtr<IDispatch>::attach(messenger().windowObject(a));
    EXPECT_EQ(list().windows()[0].get(), objA.get());
}

// A window that opened before start-up was never listed; one whose handle
// cannot be read at its close cannot be found: either way the list stays as
// it was, and other windows still come and go around a stale entry.
TEST_F(WindowListStartedLate, ACloseThatMatchesNoEntryLeavesTheListAsItWas) {
    HWND early = messenger().openConversation(L"early@example.com");
    ASSERT_NO_FATAL_FAILURE(startUpNow());
    HWND a = messenger().openConversation(L"a@example.com");
    messenger().closeConversation(early);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(a)});

    messenger().setHandleFails(a, true);
    messenger().closeConversation(a);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(a)});
    HWND c = messenger().openConversation(L"c@example.com");
    EXPECT_EQ(keys(), (std::vector<std::wstring>{keyOf(a), keyOf(c)}));
    messenger().closeConversation(c);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(a)});
}

TEST_F(WindowListStartedLate, HandleWithTheTopBitSetGivesANegativeKey) {
    HWND a = messenger().openConversation(L"a@example.com");
    messenger().setReportedHandle(a, static_cast<LONG>(0x80000010u));
    ComPtr<IDispatch> obj = ComPtr<IDispatch>::attach(messenger().windowObject(a));
    std::wstring key;
    ASSERT_EQ(windowKey(obj.get(), key), S_OK);
    EXPECT_EQ(key, L"HWND-2147483632");
    ASSERT_NO_FATAL_FAILURE(startUpNow());
    messenger().refireCreated(a);
    EXPECT_EQ(keys(), std::vector<std::wstring>{L"HWND-2147483632"});
    messenger().closeConversation(a);
    EXPECT_EQ(list().count(), 0);
}

TEST_F(WindowList, SinkAnswersEveryEventAndIgnoresAllButTheOnesItHandles) {
    for (DISPID id : {1024, 1025, 1029, 1032, 1043, 1044, 1050, 1041, 1042, 7})
        EXPECT_EQ(messenger().fireEvent(id), S_OK) << id;  // 1041/1042 without a window, too
    EXPECT_EQ(list().count(), 0);

    struct Handlers final : MessengerEvents {
        void windowCreated(IDispatch* window) override { created = window; }
        void windowDestroyed(IDispatch*) override {}
        void signedIn() override {}
        IDispatch* created = nullptr;
    } handlers;
    ComPtr<IDispatch> sink;
    ASSERT_EQ(createMessengerEventSink(handlers, sink.put()), S_OK);
    ComPtr<IUnknown> events;
    EXPECT_EQ(sink->QueryInterface(DIID_DMessengerEvents, events.putVoid()), S_OK);
    // The window may come by reference, as a script engine would pass it.
    HWND a = messenger().openConversation(L"a@example.com");
    IDispatch* obj = messenger().windowObject(a);
    VARIANTARG arg;
    VariantInit(&arg);
    arg.vt = VT_DISPATCH | VT_BYREF;
    arg.ppdispVal = &obj;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXPECT_EQ(sink->Invoke(kOnIMWindowCreated, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                           nullptr, nullptr),
              S_OK);
    EXPECT_EQ(handlers.created, obj);
    obj->Release();
}

} // namespace
} // namespace tc::test
