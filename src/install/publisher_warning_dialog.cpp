#include "install/publisher_warning_dialog.h"

#include "resources/download_warning_ids.h"

namespace install {

PublisherWarningDialog::PublisherWarningDialog(fw::CWnd* parent)
    : ConsentDialog(IDD_PUBLISHER_WARNING, parent) {}

PublisherWarningDialog::~PublisherWarningDialog() = default;

const char* PublisherWarningDialog::TextOf(Problem problem) {
    return problem == Problem::NotSigned ? "The control file is not signed"
                                         : "The publisher of this control file could not be verified";
}

// Into the boxes only: they are read-only.
void PublisherWarningDialog::DoDataExchange(fw::CDataExchange* exchange) {
    ConsentDialog::DoDataExchange(exchange);
    if (exchange->m_bSaveAndValidate) return;
    std::string text = TextOf(problem);
    fw::DDX_Text(exchange, IDC_PUBLISHER_PROBLEM, text);
    ShowAddress(IDC_SITE, site);
}

}  // namespace install
