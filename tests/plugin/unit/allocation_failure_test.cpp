// What the host and Windows call must never let an exception unwind into
// their frames: an allocation that fails anywhere inside gives a failure
// code, or the default processing of a window message, and nothing else.
// This program replaces the allocator so that a chosen allocation fails.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "platform/Handles.h"
#include "plugin/ClassFactory.h"
#include "tests/support/FailingAllocation.h"
#include "tests/support/Registry.h"
#include "ui/FormIds.h"
#include "ui/OptionsDialog.h"

#include <gtest/gtest.h>


namespace {

using tc::test::failEachAllocation;

TEST(Boundaries, AllocationFailureAnywhereNeverUnwindsIntoTheCaller) {
    tc::test::wipeUserState();
    // First in the process: the class object is made on this path.
    failEachAllocation("DllGetClassObject", [&] {
        tc::ComPtr<IClassFactory> f;
        tc::getClassObject(CLSID_PlayerPlugin, IID_IClassFactory, f.putVoid());
    });
    tc::ComPtr<IClassFactory> factory;
    ASSERT_EQ(tc::getClassObject(CLSID_PlayerPlugin, IID_IClassFactory, factory.putVoid()), S_OK);
    failEachAllocation("CreateInstance", [&] {
        tc::ComPtr<_PlayerPlugin> p;
        factory->CreateInstance(nullptr, IID__PlayerPlugin, p.putVoid());
    });
    tc::ComPtr<_PlayerPlugin> plugin;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID__PlayerPlugin, plugin.putVoid()), S_OK);

    failEachAllocation("GetIDsOfNames", [&] {
        LPOLESTR name = const_cast<LPOLESTR>(L"ParseCommand");
        DISPID id = 0;
        plugin->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    });
    failEachAllocation("GetPublishInfo", [&] {
        tc::Bstr name;
        LONG commands = 0, tags = 0;
        VARIANT_BOOL result = VARIANT_FALSE;
        plugin->GetPublishInfo(name.inOut(), &commands, &tags, &result);
    });
    failEachAllocation("GetPublishCommandInfo", [&] {
        tc::Bstr name, value, help;
        tc::Variant result;
        plugin->GetPublishCommandInfo(2, name.inOut(), value.inOut(), help.inOut(), result.get());
    });
    failEachAllocation("ParseCommand", [&] {
        tc::Bstr command(L"/XWinampOff"), result;
        VARIANT_BOOL handled = VARIANT_FALSE;
        plugin->ParseCommand(command.get(), nullptr, nullptr, result.inOut(), &handled);
    });
    failEachAllocation("Invoke", [&] {
        tc::Bstr name;
        LONG commands = 0, tags = 0;
        VARIANT args[3];
        for (VARIANT& a : args) VariantInit(&a);
        args[2].vt = VT_BSTR | VT_BYREF; // in call order: name, commands, tags
        args[2].pbstrVal = name.inOut();
        args[1].vt = VT_I4 | VT_BYREF;
        args[1].plVal = &commands;
        args[0].vt = VT_I4 | VT_BYREF;
        args[0].plVal = &tags;
        DISPPARAMS params = {args, nullptr, 3, 0};
        tc::Variant result;
        plugin->Invoke(0x60030002, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                       result.get(), nullptr, nullptr);
    });

    // The options dialog's save, clicked with a failing allocation.
    HWND form = nullptr;
    failEachAllocation(
        "the options dialog's save",
        [&] {
            SendMessageW(form, WM_COMMAND, MAKEWPARAM(tc::ui::options::SaveButton, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(form, tc::ui::options::SaveButton)));
        },
        [&] {
            if (IsWindow(form)) DestroyWindow(form);
            form = tc::ui::createOptions(nullptr);
            SetDlgItemTextW(form, tc::ui::options::CurrentTagBox, L"listening:");
        });
    if (IsWindow(form)) DestroyWindow(form);
    tc::test::wipeUserState();
}

} // namespace
