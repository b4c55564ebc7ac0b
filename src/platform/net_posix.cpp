// TCP sockets on POSIX. Sockets block, with their receive and send time-outs
// set to one short slice: a call that has waited a slice returns, the wait
// hook runs, and the call goes on until the caller's time-out. When data is
// there, a receive or send is one system call, as on a plain blocking socket.
#include "platform/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr int kSliceMs = 50;
using Clock = std::chrono::steady_clock;

// What a sliced wait returns when the abandon check gave it up.
constexpr int kAbandoned = -2;

// Tracks one wait against its time-out and hands out the slices.
class CWaitClock {
 public:
  explicit CWaitClock(int timeoutMs)
      : m_nTimeoutMs(timeoutMs),
        m_start(Clock::now()),
        m_deadline(m_start + std::chrono::milliseconds(std::max(timeoutMs, 0))) {}
  // The next slice in milliseconds, at least 1; 0 when the time is up.
  int NextSlice() const {
    if (m_nTimeoutMs < 0) return kSliceMs;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, kSliceMs));
  }
  // Starts the time-out afresh (a send that made progress).
  void Restart() {
    m_start = Clock::now();
    m_deadline = m_start + std::chrono::milliseconds(std::max(m_nTimeoutMs, 0));
  }
  // Between slices: runs the wait hook, then asks the abandon check with the
  // time waited since the start or the last progress; true to give up.
  bool Between(bool callHook) const {
    if (!callHook) return false;
    RunNetWaitHook();
    return NetWaitAbandoned(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start));
  }

 private:
  int m_nTimeoutMs;
  Clock::time_point m_start;
  Clock::time_point m_deadline;
};

bool SetTimeout(int fd, int option, int ms) {
  timeval value{ms / 1000, (ms % 1000) * 1000};
  return setsockopt(fd, SOL_SOCKET, option, &value, sizeof value) == 0;
}

// Makes a fresh descriptor a blocking TCP socket that waits in slices.
bool Prepare(int fd) {
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return SetTimeout(fd, SO_RCVTIMEO, kSliceMs) && SetTimeout(fd, SO_SNDTIMEO, kSliceMs);
}

bool IsSliceEnd(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

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

// Waits for `events` on `fd` with poll() in slices; 1 ready, 0 time-out,
// -1 error, kAbandoned.
int PollSliced(int fd, short events, int timeoutMs, bool callHook) {
  CWaitClock clock(timeoutMs);
  for (;;) {
    pollfd entry{fd, events, 0};
    int ready = poll(&entry, 1, clock.NextSlice());
    if (ready > 0) return 1;
    if (ready < 0 && errno != EINTR) return -1;
    if (clock.NextSlice() == 0) return 0;
    if (clock.Between(callHook)) return kAbandoned;
  }
}

}  // namespace

bool StartNetwork() { return true; }

std::string LocalHostName(std::size_t maxLength) {
  std::vector<char> name(std::max<std::size_t>(maxLength, 1), '\0');
  if (gethostname(name.data(), name.size()) != 0) return "";
  if (std::memchr(name.data(), '\0', name.size()) == nullptr) return "";
  return name.data();
}

CTcpSocket::~CTcpSocket() { Close(); }

bool CTcpSocket::Create() {
  Close();
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  if (!Prepare(fd)) {
    ::close(fd);
    return false;
  }
  m_hSocket = fd;
  m_bWaitHook = true;
  m_bTimedOut = m_bAbandoned = false;
  m_nRecvSliceMs = m_nSendSliceMs = kSliceMs;
  return true;
}

bool CTcpSocket::IsOpen() const { return m_hSocket >= 0; }

void CTcpSocket::Close() {
  if (m_hSocket >= 0) ::close(static_cast<int>(m_hSocket));
  m_hSocket = -1;
}

int CTcpSocket::Wait(bool forWrite, int timeoutMs) {
  const int ready = PollSliced(static_cast<int>(m_hSocket), forWrite ? POLLOUT : POLLIN,
                               timeoutMs, m_bWaitHook);
  m_bTimedOut = ready == 0 || ready == kAbandoned;
  m_bAbandoned = ready == kAbandoned;
  return ready == kAbandoned ? -1 : ready;
}

bool CTcpSocket::Connect(const std::string& host, unsigned int port, int timeoutMs) {
  m_bTimedOut = m_bAbandoned = false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<std::uint16_t>(port));
  if (!IsOpen() || port > 0xFFFF || !Resolve(host, target.sin_addr)) return false;
  const int fd = static_cast<int>(m_hSocket);
  const auto start = Clock::now();
  // A blocking connect returns after one send slice when the peer is slow;
  // the connection attempt goes on and poll() waits for the rest.
  if (connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) return true;
  if (errno != EINPROGRESS && errno != EALREADY && !IsSliceEnd(errno)) return false;
  if (m_bWaitHook) RunNetWaitHook();
  int left = timeoutMs;
  if (timeoutMs >= 0) {
    auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    left = std::max(0, timeoutMs - static_cast<int>(spent.count()));
  }
  if (Wait(true, left) != 1) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool CTcpSocket::Send(std::span<const std::string_view> parts, int timeoutMs) {
  m_bTimedOut = m_bAbandoned = false;
  if (!IsOpen()) return false;
  const int fd = static_cast<int>(m_hSocket);
  std::vector<iovec> pending;
  pending.reserve(parts.size());
  for (std::string_view part : parts) {
    if (!part.empty()) pending.push_back({const_cast<char*>(part.data()), part.size()});
  }
  CWaitClock clock(timeoutMs);
  std::size_t first = 0;
  while (first < pending.size()) {
    const int slice = clock.NextSlice();
    if (slice == 0) {
      m_bTimedOut = true;
      return false;
    }
    if (slice != m_nSendSliceMs && SetTimeout(fd, SO_SNDTIMEO, slice)) m_nSendSliceMs = slice;
    ssize_t sent;
    if (pending.size() - first == 1) {
      sent = send(fd, pending[first].iov_base, pending[first].iov_len, MSG_NOSIGNAL);
    } else {
      msghdr message{};
      message.msg_iov = pending.data() + first;
      message.msg_iovlen = std::min<std::size_t>(pending.size() - first, IOV_MAX);
      sent = sendmsg(fd, &message, MSG_NOSIGNAL);
    }
    if (sent < 0) {
      if (!IsSliceEnd(errno)) return false;
      if (clock.Between(m_bWaitHook)) {
        m_bTimedOut = m_bAbandoned = true;
        return false;
      }
      continue;
    }
    clock.Restart();
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
  m_bTimedOut = m_bAbandoned = false;
  if (!IsOpen()) return -1;
  const int fd = static_cast<int>(m_hSocket);
  CWaitClock clock(timeoutMs);
  for (;;) {
    const int slice = clock.NextSlice();
    if (slice == 0) {
      m_bTimedOut = true;
      return -1;
    }
    if (slice != m_nRecvSliceMs && SetTimeout(fd, SO_RCVTIMEO, slice)) m_nRecvSliceMs = slice;
    ssize_t got = recv(fd, buffer, size, 0);
    if (got >= 0) return static_cast<long>(got);
    if (!IsSliceEnd(errno)) return -1;
    if (clock.Between(m_bWaitHook)) {
      m_bTimedOut = m_bAbandoned = true;
      return -1;
    }
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
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
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
  const int fd = static_cast<int>(m_hSocket);
  if (PollSliced(fd, POLLIN, timeoutMs, false) != 1) return false;
  int accepted = accept(fd, nullptr, nullptr);
  if (accepted < 0) return false;
  // Some systems pass the listener's O_NONBLOCK on to accepted sockets.
  int flags = fcntl(accepted, F_GETFL, 0);
  if (flags < 0 || fcntl(accepted, F_SETFL, flags & ~O_NONBLOCK) != 0 || !Prepare(accepted)) {
    ::close(accepted);
    return false;
  }
  peer.Close();
  peer.m_hSocket = accepted;
  peer.m_bWaitHook = false;
  peer.m_bTimedOut = peer.m_bAbandoned = false;
  peer.m_nRecvSliceMs = peer.m_nSendSliceMs = kSliceMs;
  return true;
}

void CTcpListener::Close() {
  if (m_hSocket >= 0) ::close(static_cast<int>(m_hSocket));
  m_hSocket = -1;
  m_nPort = 0;
}

}  // namespace platform
