// Late-bound calls from a careless or hostile host: thousands of generated
// IDispatch::Invoke calls, mostly aimed at the seven real members and their
// neighbours, with wrong counts, flags and interfaces, named arguments,
// arguments of any VARTYPE (valid or not), by-reference ones with null
// pointers, and null parameter blocks, results and error slots. Whether a
// converted argument is accepted is the type library's business; what counts
// here is that nothing crashes, every failure is one Invoke defines, a call of
// the wrong shape never succeeds, an exact call always does, objects handed in
// are not kept, and neither the user's data nor the background work suffers.
// Deterministic: fixed seeds, and a failure names its case.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "platform/Handles.h"
#include "plugin/ClassFactory.h"
#include "plugin/Commands.h"
#include "plugin/Background.h"
#include "sim/messenger/SimMessenger.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <sstream>

namespace tc::test {
namespace {

// The members as the type library declares them: parameter types (by
// reference for the in/out ones) and the type of the result.
struct Member {
    DISPID id;
    std::vector<VARTYPE> params;
    VARTYPE result;
};
constexpr VARTYPE kRefBstr = VT_BSTR | VT_BYREF, kRefLong = VT_I4 | VT_BYREF;
const std::vector<Member> kMembers = {
    {0x60030000, {VT_I4, VT_BSTR, VT_DISPATCH}, VT_BOOL},
    {0x60030001, {}, VT_EMPTY},
    {0x60030002, {kRefBstr, kRefLong, kRefLong}, VT_BOOL},
    {0x60030003, {VT_I4, kRefBstr, kRefBstr, kRefBstr}, VT_EMPTY},
    {0x60030004, {VT_BSTR, VT_BSTR, VT_DISPATCH, kRefBstr}, VT_BOOL},
    {0x60030005, {VT_BSTR, VT_DISPATCH, kRefBstr}, VT_BOOL},
    {0x60030006, {VT_BSTR, VT_BSTR, VT_DISPATCH, kRefBstr}, VT_BOOL},
};

const Member* memberOf(DISPID id) {
    for (const Member& m : kMembers)
        if (m.id == id) return &m;
    return nullptr;
}

bool definedFailure(HRESULT hr) {
    if (FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_DISPATCH) return true; // DISP_E_*, TYPE_E_*
    return hr == E_INVALIDARG || hr == E_POINTER || hr == E_OUTOFMEMORY || hr == E_NOTIMPL ||
           hr == E_NOINTERFACE || hr == E_UNEXPECTED || hr == E_FAIL;
}

const std::vector<std::wstring> kTexts = {
    L"", L"/xwinamp", L"xwinampon", L"/xwinampon ", L" /xwinampoff", L"/xwinampoffx",
    L"/XWINAMPOPTIONS2", L"/xwinampabout/", std::wstring(1000, L'A'),
    std::wstring(L"/xwinampon\0x", 12), std::wstring(L"\xD800\xDFFF\xFFFF\x0001\x001b", 5),
    L"%({0})", L"/name Eve"};

const std::vector<VARTYPE> kVartypes = {
    VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R8, VT_CY, VT_DATE, VT_BSTR, VT_DISPATCH, VT_ERROR,
    VT_BOOL, VT_VARIANT, VT_UNKNOWN, VT_DECIMAL, VT_I1, VT_UI4, VT_I8, VT_INT, VT_VOID,
    VT_HRESULT, VT_PTR, VT_LPWSTR, 0x0fff, 0x7fff, VT_ARRAY | VT_I4, VT_ARRAY | VT_BSTR,
    VT_VECTOR | VT_I4};

const WORD kOddFlags[] = {0, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                         DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF, 0xffff, 0x10};

// One generated call. Every argument, and every value a by-reference argument
// points at (a VARIANT of its own), holds what it owns the way a VARIANT
// does, so that VariantClear gives it all back.
struct Case {
    std::mt19937& rng;
    IDispatch* probe;
    DISPID id = 0;
    WORD flags = DISPATCH_METHOD;
    bool otherIid = false, nullParams = false, nullRgvarg = false, nullResult = false,
         nullExcep = false, nullArgErr = false;
    bool exact = true;      // every argument of its declared type
    bool nullByRef = false; // some argument is by reference with a null pointer
    std::vector<VARIANT> args; // as Invoke wants them: the last argument first
    std::vector<VARIANT> pointees;
    std::vector<DISPID> named;

    Case(std::mt19937& r, IDispatch* p) : rng(r), probe(p) {}
    Case(const Case&) = delete;
    ~Case() { clear(); }
    void clear() {
        for (VARIANT& v : args) VariantClear(&v);
        for (VARIANT& v : pointees) VariantClear(&v);
        args.clear();
        pointees.clear();
    }

    bool chance(unsigned percent) { return rng() % 100 < percent; }
    // A value of that type (its own base type for one by reference).
    void value(VARIANT& v, VARTYPE vt) {
        VariantInit(&v);
        v.vt = vt;
        const VARTYPE base = vt & VT_TYPEMASK;
        if (vt & VT_ARRAY) {
            v.parray = chance(60) ? SafeArrayCreateVector(base == VT_BSTR ? VT_BSTR : VT_I4, 0, 2)
                                  : nullptr;
        } else if (base == VT_BSTR) {
            const std::wstring& t = kTexts[rng() % kTexts.size()];
            v.bstrVal = chance(15) ? nullptr : SysAllocStringLen(t.data(), UINT(t.size()));
        } else if (base == VT_DISPATCH || base == VT_UNKNOWN) {
            v.pdispVal = chance(50) ? (probe->AddRef(), probe) : nullptr;
        } else if (base == VT_VARIANT || base == VT_DECIMAL) {
            VariantInit(&v); // an empty VARIANT or a zero DECIMAL, both at the start
        } else if (base == VT_PTR || base == VT_LPWSTR || base > VT_UINT) {
            v.vt = VT_EMPTY; // held as empty: VariantClear must find nothing to free
        } else {
            v.llVal = static_cast<LONGLONG>((uint64_t(rng()) << 32) | rng());
        }
    }
    void argument(VARIANT& v, VARTYPE vt, bool byRef, bool nullRef) {
        if (!byRef) {
            value(v, vt);
            v.vt = vt; // an invalid type too: VariantClear refuses it and frees nothing
            return;
        }
        VariantInit(&v);
        v.vt = static_cast<VARTYPE>(vt | VT_BYREF);
        nullByRef = nullByRef || nullRef;
        if (nullRef) return;
        pointees.emplace_back();
        VARIANT& p = pointees.back();
        value(p, vt & ~VT_BYREF);
        // A VARIANT or DECIMAL takes the whole pointee; anything else is its
        // value part.
        const VARTYPE base = vt & VT_TYPEMASK;
        v.byref = base == VT_VARIANT || base == VT_DECIMAL ? static_cast<void*>(&p) : &p.llVal;
    }

    void generate(unsigned nullHeavy) {
        pointees.reserve(96); // pointers into it must stay put
        // Which member: mostly the real ones, then their neighbours, then anything.
        const unsigned r = rng() % 100;
        if (r < 65) id = kMembers[rng() % kMembers.size()].id;
        else if (r < 85) id = static_cast<DISPID>(0x60030000 + static_cast<int>(rng() % 16) - 4);
        else {
            static const DISPID odd[] = {0, -1, -2, -3, -4, -5, 1, 0x60020000, 0x7fffffff,
                                         static_cast<DISPID>(0x80000000)};
            id = chance(50) ? odd[rng() % 10] : static_cast<DISPID>(rng());
        }
        const Member* m = memberOf(id);
        flags = chance(75) ? DISPATCH_METHOD : kOddFlags[rng() % 7];
        otherIid = chance(3);

        size_t count = m ? m->params.size() : rng() % 5;
        if (chance(25)) count = rng() % 8;
        if (chance(2)) count = 40 + rng() % 40;
        args.resize(count);
        for (size_t k = 0; k < count; ++k) {
            VARIANT& v = args[count - 1 - k];
            if (m && k < m->params.size() && chance(60)) {
                const VARTYPE declared = m->params[k];
                const bool ref = declared & VT_BYREF;
                const bool asRef = ref ? !chance(10) : chance(5);
                exact = exact && asRef == ref;
                argument(v, declared & ~VT_BYREF, asRef, asRef && chance(nullHeavy));
            } else {
                const bool asRef = chance(35);
                exact = false;
                argument(v, kVartypes[rng() % kVartypes.size()], asRef, asRef && chance(nullHeavy));
            }
        }
        if (count && chance(8)) {
            for (size_t k = 0, n = 1 + rng() % count; k < n; ++k)
                named.push_back(chance(20) ? DISPID_PROPERTYPUT : DISPID(rng() % 6) - 1);
        }
        nullParams = chance(nullHeavy / 6 + 1);
        nullRgvarg = count && chance(nullHeavy / 6 + 1);
        nullResult = chance(nullHeavy / 2 + 5);
        nullExcep = chance(50);
        nullArgErr = chance(50);
    }

    // A call of the wrong shape, which must never succeed: no such member,
    // another interface, not a method call, the wrong number of arguments, a
    // missing argument array, a by-reference argument pointing nowhere, named
    // ones that name no parameter or one twice.
    bool wrongShape() const {
        const Member* m = memberOf(id);
        if (!m || otherIid || !(flags & DISPATCH_METHOD)) return true;
        const size_t n = m->params.size();
        if (nullParams) return n != 0; // no block at all reads as no arguments
        if (args.size() != n || (nullRgvarg && n) || nullByRef) return true;
        std::vector<bool> bound(n, false);
        for (DISPID p : named) {
            if (p < 0 || static_cast<size_t>(p) >= n || bound[static_cast<size_t>(p)]) return true;
            bound[static_cast<size_t>(p)] = true;
        }
        return false;
    }
    // A call exactly as the type library declares it, which must succeed.
    bool exactCall() const {
        return !wrongShape() && exact && named.empty() && flags == DISPATCH_METHOD;
    }

    std::string describe() const {
        std::ostringstream d;
        d << std::hex << "id=0x" << static_cast<uint32_t>(id) << " flags=0x" << flags << std::dec
          << " cArgs=" << args.size() << " named=" << named.size() << (otherIid ? " iid" : "")
          << (nullParams ? " nullParams" : "") << (nullRgvarg ? " nullRgvarg" : "")
          << (nullResult ? " nullResult" : "") << (nullExcep ? " nullExcep" : "")
          << (nullArgErr ? " nullArgErr" : "") << " args:" << std::hex;
        for (size_t k = args.size(); k-- > 0;)
            d << " 0x" << args[k].vt << ((args[k].vt & VT_BYREF) && !args[k].byref ? "(null)" : "");
        return d.str();
    }
};

class InvokeFuzz : public ::testing::Test {
protected:
    // Values of the add-on's beside the slot the plug-in writes.
    const std::wstring preferences_ = preferencesOf(L"ann@example.com");
    const std::wstring quickText01_ = preferences_ + L"\\QuickTexts\\QuickText01";

    void SetUp() override {
        wipeUserState();
        ASSERT_EQ(writeSetting(keys::CurrentName, L"1"), S_OK);
        ASSERT_EQ(writeSetting(keys::CustomName, L"0"), S_OK);
        ASSERT_EQ(writeSetting(keys::CurrentTag, L"listening:"), S_OK);
        ASSERT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, preferences_, L"Theme", L"dark"));
        ASSERT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, quickText01_, L"Message", L"brb"));
        messenger().reset();
        ASSERT_EQ(messenger().registerClass(), S_OK);
        messenger().openConversation(L"bob@example.com"); // the user's, in front
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getPlayerPluginFactory(IID_IClassFactory, factory.putVoid()), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID__PlayerPlugin, plugin_.putVoid()), S_OK);
        settings_ = allValues(kSettingsPath); // with the switch seeded
        // A host's object to hand in: the messenger's, whose count is real.
        ASSERT_EQ(messenger().createObject(probe_.put()), S_OK);
        previousFilter_ = SetUnhandledExceptionFilter(onCrash);
    }
    void TearDown() override {
        SetUnhandledExceptionFilter(previousFilter_);
        wipeUserState();
    }
    static sim::SimMessenger& messenger() { return sim::SimMessenger::instance(); }
    ULONG probeRefs() {
        probe_->AddRef();
        return probe_->Release();
    }

    // Returns the number of calls that succeeded.
    int run(uint32_t seed, int calls, unsigned nullHeavy) {
        std::mt19937 rng(seed);
        int ok = 0;
        for (int i = 0; i < calls && !HasFailure(); ++i) {
            const ULONG refsBefore = probeRefs();
            Case c(rng, probe_.get());
            c.generate(nullHeavy);
            current_ = "case " + std::to_string(i) + " of seed " + std::to_string(seed) + ": " +
                       c.describe();
            const bool wrongShape = c.wrongShape(), exactCall = c.exactCall();
            DISPPARAMS params = {c.nullRgvarg || c.args.empty() ? nullptr : c.args.data(),
                                 c.named.empty() ? nullptr : c.named.data(),
                                 static_cast<UINT>(c.args.size()),
                                 static_cast<UINT>(c.named.size())};
            Variant result;
            EXCEPINFO excep = {};
            UINT argErr = 0;
            static const GUID someIid = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
            const HRESULT hr = plugin_->Invoke(
                c.id, c.otherIid ? someIid : IID_NULL, LOCALE_USER_DEFAULT, c.flags,
                c.nullParams ? nullptr : &params, c.nullResult ? nullptr : result.get(),
                c.nullExcep ? nullptr : &excep, c.nullArgErr ? nullptr : &argErr);
            c.clear(); // whatever the callee left in in/out arguments goes back too
            if (hr == S_OK) {
                ++ok;
                EXPECT_FALSE(wrongShape) << "S_OK for a call of the wrong shape, " << current_;
                if (!c.nullResult && memberOf(c.id)) {
                    EXPECT_EQ(result.get()->vt, memberOf(c.id)->result) << current_;
                }
                // The invoker may drop a converted argument when a later one
                // fails to convert; a call that went through must balance.
                EXPECT_EQ(probeRefs(), refsBefore) << "a reference to the host's object kept, "
                                                   << current_;
            } else {
                EXPECT_TRUE(definedFailure(hr))
                    << std::hex << "0x" << hr << " is no failure Invoke defines, " << current_;
                EXPECT_FALSE(exactCall) << std::hex << "0x" << hr << " for an exact call, "
                                        << current_;
            }
            if (hr == DISP_E_EXCEPTION && !c.nullExcep) {
                SysFreeString(excep.bstrSource);
                SysFreeString(excep.bstrDescription);
                SysFreeString(excep.bstrHelpFile);
            }
        }
        return ok;
    }

    // A crash inside Invoke ends the process before any assertion can speak:
    // this names the case that did it, and ends the process at once rather
    // than leave it to a debugger.
    static LONG WINAPI onCrash(EXCEPTION_POINTERS* info) {
        std::fprintf(stderr, "exception 0x%08lx in %s\n",
                     static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                     current_.c_str());
        std::fflush(stderr);
        return EXCEPTION_EXECUTE_HANDLER;
    }

    static inline std::string current_;
    ComPtr<_PlayerPlugin> plugin_;
    ComPtr<IDispatch> probe_;
    std::map<std::wstring, reg::RawValue> settings_;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter_ = nullptr;
};

TEST_F(InvokeFuzz, GeneratedCallsFailAsInvokeDefinesAndNothingSuffers) {
    EXPECT_GT(run(20261207u, 4000, 20), 200) << "the generator must also make calls that work";
    EXPECT_GT(run(7u, 3000, 70), 20) << "null pointers everywhere";

    // A well-formed call still answers as it should.
    Bstr name(L"old");
    LONG commands = -7, tags = -7;
    VARIANT args[3];
    V_VT(&args[2]) = kRefBstr;
    V_BSTRREF(&args[2]) = name.inOut();
    V_VT(&args[1]) = V_VT(&args[0]) = kRefLong;
    V_I4REF(&args[1]) = &commands;
    V_I4REF(&args[0]) = &tags;
    DISPPARAMS params = {args, nullptr, 3, 0};
    Variant result;
    ASSERT_EQ(plugin_->Invoke(0x60030002, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                              result.get(), nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.get()->vt, VT_BOOL);
    EXPECT_EQ(result.get()->boolVal, VARIANT_TRUE);
    EXPECT_EQ(name.str(), L"Tunecaster");
    EXPECT_EQ(commands, 4) << "/xwinampoptions, /xwinampabout, /xwinampon, /xwinampoff";
    EXPECT_EQ(tags, 0);

    // Nothing the user stored changed.
    EXPECT_TRUE(allValues(kSettingsPath) == settings_) << "the plug-in's settings changed";
    std::wstring theme, brb;
    EXPECT_TRUE(
        (reg::getString(HKEY_CURRENT_USER, preferences_, L"Theme", theme) == ERROR_SUCCESS) &&
        theme == L"dark");
    EXPECT_TRUE(
        (reg::getString(HKEY_CURRENT_USER, quickText01_, L"Message", brb) == ERROR_SUCCESS) &&
        brb == L"brb");

    // Nor did the background work: the next song still counts.
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    background().tick();
    ASSERT_TRUE(messenger().waitForSend(0, 10000)) << "hang guard";
    ASSERT_EQ(messenger().sendCount(), 1u);
    EXPECT_EQ(messenger().timeline()[0].text, L"/name Ann listening: (!WAT)");
}

} // namespace
} // namespace tc::test
