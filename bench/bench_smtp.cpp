// Messages per second through CSMTP, one session per message, against a
// local sink, beside a minimal lock-step client in the same run.
//
//   bench_smtp [N] [--same-core]
//
// N messages (default 2000, 2 KB bodies, one recipient) per client, sent in
// short alternating rounds (N/40 messages each) so that both clients see the
// same machine, even one whose load drifts. The sink runs
// on core 1 and the clients on core 0 (all on core 0 with --same-core). The
// last line reads "ratio: R", the CSMTP rate over the baseline rate.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "smtp/smtp_session.h"
#include "support/baseline_client.h"
#include "support/prepared_message.h"
#include "support/smtp_sink.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 40;
constexpr int kReportEvery = 4;  // rounds per printed line
const char kSender[] = "bench@postwing.test";
const char kRecipient[] = "sink@postwing.test";
const char kSubject[] = "Benchmark";

// 2 KB of text in 32 lines of 64 bytes with LF ends, as bodies read from
// text files have them.
std::string Body() {
  std::string body;
  for (int line = 0; line < 32; ++line) {
    std::string text = "Line " + std::to_string(line) + " of the benchmark body, ";
    text.append(63 - text.size(), 'x');
    body += text + "\n";
  }
  return body;
}

bool SendWithCsmtp(unsigned int port, const std::string& body) {
  CMailItem item;
  item.m_strSender = kSender;
  item.AddRecipientList(kRecipient);
  item.m_strSubject = kSubject;
  item.m_strBody = body;
  CSMTP smtp("127.0.0.1", port);
  return smtp.Connect() && smtp.SendMail(item) && smtp.Disconnect();
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
  const std::string body = Body();
  const benchsupport::CBaselineClient baseline(
      "127.0.0.1", sink.Port(), kSender, kRecipient,
      benchsupport::PreparedMessage(kSender, kRecipient, kSubject, body));
  auto viaBaseline = [&] { return baseline.SendOne(); };
  auto viaCsmtp = [&] { return SendWithCsmtp(sink.Port(), body); };

  std::printf("bench_smtp: %d messages per client, %zu-byte bodies, one recipient\n", total,
              body.size());
  std::printf("sink on core %d, clients on core 0%s\n", twoCores ? 1 : 0,
              pinned ? "" : " (pinning failed)");
  Round(total / 20, viaBaseline);  // warm up both paths
  Round(total / 20, viaCsmtp);

  const int perRound = total / kRounds;
  double baselineTime = 0;
  double csmtpTime = 0;
  double baselineLine = 0;
  double csmtpLine = 0;
  for (int round = 0; round < kRounds; ++round) {
    // Alternate which client goes first, so neither always follows the other.
    double b, c;
    if (round % 2 == 0) {
      b = Round(perRound, viaBaseline);
      c = Round(perRound, viaCsmtp);
    } else {
      c = Round(perRound, viaCsmtp);
      b = Round(perRound, viaBaseline);
    }
    baselineTime += b;
    csmtpTime += c;
    baselineLine += b;
    csmtpLine += c;
    if ((round + 1) % kReportEvery == 0) {
      const int sent = perRound * kReportEvery;
      std::printf("rounds %2d-%2d: baseline %7.0f/s  CSMTP %7.0f/s\n", round + 2 - kReportEvery,
                  round + 1, sent / baselineLine, sent / csmtpLine);
      baselineLine = csmtpLine = 0;
    }
  }
  const double baselineRate = perRound * kRounds / baselineTime;
  const double csmtpRate = perRound * kRounds / csmtpTime;
  std::printf("sink accepted %llu messages\n", static_cast<unsigned long long>(sink.Messages()));
  std::printf("baseline: %.0f messages/s\n", baselineRate);
  std::printf("CSMTP:    %.0f messages/s\n", csmtpRate);
  std::printf("ratio: %.3f\n", csmtpRate / baselineRate);
  return 0;
}
