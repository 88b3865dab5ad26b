// The seven methods as a host calls them: late bound through IDispatch (by
// dispid and by name) and early bound through the vtable.
#include "plugin/Commands.h"
#include "tests/plugin/e2e/PluginFixture.h"

#include <iterator>
#include <string>

namespace tc::test {
namespace {

using MethodsTest = PluginTest;

TEST_F(MethodsTest, NamesResolveToTheFixedDispidsAndHostileLookupsFail) {
    const std::pair<const wchar_t*, DISPID> names[] = {
        {L"Initialize", 0x60030000},     {L"Uninitialize", 0x60030001},
        {L"GetPublishInfo", 0x60030002}, {L"getpublishcommandinfo", 0x60030003},
        {L"ParseCommand", 0x60030004},   {L"ParseTag", 0x60030005},
        {L"ReceiveNotify", 0x60030006}};
    for (auto [name, id] : names) {
        DISPID got = 0;
        LPOLESTR n = const_cast<LPOLESTR>(name);
        ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &got), S_OK);
        EXPECT_EQ(got, id);
    }
    DISPID ids[2] = {1, 2};
    LPOLESTR unknown = const_cast<LPOLESTR>(L"Frobnicate");
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, ids),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);

    // A careless host: a name of 70,000 characters, null names, no arrays,
    // another interface. Each is refused with an error, never a crash.
    std::wstring huge(70000, L'x');
    LPOLESTR longName = &huge[0];
    LPOLESTR withNull[] = {nullptr, nullptr};
    LPOLESTR good = const_cast<LPOLESTR>(L"GetPublishInfo");
    EXPECT_TRUE(FAILED(disp->GetIDsOfNames(IID_NULL, &longName, 1, 0, ids)));
    EXPECT_TRUE(FAILED(disp->GetIDsOfNames(IID_NULL, withNull, 2, 0, ids)));
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids), E_POINTER);
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &good, 1, 0, nullptr), E_POINTER);
    EXPECT_EQ(disp->GetIDsOfNames(IID_IDispatch, &good, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);

    UINT count = 0;
    EXPECT_EQ(disp->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(disp->GetTypeInfoCount(nullptr), E_POINTER);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(disp->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(disp->GetTypeInfo(0, 0, nullptr), E_POINTER);
}

TEST_F(MethodsTest, PublishesNameCommandsAndNoTagsLateBound) {
    Variant result;
    ASSERT_EQ(invoke(disp.get(), 0x60030000,
                     {vLong(7), vBstr(nullptr), vDisp(nullptr)}, result.get()),
              S_OK);
    EXPECT_EQ(result.get()->vt, VT_BOOL);
    EXPECT_EQ(result.get()->boolVal, VARIANT_TRUE);

    Bstr name(L"old");
    LONG commands = 99, tags = 99;
    ASSERT_EQ(invoke(disp.get(), 0x60030002,
                     {vRefBstr(name.inOut()), vRefLong(&commands), vRefLong(&tags)},
                     result.put()),
              S_OK);
    EXPECT_EQ(name.str(), L"Tunecaster");
    const std::pair<const wchar_t*, const wchar_t*> table[] = {
        {L"Options", L"xwinampoptions"}, {L"About", L"xwinampabout"},
        {L"On", L"xwinampon"}, {L"Off", L"xwinampoff"}};
    EXPECT_EQ(commands, static_cast<LONG>(std::size(table))) << "the four commands a host lists";
    EXPECT_EQ(tags, 0);
    EXPECT_EQ(result.get()->boolVal, VARIANT_TRUE);

    for (LONG i = 1; i <= commands; ++i) {
        Bstr n(L"n"), v(L"v"), help(L"help as passed");
        ASSERT_EQ(invoke(disp.get(), 0x60030003,
                         {vLong(i), vRefBstr(n.inOut()), vRefBstr(v.inOut()),
                          vRefBstr(help.inOut())},
                         result.put()),
                  S_OK);
        EXPECT_EQ(n.str(), table[i - 1].first);
        EXPECT_EQ(v.str(), table[i - 1].second);
        EXPECT_EQ(help.str(), L"help as passed");
        EXPECT_EQ(result.get()->vt, VT_EMPTY);
    }

    ASSERT_EQ(invoke(disp.get(), 0x60030001, {}, result.put()), S_OK);
    EXPECT_EQ(result.get()->vt, VT_EMPTY);
}

TEST_F(MethodsTest, CommandInfoOutsideTheTableWritesNothing) {
    for (LONG index : {0L, 5L, -1L}) {
        BSTR name = SysAllocString(L"keep-name"), value = SysAllocString(L"keep-value"),
             help = SysAllocString(L"keep-help");
        BSTR n0 = name, v0 = value, h0 = help;
        VARIANT result;
        VariantInit(&result);
        result.vt = VT_I4; // must come back empty
        ASSERT_EQ(plugin->GetPublishCommandInfo(index, &name, &value, &help, &result), S_OK);
        EXPECT_EQ(name, n0);
        EXPECT_EQ(value, v0);
        EXPECT_EQ(help, h0);
        EXPECT_EQ(result.vt, VT_EMPTY);
        SysFreeString(name);
        SysFreeString(value);
        SysFreeString(help);
    }
}

TEST_F(MethodsTest, OnAndOffCommandsSwitchTheSettingInAnyCase) {
    Bstr sResult(L"as passed");
    VARIANT_BOOL ok = VARIANT_FALSE;
    Bstr off(L"/XWinampOff");
    ASSERT_EQ(plugin->ParseCommand(off.get(), nullptr, nullptr, sResult.inOut(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(sResult.str(), L"as passed");
    EXPECT_EQ(setting(L"onOff"), L"0");

    // Late bound, with the result left as passed.
    Bstr cmd(L"/XWINAMPON"), arg(L"ignored");
    Bstr out(L"keep me");
    Variant result;
    ASSERT_EQ(invoke(disp.get(), 0x60030004,
                     {vBstr(cmd.get()), vBstr(arg.get()), vDisp(nullptr), vRefBstr(out.inOut())},
                     result.get()),
              S_OK);
    EXPECT_EQ(result.get()->boolVal, VARIANT_TRUE);
    EXPECT_EQ(out.str(), L"keep me");
    EXPECT_EQ(setting(L"onOff"), L"1");

    // Again while already on: written again, still true.
    ok = VARIANT_FALSE;
    ASSERT_EQ(plugin->ParseCommand(cmd.get(), nullptr, nullptr, out.inOut(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(setting(L"onOff"), L"1");
}

TEST_F(MethodsTest, AnythingButAWholeCommandIsNotACommand) {
    ASSERT_EQ(writeSetting(keys::onOff, L"0"), S_OK);
    const wchar_t* texts[] = {L"xwinampon", L"/xwinampon ", L" /xwinampon", L"/xwinamp",
                              L"/xwinamponoff", L""};
    for (const wchar_t* t : texts) {
        Bstr text(t), result(L"as passed");
        VARIANT_BOOL ok = VARIANT_TRUE;
        ASSERT_EQ(plugin->ParseCommand(text.get(), nullptr, nullptr, result.inOut(), &ok), S_OK);
        EXPECT_EQ(ok, VARIANT_FALSE) << testing::PrintToString(std::wstring(t));
        EXPECT_EQ(result.str(), L"as passed");
    }
    // A null BSTR is the empty text.
    BSTR keep = SysAllocString(L"x");
    VARIANT_BOOL ok = VARIANT_TRUE;
    ASSERT_EQ(plugin->ParseCommand(nullptr, nullptr, nullptr, &keep, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    SysFreeString(keep);
    // A text with a NUL inside is not the command it starts with.
    BSTR embedded = SysAllocStringLen(L"/xwinampon\0x", 12);
    BSTR out = nullptr;
    ASSERT_EQ(plugin->ParseCommand(embedded, nullptr, nullptr, &out, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    SysFreeString(embedded);
    EXPECT_EQ(setting(L"onOff"), L"0");
}

TEST_F(MethodsTest, TagsAndNotificationsAreDeclined) {
    Bstr tag(L"(!WAT)"), sResult(L"as passed");
    BSTR r = sResult.detach();
    VARIANT_BOOL ok = VARIANT_TRUE;
    ASSERT_EQ(plugin->ParseTag(tag.get(), nullptr, &r, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_STREQ(r, L"as passed");
    ok = VARIANT_TRUE;
    ASSERT_EQ(plugin->ReceiveNotify(tag.get(), tag.get(), nullptr, &r, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_STREQ(r, L"as passed");
    SysFreeString(r);

    Variant result;
    Bstr text(L"hello");
    BSTR send = SysAllocString(L"to send");
    ASSERT_EQ(invoke(disp.get(), 0x60030006,
                     {vBstr(text.get()), vBstr(text.get()), vDisp(nullptr), vRefBstr(&send)},
                     result.get()),
              S_OK);
    EXPECT_EQ(result.get()->boolVal, VARIANT_FALSE);
    EXPECT_STREQ(send, L"to send");
    SysFreeString(send);
}

TEST_F(MethodsTest, NullOutPointersThroughTheVtableAreRefused) {
    BSTR name = SysAllocString(L"n"), value = SysAllocString(L"v"), help = SysAllocString(L"h");
    const BSTR n0 = name, v0 = value, h0 = help;
    LONG count = 11, tags = 12;
    VARIANT_BOOL ok = 5;
    VARIANT result;
    VariantInit(&result);
    result.vt = VT_I4;
    result.lVal = 13;

    EXPECT_EQ(plugin->Initialize(0, nullptr, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(plugin->Uninitialize(nullptr), E_POINTER);
    EXPECT_EQ(plugin->GetPublishInfo(nullptr, &count, &tags, &ok), E_POINTER);
    EXPECT_EQ(plugin->GetPublishInfo(&name, nullptr, &tags, &ok), E_POINTER);
    EXPECT_EQ(plugin->GetPublishInfo(&name, &count, nullptr, &ok), E_POINTER);
    EXPECT_EQ(plugin->GetPublishInfo(&name, &count, &tags, nullptr), E_POINTER);
    for (LONG i : {1L, 0L}) {
        EXPECT_EQ(plugin->GetPublishCommandInfo(i, nullptr, &value, &help, &result), E_POINTER);
        EXPECT_EQ(plugin->GetPublishCommandInfo(i, &name, nullptr, &help, &result), E_POINTER);
        EXPECT_EQ(plugin->GetPublishCommandInfo(i, &name, &value, nullptr, &result), E_POINTER);
        EXPECT_EQ(plugin->GetPublishCommandInfo(i, &name, &value, &help, nullptr), E_POINTER);
    }
    Bstr on(L"/xwinampon");
    EXPECT_EQ(plugin->ParseCommand(on.get(), nullptr, nullptr, nullptr, &ok), E_POINTER);
    EXPECT_EQ(plugin->ParseCommand(on.get(), nullptr, nullptr, &name, nullptr), E_POINTER);
    EXPECT_EQ(plugin->ParseTag(nullptr, nullptr, nullptr, &ok), E_POINTER);
    EXPECT_EQ(plugin->ParseTag(nullptr, nullptr, &name, nullptr), E_POINTER);
    EXPECT_EQ(plugin->ReceiveNotify(nullptr, nullptr, nullptr, nullptr, &ok), E_POINTER);
    EXPECT_EQ(plugin->ReceiveNotify(nullptr, nullptr, nullptr, &name, nullptr), E_POINTER);

    // Nothing was written anywhere, and a refused command did not run.
    EXPECT_EQ(name, n0);
    EXPECT_EQ(value, v0);
    EXPECT_EQ(help, h0);
    EXPECT_EQ(count, 11);
    EXPECT_EQ(tags, 12);
    EXPECT_EQ(ok, 5);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 13);
    EXPECT_EQ(setting(L"onOff"), L"1") << "seeded at start-up, untouched since";
    SysFreeString(name);
    SysFreeString(value);
    SysFreeString(help);
}

TEST_F(MethodsTest, MalformedLateBoundCallsFailAsComDefines) {
    Variant result;
    EXPECT_EQ(disp->Invoke(0x60030002, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, result.get(),
                           nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(invoke(disp.get(), 0x12345, {}, result.put()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(disp.get(), 0x60030002, {vLong(1)}, result.put()), DISP_E_BADPARAMCOUNT);
    // A missing parameter block is an error, not a crash.
    HRESULT hr = disp->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, nullptr, result.put(),
                              nullptr, nullptr);
    EXPECT_TRUE(FAILED(hr));
}

} // namespace
} // namespace tc::test
