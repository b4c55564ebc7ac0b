// The delay proxy of starttls_sink.h.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>

#include "starttls_sink.h"

#include "loopback.h"

namespace benchsupport {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 100;

struct Chunk {
  Clock::time_point m_due;
  std::string m_strBytes;  // empty: the sender closed
};

// The two sockets of one relayed connection, closed when both ways ended.
struct Pair {
  int m_nClient;
  int m_nServer;
  ~Pair() {
    close(m_nClient);
    close(m_nServer);
  }
};

}  // namespace

CDelayProxy::CDelayProxy(unsigned int port, int delayMs) : m_nTarget(port), m_nDelayMs(delayMs) {
  m_nListen = ListenOnLoopback(m_nPort);
  if (m_nListen < 0) return;
  m_thread = std::thread([this] { Accept(); });
}

CDelayProxy::~CDelayProxy() {
  m_bStop = true;
  if (m_thread.joinable()) m_thread.join();
  for (std::thread& relay : m_relays) relay.join();
  if (m_nListen >= 0) close(m_nListen);
}

void CDelayProxy::Accept() {
  while (!m_bStop) {
    pollfd entry{m_nListen, POLLIN, 0};
    if (poll(&entry, 1, kPollMs) <= 0) continue;
    const int client = accept(m_nListen, nullptr, nullptr);
    if (client < 0) continue;
    const int server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(static_cast<std::uint16_t>(m_nTarget));
    if (connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
      close(client);
      close(server);
      continue;
    }
    int one = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto pair = std::make_shared<Pair>();
    pair->m_nClient = client;
    pair->m_nServer = server;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_relays.emplace_back([this, pair] { Relay(pair->m_nClient, pair->m_nServer); });
    m_relays.emplace_back([this, pair] { Relay(pair->m_nServer, pair->m_nClient); });
  }
}

void CDelayProxy::Relay(int from, int to) {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Chunk> chunks;
  std::thread writer([&] {
    for (;;) {
      Chunk chunk;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return !chunks.empty(); });
        chunk = std::move(chunks.front());
        chunks.pop_front();
      }
      std::this_thread::sleep_until(chunk.m_due);
      if (chunk.m_strBytes.empty()) {
        shutdown(to, SHUT_WR);
        return;
      }
      if (send(to, chunk.m_strBytes.data(), chunk.m_strBytes.size(), MSG_NOSIGNAL) !=
          static_cast<ssize_t>(chunk.m_strBytes.size())) {
        shutdown(from, SHUT_RD);
      }
    }
  });
  char buffer[65536];
  for (;;) {
    pollfd entry{from, POLLIN, 0};
    if (poll(&entry, 1, kPollMs) <= 0) {
      if (m_bStop) break;
      continue;
    }
    const ssize_t got = recv(from, buffer, sizeof buffer, 0);
    Chunk chunk{Clock::now() + std::chrono::milliseconds(m_nDelayMs),
                got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string()};
    {
      std::lock_guard<std::mutex> lock(mutex);
      chunks.push_back(std::move(chunk));
    }
    changed.notify_one();
    if (got <= 0) break;
  }
  if (m_bStop) {
    std::lock_guard<std::mutex> lock(mutex);
    chunks.push_back(Chunk{Clock::now(), std::string()});
    changed.notify_one();
  }
  writer.join();
}

}  // namespace benchsupport
