// Time per message on a slow link: a proxy on 127.0.0.1 delays every chunk
// by 25 ms each way (a 50 ms round trip) in front of a sink that speaks
// STARTTLS and takes a login.
//
//   bench_latency [N] [--delay MS]
//
// N messages (default 400, 2 KB bodies, one recipient) per row:
//   1. mode 0, one session per message (HELO, AUTH LOGIN, no TLS);
//   2. mode 1 (STARTTLS, login) with reuse 20, one connection at a time;
//   3. mode 1 with reuse 20 and 8 connections, as a run keeps them busy
//      (CConnectionPool: the messages handed over in order, results taken
//      on the run's thread);
//   4. the baseline: a minimal client over STARTTLS with login that keeps its
//      connection and waits for each reply (no pipelining), 8 side by side.
// Row 2 also reads as round trips per message (its time over the round
// trip). The last line reads "latency_ratio: R", R = row 4 / row 3.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "dispatch/connection_pool.h"
#include "dispatch/message_send.h"
#include "support/prepared_message.h"
#include "support/starttls_sink.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultMessages = 400;
constexpr int kDefaultDelayMs = 25;
constexpr int kSideBySide = 8;
constexpr int kReuse = 20;
const char kSender[] = "bench@postwing.test";
const char kRecipient[] = "sink@postwing.test";
const char kSubject[] = "Benchmark";


MessageTarget Target(unsigned int port, int security, const std::string& caFile) {
  MessageTarget target;
  target.m_account.m_strServer = "127.0.0.1";
  target.m_account.m_strMail = kSender;
  target.m_account.m_bAuth = 1;
  target.m_account.m_strName = "bench";
  target.m_account.m_strPassword = "secret";
  target.m_account.m_nSecurity = security;
  target.m_account.m_nReuse = kReuse;
  target.m_account.m_strCaFile = caFile;
  target.m_nPort = port;
  return target;
}

// Sends `count` messages through one sender; false at the first failure.
bool SendMany(const MessageTarget& target, int count, const std::string& body, bool ownSessions) {
  CMessageSender sender;
  for (int i = 0; i < count; ++i) {
    CMailItem item;
    item.AddRecipientList(kRecipient);
    item.m_strSubject = kSubject;
    item.m_strBody = body;
    std::string error;
    const bool sent = ownSessions ? SendOneMessage(target, item, error)
                                  : sender.Send(target, item, error);
    if (!sent) {
      std::fprintf(stderr, "message %d: %s\n", i, error.c_str());
      return false;
    }
  }
  return true;
}

// Sends `count` messages through a pool of `connections`, as a run does;
// false when any failed.
bool SendThroughPool(const MessageTarget& target, int connections, int count,
                     const std::string& body) {
  bool ok = true;
  auto take = [&ok](const std::vector<PoolResult>& results) {
    for (const PoolResult& result : results) {
      if (!result.m_bSent) {
        std::fprintf(stderr, "message %llu: %s\n", static_cast<unsigned long long>(result.m_nTag),
                     result.m_strError.c_str());
        ok = false;
      }
    }
  };
  CConnectionPool pool(target, connections, [] { return 0; }, take);
  for (int i = 0; i < count; ++i) {
    pool.WaitForRoom();
    CMailItem item;
    item.AddRecipientList(kRecipient);
    item.m_strSubject = kSubject;
    item.m_strBody = body;
    pool.Submit(static_cast<std::uint64_t>(i), std::move(item));
  }
  pool.Drain();
  pool.Finish();
  return ok;
}

// Runs `work(share)` on `ways` threads, the messages shared out; seconds.
double SideBySide(int ways, int total, const std::function<bool(int)>& work, bool& ok) {
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> threads;
  std::vector<char> results(static_cast<std::size_t>(ways), 0);
  for (int w = 0; w < ways; ++w) {
    const int share = total / ways + (w < total % ways ? 1 : 0);
    threads.emplace_back([&, w, share] { results[static_cast<std::size_t>(w)] = work(share); });
  }
  for (std::thread& thread : threads) thread.join();
  for (char result : results) ok = ok && result != 0;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int total = kDefaultMessages;
  int delayMs = kDefaultDelayMs;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--delay") == 0 && i + 1 < argc) {
      delayMs = std::max(0, std::atoi(argv[++i]));
    } else {
      total = std::max(kSideBySide, std::atoi(argv[i]));
    }
  }
  char certDir[] = "/tmp/bench_latency_certs.XXXXXX";
  if (!mkdtemp(certDir)) return 1;
  const std::string make = "bash " POSTWING_SOURCE_DIR "/tests/smtp/make_test_certs.sh " +
                           std::string(certDir) + " >/dev/null 2>&1";
  const std::string caFile = std::string(certDir) + "/ca.pem";
  int status = 1;
  if (std::system(make.c_str()) == 0) {
    benchsupport::CStartTlsSink sink(std::string(certDir) + "/server.pem",
                                     std::string(certDir) + "/server.key");
    benchsupport::CDelayProxy proxy(sink.Port(), delayMs);
    if (!sink.Ok() || !proxy.Ok()) {
      std::fprintf(stderr, "cannot start the sink or the proxy\n");
    } else {
      const double roundTrip = 2.0 * delayMs / 1000.0;
      const std::string body = benchsupport::BenchmarkBody();
      std::printf("bench_latency: %d messages per row, %zu-byte bodies, one-way delay %d ms\n",
                  total, body.size(), delayMs);
      bool ok = true;
      const MessageTarget plain = Target(proxy.Port(), 0, caFile);
      const MessageTarget startTls = Target(proxy.Port(), 1, caFile);
      auto perMessage = [&](double seconds) { return 1000.0 * seconds / total; };
      const double row1 = SideBySide(1, total, [&](int n) { return SendMany(plain, n, body, true); }, ok);
      std::printf("1. mode 0, one session per message:      %8.1f ms per message\n", perMessage(row1));
      const double row2 =
          SideBySide(1, total, [&](int n) { return SendMany(startTls, n, body, false); }, ok);
      std::printf("2. mode 1, reuse %d, one connection:     %8.1f ms per message, %.2f round trips\n",
                  kReuse, perMessage(row2), row2 / total / (roundTrip > 0 ? roundTrip : 1));
      const double row3 = SideBySide(
          1, total, [&](int n) { return SendThroughPool(startTls, kSideBySide, n, body); }, ok);
      std::printf("3. mode 1, reuse %d, %d connections:      %8.1f ms per message\n", kReuse,
                  kSideBySide, perMessage(row3));
      const std::string prepared =
          benchsupport::PreparedMessage(kSender, kRecipient, kSubject, body);
      const double row4 = SideBySide(kSideBySide, total, [&](int n) {
        benchsupport::CReusingBaselineClient client(proxy.Port(), caFile, kSender, kRecipient,
                                                    prepared);
        for (int i = 0; i < n; ++i) {
          if (!client.SendOne()) return false;
        }
        client.Finish();
        return true;
      }, ok);
      std::printf("4. baseline, reusing, no pipelining, %d:  %8.1f ms per message\n", kSideBySide,
                  perMessage(row4));
      std::printf("sink: %llu messages over %llu connections\n",
                  static_cast<unsigned long long>(sink.Messages()),
                  static_cast<unsigned long long>(sink.Connections()));
      if (!ok) std::fprintf(stderr, "some messages failed\n");
      std::printf("latency_ratio: %.2f\n", row4 / row3);
      status = ok ? 0 : 1;
    }
  } else {
    std::fprintf(stderr, "cannot make the certificates (openssl command)\n");
  }
  std::filesystem::remove_all(certDir);
  return status;
}
