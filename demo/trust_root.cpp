// trust_root CERT: adds the DER certificate CERT to the machine's Root store,
// so that files signed under it are trusted there. The demo runs it in its
// own Wine prefix only, for the demo root the build made.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include <windows.h>
#include <wincrypt.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: trust_root CERT.cer\n";
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::string der{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    HCERTSTORE root = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                    CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    const bool added = !der.empty() && root &&
                       ::CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING,
                                                          reinterpret_cast<const BYTE*>(der.data()),
                                                          static_cast<DWORD>(der.size()),
                                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (root) ::CertCloseStore(root, 0);
    if (!added) {
        std::cerr << "trust_root: cannot add " << argv[1] << " to the Root store\n";
        return 1;
    }
    return 0;
}
