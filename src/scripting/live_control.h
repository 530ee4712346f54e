// LiveControl: the hosted control as the plug-in calls it once it has been
// created: its interfaces, the tables through which it is called by name and
// its file-request event recognised, and the calls the plug-in makes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "framework/unique_resource.h"

namespace scripting {

// One dispatch property or method of the control.
struct MemberEntry {
    DISPID dispid = DISPID_UNKNOWN;
    std::string name;  // at most 80 bytes
};

// The control's dispatch properties and methods, in type-information order.
struct MemberTable {
    std::vector<MemberEntry> properties;
    std::vector<MemberEntry> methods;
};

// One function of the control's default event interface.
struct EventEntry {
    DISPID dispid = -1;
    std::vector<std::string> names;  // the event's name, then its parameters'
};

// The identifier that matches no event.
constexpr DISPID kNoEventDispid = DISPID_UNKNOWN;

// A file request of the control: the URL as it asked for it, in the ANSI code
// page (nothing when it does not fit the request's 255 bytes), and its number.
struct FileRequestEvent {
    std::optional<std::string> url;
    int32_t requestId = 0;
};

class LiveControl {
public:
    // Takes the created control (borrowed from its control site, which keeps
    // it alive while it hosts it; null when creation failed) and reads its
    // type information once: the request event, then the members.
    void Attach(IUnknown* control);
    // The control as attached; no reference for the caller.
    IUnknown* Unknown() const { return unknown_; }

    // The control's interface `iid`, or null (also without a control).
    template <typename Interface>
    Microsoft::WRL::ComPtr<Interface> QueryControlInterface(REFIID iid) const {
        Microsoft::WRL::ComPtr<Interface> result;
        QueryInto(iid, reinterpret_cast<void**>(result.GetAddressOf()));
        return result;
    }

    // The property, else the method, named exactly `name`; null when none.
    const MemberEntry* FindMember(const std::string& name) const;
    const MemberTable& Members() const { return members_; }
    const std::vector<EventEntry>& Events() const { return events_; }

    // Calls the method `name` with `arguments` in the order the method
    // declares them. False when the control has no such member; a call that
    // fails is the control's business and still answers true.
    bool InvokeByName(const std::string& name, std::vector<fw::UniqueVariant> arguments);
    bool Start();
    bool Stop();
    bool OnGetUrlAsFile(const std::string& localFile, int32_t requestId);
    bool OnNewControlStateChanged(const std::string& classIdText, int16_t state);

    // The request an event of the control makes: the request event with its
    // two arguments (URL, number) and a plain-string URL. Nothing for any
    // other event, which is left to the default routing.
    std::optional<FileRequestEvent> FileRequestOf(DISPID id, const DISPPARAMS* params);

    // Keeps an owned copy of a request event's arguments, replacing the last
    // one; nothing changes for missing or malformed parameters.
    void CopyEventArgs(const DISPPARAMS* params);
    const std::vector<fw::UniqueVariant>& EventArgs() const { return eventArgs_; }
    const std::vector<DISPID>& EventNamedArgs() const { return eventNamedArgs_; }

    // The request event's identifier ("ReadFile" or "GetUrlAsFile" of the
    // default event interface), kNoEventDispid when there is none.
    DISPID eventDispid = kNoEventDispid;
    IID eventIid = IID_NULL;

private:
    void QueryInto(REFIID iid, void** object) const;
    void BuildEventInfo();
    void BuildMemberTable();
    void ReadEventInterface(ITypeInfo* eventInfo);

    IUnknown* unknown_ = nullptr;  // borrowed from the control site
    MemberTable members_;
    std::vector<EventEntry> events_;
    std::vector<fw::UniqueVariant> eventArgs_;  // automation order, as received
    std::vector<DISPID> eventNamedArgs_;
};

}  // namespace scripting
