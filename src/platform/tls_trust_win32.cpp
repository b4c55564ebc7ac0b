// On Windows the program carries its own OpenSSL, whose compiled-in folders
// point nowhere: the authorities come from the system's ROOT certificate
// store, and no OpenSSL configuration file or certificate variable (such as
// SSL_CERT_FILE) is read, so nothing outside the program and the system's
// store decides whom it trusts.
#include <windows.h>
// After windows.h; OpenSSL's headers undo the names wincrypt.h defines that
// clash with its own (X509_NAME and others).
#include <wincrypt.h>

#include "platform/tls_trust.h"

#include <openssl/err.h>
#include <openssl/x509.h>

namespace platform {

void PrepareOpenSsl() { OPENSSL_init_ssl(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr); }

void AddSystemAuthorities(SSL_CTX* ctx) {
  HCERTSTORE root = CertOpenSystemStoreW(0, L"ROOT");
  if (!root) return;
  X509_STORE* store = SSL_CTX_get_cert_store(ctx);
  const CERT_CONTEXT* entry = nullptr;
  while ((entry = CertEnumCertificatesInStore(root, entry)) != nullptr) {
    if ((entry->dwCertEncodingType & X509_ASN_ENCODING) == 0) continue;
    const unsigned char* der = entry->pbCertEncoded;
    X509* cert = d2i_X509(nullptr, &der, static_cast<long>(entry->cbCertEncoded));
    if (cert) {
      X509_STORE_add_cert(store, cert);  // a duplicate is refused, harmlessly
      X509_free(cert);
    }
  }
  CertCloseStore(root, 0);
  ERR_clear_error();
}

}  // namespace platform
