// The owned copy of a request event's arguments: what each automation type
// copies, and that the copy outlives the event's own arguments.
#include <gtest/gtest.h>

#include "framework/unique_resource.h"
#include "scripting/live_control.h"

namespace scripting {
namespace {

// An object that only counts its references.
class CountingUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

DISPPARAMS Params(VARIANT* arguments, UINT count) { return {arguments, nullptr, count, 0}; }

TEST(EventArgs, EachTypeIsCopiedByValueStringOrReference) {
    CountingUnknown object;
    VARIANT arguments[6] = {};
    arguments[0].vt = VT_I2;
    arguments[0].iVal = -2;
    arguments[1].vt = VT_R8;
    arguments[1].dblVal = 2.5;
    arguments[2].vt = VT_UNKNOWN;
    arguments[2].punkVal = &object;
    arguments[3].vt = VT_BYREF | VT_I4;
    LONG target = 7;
    arguments[3].plVal = &target;
    arguments[4].vt = VT_BSTR;
    arguments[4].bstrVal = ::SysAllocString(L"img/a.gif");
    arguments[5].vt = VT_ARRAY | VT_I4;  // not copied: the type alone
    arguments[5].parray = reinterpret_cast<SAFEARRAY*>(0x1234);
    DISPPARAMS params = Params(arguments, 6);

    LiveControl control;
    control.CopyEventArgs(&params);
    ::SysFreeString(arguments[4].bstrVal);  // the event's own string goes

    ASSERT_EQ(6u, control.EventArgs().size());
    EXPECT_EQ(-2, control.EventArgs()[0]->iVal);
    EXPECT_EQ(0xFFFE, control.EventArgs()[0]->lVal) << "the 16-bit value in a zeroed slot";
    EXPECT_EQ(2.5, control.EventArgs()[1]->dblVal);
    EXPECT_EQ(&object, control.EventArgs()[2]->punkVal);
    EXPECT_EQ(2u, object.references);
    EXPECT_EQ(&target, control.EventArgs()[3]->plVal);
    EXPECT_STREQ(L"img/a.gif", control.EventArgs()[4]->bstrVal);
    EXPECT_EQ(VT_ARRAY | VT_I4, control.EventArgs()[5]->vt);
    EXPECT_EQ(nullptr, control.EventArgs()[5]->parray);

    // The next event replaces the copy and lets go of the old references.
    VARIANT next[1] = {};
    next[0].vt = VT_I4;
    next[0].lVal = 3;
    DISPPARAMS nextParams = Params(next, 1);
    control.CopyEventArgs(&nextParams);
    EXPECT_EQ(1u, object.references);
    ASSERT_EQ(1u, control.EventArgs().size());
    EXPECT_EQ(3, control.EventArgs()[0]->lVal);
}

TEST(EventArgs, MissingOrMalformedParametersChangeNothing) {
    LiveControl control;
    VARIANT argument = {};
    argument.vt = VT_I4;
    DISPPARAMS one = Params(&argument, 1);
    control.CopyEventArgs(&one);
    control.CopyEventArgs(nullptr);
    DISPPARAMS noArray = Params(nullptr, 2);
    control.CopyEventArgs(&noArray);
    EXPECT_EQ(1u, control.EventArgs().size());
}

}  // namespace
}  // namespace scripting
