// The list of open conversation windows, kept from the messenger's events.
#include "messenger/EventSink.h"
#include "tests/messenger/unit/MessengerFixture.h"

namespace {

using tc::Variant;
using tc::test::MessengerTest;

std::vector<std::wstring> keys() {
    std::vector<std::wstring> out;
    for (const tc::WindowEntry& e : MessengerTest::form().colIMWindows) out.push_back(e.key);
    return out;
}

std::wstring keyOf(HWND w) { return L"HWND" + std::to_wstring(reinterpret_cast<LONG_PTR>(w)); }

class WindowList : public MessengerTest {
protected:
    void SetUp() override {
        MessengerTest::SetUp();
        ASSERT_EQ(loadResult_, S_OK);
        ASSERT_EQ(sim().connectedSinks(), 1u);
    }
};

TEST_F(WindowList, OpenAndCloseAddsThenRemovesTheEntry) {
    HWND w = sim().openConversation(L"bob@example.com");
    ASSERT_EQ(form().oWindowList->Count(), 1);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(w)});
    tc::ComPtr<IDispatch> byKey, byPosition;
    Variant key;
    key.get()->vt = VT_BSTR;
    key.get()->bstrVal = SysAllocString(keyOf(w).c_str());
    ASSERT_EQ(form().oWindowList->Item(*key.get(), byKey.put()), S_OK);
    Variant one;
    one.get()->vt = VT_I4;
    one.get()->lVal = 1;
    ASSERT_EQ(form().oWindowList->Item(*one.get(), byPosition.put()), S_OK);
    EXPECT_EQ(byKey.get(), byPosition.get());
    one.get()->lVal = 2;
    EXPECT_TRUE(FAILED(form().oWindowList->Item(*one.get(), byPosition.put())));

    sim().closeConversation(w);
    EXPECT_EQ(form().oWindowList->Count(), 0);
    one.get()->lVal = 1;
    EXPECT_TRUE(FAILED(form().oWindowList->Item(*one.get(), byPosition.put())));
}

TEST_F(WindowList, KeepsOpeningOrderAndClosingTheFirstLeavesTheSecond) {
    HWND a = sim().openConversation(L"a@example.com");
    HWND b = sim().openConversation(L"b@example.com");
    auto walk = form().oWindowList->NewEnum();
    ASSERT_EQ(walk.size(), 2u);
    tc::ComPtr<IDispatch> objA = tc::ComPtr<IDispatch>::attach(sim().windowObject(a));
    tc::ComPtr<IDispatch> objB = tc::ComPtr<IDispatch>::attach(sim().windowObject(b));
    EXPECT_EQ(walk[0].get(), objA.get());
    EXPECT_EQ(walk[1].get(), objB.get());
    sim().closeConversation(a);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(b)});
}

TEST_F(WindowList, RepeatedCreationKeepsTheFirstEntry) {
    HWND a = sim().openConversation(L"a@example.com");
    HWND b = sim().openConversation(L"b@example.com");
    sim().refireCreated(a);
    EXPECT_EQ(keys(), (std::vector<std::wstring>{keyOf(a), keyOf(b)}));
    // A new window reporting the handle of a listed one is not taken in.
    sim().setReportedHandle(b, static_cast<LONG>(reinterpret_cast<LONG_PTR>(a)));
    sim().refireCreated(b);
    EXPECT_EQ(form().oWindowList->Count(), 2);
    tc::ComPtr<IDispatch> objA = tc::ComPtr<IDispatch>::attach(sim().windowObject(a));
    EXPECT_EQ(form().oWindowList->NewEnum()[0].get(), objA.get());
}

TEST_F(WindowList, ClosingAWindowThatWasNeverListedChangesNothing) {
    HWND a = sim().openConversation(L"a@example.com");
    form().colIMWindows.clear();  // as if it had opened before start-up
    HWND b = sim().openConversation(L"b@example.com");
    sim().closeConversation(a);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(b)});
}

TEST_F(WindowList, UnreadableHandleAtCloseKeepsTheEntry) {
    HWND a = sim().openConversation(L"a@example.com");
    sim().setHandleFails(a, true);
    sim().closeConversation(a);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(a)});
    // Other windows still come and go around the stale entry.
    HWND c = sim().openConversation(L"c@example.com");
    EXPECT_EQ(keys(), (std::vector<std::wstring>{keyOf(a), keyOf(c)}));
    sim().closeConversation(c);
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(a)});
}

TEST_F(WindowList, HandleWithTheTopBitSetGivesANegativeKey) {
    HWND a = sim().openConversation(L"a@example.com");
    sim().setReportedHandle(a, static_cast<LONG>(0x80000010u));
    tc::ComPtr<IDispatch> obj = tc::ComPtr<IDispatch>::attach(sim().windowObject(a));
    std::wstring key;
    ASSERT_EQ(tc::windowKey(obj.get(), key), S_OK);
    EXPECT_EQ(key, L"HWND-2147483632");
    form().colIMWindows.clear();
    ASSERT_EQ(form().oWindowList->AddWindow(obj.get()), S_OK);
    EXPECT_EQ(keys(), std::vector<std::wstring>{L"HWND-2147483632"});
    sim().closeConversation(a);
    EXPECT_EQ(form().oWindowList->Count(), 0);
}

TEST_F(WindowList, SinkAnswersEveryEventAndIgnoresAllButTheWindowOnes) {
    for (DISPID id : {1024, 1025, 1029, 1032, 1043, 1044, 1050, 1041, 1042, 7})
        EXPECT_EQ(sim().fireEvent(id), S_OK) << id;  // 1041/1042 without a window, too
    EXPECT_EQ(form().oWindowList->Count(), 0);

    tc::ComPtr<IDispatch> sink;
    ASSERT_EQ(tc::createMessengerEventSink(form(), sink.put()), S_OK);
    tc::ComPtr<IUnknown> events;
    EXPECT_EQ(sink->QueryInterface(DIID_DMessengerEvents, events.putVoid()), S_OK);
    // The window may come by reference, as a script engine would pass it.
    HWND a = sim().openConversation(L"a@example.com");
    form().colIMWindows.clear();
    IDispatch* obj = sim().windowObject(a);
    VARIANTARG arg;
    VariantInit(&arg);
    arg.vt = VT_DISPATCH | VT_BYREF;
    arg.ppdispVal = &obj;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXPECT_EQ(sink->Invoke(tc::kOnIMWindowCreated, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                           nullptr, nullptr),
              S_OK);
    obj->Release();
    EXPECT_EQ(keys(), std::vector<std::wstring>{keyOf(a)});
}

} // namespace
