// Late-bound calls from a careless or hostile host: thousands of generated
// IDispatch::Invoke calls, mostly aimed at the seven real members and their
// neighbours, with wrong counts, wrong and invalid VARTYPEs, by-reference
// arguments with good and null pointers, and null parameter blocks, results,
// exception records and argument-error slots. Deterministic: a fixed seed per
// test, and the case number is printed when something goes wrong.
#include "tests/support/FaultFixture.h"

#include "platform/Handles.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

using namespace tc::test;

namespace {

// --- What a well-formed call of each member looks like ----------------------

enum class Param { InLong, InBstr, InDispatch, RefBstr, RefLong };

struct Member {
    DISPID id;
    std::vector<Param> params;
    VARTYPE result;  // VT_BOOL or VT_EMPTY
};

const std::vector<Member>& members() {
    static const std::vector<Member> m = {
        {0x60030000, {Param::InLong, Param::InBstr, Param::InDispatch}, VT_BOOL},
        {0x60030001, {}, VT_EMPTY},
        {0x60030002, {Param::RefBstr, Param::RefLong, Param::RefLong}, VT_BOOL},
        {0x60030003, {Param::InLong, Param::RefBstr, Param::RefBstr, Param::RefBstr}, VT_EMPTY},
        {0x60030004, {Param::InBstr, Param::InBstr, Param::InDispatch, Param::RefBstr}, VT_BOOL},
        {0x60030005, {Param::InBstr, Param::InDispatch, Param::RefBstr}, VT_BOOL},
        {0x60030006, {Param::InBstr, Param::InBstr, Param::InDispatch, Param::RefBstr}, VT_BOOL},
    };
    return m;
}

const Member* memberOf(DISPID id) {
    for (const Member& m : members())
        if (m.id == id) return &m;
    return nullptr;
}

VARTYPE declaredType(Param p) {
    switch (p) {
    case Param::InLong: return VT_I4;
    case Param::InBstr: return VT_BSTR;
    case Param::InDispatch: return VT_DISPATCH;
    case Param::RefBstr: return VT_BSTR;
    case Param::RefLong: return VT_I4;
    }
    return VT_EMPTY;
}
bool byReference(Param p) { return p == Param::RefBstr || p == Param::RefLong; }

// Failures a caller of IDispatch::Invoke may be handed.
bool definedFailure(HRESULT hr) {
    if (HRESULT_FACILITY(hr) == FACILITY_DISPATCH && FAILED(hr)) return true;  // DISP_E_*, TYPE_E_*
    return hr == E_INVALIDARG || hr == E_POINTER || hr == E_OUTOFMEMORY || hr == E_NOTIMPL ||
           hr == E_NOINTERFACE || hr == E_UNEXPECTED || hr == E_FAIL;
}

// --- A harmless object to pass where the host passes its objects -------------

class Probe final : public IDispatch {
public:
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
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    long refs = 1;
};

// --- The generator --------------------------------------------------------

class Rng {
public:
    explicit Rng(uint32_t seed) : g_(seed) {}
    uint32_t next() { return static_cast<uint32_t>(g_()); }
    uint32_t below(uint32_t n) { return n ? next() % n : 0; }
    bool chance(uint32_t percent) { return below(100) < percent; }
    template <class T>
    const T& pick(const std::vector<T>& v) { return v[below(static_cast<uint32_t>(v.size()))]; }

private:
    std::mt19937 g_;
};

// Storage that a by-reference argument points into; large and aligned enough
// for any VARTYPE a callee might write back through it.
union Slot {
    VARIANT variant;
    DECIMAL decimal;
    BSTR bstr;
    IUnknown* unknown;
    SAFEARRAY* array;
    LONGLONG i8;
    double r8;
    BYTE raw[32];
};

// One generated call and everything it owns.
class Case {
public:
    std::wstring describe;

    DISPID id = 0;
    WORD flags = DISPATCH_METHOD;
    bool otherIid = false;
    bool nullParams = false;
    bool nullRgvarg = false;
    bool nullResult = false;
    bool nullExcep = false;
    bool nullArgErr = false;
    std::vector<VARIANT> args;        // stored as Invoke wants them: last argument first
    std::vector<DISPID> named;
    std::vector<Slot> slots;          // what by-reference arguments point at
    std::vector<bool> ownsSlot;       // slot holds a VARIANT or BSTR to free afterwards
    std::vector<VARTYPE> slotType;
    std::vector<IUnknown**> probeRefs; // in/out object slots holding a reference of ours

    explicit Case(size_t maxArgs) : slots(maxArgs), ownsSlot(maxArgs, false), slotType(maxArgs, 0) {
        for (Slot& s : slots) std::memset(&s, 0, sizeof s);
    }
    Case(const Case&) = delete;
    Case& operator=(const Case&) = delete;
    ~Case() {
        for (VARIANT& v : args) {
            // By-value contents are ours: free them; never through a null or
            // invalid VARTYPE, which VariantClear would refuse anyway.
            if (!(v.vt & VT_BYREF)) {
                if ((v.vt & VT_ARRAY) && v.parray) SafeArrayDestroy(v.parray);
                else if (v.vt == VT_BSTR) SysFreeString(v.bstrVal);
            }
        }
        for (size_t i = 0; i < slots.size(); ++i) {
            if (!ownsSlot[i]) continue;
            if (slotType[i] == VT_VARIANT) VariantClear(&slots[i].variant);
            else if (slotType[i] == VT_BSTR) SysFreeString(slots[i].bstr);
            else if (slotType[i] & VT_ARRAY) {
                if (slots[i].array) SafeArrayDestroy(slots[i].array);
            }
        }
    }
};

const std::vector<std::wstring>& texts() {
    static const std::vector<std::wstring> t = {
        L"", L"/xwinamp", L"xwinampon", L"/xwinampon ", L" /xwinampoff", L"/xwinampoffx",
        L"/XWINAMPOPTIONS2", L"/xwinampabout/", L"hello", std::wstring(1000, L'A'),
        std::wstring(L"/xwinampon\0x", 12), std::wstring(L"\xD800\xDFFF\xFFFF\x0001\x001b", 5),
        L"\x0413\x0440\x0443\x043F\x043F\x0430", L"%({0})", L"/name Eve"};
    return t;
}

// VARTYPEs a host may put into an argument, valid or not.
const std::vector<VARTYPE>& vartypes() {
    static const std::vector<VARTYPE> t = {
        VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BSTR, VT_DISPATCH,
        VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN, VT_DECIMAL, VT_I1, VT_UI1, VT_UI2, VT_UI4,
        VT_I8, VT_UI8, VT_INT, VT_UINT, VT_VOID, VT_HRESULT, VT_PTR, VT_LPSTR, VT_LPWSTR,
        static_cast<VARTYPE>(0x0fff), static_cast<VARTYPE>(VT_ARRAY | VT_I4),
        static_cast<VARTYPE>(VT_ARRAY | VT_BSTR), static_cast<VARTYPE>(VT_VECTOR | VT_I4),
        static_cast<VARTYPE>(0x7fff)};
    return t;
}

bool validVartype(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    if (vt & VT_VECTOR) return false;
    if (base > VT_UINT && base != VT_VARIANT) return false;  // VT_VOID, VT_HRESULT, ... 0xfff
    if (base == VT_VARIANT) return (vt & VT_BYREF) || (vt & VT_ARRAY);
    return true;
}

// Fills argument `v` with a value of type `vt`; by reference through slot `i`,
// whose pointer may be null.
void fill(Case& c, size_t i, VARIANT& v, VARTYPE vt, bool byRef, bool nullRef, Rng& rng,
          Probe& probe) {
    VariantInit(&v);
    if (byRef) {
        v.vt = static_cast<VARTYPE>(vt | VT_BYREF);
        Slot& s = c.slots[i];
        if (nullRef) {
            v.byref = nullptr;
            return;
        }
        v.byref = &s;
        const VARTYPE base = vt & VT_TYPEMASK;
        if (vt & VT_ARRAY) {
            s.array = rng.chance(50) ? SafeArrayCreateVector(base == VT_BSTR ? VT_BSTR : VT_I4, 0, 3)
                                     : nullptr;
            c.ownsSlot[i] = true;
            c.slotType[i] = static_cast<VARTYPE>(vt);
        } else if (base == VT_BSTR) {
            s.bstr = rng.chance(20) ? nullptr : SysAllocString(rng.pick(texts()).c_str());
            c.ownsSlot[i] = true;
            c.slotType[i] = VT_BSTR;
        } else if (base == VT_VARIANT) {
            VariantInit(&s.variant);
            switch (rng.below(4)) {
            case 0: break;
            case 1: s.variant.vt = VT_I4; s.variant.lVal = static_cast<LONG>(rng.next()); break;
            case 2:
                s.variant.vt = VT_BSTR;
                s.variant.bstrVal = SysAllocString(rng.pick(texts()).c_str());
                break;
            default: s.variant.vt = VT_DISPATCH; s.variant.pdispVal = nullptr; break;
            }
            c.ownsSlot[i] = true;
            c.slotType[i] = VT_VARIANT;
        } else if (base == VT_DISPATCH || base == VT_UNKNOWN) {
            s.unknown = rng.chance(50) ? static_cast<IUnknown*>(&probe) : nullptr;
            if (s.unknown) probe.AddRef();  // an in/out object reference is the callee's to swap
            c.ownsSlot[i] = false;
            c.slotType[i] = base;
            c.probeRefs.push_back(&s.unknown);
        } else {
            for (BYTE& b : s.raw) b = static_cast<BYTE>(rng.next());
            if (base == VT_DECIMAL) std::memset(&s.decimal, 0, sizeof s.decimal);
        }
        return;
    }
    v.vt = vt;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (vt & VT_ARRAY) {
        v.parray = rng.chance(60) ? SafeArrayCreateVector(base == VT_BSTR ? VT_BSTR : VT_I4, 0, 2)
                                  : nullptr;
        return;
    }
    switch (base) {
    case VT_BSTR:
        v.bstrVal = rng.chance(15) ? nullptr : SysAllocString(rng.pick(texts()).c_str());
        break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        v.punkVal = rng.chance(50) ? static_cast<IUnknown*>(&probe) : nullptr;
        break;
    case VT_DECIMAL: {
        DECIMAL d;
        std::memset(&d, 0, sizeof d);
        d.Lo32 = rng.next();
        d.sign = rng.chance(50) ? DECIMAL_NEG : 0;
        v.decVal = d;
        v.vt = VT_DECIMAL;
        break;
    }
    case VT_R4: v.fltVal = static_cast<float>(static_cast<int32_t>(rng.next())) / 7.0f; break;
    case VT_R8:
    case VT_DATE: v.dblVal = static_cast<double>(static_cast<int32_t>(rng.next())) / 3.0; break;
    case VT_LPSTR:
    case VT_LPWSTR:
    case VT_PTR:
        v.byref = nullptr;  // pointer types that do not belong in a VARIANT
        break;
    default:
        v.llVal = static_cast<LONGLONG>((static_cast<uint64_t>(rng.next()) << 32) | rng.next());
        break;
    }
}

}  // namespace

class InvokeFuzz : public FaultTest {
protected:
    struct Outcome {
        int calls = 0, ok = 0;
        long leakedOnFailure = 0;
        std::map<HRESULT, int> seen;
    };

    // Builds one call from the generator.
    void generate(Case& c, Rng& rng, Probe& probe, int nullHeavy) {
        std::wostringstream d;
        // Which member: mostly the real ones, then their neighbours, then anything.
        const uint32_t r = rng.below(100);
        if (r < 65) c.id = rng.pick(members()).id;
        else if (r < 85) c.id = static_cast<DISPID>(0x60030000 + static_cast<int>(rng.below(16)) - 4);
        else {
            static const std::vector<DISPID> odd = {0, -1, -2, -3, -4, -5, 1, 0x60020000,
                                                   0x7fffffff, static_cast<DISPID>(0x80000000)};
            c.id = rng.chance(50) ? rng.pick(odd) : static_cast<DISPID>(rng.next());
        }
        const Member* m = memberOf(c.id);

        static const std::vector<WORD> flagSet = {
            0, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
            DISPATCH_PROPERTYPUTREF, 0xffff, 0x10};
        c.flags = rng.chance(75) ? DISPATCH_METHOD : rng.pick(flagSet);
        c.otherIid = rng.chance(3);

        size_t count = m ? m->params.size() : rng.below(5);
        if (rng.chance(25)) count = rng.below(8);
        if (rng.chance(2)) count = 40 + rng.below(40);
        count = std::min<size_t>(count, c.slots.size());

        c.args.resize(count);
        for (size_t k = 0; k < count; ++k) {
            // Argument k in call order is stored at count-1-k.
            VARIANT& v = c.args[count - 1 - k];
            const bool declared = m && k < m->params.size();
            if (declared && rng.chance(60)) {
                const Param p = m->params[k];
                const bool asRef = byReference(p) ? !rng.chance(10) : rng.chance(5);
                fill(c, k, v, declaredType(p), asRef, asRef && rng.chance(nullHeavy), rng, probe);
            } else {
                const VARTYPE vt = rng.pick(vartypes());
                const bool asRef = rng.chance(35);
                fill(c, k, v, vt, asRef, asRef && rng.chance(nullHeavy), rng, probe);
            }
        }
        if (count && rng.chance(8)) {
            const size_t n = 1 + rng.below(static_cast<uint32_t>(count));
            for (size_t k = 0; k < n; ++k)
                c.named.push_back(rng.chance(20) ? DISPID_PROPERTYPUT
                                                 : static_cast<DISPID>(rng.below(6)) - 1);
        }
        c.nullParams = rng.chance(nullHeavy / 6 + 1);
        c.nullRgvarg = count && rng.chance(nullHeavy / 6 + 1);
        c.nullResult = rng.chance(nullHeavy / 2 + 5);
        c.nullExcep = rng.chance(50);
        c.nullArgErr = rng.chance(50);

        d << L"id=0x" << std::hex << static_cast<uint32_t>(c.id) << std::dec << L" flags=0x"
          << std::hex << c.flags << std::dec << L" cArgs=" << count << L" named=" << c.named.size()
          << (c.otherIid ? L" iid" : L"") << (c.nullParams ? L" nullParams" : L"")
          << (c.nullRgvarg ? L" nullRgvarg" : L"") << (c.nullResult ? L" nullResult" : L"")
          << (c.nullExcep ? L" nullExcep" : L"") << (c.nullArgErr ? L" nullArgErr" : L"")
          << L" args:";
        for (DISPID n : c.named) d << L" name" << n;
        for (size_t k = 0; k < count; ++k) {
            const VARIANT& v = c.args[count - 1 - k];
            d << L" 0x" << std::hex << v.vt << std::dec
              << ((v.vt & VT_BYREF) && !v.byref ? L"(null)" : L"");
        }
        c.describe = d.str();
    }

    // A call the type library must accept: the right member, called as a
    // method, every argument in place and convertible to its declared type,
    // by-reference ones pointing somewhere.
    enum class Shape { Malformed, Unclear, WellFormed };

    static Shape shapeOf(const Case& c) {
        const Member* m = memberOf(c.id);
        const Shape bad = Shape::Malformed;
        if (!m || c.otherIid || !(c.flags & DISPATCH_METHOD)) return bad;
        const size_t n = m->params.size();
        // No parameter block at all reads as no arguments.
        if (c.nullParams) return n == 0 ? Shape::WellFormed : bad;
        if (c.args.size() != n || c.named.size() > n) return bad;
        if (c.nullRgvarg && n) return bad;
        // Named arguments come first in rgvarg and bind the parameters they
        // name; the positional ones, the last stored first, fill the others
        // in order.
        std::vector<const VARIANT*> byParam(n, nullptr);
        for (size_t i = 0; i < c.named.size(); ++i) {
            const DISPID p = c.named[i];
            if (p < 0 || static_cast<size_t>(p) >= n || byParam[static_cast<size_t>(p)]) return bad;
            byParam[static_cast<size_t>(p)] = &c.args[i];
        }
        size_t next = n;  // positional arguments are taken from the end
        for (size_t k = 0; k < n; ++k)
            if (!byParam[k]) byParam[k] = &c.args[--next];
        Shape shape = Shape::WellFormed;
        for (size_t k = 0; k < n; ++k) {
            const VARIANT& v = *byParam[k];
            if ((v.vt & VT_BYREF) && !v.byref) return bad;
            if (!validVartype(v.vt)) return bad;
            VARIANT copy;
            VariantInit(&copy);
            HRESULT hr = VariantChangeType(&copy, const_cast<VARIANT*>(&v), 0,
                                           declaredType(m->params[k]));
            VariantClear(&copy);
            if (FAILED(hr)) return bad;
            // An in/out parameter given another type that converts: whether
            // the invoker converts it there and back is its own choice.
            if (byReference(m->params[k]) && (v.vt & VT_TYPEMASK) != declaredType(m->params[k]))
                shape = Shape::Unclear;
        }
        return shape;
    }

    Outcome run(uint32_t seed, int calls, int nullHeavy, _PlayerPlugin* plugin, Probe& probe) {
        Outcome out;
        Rng rng(seed);
        for (int i = 0; i < calls; ++i) {
            const long refsBefore = probe.refs;
            Case c(96);
            generate(c, rng, probe, nullHeavy);
            current_ = L"case " + std::to_wstring(i) + L" of seed " + std::to_wstring(seed) +
                       L": " + c.describe;
            if (verbose_) std::fprintf(stderr, "%s\n", narrow(current_).c_str());

            DISPPARAMS params = {c.nullRgvarg || c.args.empty() ? nullptr : c.args.data(),
                                 c.named.empty() ? nullptr : c.named.data(),
                                 static_cast<UINT>(c.args.size()),
                                 static_cast<UINT>(c.named.size())};
            if (c.named.size() > c.args.size()) params.cNamedArgs = static_cast<UINT>(c.named.size());
            VARIANT result;
            VariantInit(&result);
            EXCEPINFO excep;
            std::memset(&excep, 0, sizeof excep);
            UINT argErr = 0xdeadbeef;
            static const GUID someIid = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
            const Shape shape = shapeOf(c);  // before the call, which may change the arguments

            HRESULT hr = plugin->Invoke(c.id, c.otherIid ? someIid : IID_NULL, LOCALE_USER_DEFAULT,
                                        c.flags, c.nullParams ? nullptr : &params,
                                        c.nullResult ? nullptr : &result,
                                        c.nullExcep ? nullptr : &excep,
                                        c.nullArgErr ? nullptr : &argErr);
            ++out.calls;
            ++out.seen[hr];
            if (hr == S_OK) {
                ++out.ok;
                EXPECT_NE(shape, Shape::Malformed) << "S_OK for a malformed call, " << narrow(current_);
                if (const Member* m = memberOf(c.id); m && !c.nullResult) {
                    EXPECT_EQ(result.vt, m->result) << narrow(current_);
                }
            } else {
                EXPECT_NE(shape, Shape::WellFormed) << "0x" << std::hex << hr << std::dec
                                             << " for a well-formed call, " << narrow(current_);
                EXPECT_TRUE(FAILED(hr) && definedFailure(hr))
                    << "0x" << std::hex << hr << " is no failure Invoke defines, "
                    << narrow(current_);
            }
            if (hr == DISP_E_EXCEPTION && !c.nullExcep) {
                SysFreeString(excep.bstrSource);
                SysFreeString(excep.bstrDescription);
                SysFreeString(excep.bstrHelpFile);
            }
            VariantClear(&result);
            // In/out object references the callee may have swapped: give back
            // whatever is there now.
            for (IUnknown** slot : c.probeRefs)
                if (*slot) (*slot)->Release();
            c.probeRefs.clear();
            // The platform's invoker may drop a converted argument when a later
            // one fails to convert; a call that went through must balance.
            if (hr == S_OK) {
                EXPECT_EQ(probe.refs, refsBefore)
                    << "a reference to the caller's object kept, " << narrow(current_);
            } else {
                out.leakedOnFailure += probe.refs - refsBefore;
            }
            if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() >
                20)
                break;
        }
        if (verbose_)
            for (const auto& [hr, n] : out.seen)
                std::fprintf(stderr, "0x%08lx: %d\n", static_cast<unsigned long>(hr), n);
        return out;
    }

    static std::string narrow(const std::wstring& w) {
        std::string s;
        for (wchar_t ch : w) s += ch < 128 ? static_cast<char>(ch) : '?';
        return s;
    }

    // A crash inside Invoke ends the process before any assertion can speak;
    // this names the case that did it.
    static LONG CALLBACK onCrash(EXCEPTION_POINTERS* info) {
        if (info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && current_ptr_)
            std::fprintf(stderr, "access violation in %s\n", narrow(*current_ptr_).c_str());
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void SetUp() override {
        FaultTest::SetUp();
        verbose_ = GetEnvironmentVariableW(L"TC_FUZZ_VERBOSE", nullptr, 0) != 0;
        current_ptr_ = &current_;
        handler_ = AddVectoredExceptionHandler(1, onCrash);
    }
    void TearDown() override {
        if (handler_) RemoveVectoredExceptionHandler(handler_);
        FaultTest::TearDown();
    }

    // A well-formed late-bound call still answers as it should.
    static void expectStillAnswers(_PlayerPlugin* plugin) {
        tc::Bstr name(L"old");
        LONG commands = -7, tags = -7;
        VARIANT args[3];
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        VariantInit(&args[2]);
        args[2].vt = VT_BSTR | VT_BYREF;
        args[2].pbstrVal = name.inOut();
        args[1].vt = VT_I4 | VT_BYREF;
        args[1].plVal = &commands;
        args[0].vt = VT_I4 | VT_BYREF;
        args[0].plVal = &tags;
        DISPPARAMS params = {args, nullptr, 3, 0};
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(plugin->Invoke(0x60030002, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 &result, nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(result.vt, VT_BOOL);
        EXPECT_EQ(result.boolVal, VARIANT_TRUE);
        EXPECT_EQ(name.str(), L"Tunecaster");
        EXPECT_EQ(commands, 4);
        EXPECT_EQ(tags, 0);
    }

    std::wstring current_;
    static inline std::wstring* current_ptr_ = nullptr;
    bool verbose_ = false;
    PVOID handler_ = nullptr;
};

TEST_F(InvokeFuzz, GeneratedCallsFailWithDefinedErrorsAndOnlyWellFormedOnesSucceed) {
    auto plugin = startWatching();
    Probe probe;
    Outcome out = run(20261207u, 4000, 20, plugin.get(), probe);
    EXPECT_GT(out.ok, 200) << "the generator must also make well-formed calls";
    EXPECT_GT(out.calls - out.ok, 1000);
    EXPECT_EQ(probe.refs, 1 + out.leakedOnFailure) << "objects handed in are not kept";
    expectStillAnswers(plugin.get());
    expectUserDataKept();

    // The background work did not suffer either: the next song still counts.
    tc::sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
}

TEST_F(InvokeFuzz, NullPointersEverywhere) {
    auto plugin = createPlugin();
    Probe probe;
    Outcome out = run(7u, 3000, 70, plugin.get(), probe);
    EXPECT_GT(out.ok, 20);
    EXPECT_EQ(probe.refs, 1 + out.leakedOnFailure);
    expectStillAnswers(plugin.get());
    expectUserDataKept();
}

TEST_F(InvokeFuzz, NamesLookedUpWithHostileArguments) {
    auto plugin = createPlugin();
    DISPID ids[4] = {1, 2, 3, 4};
    LPOLESTR good[] = {const_cast<LPOLESTR>(L"GetPublishInfo"),
                       const_cast<LPOLESTR>(L"sPluginName")};
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    LPOLESTR withNull[] = {nullptr, nullptr};
    std::wstring huge(70000, L'x');
    LPOLESTR longName[] = {&huge[0]};

    EXPECT_EQ(plugin->GetIDsOfNames(IID_NULL, good, 1, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 0x60030002);
    HRESULT hr = plugin->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    hr = plugin->GetIDsOfNames(IID_NULL, longName, 1, 0, ids);
    EXPECT_TRUE(FAILED(hr) && definedFailure(hr)) << std::hex << hr;
    hr = plugin->GetIDsOfNames(IID_NULL, withNull, 2, 0, ids);
    EXPECT_TRUE(FAILED(hr) && definedFailure(hr)) << std::hex << hr;
    hr = plugin->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids);
    EXPECT_TRUE(FAILED(hr) && definedFailure(hr)) << std::hex << hr;
    hr = plugin->GetIDsOfNames(IID_NULL, good, 1, 0, nullptr);
    EXPECT_TRUE(FAILED(hr) && definedFailure(hr)) << std::hex << hr;
    hr = plugin->GetIDsOfNames(IID_IDispatch, good, 1, 0, ids);
    EXPECT_EQ(hr, DISP_E_UNKNOWNINTERFACE);

    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(plugin->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(plugin->GetTypeInfo(0, 0, nullptr), E_POINTER);
    EXPECT_EQ(plugin->GetTypeInfoCount(nullptr), E_POINTER);
    expectStillAnswers(plugin.get());
}
