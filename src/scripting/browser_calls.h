// The browser's scripting functions as the scripting objects reach them: an
// interface handed in (no global table), and the implementation over the
// table a browser passes to NP_Initialize. One ScriptSession per plug-in
// instance ties the objects made for it to that browser and instance.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "npapi/npruntime.h"

namespace scripting {

class BrowserCalls {
public:
    virtual ~BrowserCalls() = default;
    virtual void* MemAlloc(uint32_t size) = 0;
    virtual void MemFree(void* block) = 0;
    virtual NPObject* CreateObject(NPP npp, NPClass* npClass) = 0;
    virtual NPObject* RetainObject(NPObject* object) = 0;
    virtual void ReleaseObject(NPObject* object) = 0;
    virtual NPIdentifier GetStringIdentifier(const char* name) = 0;
    // The identifier's name; empty for an integer identifier.
    virtual std::string NameOf(NPIdentifier identifier) = 0;
    virtual bool Invoke(NPP npp, NPObject* object, NPIdentifier name, const NPVariant* args,
                        uint32_t count, NPVariant* result) = 0;
    virtual bool InvokeDefault(NPP npp, NPObject* object, const NPVariant* args, uint32_t count,
                               NPVariant* result) = 0;
    virtual bool GetProperty(NPP npp, NPObject* object, NPIdentifier name, NPVariant* result) = 0;
    virtual bool SetProperty(NPP npp, NPObject* object, NPIdentifier name,
                             const NPVariant* value) = 0;
    virtual void ReleaseVariantValue(NPVariant* variant) = 0;
    virtual void SetException(NPObject* object, const char* message) = 0;
};

// The calls through a browser's function table; the table must offer
// scripting (Offers) and outlive this.
class TableBrowserCalls final : public BrowserCalls {
public:
    explicit TableBrowserCalls(const NPNetscapeFuncs& table) : table_(table) {}
    // Room for every call made through it (size at least
    // kNetscapeFuncsScriptingSize), a version that says so, and none of
    // those entries null.
    static bool Offers(const NPNetscapeFuncs& table) {
        return table.size >= kNetscapeFuncsScriptingSize &&
               (table.version & 0xff) >= NPVERS_HAS_NPRUNTIME_SCRIPTING && table.memalloc &&
               table.memfree && table.createobject && table.retainobject &&
               table.releaseobject && table.getstringidentifier && table.identifierisstring &&
               table.utf8fromidentifier && table.invoke && table.invokeDefault &&
               table.getproperty && table.setproperty && table.releasevariantvalue &&
               table.setexception;
    }
    void* MemAlloc(uint32_t size) override { return table_.memalloc(size); }
    void MemFree(void* block) override { table_.memfree(block); }
    NPObject* CreateObject(NPP npp, NPClass* npClass) override {
        return table_.createobject(npp, npClass);
    }
    NPObject* RetainObject(NPObject* object) override { return table_.retainobject(object); }
    void ReleaseObject(NPObject* object) override { table_.releaseobject(object); }
    NPIdentifier GetStringIdentifier(const char* name) override {
        return table_.getstringidentifier(name);
    }
    std::string NameOf(NPIdentifier identifier) override;
    bool Invoke(NPP npp, NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
                NPVariant* result) override {
        return table_.invoke(npp, object, name, args, count, result);
    }
    bool InvokeDefault(NPP npp, NPObject* object, const NPVariant* args, uint32_t count,
                       NPVariant* result) override {
        return table_.invokeDefault(npp, object, args, count, result);
    }
    bool GetProperty(NPP npp, NPObject* object, NPIdentifier name, NPVariant* result) override {
        return table_.getproperty(npp, object, name, result);
    }
    bool SetProperty(NPP npp, NPObject* object, NPIdentifier name, const NPVariant* value) override {
        return table_.setproperty(npp, object, name, value);
    }
    void ReleaseVariantValue(NPVariant* variant) override { table_.releasevariantvalue(variant); }
    void SetException(NPObject* object, const char* message) override {
        table_.setexception(object, message);
    }

private:
    const NPNetscapeFuncs& table_;
};

class DispatchObject;
class ScriptDispatch;

// What the scripting objects of one instance share: the browser, the
// instance, and whether the instance is still there. Close (at teardown,
// while the browser's functions still work) disconnects every object made
// for the instance; afterwards they answer with errors and never reach the
// browser or the control again. Objects hold the session by shared_ptr, so it
// outlives the instance as long as any of them does.
class ScriptSession {
public:
    ScriptSession(BrowserCalls& browser, NPP npp) : browser_(&browser), npp_(npp) {}
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;
    ~ScriptSession() { Close(); }

    void Close();
    bool open() const { return browser_ != nullptr; }
    // Only while open.
    BrowserCalls& browser() const { return *browser_; }
    NPP npp() const { return npp_; }

    // Registration of the objects Close disconnects.
    void Add(DispatchObject* object) { dispatchObjects_.insert(object); }
    void Remove(DispatchObject* object) { dispatchObjects_.erase(object); }
    void Add(ScriptDispatch* object) { scriptDispatches_.insert(object); }
    void Remove(ScriptDispatch* object) { scriptDispatches_.erase(object); }

private:
    BrowserCalls* browser_;
    NPP npp_;
    std::set<DispatchObject*> dispatchObjects_;
    std::set<ScriptDispatch*> scriptDispatches_;
};

}  // namespace scripting
