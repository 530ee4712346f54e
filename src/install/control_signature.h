// Who made a control file: its Authenticode signature checked by the
// platform, and the signer's chain checked again here (the platform's
// answer alone is not enough where it does not check the signer's trust).
#pragma once

#include <string>

#include <windows.h>

namespace install {

enum class SignatureState {
    Trusted,    // signed, the file matches, the signer's chain is trusted
    Unsigned,   // no signature at all
    Untrusted,  // the file matches its signature, but its signer is not
                // trusted: an untrusted or unknown root, an expired or
                // revoked certificate, one not meant for code signing
    Tampered,   // a signature the file does not match, or one that cannot
                // be read (also a file that cannot be read)
};

const char* ToString(SignatureState state);

struct SignatureVerdict {
    SignatureState state = SignatureState::Tampered;
    // The signer certificate's subject common name, where a signer was
    // read (for Untrusted only the certificate's claim).
    std::wstring publisher;
    // Why it is not Trusted, in a few words ("untrusted root", "expired",
    // "revoked", "bad digest", ...); empty when Trusted.
    std::string reason;
    HRESULT code = S_OK;  // the platform's answer that decided
};

// Verifies the file at `path` (full path) by handle, without any user
// interface and without fetching anything from the network (revocation
// only as far as the machine already knows it).
SignatureVerdict VerifyControlSignature(const std::wstring& path);

}  // namespace install
