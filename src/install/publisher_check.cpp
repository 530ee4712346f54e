#include "install/publisher_check.h"

#include <windows.h>

#include "install/control_signature.h"
#include "install/publisher_warning_dialog.h"
#include "install/signature_policy.h"

namespace install {

namespace {

constexpr char kPolicyReason[] =
    ", and this computer installs only controls signed by a trusted publisher.";

// The status bar takes UTF-8 text.
std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    }
    return narrow;
}

// "it is not signed" / "its publisher could not be verified (expired)".
std::string ProblemOf(const SignatureVerdict& verdict) {
    if (verdict.state == SignatureState::Unsigned) return "it is not signed";
    return "its publisher could not be verified (" + verdict.reason + ")";
}

PublisherDecision Decision(PublisherDecision::Kind kind, std::string statusLine) {
    return {kind, {}, std::move(statusLine)};
}

}  // namespace

PublisherDecision VerifyExpandedControl(const std::wstring& path, const std::string& address) {
    using Kind = PublisherDecision::Kind;
    const SignatureVerdict verdict = VerifyControlSignature(path);
    switch (verdict.state) {
    case SignatureState::Trusted:
        return {Kind::Place, verdict.publisher,
                "The control was installed: its file is signed by " + Utf8(verdict.publisher) + "."};
    case SignatureState::Tampered:
        return Decision(Kind::Refused, "The control file was refused: it does not match its signature (" +
                                           verdict.reason + ").");
    case SignatureState::Unsigned:
    case SignatureState::Untrusted:
        break;
    }
    if (SignedControlsRequired()) {
        return Decision(Kind::Refused, "The control file was refused: " + ProblemOf(verdict) + kPolicyReason);
    }
    PublisherWarningDialog dialog(nullptr);
    dialog.problem = verdict.state == SignatureState::Unsigned ? PublisherWarningDialog::Problem::NotSigned
                                                               : PublisherWarningDialog::Problem::NotVerified;
    dialog.site = address;
    if (dialog.DoModal() != IDOK) {
        return Decision(Kind::Declined, "The control file was not installed: " + ProblemOf(verdict) + ".");
    }
    const std::string accepted = verdict.state == SignatureState::Unsigned
                                     ? "its file is not signed"
                                     : "the publisher of its file could not be verified (" + verdict.reason + ")";
    return Decision(Kind::Place, "The control was installed: " + accepted + ", and you chose to install it.");
}

}  // namespace install
