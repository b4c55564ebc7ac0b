// A TLS client connection over a connected CTcpSocket, for the SMTP session.
//
// The server's certificate is always verified: against the system's trusted
// authorities plus those of an optional PEM file, and against the server name
// as typed (a host name, which is also sent as SNI, or an IP address). There
// is no way to skip the check.
//
// Every read and write goes through the socket's own sliced waits, so the
// caller's time-outs and the wait hook apply to the handshake as well.
//
// Sessions are kept per server, port and certificate file for the life of the
// process and offered again by the next handshake to the same server, so
// the messages of a run after the first need no full handshake.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/net.h"

namespace platform {

struct TlsTarget {
  std::string m_strServer;  // host name or IP address, as typed by the user
  unsigned int m_nPort = 0;
  std::string m_strCaFile;  // "" or a PEM file (code-page path) of extra authorities
};

class CTlsClient {
 public:
  CTlsClient();
  ~CTlsClient();
  CTlsClient(const CTlsClient&) = delete;
  CTlsClient& operator=(const CTlsClient&) = delete;

  // Runs the handshake over `socket`, which must stay open while this client
  // is. Each network wait may take up to `timeoutMs`. False on any failure
  // (FailureReason() tells which); the connection is then unusable.
  bool Handshake(CTcpSocket& socket, const TlsTarget& target, int timeoutMs);
  // Sends every byte of the parts, in order. False on failure or time-out.
  bool Send(std::span<const std::string_view> parts, int timeoutMs);
  bool Send(std::initializer_list<std::string_view> parts, int timeoutMs) {
    return Send(std::span<const std::string_view>(parts.begin(), parts.size()), timeoutMs);
  }
  // Receives once, up to `size` bytes: the byte count, 0 when the peer has
  // ended the connection, -1 on failure or time-out.
  long Receive(char* buffer, std::size_t size, int timeoutMs);
  // True when the last Handshake, Send or Receive gave up on its time-out.
  bool TimedOut() const;
  // Ends the connection: sends the closing alert when the connection is
  // still sound (so that its session stays resumable), then releases it.
  // The socket itself stays open.
  void Close(int timeoutMs);
  bool IsOpen() const;
  // Whether the last handshake resumed a session of an earlier connection.
  bool Resumed() const;
  // A short reason for the last failure, in the program's code page.
  const std::string& FailureReason() const;

  struct State;

 private:
  std::unique_ptr<State> m_state;
};

}  // namespace platform
