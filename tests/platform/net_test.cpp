#include "platform/net.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using platform::CTcpListener;
using platform::CTcpSocket;

// A connected pair: a client socket and the server's end of it.
struct Pair {
  CTcpListener listener;
  CTcpSocket client;
  CTcpSocket server;

  Pair() {
    EXPECT_TRUE(listener.Listen("127.0.0.1", 0));
    EXPECT_TRUE(client.Create());
    EXPECT_TRUE(client.Connect("127.0.0.1", listener.Port(), 2000));
    EXPECT_TRUE(listener.Accept(server, 2000));
  }
};

// Reads until the peer closes or `limit` bytes have come.
std::string ReadAll(CTcpSocket& socket, std::size_t limit = std::string::npos) {
  std::string all;
  char buffer[65536];
  while (all.size() < limit) {
    long got = socket.Receive(buffer, sizeof buffer, 5000);
    if (got <= 0) break;
    all.append(buffer, static_cast<std::size_t>(got));
  }
  return all;
}

class WaitHookCounter {
 public:
  WaitHookCounter() {
    platform::SetNetWaitHook([this] { ++m_nCalls; });
  }
  ~WaitHookCounter() { platform::SetNetWaitHook({}); }
  int Calls() const { return m_nCalls; }

 private:
  int m_nCalls = 0;
};

TEST(NetTest, GatheredSendArrivesInOrderAndCloseReadsAsZero) {
  Pair pair;
  ASSERT_TRUE(pair.client.Send({"HELO", "", " me\r\n", std::string_view("\0x", 2)}, 1000));
  EXPECT_EQ(ReadAll(pair.server, 11), std::string("HELO me\r\n\0x", 11));
  pair.client.Close();
  char byte;
  EXPECT_EQ(pair.server.Receive(&byte, 1, 1000), 0);
  EXPECT_FALSE(pair.server.TimedOut());
}

TEST(NetTest, ReceiveTimesOutCallingTheHookOnlyForClientSockets) {
  Pair pair;
  WaitHookCounter hook;
  char byte;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(pair.client.Receive(&byte, 1, 300), -1);
  EXPECT_TRUE(pair.client.TimedOut());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 290ms);
  const int clientCalls = hook.Calls();
  EXPECT_GE(clientCalls, 2);
  EXPECT_EQ(pair.server.Receive(&byte, 1, 200), -1);
  EXPECT_TRUE(pair.server.TimedOut());
  EXPECT_EQ(hook.Calls(), clientCalls);
  // Data that is already there is read without waiting for a slice.
  ASSERT_TRUE(pair.server.Send("x", 1000));
  EXPECT_EQ(pair.client.Receive(&byte, 1, 1000), 1);
  EXPECT_FALSE(pair.client.TimedOut());
}

TEST(NetTest, ConnectFailures) {
  CTcpListener probe;
  ASSERT_TRUE(probe.Listen("127.0.0.1", 0));
  const unsigned int port = probe.Port();
  probe.Close();
  CTcpSocket socket;
  EXPECT_FALSE(socket.Connect("127.0.0.1", port, 1000));  // not created yet
  ASSERT_TRUE(socket.Create());
  EXPECT_FALSE(socket.Connect("127.0.0.1", port, 1000));
  EXPECT_FALSE(socket.TimedOut());
  ASSERT_TRUE(socket.Create());
  EXPECT_FALSE(socket.Connect("", port, 1000));
  ASSERT_TRUE(socket.Create());
  EXPECT_FALSE(socket.Connect("127.0.0.1", 70000, 1000));
}

TEST(NetTest, ConnectsByHostName) {
  CTcpListener listener;
  ASSERT_TRUE(listener.Listen("127.0.0.1", 0));
  CTcpSocket socket;
  ASSERT_TRUE(socket.Create());
  EXPECT_TRUE(socket.Connect("localhost", listener.Port(), 2000));
}

TEST(NetTest, LargeSendSurvivesPartialWrites) {
  Pair pair;
  std::string first(5'000'000, 'a');
  std::string second(3'000'001, 'b');
  for (std::size_t i = 0; i < first.size(); i += 997) first[i] = static_cast<char>(i);
  std::string received;
  std::thread reader([&] {
    std::this_thread::sleep_for(100ms);  // let the send buffer fill first
    received = ReadAll(pair.server, first.size() + second.size() + 3);
  });
  EXPECT_TRUE(pair.client.Send({first, "\r\n", second, "."}, 5000));
  reader.join();
  EXPECT_TRUE(received == first + "\r\n" + second + ".");
}

TEST(NetTest, SendGivesUpWhenThePeerNeverReads) {
  Pair pair;
  const std::string block(64 << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(pair.client.Send(block, 200));
  EXPECT_TRUE(pair.client.TimedOut());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

// The abandon check, asked between a client's wait slices with how long the
// socket has waited: a wait it gives up on ends at once as an abandoned
// time-out, for a receive and for a send alike; the server's end never asks.
TEST(NetTest, AbandonCheckEndsAClientWaitAtOnce) {
  struct Case {
    const char* m_szName;
    std::chrono::milliseconds m_giveUpAfter;  // waited; a huge value never gives up
    bool m_bSend;
    bool m_bAbandoned;
  };
  const Case cases[] = {
      {"receive, at once", 0ms, false, true},
      {"receive, after 200 ms", 200ms, false, true},
      {"receive, never", 100000ms, false, false},
      {"send, after 200 ms", 200ms, true, true},
  };
  constexpr int kTimeoutMs = 1500;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_szName);
    Pair pair;
    std::chrono::milliseconds longest{0};
    platform::SetNetWaitAbandon([&](std::chrono::milliseconds waited) {
      longest = std::max(longest, waited);
      return waited >= c.m_giveUpAfter;
    });
    const auto start = std::chrono::steady_clock::now();
    char byte;
    if (c.m_bSend) {
      EXPECT_FALSE(pair.client.Send(std::string(64 << 20, 'x'), kTimeoutMs));
    } else {
      EXPECT_EQ(pair.client.Receive(&byte, 1, kTimeoutMs), -1);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(pair.client.TimedOut());
    EXPECT_EQ(pair.client.Abandoned(), c.m_bAbandoned);
    if (c.m_bAbandoned) {
      EXPECT_GE(took, c.m_giveUpAfter);
      EXPECT_LT(took, c.m_giveUpAfter + 800ms);
    } else {
      EXPECT_GE(took, std::chrono::milliseconds(kTimeoutMs - 10));
    }
    EXPECT_GE(longest, c.m_giveUpAfter < 100000ms ? c.m_giveUpAfter : 1000ms);
    // The server's end waits its whole time without asking (after a
    // receive: the start of a send is there to read).
    if (!c.m_bSend) {
      longest = 0ms;
      EXPECT_EQ(pair.server.Receive(&byte, 1, 300), -1);
      EXPECT_FALSE(pair.server.Abandoned());
      EXPECT_EQ(longest, 0ms);
    }
    platform::SetNetWaitAbandon({});
  }
}

}  // namespace
