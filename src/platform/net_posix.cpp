// TCP sockets on POSIX: non-blocking descriptors waited on with poll() in
// short slices, so that every wait has a limit and the wait hook runs.
#include "platform/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr int kSliceMs = 50;

std::function<void()>& WaitHook() {
  static std::function<void()> hook;
  return hook;
}

bool MakeNonBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void SetNoDelay(int fd) {
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// The IPv4 address of a dotted address or, failing that, of a host name.
bool Resolve(const std::string& host, in_addr& address) {
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
    return false;
  }
  address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

// Waits for `events` on `fd` in slices; 1 ready, 0 time-out, -1 error.
int PollSliced(int fd, short events, int timeoutMs, bool callHook) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    int slice = kSliceMs;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      slice = static_cast<int>(std::clamp<long long>(left.count(), 0, kSliceMs));
    }
    pollfd entry{fd, events, 0};
    int ready = poll(&entry, 1, slice);
    if (ready > 0) return 1;
    if (ready < 0 && errno != EINTR) return -1;
    if (timeoutMs >= 0 && Clock::now() >= deadline) return 0;
    if (callHook && WaitHook()) WaitHook()();
  }
}

}  // namespace

void SetNetWaitHook(std::function<void()> hook) { WaitHook() = std::move(hook); }

bool StartNetwork() { return true; }

std::string LocalHostName(std::size_t maxLength) {
  std::vector<char> name(std::max<std::size_t>(maxLength, 1), '\0');
  if (gethostname(name.data(), name.size()) != 0) return "";
  if (std::memchr(name.data(), '\0', name.size()) == nullptr) return "";
  return name.data();
}

CTcpSocket::~CTcpSocket() { Close(); }

CTcpSocket::CTcpSocket(CTcpSocket&& other) noexcept
    : m_hSocket(std::exchange(other.m_hSocket, -1)),
      m_bWaitHook(other.m_bWaitHook),
      m_bTimedOut(other.m_bTimedOut) {}

CTcpSocket& CTcpSocket::operator=(CTcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    m_hSocket = std::exchange(other.m_hSocket, -1);
    m_bWaitHook = other.m_bWaitHook;
    m_bTimedOut = other.m_bTimedOut;
  }
  return *this;
}

bool CTcpSocket::Create() {
  Close();
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  if (!MakeNonBlocking(fd)) {
    ::close(fd);
    return false;
  }
  SetNoDelay(fd);
  m_hSocket = fd;
  m_bWaitHook = true;
  m_bTimedOut = false;
  return true;
}

bool CTcpSocket::IsOpen() const { return m_hSocket >= 0; }

void CTcpSocket::Close() {
  if (m_hSocket >= 0) ::close(static_cast<int>(m_hSocket));
  m_hSocket = -1;
}

int CTcpSocket::Wait(bool forWrite, int timeoutMs) {
  return PollSliced(static_cast<int>(m_hSocket), forWrite ? POLLOUT : POLLIN, timeoutMs,
                    m_bWaitHook);
}

bool CTcpSocket::Connect(const std::string& host, unsigned int port, int timeoutMs) {
  m_bTimedOut = false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<std::uint16_t>(port));
  if (!IsOpen() || port > 0xFFFF || !Resolve(host, target.sin_addr)) return false;
  int fd = static_cast<int>(m_hSocket);
  if (connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) return true;
  if (errno != EINPROGRESS && errno != EINTR) return false;
  int ready = Wait(true, timeoutMs);
  if (ready == 0) m_bTimedOut = true;
  if (ready != 1) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool CTcpSocket::Send(std::initializer_list<std::string_view> parts, int timeoutMs) {
  m_bTimedOut = false;
  if (!IsOpen()) return false;
  std::vector<iovec> pending;
  pending.reserve(parts.size());
  for (std::string_view part : parts) {
    if (!part.empty()) pending.push_back({const_cast<char*>(part.data()), part.size()});
  }
  std::size_t first = 0;
  while (first < pending.size()) {
    msghdr message{};
    message.msg_iov = pending.data() + first;
    message.msg_iovlen = std::min<std::size_t>(pending.size() - first, IOV_MAX);
    ssize_t sent = sendmsg(static_cast<int>(m_hSocket), &message, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
      int ready = Wait(true, timeoutMs);
      if (ready == 0) m_bTimedOut = true;
      if (ready != 1) return false;
      continue;
    }
    auto left = static_cast<std::size_t>(sent);
    while (first < pending.size() && left >= pending[first].iov_len) {
      left -= pending[first].iov_len;
      ++first;
    }
    if (left > 0) {
      pending[first].iov_base = static_cast<char*>(pending[first].iov_base) + left;
      pending[first].iov_len -= left;
    }
  }
  return true;
}

long CTcpSocket::Receive(char* buffer, std::size_t size, int timeoutMs) {
  m_bTimedOut = false;
  if (!IsOpen()) return -1;
  for (;;) {
    int ready = Wait(false, timeoutMs);
    if (ready == 0) m_bTimedOut = true;
    if (ready != 1) return -1;
    ssize_t got = recv(static_cast<int>(m_hSocket), buffer, size, 0);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
  }
}

CTcpListener::~CTcpListener() { Close(); }

bool CTcpListener::Listen(const std::string& address, unsigned int port, int backlog) {
  Close();
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<std::uint16_t>(port));
  if (port > 0xFFFF || inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) return false;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  socklen_t length = sizeof local;
  if (!MakeNonBlocking(fd) || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      listen(fd, backlog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    ::close(fd);
    return false;
  }
  m_hSocket = fd;
  m_nPort = ntohs(local.sin_port);
  return true;
}

bool CTcpListener::Accept(CTcpSocket& peer, int timeoutMs) {
  if (m_hSocket < 0) return false;
  int fd = static_cast<int>(m_hSocket);
  if (PollSliced(fd, POLLIN, timeoutMs, false) != 1) return false;
  int accepted = accept(fd, nullptr, nullptr);
  if (accepted < 0) return false;
  if (!MakeNonBlocking(accepted)) {
    ::close(accepted);
    return false;
  }
  SetNoDelay(accepted);
  peer.Close();
  peer.m_hSocket = accepted;
  peer.m_bWaitHook = false;
  peer.m_bTimedOut = false;
  return true;
}

void CTcpListener::Close() {
  if (m_hSocket >= 0) ::close(static_cast<int>(m_hSocket));
  m_hSocket = -1;
  m_nPort = 0;
}

}  // namespace platform
