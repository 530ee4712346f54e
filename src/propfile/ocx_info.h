// COCXInfo: everything known about the control hosted by one plug-in
// instance: the property file's header values, where the file came from, the
// size of the control's window, the control's interfaces and the tables
// through which it is called by name and its request event recognised.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>
#include <oaidl.h>

#include "framework/cmd_target.h"

// One dispatch property or method of the control.
struct MemberEntry {
    DISPID dispid = DISPID_UNKNOWN;
    std::string name;  // at most 80 bytes
};

struct MemberTable {
    uint32_t propertyCount = 0;
    MemberEntry* properties = nullptr;
    uint32_t methodCount = 0;
    MemberEntry* methods = nullptr;
};

// One function of the control's default event interface.
struct EventEntry {
    DISPID dispid = -1;
    uint16_t paramCount = 0;
    BSTR* names = nullptr;  // paramCount + 1: the event's name, then its parameters
};

// The identifier that matches no event.
constexpr DISPID kNoEventDispid = DISPID_UNKNOWN;

class COCXInfo : public fw::CCmdTarget {
public:
    COCXInfo();
    ~COCXInfo() override;

    std::string propertyFilePath;
    std::string baseUrl;
    DISPID eventDispid = kNoEventDispid;
    std::string browserVersion;
    std::string companyName;
    std::string fileDescription;
    std::string legalCopyright;
    std::string legalTrademarks;
    std::string productName;
    std::string productVersion;
    std::string filenameUrl;
    std::string licenseUrl;
    std::string clsidText;
    int32_t headerWidth = 0;
    int32_t headerHeight = 0;
    CLSID clsid = CLSID_NULL;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
    BOOL isCompressed = FALSE;
    VARIANT* eventArgs = nullptr;
    DISPID* eventNamedArgs = nullptr;
    uint32_t eventArgCount = 0;
    uint32_t eventNamedArgCount = 0;
    IUnknown* controlUnknown = nullptr;    // borrowed from the control site
    IDispatch* controlDispatch = nullptr;  // held only while BuildMemberTable runs
    IID eventIid = IID_NULL;
    uint16_t eventCount = 0;
    EventEntry* eventTable = nullptr;
    MemberTable* memberTable = nullptr;

    // The control's interface `iid` with a reference for the caller, or null.
    IUnknown* QueryControlInterface(IID iid);
    // Read the control's type information once, after it has been created.
    void BuildEventInfo();
    void BuildMemberTable();
    // The property, else the method, named exactly `name`; null when none.
    const MemberEntry* FindMember(const std::string& name) const;
    // Keep an owned copy of a request event's arguments, replacing the last.
    void CopyEventArgs(const DISPPARAMS* params);
    void FreeEventArgs();
    void FreeEventTable();

private:
    void FreeMemberTable();
    void ReadEventInterface(ITypeInfo* eventInfo);
};
