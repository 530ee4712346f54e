#include "signature_test_support.h"

#include <wincrypt.h>

#include "install_fixture.h"
#include "registry_test_support.h"

namespace test {

namespace {

// The registry part of the machine's Root store (the part a program may
// change), closed when this goes.
struct RootStore {
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                       CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    ~RootStore() {
        if (store) ::CertCloseStore(store, 0);
    }
};

}  // namespace

std::string SignedFixturePath(const std::string& name) { return FixturePath("signed\\" + name); }

ScopedTrustedTestRoot::ScopedTrustedTestRoot() {
    const std::string root = ReadWholeFile(SignedFixturePath("root.cer"));
    const RootStore root_store;
    added_ = !root.empty() && root_store.store &&
             ::CertAddEncodedCertificateToStore(root_store.store, X509_ASN_ENCODING,
                                                reinterpret_cast<const BYTE*>(root.data()),
                                                static_cast<DWORD>(root.size()),
                                                CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

ScopedTrustedTestRoot::~ScopedTrustedTestRoot() {
    if (!added_) return;
    const std::string root = ReadWholeFile(SignedFixturePath("root.cer"));
    const RootStore root_store;
    PCCERT_CONTEXT wanted = ::CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(root.data()), static_cast<DWORD>(root.size()));
    if (!wanted || !root_store.store) return;
    // Deleting frees the found context.
    if (PCCERT_CONTEXT found = ::CertFindCertificateInStore(root_store.store, X509_ASN_ENCODING, 0,
                                                            CERT_FIND_EXISTING, wanted, nullptr)) {
        ::CertDeleteCertificateFromStore(found);
    }
    ::CertFreeCertificateContext(wanted);
}

}  // namespace test
