// Blocking TCP sockets over IPv4: the client socket of the SMTP session, and
// a small listener for local servers (tests, benchmarks, the test mail sink).
//
// Every wait (connect, send, receive, accept) runs in short slices and gives
// up after the caller's time-out. Between slices a client socket calls the
// process-wide wait hook, through which the window repaints while a run
// waits, and then asks the abandon check whether to give up the wait at once
// (a run being stopped while its server is silent). Both belong to the thread
// that set them: the connections a run keeps on threads of their own set an
// abandon check of their own and never call the window's hook. Accepted
// sockets and listeners do neither, so servers running on other threads do
// not touch the window or a run.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// Sets the function called between wait slices of client sockets; an empty
// function removes it. Set it from the thread that uses the sockets.
void SetNetWaitHook(std::function<void()> hook);
// Calls the wait hook, if one is set: for other waits of the same thread (a
// paced run's pauses) that should keep the window live as socket waits do.
void RunNetWaitHook();

// Sets the check asked between wait slices of client sockets, after the wait
// hook, with how long the socket has waited without progress: true gives up
// the wait at once, as a time-out that also reports Abandoned(). An empty
// function removes it. Set it from the thread that uses the sockets.
void SetNetWaitAbandon(std::function<bool(std::chrono::milliseconds waited)> check);
// Asks the abandon check (false when none is set).
bool NetWaitAbandoned(std::chrono::milliseconds waited);

// Starts the sockets library once per process (Winsock); true when usable.
// Creating a socket starts it as well.
bool StartNetwork();

// The local host name, or "" when it cannot be had in `maxLength` - 1 bytes.
std::string LocalHostName(std::size_t maxLength = 80);

// How long a socket call may wait: a negative value waits without limit.
inline constexpr int kWaitForever = -1;

class CTcpSocket {
 public:
  CTcpSocket() = default;
  ~CTcpSocket();
  CTcpSocket(const CTcpSocket&) = delete;
  CTcpSocket& operator=(const CTcpSocket&) = delete;
  CTcpSocket(CTcpSocket&& other) noexcept;
  CTcpSocket& operator=(CTcpSocket&& other) noexcept;

  // A new TCP stream socket with TCP_NODELAY; closes one held before.
  bool Create();
  // Connects to a dotted IPv4 address, or else to the first IPv4 address of
  // the host name. False on a failed lookup, refusal or time-out.
  bool Connect(const std::string& host, unsigned int port, int timeoutMs);
  // Sends every byte of the parts, in order, gathered into as few system
  // calls as the network stack allows. False on failure or when no byte could
  // be sent for `timeoutMs`.
  bool Send(std::span<const std::string_view> parts, int timeoutMs);
  bool Send(std::initializer_list<std::string_view> parts, int timeoutMs) {
    return Send(std::span<const std::string_view>(parts.begin(), parts.size()), timeoutMs);
  }
  bool Send(std::string_view data, int timeoutMs) { return Send({data}, timeoutMs); }
  // Receives once, up to `size` bytes, waiting up to `timeoutMs` for data.
  // Returns the byte count, 0 when the peer has closed the connection, and
  // -1 on failure or time-out (TimedOut() then tells which).
  long Receive(char* buffer, std::size_t size, int timeoutMs);
  // True when the last Connect, Send or Receive gave up on its time-out, or
  // was abandoned.
  bool TimedOut() const { return m_bTimedOut; }
  // True when the last Connect, Send or Receive was given up by the abandon check.
  bool Abandoned() const { return m_bAbandoned; }
  void Close();
  bool IsOpen() const;

 private:
  friend class CTcpListener;
  // Waits until the socket can read (or write); 1 ready, 0 time-out, -1 error.
  int Wait(bool forWrite, int timeoutMs);

  std::intptr_t m_hSocket = -1;
  bool m_bWaitHook = true;
  bool m_bTimedOut = false;
  bool m_bAbandoned = false;
  // The wait slices the socket's own receive and send time-outs are set to
  // (POSIX: blocking calls that return after a slice).
  int m_nRecvSliceMs = 0;
  int m_nSendSliceMs = 0;
};

// A listening socket on a local IPv4 address.
class CTcpListener {
 public:
  CTcpListener() = default;
  ~CTcpListener();
  CTcpListener(const CTcpListener&) = delete;
  CTcpListener& operator=(const CTcpListener&) = delete;

  // Listens on `address`:`port`; port 0 takes a free port (see Port()).
  bool Listen(const std::string& address, unsigned int port, int backlog = 64);
  unsigned int Port() const { return m_nPort; }
  // Waits up to `timeoutMs` for a connection and hands it to `peer`.
  bool Accept(CTcpSocket& peer, int timeoutMs);
  void Close();

 private:
  std::intptr_t m_hSocket = -1;
  unsigned int m_nPort = 0;
};

}  // namespace platform
