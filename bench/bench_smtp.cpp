// Messages per second through CSMTP, one session per message, against a
// local sink, beside a minimal lock-step client in the same run.
//
//   bench_smtp [N] [--same-core]
//
// N messages (default 2000, 2 KB bodies, one recipient) per client, sent in
// short alternating rounds (N/40 messages each) so that both clients see the
// same machine, even one whose load drifts. The sink runs
// on core 1 and the clients on core 0 (all on core 0 with --same-core).
// "ratio: R" is the CSMTP rate over the baseline rate.
//
// Then the same over TLS from the first byte: CSMTP in mode 2, which resumes
// the session of its previous message, beside a lock-step client with the
// same TLS library and a full handshake every time, against a TLS sink (the
// certificates are made with tests/smtp/make_test_certs.sh). It prints how
// many CSMTP handshakes resumed; the last line reads "tls_ratio: R".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include <unistd.h>

#include "smtp/smtp_session.h"
#include "support/baseline_client.h"
#include "support/prepared_message.h"
#include "support/smtp_sink.h"
#include "support/tls_peers.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 40;
constexpr int kReportEvery = 4;  // rounds per printed line
const char kSender[] = "bench@postwing.test";
const char kRecipient[] = "sink@postwing.test";
const char kSubject[] = "Benchmark";


bool SendWithCsmtp(unsigned int port, const std::string& body) {
  CMailItem item;
  item.m_strSender = kSender;
  item.AddRecipientList(kRecipient);
  item.m_strSubject = kSubject;
  item.m_strBody = body;
  CSMTP smtp("127.0.0.1", port);
  return smtp.Connect() && smtp.SendMail(item) && smtp.Disconnect();
}

bool SendWithCsmtpTls(unsigned int port, const std::string& body, const std::string& caFile,
                      int& resumed) {
  CMailItem item;
  item.m_strSender = kSender;
  item.AddRecipientList(kRecipient);
  item.m_strSubject = kSubject;
  item.m_strBody = body;
  CSMTP smtp("127.0.0.1", port);
  smtp.SetSecurity({SecurityTls, caFile});
  const bool ok = smtp.Connect() && smtp.SendMail(item) && smtp.Disconnect();
  if (smtp.TlsResumed()) ++resumed;
  if (!ok) std::fprintf(stderr, "CSMTP over TLS: %s\n", smtp.GetErrorText().c_str());
  return ok;
}

template <typename Send>
double Round(int count, Send send) {
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    if (!send()) {
      std::fprintf(stderr, "a session failed\n");
      std::exit(1);
    }
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Alternating rounds of two clients; the rate of each, in messages per second.
template <typename SendA, typename SendB>
std::pair<double, double> Compare(int total, const char* nameA, SendA a, const char* nameB, SendB b) {
  Round(total / 20, a);  // warm up both paths
  Round(total / 20, b);
  const int perRound = total / kRounds;
  double timeA = 0, timeB = 0, lineA = 0, lineB = 0;
  for (int round = 0; round < kRounds; ++round) {
    // Alternate which client goes first, so neither always follows the other.
    double ta, tb;
    if (round % 2 == 0) {
      ta = Round(perRound, a);
      tb = Round(perRound, b);
    } else {
      tb = Round(perRound, b);
      ta = Round(perRound, a);
    }
    timeA += ta;
    timeB += tb;
    lineA += ta;
    lineB += tb;
    if ((round + 1) % kReportEvery == 0) {
      const int sent = perRound * kReportEvery;
      std::printf("rounds %2d-%2d: %s %7.0f/s  %s %7.0f/s\n", round + 2 - kReportEvery, round + 1,
                  nameA, sent / lineA, nameB, sent / lineB);
      lineA = lineB = 0;
    }
  }
  return {perRound * kRounds / timeA, perRound * kRounds / timeB};
}

}  // namespace

int main(int argc, char** argv) {
  int total = 2000;
  bool sameCore = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--same-core") == 0) {
      sameCore = true;
    } else {
      total = std::max(kRounds, std::atoi(argv[i]));  // at least one per round
    }
  }
  const bool twoCores = std::thread::hardware_concurrency() > 1 && !sameCore;
  benchsupport::CSmtpSink sink(twoCores ? 1 : 0);
  if (!sink.Ok()) {
    std::fprintf(stderr, "cannot start the sink\n");
    return 1;
  }
  const bool pinned = benchsupport::PinThisThread(0);
  const std::string body = benchsupport::BenchmarkBody();
  const benchsupport::CBaselineClient baseline(
      "127.0.0.1", sink.Port(), kSender, kRecipient,
      benchsupport::PreparedMessage(kSender, kRecipient, kSubject, body));
  auto viaBaseline = [&] { return baseline.SendOne(); };
  auto viaCsmtp = [&] { return SendWithCsmtp(sink.Port(), body); };

  std::printf("bench_smtp: %d messages per client, %zu-byte bodies, one recipient\n", total,
              body.size());
  std::printf("sink on core %d, clients on core 0%s\n", twoCores ? 1 : 0,
              pinned ? "" : " (pinning failed)");
  const auto [baselineRate, csmtpRate] =
      Compare(total, "baseline", viaBaseline, "CSMTP", viaCsmtp);
  std::printf("sink accepted %llu messages\n", static_cast<unsigned long long>(sink.Messages()));
  std::printf("baseline: %.0f messages/s\n", baselineRate);
  std::printf("CSMTP:    %.0f messages/s\n", csmtpRate);
  std::printf("ratio: %.3f\n", csmtpRate / baselineRate);

  // The TLS run.
  char certDir[] = "/tmp/bench_smtp_certs.XXXXXX";
  if (!mkdtemp(certDir)) return 1;
  const std::string make = "bash " POSTWING_SOURCE_DIR "/tests/smtp/make_test_certs.sh " +
                           std::string(certDir) + " >/dev/null 2>&1";
  const bool made = std::system(make.c_str()) == 0;
  const std::string caFile = std::string(certDir) + "/ca.pem";
  int exitCode = 0;
  {
    benchsupport::CTlsSink tlsSink(std::string(certDir) + "/server.pem",
                                   std::string(certDir) + "/server.key", twoCores ? 1 : 0);
    if (!made || !tlsSink.Ok()) {
      std::fprintf(stderr, "cannot start the TLS sink (openssl command, certificates)\n");
      exitCode = 1;
    } else {
      const benchsupport::CTlsBaselineClient tlsBaseline(
          tlsSink.Port(), caFile, kSender, kRecipient,
          benchsupport::PreparedMessage(kSender, kRecipient, kSubject, body));
      int resumed = 0;
      auto viaTlsBaseline = [&] { return tlsBaseline.SendOne(); };
      auto viaTlsCsmtp = [&] { return SendWithCsmtpTls(tlsSink.Port(), body, caFile, resumed); };
      std::printf("TLS from the first byte (mode 2), same sink design, same messages\n");
      const auto [tlsBaselineRate, tlsCsmtpRate] =
          Compare(total, "TLS baseline", viaTlsBaseline, "CSMTP", viaTlsCsmtp);
      const int csmtpSessions = total / 20 + total / kRounds * kRounds;
      std::printf("TLS sink accepted %llu messages, %llu resumed handshakes\n",
                  static_cast<unsigned long long>(tlsSink.Messages()),
                  static_cast<unsigned long long>(tlsSink.Resumed()));
      std::printf("CSMTP resumed handshakes: %d of %d\n", resumed, csmtpSessions);
      std::printf("TLS baseline: %.0f messages/s\n", tlsBaselineRate);
      std::printf("TLS CSMTP:    %.0f messages/s\n", tlsCsmtpRate);
      std::printf("tls_ratio: %.3f\n", tlsCsmtpRate / tlsBaselineRate);
    }
  }
  std::filesystem::remove_all(certDir);
  return exitCode;
}
