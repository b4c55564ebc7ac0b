#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace benchsupport {
namespace {

constexpr int kBacklog = 64;

}  // namespace

int ListenOnLoopback(unsigned int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof local;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      listen(fd, kBacklog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  port = ntohs(local.sin_port);
  return fd;
}

ssl_ctx_st* VerifyingClientContext(const std::string& caFile) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (ctx == nullptr) return nullptr;
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr);
  return ctx;
}

}  // namespace benchsupport
