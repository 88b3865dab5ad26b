#pragma once
// The few messenger calls the plug-in makes, each one checked HRESULT.
#include "MessengerApi_h.h"
#include "platform/ComPtr.h"

#include <string>

namespace tc::messenger {

inline constexpr const wchar_t* kDebugContact = L"Debug.Window";

// A new Messenger object (the messenger's own class, CLSCTX_ALL).
HRESULT create(ComPtr<::IMessenger>& out);

HRESULT friendlyName(::IMessenger* m, std::wstring& out);
HRESULT signinName(::IMessenger* m, std::wstring& out);
// Opens a conversation with the contact and returns its window.
HRESULT instantMessage(::IMessenger* m, const std::wstring& contact,
                       ComPtr<IMessengerConversationWnd>& out);

// HWND of a conversation window, through its vtable.
HRESULT windowHandle(IMessengerConversationWnd* w, LONG& out);
// SigninName of item 0 of the window's Contacts, read late bound.
HRESULT firstContactSignin(IMessengerConversationWnd* w, std::wstring& out);

// Connects `sink` to the object's DMessengerEvents connection point.
HRESULT connectEvents(IUnknown* source, IUnknown* sink, DWORD& cookie);

} // namespace tc::messenger
