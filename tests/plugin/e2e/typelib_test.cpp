// The shape of the embedded type library, as a host's binder reads it.
#include "tests/plugin/e2e/PluginFixture.h"

#include <string>

namespace tc::test {
namespace {

struct Param {
    const wchar_t* name;
    VARTYPE vt;       // base type; VT_BYREF added for in/out
    USHORT flags;     // PARAMFLAG_*
};
struct Method {
    const wchar_t* name;
    MEMBERID id;
    std::vector<Param> params; // without the retval
    VARTYPE retval;
};

const USHORT IN_ = PARAMFLAG_FIN, INOUT = PARAMFLAG_FIN | PARAMFLAG_FOUT;

const std::vector<Method> kMethods = {
    {L"Initialize", 0x60030000,
     {{L"nVersion", VT_I4, IN_}, {L"sUserEmail", VT_BSTR, IN_}, {L"oMessenger", VT_DISPATCH, IN_}},
     VT_BOOL},
    {L"Uninitialize", 0x60030001, {}, VT_VARIANT},
    {L"GetPublishInfo", 0x60030002,
     {{L"sPluginName", VT_BSTR | VT_BYREF, INOUT},
      {L"nCommandCount", VT_I4 | VT_BYREF, INOUT},
      {L"nTagCount", VT_I4 | VT_BYREF, INOUT}},
     VT_BOOL},
    {L"GetPublishCommandInfo", 0x60030003,
     {{L"nCommandIdx", VT_I4, IN_},
      {L"sName", VT_BSTR | VT_BYREF, INOUT},
      {L"sValue", VT_BSTR | VT_BYREF, INOUT},
      {L"sHelp", VT_BSTR | VT_BYREF, INOUT}},
     VT_VARIANT},
    {L"ParseCommand", 0x60030004,
     {{L"sCommand", VT_BSTR, IN_},
      {L"sCommandArg", VT_BSTR, IN_},
      {L"oConversationWnd", VT_DISPATCH, IN_},
      {L"sResult", VT_BSTR | VT_BYREF, INOUT}},
     VT_BOOL},
    {L"ParseTag", 0x60030005,
     {{L"sTag", VT_BSTR, IN_}, {L"oConversationWnd", VT_DISPATCH, IN_},
      {L"sResult", VT_BSTR | VT_BYREF, INOUT}},
     VT_BOOL},
    {L"ReceiveNotify", 0x60030006,
     {{L"sNotifyCode", VT_BSTR, IN_},
      {L"sText", VT_BSTR, IN_},
      {L"oConversationWnd", VT_DISPATCH, IN_},
      {L"sTextToSend", VT_BSTR | VT_BYREF, INOUT}},
     VT_BOOL},
};

VARTYPE typeOf(const TYPEDESC& t) {
    if (t.vt == VT_PTR) return static_cast<VARTYPE>(t.lptdesc->vt | VT_BYREF);
    return t.vt;
}

class TypeLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTypeLibEx(pluginDllPath().c_str(), REGKIND_NONE, lib.put()), S_OK);
    }
    ComPtr<ITypeLib> lib;
};

TEST_F(TypeLibraryTest, LibraryHoldsTheInterfaceThenTheClass) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, LIBID_Tunecaster);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->syskind, SYS_WIN32);
    lib->ReleaseTLibAttr(attr);

    ASSERT_EQ(lib->GetTypeInfoCount(), 2u);
    TYPEKIND kind;
    ASSERT_EQ(lib->GetTypeInfoType(0, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_DISPATCH); // a dual interface is listed by its dispatch side
    ASSERT_EQ(lib->GetTypeInfoType(1, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);

    Bstr name;
    ASSERT_EQ(lib->GetDocumentation(0, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.str(), L"_PlayerPlugin");
    ASSERT_EQ(lib->GetDocumentation(1, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.str(), L"PlayerPlugin");

    // Only stdole2 is imported, for IDispatch.
    ComPtr<ITypeInfo> itf;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__PlayerPlugin, itf.put()), S_OK);
    HREFTYPE baseRef = 0;
    ComPtr<ITypeInfo> vtbl;
    ASSERT_EQ(itf->GetRefTypeOfImplType(static_cast<UINT>(-1), &baseRef), S_OK);
    ASSERT_EQ(itf->GetRefTypeInfo(baseRef, vtbl.put()), S_OK);
    HREFTYPE parentRef = 0;
    ASSERT_EQ(vtbl->GetRefTypeOfImplType(0, &parentRef), S_OK);
    ComPtr<ITypeInfo> parent;
    ASSERT_EQ(vtbl->GetRefTypeInfo(parentRef, parent.put()), S_OK);
    TYPEATTR* pa = nullptr;
    ASSERT_EQ(parent->GetTypeAttr(&pa), S_OK);
    EXPECT_EQ(pa->guid, IID_IDispatch);
    parent->ReleaseTypeAttr(pa);
}

TEST_F(TypeLibraryTest, ClassIsCreatableWithTheInterfaceAsDefault) {
    ComPtr<ITypeInfo> cls;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_PlayerPlugin, cls.put()), S_OK);
    TYPEATTR* a = nullptr;
    ASSERT_EQ(cls->GetTypeAttr(&a), S_OK);
    EXPECT_TRUE(a->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(a->cImplTypes, 1);
    cls->ReleaseTypeAttr(a);
    INT flags = 0;
    ASSERT_EQ(cls->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ASSERT_EQ(cls->GetRefTypeOfImplType(0, &ref), S_OK);
    ComPtr<ITypeInfo> itf;
    ASSERT_EQ(cls->GetRefTypeInfo(ref, itf.put()), S_OK);
    ASSERT_EQ(itf->GetTypeAttr(&a), S_OK);
    EXPECT_EQ(a->guid, IID__PlayerPlugin);
    itf->ReleaseTypeAttr(a);
}

TEST_F(TypeLibraryTest, InterfaceMethodsMatchWhatHostsCall) {
    ComPtr<ITypeInfo> disp;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__PlayerPlugin, disp.put()), S_OK);
    TYPEATTR* a = nullptr;
    ASSERT_EQ(disp->GetTypeAttr(&a), S_OK);
    const WORD want = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                      TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(a->wTypeFlags & want, want);
    disp->ReleaseTypeAttr(a);

    // The vtable side: IUnknown + IDispatch slots, then the seven in order.
    HREFTYPE ref = 0;
    ASSERT_EQ(disp->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ComPtr<ITypeInfo> vtbl;
    ASSERT_EQ(disp->GetRefTypeInfo(ref, vtbl.put()), S_OK);
    ASSERT_EQ(vtbl->GetTypeAttr(&a), S_OK);
    EXPECT_EQ(a->typekind, TKIND_INTERFACE);
    const WORD wantVtbl = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                          TYPEFLAG_FOLEAUTOMATION;
    EXPECT_EQ(a->wTypeFlags & wantVtbl, wantVtbl);
    ASSERT_EQ(a->cFuncs, static_cast<WORD>(kMethods.size()));
    vtbl->ReleaseTypeAttr(a);

    for (size_t i = 0; i < kMethods.size(); ++i) {
        const Method& m = kMethods[i];
        SCOPED_TRACE(testing::PrintToString(std::wstring(m.name)));
        FUNCDESC* f = nullptr;
        ASSERT_EQ(vtbl->GetFuncDesc(static_cast<UINT>(i), &f), S_OK);
        EXPECT_EQ(f->memid, m.id);
        EXPECT_EQ(f->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
        EXPECT_EQ(f->funckind, FUNC_PUREVIRTUAL);
        EXPECT_EQ(f->invkind, INVOKE_FUNC);
        EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT);
        ASSERT_EQ(f->cParams, static_cast<SHORT>(m.params.size() + 1));

        BSTR names[8] = {};
        UINT got = 0;
        ASSERT_EQ(vtbl->GetNames(f->memid, names, 8, &got), S_OK);
        ASSERT_GE(got, 1u + m.params.size());
        EXPECT_EQ(Bstr::toString(names[0]), m.name);
        for (size_t p = 0; p < m.params.size(); ++p) {
            EXPECT_EQ(Bstr::toString(names[p + 1]), m.params[p].name);
            const ELEMDESC& e = f->lprgelemdescParam[p];
            EXPECT_EQ(typeOf(e.tdesc), m.params[p].vt) << "parameter " << p;
            EXPECT_EQ(e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL),
                      m.params[p].flags)
                << "parameter " << p;
        }
        for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
        const ELEMDESC& r = f->lprgelemdescParam[m.params.size()];
        EXPECT_EQ(typeOf(r.tdesc), static_cast<VARTYPE>(m.retval | VT_BYREF));
        EXPECT_EQ(r.paramdesc.wParamFlags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL),
                  PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
        vtbl->ReleaseFuncDesc(f);
    }
}

} // namespace
} // namespace tc::test
