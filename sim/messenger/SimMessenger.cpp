#include "sim/messenger/SimMessenger.h"

#include "sim/common/Pump.h"

#include "MessengerApi_h.h"
#include "platform/ComObject.h"
#include "platform/ComPtr.h"
#include "platform/Handles.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cwchar>
#include <random>

namespace tc::sim {
namespace {

constexpr const wchar_t* kWindowClass = L"IMWindowClass";
constexpr const wchar_t* kDecoyClass = L"SimMessengerDecoy";
constexpr const wchar_t* kContactListClass = L"SimMessengerContactList";
constexpr DISPID kOnSignin = 1024;
constexpr DISPID kOnSignout = 1025;
constexpr DISPID kOnMyFriendlyNameChange = 1029;
constexpr DISPID kOnIMWindowCreated = 1041;
constexpr DISPID kOnIMWindowDestroyed = 1042;

class WindowObject;

struct ConversationRecord {
    HWND window = nullptr;
    HWND box = nullptr; // its input box
    std::wstring contact;
    ComPtr<WindowObject> object;
    bool contactsFail = false;
    bool handleFails = false;
    bool hasReportedHandle = false;
    LONG reportedHandle = 0;
    bool refuseForeground = false;
    int hotKeys = 0;
    int activations = 0;
    std::wstring keys;
    std::vector<std::wstring> messages;
};

struct Sink {
    DWORD cookie;
    ComPtr<IDispatch> sink;
};

// Shared by every simulated object; lives until the process ends.
struct State {
    std::wstring friendlyName = L"Ann";
    std::wstring signinName = L"ann@example.com";
    bool signedIn = true;
    std::vector<ConversationRecord> conversations;
    std::vector<Sink> sinks;
    DWORD nextCookie = 1;
    std::vector<SentText> timeline;
    int hotKeys = 0;
    int strayHotKeys = 0;
    int instantMessages = 0;
    int nameReads = 0;
    bool newWindowsRefuse = false;
    double failureRate = 0.0;
    std::mt19937 random{1};
    int injected = 0;
    bool friendlyNameFaults = false;
    bool friendlyNameFails = false;
    std::function<void()> duringAdvise;
    DWORD classCookie = 0;
    bool registered = false;
    HWND decoy = nullptr;
};

State& state() {
    static State* s = new State();
    return *s;
}

ConversationRecord* find(HWND window) {
    for (ConversationRecord& r : state().conversations)
        if (r.window == window) return &r;
    return nullptr;
}

// True when this call is one that setFailureRate picks to fail.
bool injectFailure() {
    State& s = state();
    if (s.failureRate <= 0.0) return false;
    std::uniform_real_distribution<double> draw(0.0, 1.0);
    if (s.failureRate >= 1.0 || draw(s.random) < s.failureRate) {
        ++s.injected;
        return true;
    }
    return false;
}

HRESULT newBstr(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Fires an event with the given arguments (in Invoke's reversed order) to a
// snapshot of the sinks, so that a sink may disconnect while it is called.
HRESULT fire(DISPID id, VARIANTARG* args, UINT count) {
    std::vector<ComPtr<IDispatch>> sinks;
    for (const Sink& s : state().sinks) sinks.push_back(s.sink);
    HRESULT first = S_OK;
    for (const ComPtr<IDispatch>& sink : sinks) {
        DISPPARAMS params = {args, nullptr, count, 0};
        HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                  nullptr, nullptr, nullptr);
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT fireWindowEvent(DISPID id, IDispatch* window) {
    VARIANTARG arg;
    VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    arg.pdispVal = window;
    return fire(id, &arg, 1);
}

struct NameId {
    const wchar_t* name;
    DISPID id;
};

// IDispatch by a name table (case-insensitive, as automation names are) for
// the simulated objects; IUnknown comes from their interface tables.
template <class Object, class Iface, class... More>
class DispatchObject : public ComObject<Object, Iface, More...> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        size_t n = 0;
        const NameId* table = nameTable(n);
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i == 0) {
                for (size_t k = 0; k < n; ++k)
                    if (names[0] && _wcsicmp(names[0], table[k].name) == 0) ids[0] = table[k].id;
            }
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        VARIANT ignored;
        VariantInit(&ignored);
        HRESULT hr = invokeId(id, flags, params ? *params : none, result ? *result : ignored);
        VariantClear(&ignored);
        return hr;
    }

protected:
    virtual const NameId* nameTable(size_t& count) const = 0;
    virtual HRESULT invokeId(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT& result) = 0;

    // The argument at position i from the left, converted to `type`.
    static HRESULT argument(const DISPPARAMS& params, UINT i, VARTYPE type, VARIANT& out) {
        if (i >= params.cArgs) return DISP_E_BADPARAMCOUNT;
        return VariantChangeType(&out, &params.rgvarg[params.cArgs - 1 - i], 0, type);
    }
    // The value is taken by reference: it is written by the call that makes
    // the first argument, and argument order is unspecified.
    static HRESULT returnBstr(HRESULT hr, const BSTR& value, VARIANT& result) {
        if (FAILED(hr)) return hr;
        result.vt = VT_BSTR;
        result.bstrVal = value;
        return S_OK;
    }
    static HRESULT returnLong(HRESULT hr, const LONG& value, VARIANT& result) {
        if (FAILED(hr)) return hr;
        result.vt = VT_I4;
        result.lVal = value;
        return S_OK;
    }
    static HRESULT returnDispatch(HRESULT hr, IDispatch* const& value, VARIANT& result) {
        if (FAILED(hr)) return hr;
        result.vt = VT_DISPATCH;
        result.pdispVal = value;
        return S_OK;
    }
};

// --- Contact and contact collection ------------------------------------------

class ContactObject final : public DispatchObject<ContactObject, IMessengerContact> {
public:
    static constexpr InterfaceEntry<ContactObject> kInterfaces[] = {
        {&IID_IMessengerContact, interfaceOf<ContactObject, IMessengerContact>},
        {&IID_IDispatch, interfaceOf<ContactObject, IMessengerContact>},
    };

    explicit ContactObject(std::wstring signin) : signin_(std::move(signin)) {}

    HRESULT STDMETHODCALLTYPE get_FriendlyName(BSTR* out) override {
        if (injectFailure()) return E_FAIL;
        return newBstr(signin_, out);
    }
    HRESULT STDMETHODCALLTYPE get_Status(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SigninName(BSTR* out) override {
        if (injectFailure()) return E_FAIL;
        return newBstr(signin_, out);
    }
    HRESULT STDMETHODCALLTYPE get_ServiceName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Blocked(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Blocked(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CanPage(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PhoneNumber(long, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsSelf(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Property(long, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Property(long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ServiceId(BSTR*) override { return E_NOTIMPL; }

protected:
    const NameId* nameTable(size_t& count) const override {
        static const NameId names[] = {{L"FriendlyName", 1536}, {L"SigninName", 1538}};
        count = 2;
        return names;
    }
    HRESULT invokeId(DISPID id, WORD, const DISPPARAMS&, VARIANT& result) override {
        BSTR text = nullptr;
        switch (id) {
        case 1536: return returnBstr(get_FriendlyName(&text), text, result);
        case 1538: return returnBstr(get_SigninName(&text), text, result);
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::wstring signin_;
};

class ContactsObject final : public DispatchObject<ContactsObject, IMessengerContacts> {
public:
    static constexpr InterfaceEntry<ContactsObject> kInterfaces[] = {
        {&IID_IMessengerContacts, interfaceOf<ContactsObject, IMessengerContacts>},
        {&IID_IDispatch, interfaceOf<ContactsObject, IMessengerContacts>},
    };

    explicit ContactsObject(std::wstring signin) : signin_(std::move(signin)) {}

    HRESULT STDMETHODCALLTYPE get_Count(long* out) override {
        if (!out) return E_POINTER;
        if (injectFailure()) return E_FAIL;
        *out = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(long index, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (injectFailure()) return E_FAIL;
        if (index != 0) return E_INVALIDARG;
        *out = new ContactObject(signin_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Remove(IDispatch*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

protected:
    const NameId* nameTable(size_t& count) const override {
        static const NameId names[] = {{L"Count", 1792}, {L"Item", DISPID_VALUE}};
        count = 2;
        return names;
    }
    HRESULT invokeId(DISPID id, WORD, const DISPPARAMS& params, VARIANT& result) override {
        if (id == 1792) {
            long n = 0;
            return returnLong(get_Count(&n), n, result);
        }
        if (id == DISPID_VALUE) {
            Variant index;
            HRESULT hr = argument(params, 0, VT_I4, *index.get());
            if (FAILED(hr)) return hr;
            IDispatch* contact = nullptr;
            return returnDispatch(Item(index.get()->lVal, &contact), contact, result);
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    std::wstring signin_;
};

// --- Conversation window --------------------------------------------------------

class WindowObject final : public DispatchObject<WindowObject, IMessengerConversationWnd> {
public:
    static constexpr InterfaceEntry<WindowObject> kInterfaces[] = {
        {&IID_IMessengerConversationWnd, interfaceOf<WindowObject, IMessengerConversationWnd>},
        {&IID_IMessengerWindow, interfaceOf<WindowObject, IMessengerConversationWnd>},
        {&IID_IDispatch, interfaceOf<WindowObject, IMessengerConversationWnd>},
    };

    WindowObject(HWND window, std::wstring contact) : window_(window), contact_(std::move(contact)) {}
    void markClosed() { closed_ = true; }

    HRESULT STDMETHODCALLTYPE Close() override {
        if (closed_ || injectFailure()) return E_FAIL;
        SimMessenger::instance().closeConversation(window_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HWND(long* out) override {
        if (!out) return E_POINTER;
        if (closed_ || injectFailure()) return E_FAIL;
        const ConversationRecord* r = find(window_);
        if (r && r->handleFails) return E_FAIL;
        *out = r && r->hasReportedHandle ? r->reportedHandle
                                         : static_cast<long>(reinterpret_cast<LONG_PTR>(window_));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Left(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Left(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Top(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Top(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Width(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Height(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsClosed(VARIANT_BOOL* out) override {
        if (!out) return E_POINTER;
        *out = closed_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Show() override {
        if (closed_ || injectFailure()) return E_FAIL;
        ShowWindow(window_, SW_SHOW);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Property(long, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Property(long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Contacts(IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (closed_ || injectFailure()) return E_FAIL;
        const ConversationRecord* r = find(window_);
        if (r && r->contactsFail) return E_FAIL;
        *out = new ContactsObject(contact_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_History(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddContact(VARIANT) override { return E_NOTIMPL; }

protected:
    const NameId* nameTable(size_t& count) const override {
        static const NameId names[] = {{L"Close", 2053},    {L"HWND", 2048},
                                       {L"IsClosed", 2055}, {L"Show", 2054},
                                       {L"Contacts", 2057}};
        count = 5;
        return names;
    }
    HRESULT invokeId(DISPID id, WORD, const DISPPARAMS&, VARIANT& result) override {
        switch (id) {
        case 2053: return Close();
        case 2054: return Show();
        case 2048: {
            long handle = 0;
            return returnLong(get_HWND(&handle), handle, result);
        }
        case 2055: {
            VARIANT_BOOL closed = VARIANT_FALSE;
            HRESULT hr = get_IsClosed(&closed);
            if (SUCCEEDED(hr)) {
                result.vt = VT_BOOL;
                result.boolVal = closed;
            }
            return hr;
        }
        case 2057: {
            IDispatch* contacts = nullptr;
            return returnDispatch(get_Contacts(&contacts), contacts, result);
        }
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    HWND window_;
    std::wstring contact_;
    bool closed_ = false;
};

// --- The add-on: Alt+0 sends quick text 09 ------------------------------------

// Quick text 09 and whether it is sent at once (a DWORD "AutoSend" that is
// not 0); false when there is no text.
bool readQuickText(std::wstring& text, bool& autoSend) {
    RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, quickTextPath(state().signinName).c_str(), 0,
                      KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, send = 0, size = sizeof send;
    autoSend = RegQueryValueExW(key.get(), L"AutoSend", nullptr, &type,
                                reinterpret_cast<BYTE*>(&send), &size) == ERROR_SUCCESS &&
               type == REG_DWORD && size == sizeof send && send != 0;
    size = 0;
    if (RegQueryValueExW(key.get(), L"Message", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), L"Message", nullptr, &type,
                         reinterpret_cast<BYTE*>(&buffer[0]), &size) != ERROR_SUCCESS)
        return false;
    buffer.resize(size / sizeof(wchar_t));
    while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
    text = std::move(buffer);
    return true;
}

// "Ctrl+", "Shift+", "Win+" for each held as the thread reads its keys now.
std::wstring heldModifiers() {
    std::wstring held;
    if (GetKeyState(VK_CONTROL) < 0) held += L"Ctrl+";
    if (GetKeyState(VK_SHIFT) < 0) held += L"Shift+";
    if (GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0) held += L"Win+";
    return held;
}

std::wstring boxText(HWND box) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(box, &text[0], static_cast<int>(text.size()))));
    return text;
}

void onHotKey(HWND window) {
    State& s = state();
    ++s.hotKeys;
    ConversationRecord* r = find(window);
    if (!r) return;
    ++r->hotKeys;
    r->keys += L"[Alt+0]";
    std::wstring quick;
    bool autoSend = false;
    if (!s.signedIn || !readQuickText(quick, autoSend)) return;
    // The quick text goes where the caret is; AutoSend then sends the box.
    std::wstring text = quick;
    if (r->box) {
        SendMessageW(r->box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(quick.c_str()));
        if (!autoSend) return;
        text = boxText(r->box);
        SetWindowTextW(r->box, L"");
    } else if (!autoSend) {
        return;
    }
    const std::wstring command = L"/name ";
    if (text.compare(0, command.size(), command) == 0) {
        Bstr previous(s.friendlyName);
        s.friendlyName = text.substr(command.size());
        VARIANTARG args[2];
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        args[0].vt = VT_BSTR;  // reversed: the last argument first
        args[0].bstrVal = previous.get();
        args[1].vt = VT_I4;
        args[1].lVal = S_OK;
        s.timeline.push_back({GetTickCount(), window, r->contact, text, s.friendlyName});
        fire(kOnMyFriendlyNameChange, args, 2);
        return;
    }
    s.timeline.push_back({GetTickCount(), window, r->contact, text, s.friendlyName});
}

// Alt+0 in a conversation, whichever of its windows has the focus: with
// another modifier held it is another chord, not the hot key (Ctrl+Alt+0 is
// AltGr+0 on many layouts and types a character), and the add-on does
// nothing. The system's own handling sees the key too: Alt was not pressed
// alone.
void onKeyDown(HWND conversation, WPARAM key) {
    if (key != '0' || GetKeyState(VK_MENU) >= 0) return;
    const std::wstring held = heldModifiers();
    if (held.empty()) onHotKey(conversation);
    else if (ConversationRecord* r = find(conversation)) r->keys += L"[" + held + L"Alt+0]";
}

WNDPROC g_boxProc = nullptr; // the edit control's own

LRESULT CALLBACK inputBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND conversation = GetParent(box);
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (wParam == VK_RETURN && message == WM_KEYDOWN) {
            // Enter sends the box as the user's message.
            if (ConversationRecord* r = find(conversation)) {
                r->keys += L"[Enter]";
                const std::wstring text = boxText(box);
                if (!text.empty()) r->messages.push_back(text);
            }
            SetWindowTextW(box, L"");
            return 0;
        }
        onKeyDown(conversation, wParam);
        break;
    case WM_CHAR:
        if (wParam == L'\r') return 0;
        if (ConversationRecord* r = find(conversation)) r->keys += static_cast<wchar_t>(wParam);
        break;
    default: break;
    }
    return CallWindowProcW(g_boxProc, box, message, wParam, lParam);
}

HWND contactListWindow() {
    static HWND list = nullptr;
    if (list && IsWindow(list)) return list;
    list = CreateWindowExW(0, kContactListClass, L"Messenger", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           900, 40, 260, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    return list;
}

HWND decoyWindow() {
    State& s = state();
    if (s.decoy && IsWindow(s.decoy)) return s.decoy;
    s.decoy = CreateWindowExW(WS_EX_TOOLWINDOW, kDecoyClass, L"decoy", WS_POPUP | WS_VISIBLE, 0, 0,
                              8, 8, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    return s.decoy;
}

LRESULT CALLBACK conversationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        onKeyDown(window, wParam);
        break;
    case WM_CHAR:
        if (ConversationRecord* r = find(window)) r->keys += static_cast<wchar_t>(wParam);
        break;
    case WM_SYSCOMMAND:
        // Alt pressed and let go alone opens the window's menu, and the
        // user's next keys go there.
        if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == 0) {
            if (ConversationRecord* r = find(window)) r->keys += L"[menu]";
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            ConversationRecord* r = find(window);
            if (r) ++r->activations;
            if (r && r->refuseForeground) {
                SetForegroundWindow(decoyWindow());
                return 0;
            }
            // The input box takes the focus, as it does in a messenger's
            // conversation.
            if (r && r->box && !HIWORD(wParam)) {
                SetFocus(r->box);
                return 0;
            }
        }
        break;
    case WM_SETFOCUS:
        if (ConversationRecord* r = find(window); r && r->box) {
            SetFocus(r->box);
            return 0;
        }
        break;
    case WM_CLOSE:
        SimMessenger::instance().closeConversation(window);
        return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK decoyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSKEYDOWN && wParam == '0' && (lParam & (1 << 29))) {
        ++state().strayHotKeys;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void registerWindowClasses() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = conversationProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = decoyProc;
    wc.lpszClassName = kDecoyClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = kContactListClass;
    RegisterClassExW(&wc);
    done = true;
}

// A new conversation window with its object, listed; no event yet.
ConversationRecord* createConversation(const std::wstring& contact, bool refuse) {
    registerWindowClasses();
    const std::wstring title = contact + L" - Conversation";
    HWND window = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, 60, 60, 360,
                                  280, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return nullptr;
    ConversationRecord r;
    r.window = window;
    r.box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 8, 200, 330, 24,
                            window, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (r.box) {
        WNDPROC own = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            r.box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(inputBoxProc)));
        if (!g_boxProc) g_boxProc = own;
    }
    r.contact = contact;
    r.object = ComPtr<WindowObject>::attach(new WindowObject(window, contact));
    r.refuseForeground = refuse;
    state().conversations.push_back(std::move(r));
    return &state().conversations.back();
}

// --- Messenger object and its event connection point ---------------------------

class ConnectionPoint final : public ComObject<ConnectionPoint, IConnectionPoint> {
public:
    static constexpr InterfaceEntry<ConnectionPoint> kInterfaces[] = {
        {&IID_IConnectionPoint, interfaceOf<ConnectionPoint, IConnectionPoint>},
    };

    explicit ConnectionPoint(IConnectionPointContainer* owner) : owner_(owner) {}

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = DIID_DMessengerEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
        if (!out) return E_POINTER;
        *out = owner_.get();
        owner_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        *cookie = 0;
        if (injectFailure()) return E_FAIL;
        if (std::function<void()> call = std::move(state().duringAdvise)) {
            state().duringAdvise = nullptr;
            call();
        }
        ComPtr<IDispatch> events;
        if (FAILED(sink->QueryInterface(DIID_DMessengerEvents, events.putVoid())) &&
            FAILED(sink->QueryInterface(IID_IDispatch, events.putVoid())))
            return CONNECT_E_CANNOTCONNECT;
        State& s = state();
        *cookie = s.nextCookie++;
        s.sinks.push_back({*cookie, events});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        auto& sinks = state().sinks;
        auto it = std::find_if(sinks.begin(), sinks.end(),
                               [cookie](const Sink& s) { return s.cookie == cookie; });
        if (it == sinks.end()) return CONNECT_E_NOCONNECTION;
        sinks.erase(it);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    ComPtr<IConnectionPointContainer> owner_;
};

class MessengerObject final
    : public DispatchObject<MessengerObject, ::IMessenger, IConnectionPointContainer> {
public:
    static constexpr InterfaceEntry<MessengerObject> kInterfaces[] = {
        {&IID_IMessenger, interfaceOf<MessengerObject, ::IMessenger>},
        {&IID_IDispatch, interfaceOf<MessengerObject, ::IMessenger>},
        {&IID_IConnectionPointContainer, interfaceOf<MessengerObject, IConnectionPointContainer>},
    };

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != DIID_DMessengerEvents) return CONNECT_E_NOCONNECTION;
        *out = new ConnectionPoint(this);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_Window(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ViewProfile(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ReceiveFileDirectory(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE StartVoice(VARIANT, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InviteApp(VARIANT, BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendMail(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenInbox() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendFile(VARIANT, BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Signout() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Signin(long, BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContact(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OptionsPages(long, long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddContact(long, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindContact(long, BSTR, BSTR, VARIANT, VARIANT, VARIANT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE InstantMessage(VARIANT contact, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        State& s = state();
        if (!s.signedIn || injectFailure()) return E_FAIL;
        Variant name;
        HRESULT hr = VariantChangeType(name.get(), &contact, 0, VT_BSTR);
        if (FAILED(hr)) return hr;
        ConversationRecord* r = createConversation(Bstr::toString(name.get()->bstrVal), s.newWindowsRefuse);
        if (!r) return E_FAIL;
        ++s.instantMessages;
        HWND window = r->window;
        ComPtr<WindowObject> object = r->object;
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        fireWindowEvent(kOnIMWindowCreated, object.get());
        return object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
    }
    HRESULT STDMETHODCALLTYPE Phone(VARIANT, long, BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MediaWizard(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Page(VARIANT, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AutoSignin() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MyContacts(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MySigninName(BSTR* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        ++state().nameReads;
        if (!state().signedIn || injectFailure()) return E_FAIL;
        return newBstr(state().signinName, out);
    }
    HRESULT STDMETHODCALLTYPE get_MyFriendlyName(BSTR* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        ++state().nameReads;
        if (!state().signedIn || state().friendlyNameFails || injectFailure()) return E_FAIL;
        if (state().friendlyNameFaults) {
            state().friendlyNameFaults = false;
            volatile int* volatile nowhere = nullptr;
            *nowhere = 0;
        }
        return newBstr(state().friendlyName, out);
    }
    HRESULT STDMETHODCALLTYPE put_MyStatus(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MyStatus(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_UnreadEmailCount(long, long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MyServiceName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MyPhoneNumber(long, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MyProperty(long, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MyProperty(long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MyServiceId(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Services(IDispatch**) override { return E_NOTIMPL; }

protected:
    const NameId* nameTable(size_t& count) const override {
        static const NameId names[] = {{L"MySigninName", 1304},
                                       {L"MyFriendlyName", 1282},
                                       {L"InstantMessage", 1290}};
        count = 3;
        return names;
    }
    HRESULT invokeId(DISPID id, WORD, const DISPPARAMS& params, VARIANT& result) override {
        BSTR text = nullptr;
        switch (id) {
        case 1304: return returnBstr(get_MySigninName(&text), text, result);
        case 1282: return returnBstr(get_MyFriendlyName(&text), text, result);
        case 1290: {
            if (params.cArgs < 1) return DISP_E_BADPARAMCOUNT;
            IDispatch* window = nullptr;
            return returnDispatch(InstantMessage(params.rgvarg[params.cArgs - 1], &window), window,
                                  result);
        }
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }
};

// Process-wide: it keeps a reference of its own and is never destroyed.
class Factory final : public ComObject<Factory, IClassFactory> {
public:
    static constexpr InterfaceEntry<Factory> kInterfaces[] = {
        {&IID_IClassFactory, interfaceOf<Factory, IClassFactory>},
    };

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ComPtr<MessengerObject> object = ComPtr<MessengerObject>::attach(new MessengerObject());
        return object->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

} // namespace

std::wstring quickTextPath(const std::wstring& signinName) {
    return L"Software\\Venmoor\\Kestrix2\\" + signinName + L"\\Preferences\\QuickTexts\\QuickText09";
}

SimMessenger& SimMessenger::instance() {
    static SimMessenger* sim = new SimMessenger();
    return *sim;
}

HRESULT SimMessenger::registerClass() {
    State& s = state();
    if (s.registered) return S_OK;
    static Factory* factory = new Factory();
    HRESULT hr = CoRegisterClassObject(CLSID_Messenger, factory,
                                       CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE, &s.classCookie);
    s.registered = SUCCEEDED(hr);
    return hr;
}

void SimMessenger::revokeClass() {
    State& s = state();
    if (!s.registered) return;
    CoRevokeClassObject(s.classCookie);
    s.registered = false;
    s.classCookie = 0;
}

bool SimMessenger::isRegistered() const { return state().registered; }

HRESULT SimMessenger::createObject(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<MessengerObject> object = ComPtr<MessengerObject>::attach(new MessengerObject());
    return object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

void SimMessenger::setFriendlyName(const std::wstring& name) { state().friendlyName = name; }
std::wstring SimMessenger::friendlyName() const { return state().friendlyName; }
void SimMessenger::setSigninName(const std::wstring& name) { state().signinName = name; }
std::wstring SimMessenger::signinName() const { return state().signinName; }
// The messenger tells its sinks when the user signs out, and when a sign-in
// has succeeded.
void SimMessenger::setSignedIn(bool signedIn) {
    if (state().signedIn == signedIn) return;
    state().signedIn = signedIn;
    if (!signedIn) {
        fire(kOnSignout, nullptr, 0);
        return;
    }
    VARIANTARG result;
    VariantInit(&result);
    result.vt = VT_I4;
    result.lVal = S_OK;
    fire(kOnSignin, &result, 1);
}
bool SimMessenger::signedIn() const { return state().signedIn; }

HWND SimMessenger::openConversation(const std::wstring& contact) {
    ConversationRecord* r = createConversation(contact, false);
    if (!r) return nullptr;
    HWND window = r->window;
    ComPtr<WindowObject> object = r->object;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);
    fireWindowEvent(kOnIMWindowCreated, object.get());
    return window;
}

HWND SimMessenger::showContactList() {
    registerWindowClasses();
    HWND list = contactListWindow();
    SetForegroundWindow(list);
    SetFocus(list);
    return list;
}

void SimMessenger::closeConversation(HWND window) {
    ConversationRecord* r = find(window);
    if (!r) return;
    ComPtr<WindowObject> object = r->object;
    // The object still answers while the sinks hear about it, as the
    // messenger's own does.
    fireWindowEvent(kOnIMWindowDestroyed, object.get());
    object->markClosed();
    auto& list = state().conversations;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [window](const ConversationRecord& c) { return c.window == window; }),
               list.end());
    DestroyWindow(window);
}

void SimMessenger::closeAll() {
    while (!state().conversations.empty()) closeConversation(state().conversations.front().window);
}

std::vector<Conversation> SimMessenger::conversations() const {
    std::vector<Conversation> out;
    for (const ConversationRecord& r : state().conversations) {
        DWORD from = 0, to = 0;
        if (r.box) SendMessageW(r.box, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                                reinterpret_cast<LPARAM>(&to));
        out.push_back({r.window, r.contact, IsWindowVisible(r.window) != FALSE, r.hotKeys,
                       r.activations, r.keys, r.box ? boxText(r.box) : std::wstring(),
                       {static_cast<int>(from), static_cast<int>(to)}, r.messages});
    }
    return out;
}

void SimMessenger::setDraft(HWND window, const std::wstring& text) {
    ConversationRecord* r = find(window);
    if (!r || !r->box) return;
    SetWindowTextW(r->box, text.c_str());
    const int end = static_cast<int>(text.size());
    SendMessageW(r->box, EM_SETSEL, end, end);
}

IDispatch* SimMessenger::windowObject(HWND window) const {
    const ConversationRecord* r = find(window);
    if (!r) return nullptr;
    IDispatch* out = nullptr;
    r->object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&out));
    return out;
}

int SimMessenger::instantMessageCalls() const { return state().instantMessages; }
int SimMessenger::nameReads() const { return state().nameReads; }

size_t SimMessenger::connectedSinks() const { return state().sinks.size(); }

void SimMessenger::refireCreated(HWND window) {
    const ConversationRecord* r = find(window);
    if (!r) return;
    ComPtr<WindowObject> object = r->object;
    fireWindowEvent(kOnIMWindowCreated, object.get());
}

HRESULT SimMessenger::fireEvent(DISPID id) { return fire(id, nullptr, 0); }

std::vector<SentText> SimMessenger::timeline() const { return state().timeline; }
size_t SimMessenger::sendCount() const { return state().timeline.size(); }
void SimMessenger::clearTimeline() { state().timeline.clear(); }

bool SimMessenger::waitForSend(size_t count, DWORD ms) {
    return pumpUntil([&] { return state().timeline.size() > count; }, ms);
}

int SimMessenger::hotKeyCount() const { return state().hotKeys; }
int SimMessenger::strayHotKeys() const { return state().strayHotKeys; }

void SimMessenger::setContactsFail(HWND window, bool fail) {
    if (ConversationRecord* r = find(window)) r->contactsFail = fail;
}
void SimMessenger::setHandleFails(HWND window, bool fail) {
    if (ConversationRecord* r = find(window)) r->handleFails = fail;
}
void SimMessenger::setReportedHandle(HWND window, LONG handle) {
    if (ConversationRecord* r = find(window)) {
        r->hasReportedHandle = true;
        r->reportedHandle = handle;
    }
}
void SimMessenger::setRefuseForeground(HWND window, bool refuse) {
    if (ConversationRecord* r = find(window)) r->refuseForeground = refuse;
}
void SimMessenger::setNewWindowsRefuseForeground(bool refuse) { state().newWindowsRefuse = refuse; }

void SimMessenger::setFailureRate(double rate, unsigned seed) {
    State& s = state();
    s.failureRate = rate;
    s.random.seed(seed);
}
int SimMessenger::injectedFailures() const { return state().injected; }
void SimMessenger::faultOnNextFriendlyName() { state().friendlyNameFaults = true; }
void SimMessenger::setFriendlyNameFails(bool fail) { state().friendlyNameFails = fail; }
void SimMessenger::duringNextAdvise(std::function<void()> call) {
    state().duringAdvise = std::move(call);
}

void SimMessenger::reset() {
    State& s = state();
    s.failureRate = 0.0;
    s.friendlyNameFaults = false;
    s.friendlyNameFails = false;
    s.duringAdvise = nullptr;
    s.newWindowsRefuse = false;
    closeAll();
    s.timeline.clear();
    s.friendlyName = L"Ann";
    s.signinName = L"ann@example.com";
    s.signedIn = true;
    s.hotKeys = 0;
    s.strayHotKeys = 0;
    s.instantMessages = 0;
    s.nameReads = 0;
    s.injected = 0;
}

} // namespace tc::sim
