#include "propfile/ocx_info.h"

COCXInfo::COCXInfo() = default;

COCXInfo::~COCXInfo() {
    FreeMemberTable();
    if (controlDispatch) {
        controlDispatch->Release();
        controlDispatch = nullptr;
    }
    if (eventArgCount != 0) FreeEventArgs();
    FreeEventTable();
}

void COCXInfo::FreeMemberTable() {
    if (!memberTable) return;
    delete[] memberTable->properties;
    delete[] memberTable->methods;
    delete memberTable;
    memberTable = nullptr;
}
