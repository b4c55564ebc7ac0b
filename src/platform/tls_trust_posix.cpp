// The system's OpenSSL knows the system's authorities (its certificate folder
// and file, or SSL_CERT_DIR / SSL_CERT_FILE) and reads the system's OpenSSL
// configuration, which sets the minimum protocol and security level.
#include "platform/tls_trust.h"

#include <openssl/err.h>

namespace platform {

void PrepareOpenSsl() { OPENSSL_init_ssl(0, nullptr); }

void AddSystemAuthorities(SSL_CTX* ctx) {
  SSL_CTX_set_default_verify_paths(ctx);
  ERR_clear_error();  // a missing folder is not an error of the connection
}

}  // namespace platform
