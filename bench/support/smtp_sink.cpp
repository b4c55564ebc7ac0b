#include "smtp_sink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace benchsupport {
namespace {

const char kMessageEnd[] = "\r\n.\r\n";

// One client connection and where it stands in its conversation.
struct Connection {
  int m_nFd = -1;
  std::string m_strLine;   // an incomplete command line
  bool m_bData = false;    // inside a message
  std::string m_strTail;   // the last bytes of the message so far (at most 4)
  int m_nAuthLines = 0;    // AUTH LOGIN lines still to come
  std::uint64_t m_nBytes = 0;
  bool m_bQuit = false;
};

void Reply(Connection& connection, const char* text) {
  // Replies are short and the client reads each before it sends again, so
  // the socket buffer always has room.
  if (send(connection.m_nFd, text, std::strlen(text), MSG_NOSIGNAL) < 0) connection.m_bQuit = true;
}

bool StartsWith(const std::string& line, const char* command) {
  return strncasecmp(line.c_str(), command, std::strlen(command)) == 0;
}

void Command(Connection& connection, const std::string& line) {
  if (connection.m_nAuthLines > 0) {
    Reply(connection, --connection.m_nAuthLines > 0 ? "334 UGFzc3dvcmQ6\r\n" : "235 ok\r\n");
  } else if (StartsWith(line, "HELO") || StartsWith(line, "EHLO")) {
    Reply(connection, "250 sink\r\n");
  } else if (StartsWith(line, "MAIL") || StartsWith(line, "RCPT") || StartsWith(line, "RSET") ||
             StartsWith(line, "NOOP")) {
    Reply(connection, "250 ok\r\n");
  } else if (StartsWith(line, "DATA")) {
    connection.m_bData = true;
    connection.m_strTail = "\r\n";  // the DATA line's own end
    connection.m_nBytes = 0;
    Reply(connection, "354 go ahead\r\n");
  } else if (StartsWith(line, "AUTH")) {
    connection.m_nAuthLines = 2;
    Reply(connection, "334 VXNlcm5hbWU6\r\n");
  } else if (StartsWith(line, "QUIT")) {
    Reply(connection, "221 bye\r\n");
    connection.m_bQuit = true;
  } else {
    Reply(connection, "500 unknown command\r\n");
  }
}

// Consumes message bytes; returns how many belong to the message (through
// its final dot line), or `size` when it goes on.
std::size_t TakeMessageBytes(Connection& connection, const char* bytes, std::size_t size,
                         bool& ended) {
  // The terminator may straddle the previous read: look at tail + head first.
  std::string seam = connection.m_strTail;
  seam.append(bytes, std::min<std::size_t>(size, 4));
  std::size_t at = seam.find(kMessageEnd);
  std::size_t used = size;
  ended = false;
  if (at != std::string::npos) {
    used = at + 5 - connection.m_strTail.size();
    ended = true;
  } else if (size >= 5) {
    const void* found = memmem(bytes, size, kMessageEnd, 5);
    if (found) {
      used = static_cast<const char*>(found) - bytes + 5;
      ended = true;
    }
  }
  if (!ended) {
    seam = connection.m_strTail;
    seam.append(bytes, size);
    connection.m_strTail = seam.substr(seam.size() > 4 ? seam.size() - 4 : 0);
  }
  connection.m_nBytes += used;
  return used;
}

}  // namespace

bool PinThisThread(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}

CSmtpSink::CSmtpSink(int cpu) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof local;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      listen(fd, 1024) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    if (fd >= 0) close(fd);
    return;
  }
  m_nListen = fd;
  m_nPort = ntohs(local.sin_port);
  m_nStop = eventfd(0, EFD_NONBLOCK);
  m_thread = std::thread([this, cpu] { Run(cpu); });
}

CSmtpSink::~CSmtpSink() {
  if (m_thread.joinable()) {
    std::uint64_t one = 1;
    if (write(m_nStop, &one, sizeof one) < 0) {
    }
    m_thread.join();
  }
  if (m_nStop >= 0) close(m_nStop);
  if (m_nListen >= 0) close(m_nListen);
}

void CSmtpSink::Run(int cpu) {
  if (cpu >= 0) PinThisThread(cpu);
  int poller = epoll_create1(0);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = m_nListen;
  epoll_ctl(poller, EPOLL_CTL_ADD, m_nListen, &event);
  event.data.fd = m_nStop;
  epoll_ctl(poller, EPOLL_CTL_ADD, m_nStop, &event);
  std::unordered_map<int, std::unique_ptr<Connection>> connections;
  std::unique_ptr<char[]> buffer(new char[1 << 16]);
  epoll_event ready[64];
  for (;;) {
    int count = epoll_wait(poller, ready, 64, -1);
    for (int i = 0; i < count; ++i) {
      const int fd = ready[i].data.fd;
      if (fd == m_nStop) {
        for (auto& entry : connections) close(entry.first);
        close(poller);
        return;
      }
      if (fd == m_nListen) {
        int client;
        while ((client = accept4(m_nListen, nullptr, nullptr, SOCK_NONBLOCK)) >= 0) {
          int one = 1;
          setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
          auto connection = std::make_unique<Connection>();
          connection->m_nFd = client;
          event.data.fd = client;
          epoll_ctl(poller, EPOLL_CTL_ADD, client, &event);
          Reply(*connection, "220 sink ready\r\n");
          connections[client] = std::move(connection);
        }
        continue;
      }
      auto found = connections.find(fd);
      if (found == connections.end()) continue;
      Connection& connection = *found->second;
      bool closed = false;
      for (;;) {
        ssize_t got = recv(fd, buffer.get(), 1 << 16, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
          closed = true;
          break;
        }
        if (got < 0) break;
        const char* bytes = buffer.get();
        std::size_t left = static_cast<std::size_t>(got);
        while (left > 0) {
          if (connection.m_bData) {
            bool ended = false;
            std::size_t used = TakeMessageBytes(connection, bytes, left, ended);
            bytes += used;
            left -= used;
            if (ended) {
              connection.m_bData = false;
              m_nBytes += connection.m_nBytes;
              ++m_nMessages;
              Reply(connection, "250 queued\r\n");
            }
            continue;
          }
          const char* end = static_cast<const char*>(std::memchr(bytes, '\n', left));
          std::size_t used = end ? static_cast<std::size_t>(end - bytes) + 1 : left;
          connection.m_strLine.append(bytes, used);
          bytes += used;
          left -= used;
          if (end) {
            Command(connection, connection.m_strLine);
            connection.m_strLine.clear();
          }
        }
      }
      if (closed || connection.m_bQuit) {
        close(fd);
        connections.erase(fd);
      }
    }
  }
}

}  // namespace benchsupport
