#include "install/download_warning_dialog.h"

#include "resources/download_warning_ids.h"

namespace install {

DownloadWarningDialog::DownloadWarningDialog(fw::CWnd* parent)
    : fw::CDialog(IDD_DOWNLOAD_WARNING, parent) {}

DownloadWarningDialog::~DownloadWarningDialog() = default;

void DownloadWarningDialog::DoDataExchange(fw::CDataExchange* exchange) {
    fw::CDialog::DoDataExchange(exchange);
    fw::DDX_Text(exchange, IDC_COMPANY_NAME, control.companyName);
    fw::DDX_Text(exchange, IDC_FILE_DESCRIPTION, control.fileDescription);
    fw::DDX_Text(exchange, IDC_SITE, site);
    fw::DDX_Text(exchange, IDC_LEGAL_COPYRIGHT, control.legalCopyright);
    fw::DDX_Text(exchange, IDC_LEGAL_TRADEMARKS, control.legalTrademarks);
    fw::DDX_Text(exchange, IDC_PRODUCT_NAME, control.productName);
    fw::DDX_Text(exchange, IDC_PRODUCT_VERSION, control.productVersion);
}

}  // namespace install
