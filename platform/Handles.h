#pragma once
// RAII owners for the Win32 and OLE Automation handles this code touches.
#include <windows.h>
#include <oleauto.h>
#include <memory>
#include <string>
#include <utility>

namespace tc {

// Registry key. Predefined roots (HKEY_CURRENT_USER ...) are never closed.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY k) : k_(k) {}
    RegKey(RegKey&& o) noexcept : k_(std::exchange(o.k_, nullptr)) {}
    RegKey& operator=(RegKey&& o) noexcept { std::swap(k_, o.k_); return *this; }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { if (k_) RegCloseKey(k_); }
    HKEY get() const { return k_; }
    HKEY* put() { if (k_) RegCloseKey(std::exchange(k_, nullptr)); return &k_; }
    explicit operator bool() const { return k_ != nullptr; }

private:
    HKEY k_ = nullptr;
};

// Owned BSTR. A null BSTR is the empty text, as OLE Automation defines it.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& s)
        : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    explicit Bstr(const wchar_t* s) : b_(SysAllocString(s)) {}
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept { std::swap(b_, o.b_); return *this; }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }

    static Bstr attach(BSTR b) { Bstr r; r.b_ = b; return r; }
    BSTR detach() { return std::exchange(b_, nullptr); }
    BSTR get() const { return b_; }
    BSTR* put() { SysFreeString(std::exchange(b_, nullptr)); return &b_; }
    // For an in/out parameter: the callee may free and replace the text.
    BSTR* inOut() { return &b_; }
    std::wstring str() const { return toString(b_); }

    static std::wstring toString(BSTR b) {
        return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
    }

private:
    BSTR b_ = nullptr;
};

// Owned VARIANT, cleared on destruction.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v_); }
    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARIANT* put() { VariantClear(&v_); return &v_; }
    // Hands the content to the caller and leaves this VT_EMPTY.
    VARIANT detach() { VARIANT r = v_; VariantInit(&v_); return r; }

private:
    VARIANT v_;
};

struct GdiObjectDeleter { void operator()(void* h) const { if (h) DeleteObject(static_cast<HGDIOBJ>(h)); } };
template <class T>
using GdiObject = std::unique_ptr<std::remove_pointer_t<T>, GdiObjectDeleter>;

// A kernel object (process, thread, file), closed on destruction. Opening a
// file fails with INVALID_HANDLE_VALUE, which is not closed either.
struct KernelHandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using KernelHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, KernelHandleCloser>;

// An opened desktop (OpenInputDesktop), closed on destruction.
struct DesktopCloser { void operator()(HDESK d) const { if (d) CloseDesktop(d); } };
using DesktopHandle = std::unique_ptr<std::remove_pointer_t<HDESK>, DesktopCloser>;

// A window of ours, destroyed on destruction.
struct WindowDestroyer { void operator()(HWND w) const { if (w) DestroyWindow(w); } };
using WindowHandle = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

} // namespace tc
