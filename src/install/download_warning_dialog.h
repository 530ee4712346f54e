// The warning shown before a missing control is downloaded: who made the
// control and where its file would come from. Yes is IDOK (1); No, Enter,
// Escape and the close box are IDCANCEL (2); -1 when the dialog cannot be
// created. Yes answers only after the delay of every consent dialog.
#pragma once

#include <string>

#include "install/consent_dialog.h"

namespace install {

// Who made the control and what it is, as its property file says.
struct ControlDescription {
    std::string productName;
    std::string companyName;
    std::string fileDescription;
    std::string productVersion;
    std::string legalCopyright;
    std::string legalTrademarks;
};

class DownloadWarningDialog : public ConsentDialog {
public:
    explicit DownloadWarningDialog(fw::CWnd* parent = nullptr);
    ~DownloadWarningDialog() override;

    // Assigned by the caller before DoModal; shown in read-only boxes.
    ControlDescription control;
    std::string site;  // the control file's absolute URL

protected:
    void DoDataExchange(fw::CDataExchange* exchange) override;
};

}  // namespace install
