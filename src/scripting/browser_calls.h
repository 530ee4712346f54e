// The browser's scripting functions as the scripting objects reach them: an
// interface handed in (no global table), and the implementation over the
// table a browser passes to NP_Initialize. One ScriptSession per plug-in
// instance ties the objects made for it to that browser and instance.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

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
// scripting (Offers) and stay valid until Withdraw (the browser's
// NP_Shutdown). Withdrawn, every call fails or does nothing: objects and
// values still held then are the browser's to reclaim.
class TableBrowserCalls final : public BrowserCalls {
public:
    explicit TableBrowserCalls(const NPNetscapeFuncs& table) : table_(&table) {}
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
    void Withdraw() { table_ = nullptr; }

    void* MemAlloc(uint32_t size) override { return table_ ? table_->memalloc(size) : nullptr; }
    void MemFree(void* block) override {
        if (table_ && block) table_->memfree(block);
    }
    NPObject* CreateObject(NPP npp, NPClass* npClass) override {
        return table_ ? table_->createobject(npp, npClass) : nullptr;
    }
    NPObject* RetainObject(NPObject* object) override {
        return table_ ? table_->retainobject(object) : object;
    }
    void ReleaseObject(NPObject* object) override {
        if (table_ && object) table_->releaseobject(object);
    }
    NPIdentifier GetStringIdentifier(const char* name) override {
        return table_ ? table_->getstringidentifier(name) : nullptr;
    }
    std::string NameOf(NPIdentifier identifier) override;
    bool Invoke(NPP npp, NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
                NPVariant* result) override {
        return table_ && table_->invoke(npp, object, name, args, count, result);
    }
    bool InvokeDefault(NPP npp, NPObject* object, const NPVariant* args, uint32_t count,
                       NPVariant* result) override {
        return table_ && table_->invokeDefault(npp, object, args, count, result);
    }
    bool GetProperty(NPP npp, NPObject* object, NPIdentifier name, NPVariant* result) override {
        return table_ && table_->getproperty(npp, object, name, result);
    }
    bool SetProperty(NPP npp, NPObject* object, NPIdentifier name, const NPVariant* value) override {
        return table_ && table_->setproperty(npp, object, name, value);
    }
    void ReleaseVariantValue(NPVariant* variant) override {
        if (table_) table_->releasevariantvalue(variant);
        VOID_TO_NPVARIANT(*variant);
    }
    void SetException(NPObject* object, const char* message) override {
        if (table_) table_->setexception(object, message);
    }

private:
    const NPNetscapeFuncs* table_;
};

class DispatchObject;
class ScriptDispatch;

// What the scripting objects of one instance share: the browser, the
// instance, and whether the instance is still there. Close (at teardown,
// while the instance still exists) disconnects every object made for it;
// afterwards they answer with errors and never call into a script or the
// control again. What they still hold of the browser's (script objects,
// values) is given back through Release and ReleaseValue, which work before
// and after Close: the browser's table outlives its instances. Objects hold
// the session by shared_ptr, so it outlives the instance as long as any of
// them does.
class ScriptSession {
public:
    ScriptSession(std::shared_ptr<BrowserCalls> browser, NPP npp)
        : browser_(std::move(browser)), npp_(npp), open_(browser_ != nullptr) {}
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;
    ~ScriptSession() { Close(); }

    void Close();
    bool open() const { return open_; }
    // Only while open.
    BrowserCalls& browser() const { return *browser_; }
    NPP npp() const { return npp_; }

    // Gives back a reference or a value the plug-in holds; null and void are
    // nothing. Also after Close.
    void Release(NPObject* object) {
        if (object && browser_) browser_->ReleaseObject(object);
    }
    void ReleaseValue(NPVariant* value) {
        if (browser_ && value->type != NPVariantType_Void) browser_->ReleaseVariantValue(value);
        VOID_TO_NPVARIANT(*value);
    }

    // Registration of the objects Close disconnects.
    void Add(DispatchObject* object) { dispatchObjects_.insert(object); }
    void Remove(DispatchObject* object) { dispatchObjects_.erase(object); }
    void Add(ScriptDispatch* object) { scriptDispatches_.insert(object); }
    void Remove(ScriptDispatch* object) { scriptDispatches_.erase(object); }

private:
    const std::shared_ptr<BrowserCalls> browser_;
    NPP npp_;
    bool open_;
    std::set<DispatchObject*> dispatchObjects_;
    std::set<ScriptDispatch*> scriptDispatches_;
};

// References to browser objects taken for the length of a call (the call
// may end the instance), each given back once when this goes.
class HeldObjects {
public:
    explicit HeldObjects(std::shared_ptr<ScriptSession> session) : session_(std::move(session)) {}
    HeldObjects(const HeldObjects&) = delete;
    HeldObjects& operator=(const HeldObjects&) = delete;
    ~HeldObjects() {
        for (NPObject* object : objects_) session_->Release(object);
    }
    // Only while the session is open. Room is made first: a reference is
    // never taken and then lost.
    void Hold(NPObject* object) { Hold(std::vector<NPObject*>{object}); }
    void Hold(const std::vector<NPObject*>& objects) {
        objects_.reserve(objects_.size() + objects.size());
        for (NPObject* object : objects) objects_.push_back(session_->browser().RetainObject(object));
    }
    const std::vector<NPObject*>& objects() const { return objects_; }

private:
    std::shared_ptr<ScriptSession> session_;
    std::vector<NPObject*> objects_;
};

}  // namespace scripting
