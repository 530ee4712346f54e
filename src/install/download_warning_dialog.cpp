#include "install/download_warning_dialog.h"

#include "resources/download_warning_ids.h"

namespace install {

DownloadWarningDialog::DownloadWarningDialog(fw::CWnd* parent)
    : ConsentDialog(IDD_DOWNLOAD_WARNING, parent) {}

DownloadWarningDialog::~DownloadWarningDialog() = default;

// Into the boxes only: they are read-only.
void DownloadWarningDialog::DoDataExchange(fw::CDataExchange* exchange) {
    ConsentDialog::DoDataExchange(exchange);
    if (exchange->m_bSaveAndValidate) return;
    fw::DDX_Text(exchange, IDC_COMPANY_NAME, control.companyName);
    fw::DDX_Text(exchange, IDC_FILE_DESCRIPTION, control.fileDescription);
    fw::DDX_Text(exchange, IDC_LEGAL_COPYRIGHT, control.legalCopyright);
    fw::DDX_Text(exchange, IDC_LEGAL_TRADEMARKS, control.legalTrademarks);
    fw::DDX_Text(exchange, IDC_PRODUCT_NAME, control.productName);
    fw::DDX_Text(exchange, IDC_PRODUCT_VERSION, control.productVersion);
    ShowAddress(IDC_SITE, site);
}

}  // namespace install
