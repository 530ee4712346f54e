#include "install/control_signature.h"

#include <vector>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "framework/unique_resource.h"

namespace install {

namespace {

void FreeChain(PCCERT_CHAIN_CONTEXT chain) { ::CertFreeCertificateChain(chain); }
using UniqueChain = fw::UniqueResource<PCCERT_CHAIN_CONTEXT, FreeChain>;

// Revocation and offline answers are what a machine without the network
// cannot know; a revoked certificate is looked for separately.
constexpr DWORD kUnknowable = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

// One WinVerifyTrust verification of a file by handle, its state data
// closed when the object goes.
class TrustVerification {
public:
    TrustVerification(const std::wstring& path, HANDLE file) {
        file_.cbStruct = sizeof file_;
        file_.pcwszFilePath = path.c_str();
        file_.hFile = file;
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
        result_ = ::WinVerifyTrust(NoWindow(), &action_, &data_);
        lastError_ = ::GetLastError();
    }
    TrustVerification(const TrustVerification&) = delete;
    TrustVerification& operator=(const TrustVerification&) = delete;
    ~TrustVerification() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(NoWindow(), &action_, &data_);
    }

    HRESULT result() const { return result_; }
    DWORD lastError() const { return lastError_; }
    // The first signer as the provider found it; null when there is none.
    CRYPT_PROVIDER_SGNR* Signer() const {
        if (!data_.hWVTStateData) return nullptr;
        CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data_.hWVTStateData);
        return provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    }

private:
    static HWND NoWindow() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }

    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_ = {};
    WINTRUST_DATA data_ = {};
    HRESULT result_ = E_FAIL;
    DWORD lastError_ = 0;
};

PCCERT_CONTEXT SignerCertificate(const CRYPT_PROVIDER_SGNR* signer) {
    return signer && signer->csCertChain > 0 && signer->pasCertChain ? signer->pasCertChain[0].pCert
                                                                     : nullptr;
}

std::wstring CommonNameOf(PCCERT_CONTEXT certificate) {
    if (!certificate) return {};
    auto* oid = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD length = ::CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, oid, nullptr, 0);
    if (length <= 1) return {};
    std::vector<wchar_t> name(length, L'\0');
    ::CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, oid, name.data(), length);
    return name.data();
}

bool IsUnsigned(HRESULT result, DWORD lastError) {
    if (result == TRUST_E_SUBJECT_FORM_UNKNOWN || result == TRUST_E_PROVIDER_UNKNOWN) return true;
    // The platform answers "no signature" for a signature it cannot read as
    // well: only the last error tells the two apart.
    return result == TRUST_E_NOSIGNATURE &&
           (lastError == static_cast<DWORD>(TRUST_E_NOSIGNATURE) ||
            lastError == static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
            lastError == static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN));
}

// Why an intact signature's signer is not trusted; nullptr for an answer
// that says something else (a broken signature).
const char* SignerProblemOf(HRESULT result) {
    switch (result) {
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_UNTRUSTEDTESTROOT:
    case CERT_E_CHAINING: return "untrusted root";
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING: return "expired";
    case CERT_E_REVOKED: return "revoked";
    case TRUST_E_EXPLICIT_DISTRUST: return "distrusted";
    case CERT_E_WRONG_USAGE:
    case CERT_E_PURPOSE:
    case TRUST_E_BASIC_CONSTRAINTS: return "not for code signing";
    case CERT_E_REVOCATION_FAILURE:
    case CRYPT_E_NO_REVOCATION_CHECK:
    case CRYPT_E_REVOCATION_OFFLINE: return "revocation unknown";
    default: return nullptr;
    }
}

const char* ChainProblemOf(DWORD status) {
    if (status & CERT_TRUST_IS_REVOKED) return "revoked";
    if (status & CERT_TRUST_IS_EXPLICIT_DISTRUST) return "distrusted";
    if (status & CERT_TRUST_IS_NOT_TIME_VALID) return "expired";
    if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) return "untrusted root";
    if (status & (CERT_TRUST_IS_NOT_VALID_FOR_USAGE | CERT_TRUST_INVALID_BASIC_CONSTRAINTS)) {
        return "not for code signing";
    }
    return "untrusted chain";
}

// Whether the machine already knows the signer's certificate, or one on
// its chain, to be revoked (cached revocation lists only).
bool KnownRevoked(PCCERT_CONTEXT certificate) {
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    UniqueChain chain;
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para,
                                   CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                       CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY |
                                       CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL,
                                   nullptr, chain.put())) {
        return false;
    }
    return chain && (chain.get()->TrustStatus.dwErrorStatus & CERT_TRUST_IS_REVOKED) != 0;
}

SignatureVerdict Untrusted(std::wstring publisher, const char* reason, HRESULT code) {
    return {SignatureState::Untrusted, std::move(publisher), reason, code};
}

// The platform accepted the signature: the signer's chain as the provider
// built it (at the signing time a timestamp proves) must itself be trusted
// and pass the Authenticode policy.
SignatureVerdict CheckSigner(const TrustVerification& verification) {
    const CRYPT_PROVIDER_SGNR* signer = verification.Signer();
    PCCERT_CONTEXT certificate = SignerCertificate(signer);
    if (!signer || !certificate || !signer->pChainContext) {
        return {SignatureState::Tampered, {}, "no signer", TRUST_E_NO_SIGNER_CERT};
    }
    std::wstring publisher = CommonNameOf(certificate);
    const DWORD status = signer->pChainContext->TrustStatus.dwErrorStatus & ~kUnknowable;
    if (status != CERT_TRUST_NO_ERROR) {
        return Untrusted(std::move(publisher), ChainProblemOf(status), CERT_E_CHAINING);
    }
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    CERT_CHAIN_POLICY_STATUS answer = {};
    answer.cbSize = sizeof answer;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, signer->pChainContext,
                                            &policy, &answer)) {
        return Untrusted(std::move(publisher), "untrusted chain", HRESULT_FROM_WIN32(::GetLastError()));
    }
    if (answer.dwError != 0) {
        const auto code = static_cast<HRESULT>(answer.dwError);
        const char* problem = SignerProblemOf(code);
        return Untrusted(std::move(publisher), problem ? problem : "untrusted chain", code);
    }
    if (KnownRevoked(certificate)) return Untrusted(std::move(publisher), "revoked", CERT_E_REVOKED);
    return {SignatureState::Trusted, std::move(publisher), "", S_OK};
}

}  // namespace

const char* ToString(SignatureState state) {
    switch (state) {
    case SignatureState::Trusted: return "trusted";
    case SignatureState::Unsigned: return "unsigned";
    case SignatureState::Untrusted: return "untrusted";
    case SignatureState::Tampered: return "tampered";
    }
    return "?";
}

SignatureVerdict VerifyControlSignature(const std::wstring& path) {
    const fw::UniqueHandle file = fw::AdoptFileHandle(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return {SignatureState::Tampered, {}, "unreadable", HRESULT_FROM_WIN32(::GetLastError())};
    }
    const TrustVerification verification(path, file.get());
    const HRESULT result = verification.result();
    if (result == S_OK) return CheckSigner(verification);
    if (IsUnsigned(result, verification.lastError())) {
        return {SignatureState::Unsigned, {}, "not signed", result};
    }
    if (const char* problem = SignerProblemOf(result)) {
        return Untrusted(CommonNameOf(SignerCertificate(verification.Signer())), problem, result);
    }
    return {SignatureState::Tampered, {}, result == TRUST_E_BAD_DIGEST ? "bad digest" : "bad signature",
            result};
}

}  // namespace install
