// The container's IOleContainer over the process's started controls.
#include <vector>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "host_fixture.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_control_container.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"

using namespace plugin;  // the plug-in's own classes under test

using Microsoft::WRL::ComPtr;

namespace {

// An object that only counts its references.
class CountingUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown) return E_NOINTERFACE;
        AddRef();
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

// Windows listed as started, each with a record borrowing a counting control
// (or none), taken off the list again when the test ends.
class ContainerTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(NewAttachedInstance(instance_));
    }
    void TearDown() override {
        for (auto& window : windows_) ThePluginApp().startedControls.Remove(window.get());
    }
    IOleContainer* Container() {
        return Record(*instance_)->window->m_pCtrlCont->GetOleContainer();
    }
    void Start(IUnknown* control) {
        auto window = std::make_unique<ControlWindow>(Record(*instance_)->window.get());
        window->Control().Attach(control);
        ThePluginApp().startedControls.Add(window.get());
        windows_.push_back(std::move(window));
    }
    static std::vector<IUnknown*> Drain(IEnumUnknown* enumerator) {
        std::vector<IUnknown*> seen;
        IUnknown* element = nullptr;
        ULONG fetched = 0;
        while (enumerator->Next(1, &element, &fetched) == S_OK) {
            seen.push_back(element);
            element->Release();
        }
        return seen;
    }

    nphost::Instance* instance_ = nullptr;
    std::vector<std::unique_ptr<ControlWindow>> windows_;
};

TEST_F(ContainerTest, EnumeratesEveryStartedControlAndSkipsFailedCreations) {
    CountingUnknown a, b;
    Start(&a);
    Start(nullptr);  // a control whose creation failed
    Start(&b);

    ComPtr<IEnumUnknown> enumerator;
    ASSERT_EQ(S_OK, Container()->EnumObjects(OLECONTF_EMBEDDINGS, &enumerator));
    EXPECT_EQ(2u, a.references);  // the snapshot holds one reference each
    EXPECT_EQ(2u, b.references);
    EXPECT_EQ((std::vector<IUnknown*>{&a, &b}), Drain(enumerator.Get()));
    EXPECT_EQ(S_OK, enumerator->Reset());
    IUnknown* both[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, enumerator->Next(3, both, &fetched));
    EXPECT_EQ(2u, fetched);
    both[0]->Release();
    both[1]->Release();
    enumerator.Reset();
    EXPECT_EQ(1u, a.references);
    EXPECT_EQ(1u, b.references);
}

TEST_F(ContainerTest, FlagsWithoutEmbeddingsGiveAnEmptyEnumeration) {
    CountingUnknown a;
    Start(&a);
    for (DWORD flags : {DWORD{0}, DWORD{OLECONTF_LINKS}, DWORD{OLECONTF_OTHERS | OLECONTF_ONLYUSER}}) {
        ComPtr<IEnumUnknown> enumerator;
        ASSERT_EQ(S_OK, Container()->EnumObjects(flags, &enumerator));
        EXPECT_TRUE(Drain(enumerator.Get()).empty());
    }
    EXPECT_EQ(1u, a.references);
}

TEST_F(ContainerTest, NoStartedControlGivesAnEmptyEnumeration) {
    ComPtr<IEnumUnknown> enumerator;
    ASSERT_EQ(S_OK, Container()->EnumObjects(OLECONTF_EMBEDDINGS, &enumerator));
    EXPECT_TRUE(Drain(enumerator.Get()).empty());
    EXPECT_EQ(E_POINTER, Container()->EnumObjects(OLECONTF_EMBEDDINGS, nullptr));
}

TEST_F(ContainerTest, AnswersTheContainerInterfacesAndNothingElse) {
    IOleContainer* container = Container();
    const ULONG before = Record(*instance_)->window->m_pCtrlCont->ReferenceCount();
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, container->QueryInterface(IID_PPV_ARGS(&unknown)));
    ComPtr<IOleContainer> again;
    EXPECT_EQ(S_OK, unknown.As(&again));
    EXPECT_EQ(container, again.Get());
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(E_NOINTERFACE, container->QueryInterface(IID_PPV_ARGS(&dispatch)));
    EXPECT_EQ(nullptr, dispatch.Get());
    EXPECT_EQ(E_NOTIMPL, container->LockContainer(TRUE));
    IMoniker* moniker = reinterpret_cast<IMoniker*>(1);
    ULONG eaten = 0;
    EXPECT_EQ(E_NOTIMPL, container->ParseDisplayName(nullptr, nullptr, &eaten, &moniker));
    EXPECT_EQ(nullptr, moniker);
    unknown.Reset();
    again.Reset();
    EXPECT_EQ(before, Record(*instance_)->window->m_pCtrlCont->ReferenceCount());
}

}  // namespace
