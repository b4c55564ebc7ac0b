// What the OpenSSL TLS client (tls.cpp) does differently per system: where the
// system's trusted certificate authorities come from, and how OpenSSL starts.
#pragma once

#include <openssl/ssl.h>

namespace platform {

// Sets OpenSSL up before the TLS client first uses it.
void PrepareOpenSsl();

// Adds the system's trusted certificate authorities to `ctx`'s store. Finding
// none is no error here: verification then fails unless an extra file helps.
void AddSystemAuthorities(SSL_CTX* ctx);

}  // namespace platform
