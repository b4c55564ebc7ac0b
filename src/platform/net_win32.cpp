// TCP sockets on Windows (Winsock 2): non-blocking sockets waited on with
// select() in short slices, so that every wait has a limit and the wait hook
// runs.
#include "platform/net.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr int kSliceMs = 50;

// What a sliced wait returns when the abandon check gave it up.
constexpr int kAbandoned = -2;

SOCKET AsSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

bool MakeNonBlocking(SOCKET s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
}

void SetNoDelay(SOCKET s) {
  BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

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

// Waits until `s` can read (or write, or has failed to connect); 1 ready,
// 0 time-out, -1 error, kAbandoned.
int SelectSliced(SOCKET s, bool forWrite, int timeoutMs, bool callHook) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    int slice = kSliceMs;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      slice = static_cast<int>(std::clamp<long long>(left.count(), 0, kSliceMs));
    }
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval wait{0, slice * 1000};
    int count = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &wait);
    if (count > 0) return 1;
    if (count == SOCKET_ERROR) return -1;
    if (timeoutMs >= 0 && Clock::now() >= deadline) return 0;
    if (callHook) {
      RunNetWaitHook();
      if (NetWaitAbandoned(
              std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start))) {
        return kAbandoned;
      }
    }
  }
}

}  // namespace

bool StartNetwork() {
  // Started once and never cleaned up: sockets may live until the process ends.
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::string LocalHostName(std::size_t maxLength) {
  StartNetwork();
  std::vector<char> name(std::max<std::size_t>(maxLength, 1), '\0');
  if (gethostname(name.data(), static_cast<int>(name.size())) != 0) return "";
  if (std::memchr(name.data(), '\0', name.size()) == nullptr) return "";
  return name.data();
}

CTcpSocket::~CTcpSocket() { Close(); }

bool CTcpSocket::Create() {
  Close();
  if (!StartNetwork()) return false;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  if (!MakeNonBlocking(s)) {
    closesocket(s);
    return false;
  }
  SetNoDelay(s);
  m_hSocket = static_cast<std::intptr_t>(s);
  m_bWaitHook = true;
  m_bTimedOut = m_bAbandoned = false;
  return true;
}

bool CTcpSocket::IsOpen() const { return AsSocket(m_hSocket) != INVALID_SOCKET; }

void CTcpSocket::Close() {
  if (IsOpen()) closesocket(AsSocket(m_hSocket));
  m_hSocket = -1;
}

int CTcpSocket::Wait(bool forWrite, int timeoutMs) {
  const int ready = SelectSliced(AsSocket(m_hSocket), forWrite, timeoutMs, m_bWaitHook);
  m_bTimedOut = ready == 0 || ready == kAbandoned;
  m_bAbandoned = ready == kAbandoned;
  return ready == kAbandoned ? -1 : ready;
}

bool CTcpSocket::Connect(const std::string& host, unsigned int port, int timeoutMs) {
  m_bTimedOut = m_bAbandoned = false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<u_short>(port));
  if (!IsOpen() || port > 0xFFFF || !Resolve(host, target.sin_addr)) return false;
  SOCKET s = AsSocket(m_hSocket);
  if (connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) return true;
  if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
  if (Wait(true, timeoutMs) != 1) return false;
  int error = 0;
  int length = sizeof error;
  return getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
         error == 0;
}

bool CTcpSocket::Send(std::span<const std::string_view> parts, int timeoutMs) {
  m_bTimedOut = m_bAbandoned = false;
  if (!IsOpen()) return false;
  std::vector<WSABUF> pending;
  pending.reserve(parts.size());
  for (std::string_view part : parts) {
    // A WSABUF holds at most 4 GB - 1; larger parts go in several buffers.
    const char* data = part.data();
    std::size_t left = part.size();
    while (left > 0) {
      ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(left, 0x40000000));
      pending.push_back({chunk, const_cast<char*>(data)});
      data += chunk;
      left -= chunk;
    }
  }
  std::size_t first = 0;
  while (first < pending.size()) {
    DWORD sent = 0;
    int result = WSASend(AsSocket(m_hSocket), pending.data() + first,
                         static_cast<DWORD>(pending.size() - first), &sent, 0, nullptr, nullptr);
    if (result == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
      if (Wait(true, timeoutMs) != 1) return false;
      continue;
    }
    std::size_t left = sent;
    while (first < pending.size() && left >= pending[first].len) {
      left -= pending[first].len;
      ++first;
    }
    if (left > 0) {
      pending[first].buf += left;
      pending[first].len -= static_cast<ULONG>(left);
    }
  }
  return true;
}

long CTcpSocket::Receive(char* buffer, std::size_t size, int timeoutMs) {
  m_bTimedOut = m_bAbandoned = false;
  if (!IsOpen()) return -1;
  int wanted = static_cast<int>(std::min<std::size_t>(size, 0x7FFFFFFF));
  for (;;) {
    if (Wait(false, timeoutMs) != 1) return -1;
    int got = recv(AsSocket(m_hSocket), buffer, wanted, 0);
    if (got >= 0) return got;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return -1;
  }
}

CTcpListener::~CTcpListener() { Close(); }

bool CTcpListener::Listen(const std::string& address, unsigned int port, int backlog) {
  Close();
  if (!StartNetwork()) return false;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<u_short>(port));
  if (port > 0xFFFF || inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) return false;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  int length = sizeof local;
  if (!MakeNonBlocking(s) || bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      listen(s, backlog) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    closesocket(s);
    return false;
  }
  m_hSocket = static_cast<std::intptr_t>(s);
  m_nPort = ntohs(local.sin_port);
  return true;
}

bool CTcpListener::Accept(CTcpSocket& peer, int timeoutMs) {
  if (AsSocket(m_hSocket) == INVALID_SOCKET) return false;
  SOCKET s = AsSocket(m_hSocket);
  if (SelectSliced(s, false, timeoutMs, false) != 1) return false;
  SOCKET accepted = accept(s, nullptr, nullptr);
  if (accepted == INVALID_SOCKET) return false;
  if (!MakeNonBlocking(accepted)) {
    closesocket(accepted);
    return false;
  }
  SetNoDelay(accepted);
  peer.Close();
  peer.m_hSocket = static_cast<std::intptr_t>(accepted);
  peer.m_bWaitHook = false;
  peer.m_bTimedOut = peer.m_bAbandoned = false;
  return true;
}

void CTcpListener::Close() {
  if (AsSocket(m_hSocket) != INVALID_SOCKET) closesocket(AsSocket(m_hSocket));
  m_hSocket = -1;
  m_nPort = 0;
}

}  // namespace platform
