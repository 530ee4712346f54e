// The warning shown after the download when the control file is unsigned
// or its publisher cannot be verified: the problem, and where the file came
// from. Yes (IDOK) installs it all the same; No, Enter, Escape and the
// close box are IDCANCEL; -1 when the dialog cannot be created. Yes answers
// only after the delay of every consent dialog.
#pragma once

#include <string>

#include "install/consent_dialog.h"

namespace install {

class PublisherWarningDialog : public ConsentDialog {
public:
    enum class Problem { NotSigned, NotVerified };

    explicit PublisherWarningDialog(fw::CWnd* parent = nullptr);
    ~PublisherWarningDialog() override;

    // Assigned by the caller before DoModal.
    Problem problem = Problem::NotSigned;
    std::string site;  // the control file's absolute URL

    static const char* TextOf(Problem problem);

protected:
    void DoDataExchange(fw::CDataExchange* exchange) override;
};

}  // namespace install
