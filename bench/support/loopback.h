// Small pieces the benchmark's servers and clients share.
#pragma once

#include <string>

struct ssl_ctx_st;

namespace benchsupport {

// A listening TCP socket on 127.0.0.1 at a free port (into `port`); -1 when
// none could be had.
int ListenOnLoopback(unsigned int& port);

// An OpenSSL client context that verifies the server against `caFile`.
ssl_ctx_st* VerifyingClientContext(const std::string& caFile);

}  // namespace benchsupport
