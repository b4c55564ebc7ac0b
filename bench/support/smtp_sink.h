// A fast local SMTP sink for benchmarks: one epoll thread on 127.0.0.1 that
// answers every command at once (greeting without "ESMTP", so clients need no
// login), takes AUTH LOGIN, swallows messages and counts them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace benchsupport {

class CSmtpSink {
 public:
  // `cpu` >= 0 pins the sink's thread to that core.
  explicit CSmtpSink(int cpu = -1);
  ~CSmtpSink();
  CSmtpSink(const CSmtpSink&) = delete;
  CSmtpSink& operator=(const CSmtpSink&) = delete;

  bool Ok() const { return m_nListen >= 0; }
  unsigned int Port() const { return m_nPort; }
  // Messages accepted (final dot answered with 250) and their bytes.
  std::uint64_t Messages() const { return m_nMessages.load(); }
  std::uint64_t MessageBytes() const { return m_nBytes.load(); }

 private:
  void Run(int cpu);

  int m_nListen = -1;
  int m_nStop = -1;  // eventfd that wakes the thread to end it
  unsigned int m_nPort = 0;
  std::atomic<std::uint64_t> m_nMessages{0};
  std::atomic<std::uint64_t> m_nBytes{0};
  std::thread m_thread;
};

// Pins the calling thread to core `cpu`; false when that is not possible.
bool PinThisThread(int cpu);

}  // namespace benchsupport
