// bench_attachment: what attachments cost a run.
//
//   bench_attachment [recipients]
//
// (a) A run of 1,000 recipients (by default) of one mail file with a 5 MiB
// attachment beside the same run without it, each message composed from the
// template (encoded once, at Load) and sent in its own session to the local
// sink: time per message of both, their ratio, and the time per message of
// the sessions alone (the composed message sent again, nothing composed),
// which shows that the transfer, not the encoding, takes the time.
// (b) The peak memory of loading, composing and sending one message with a
// 200 MiB attachment, measured in a child process (this program again) and
// printed as a multiple of the attachment's size.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "dispatch/footer.h"
#include "message/mail_template.h"
#include "smtp/smtp_session.h"
#include "support/child_peak.h"
#include "support/smtp_sink.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecipients = 1000;
constexpr std::uintmax_t kAttachment = 5ull << 20;
constexpr std::uintmax_t kLargeAttachment = 200ull << 20;
constexpr int kSinkCore = 1;
constexpr int kClientCore = 0;
const char kSender[] = "sender@example.com";

using Clock = std::chrono::steady_clock;

// A file of `size` bytes that do not compress to nothing.
void WriteBinary(const fs::path& path, std::uintmax_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::string block(1 << 20, '\0');
  unsigned int state = 12345;
  for (char& c : block) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  for (std::uintmax_t left = size; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(left, block.size()));
    std::fwrite(block.data(), 1, n, file);
    left -= n;
  }
  std::fclose(file);
}

message::ComposeOptions Options() {
  message::ComposeOptions options;
  options.m_strSender = kSender;
  options.m_strFooter = MailFooter();
  return options;
}

bool SendOne(CMailItem& item, unsigned int port) {
  CSMTP smtp("127.0.0.1", port);
  if (!smtp.Connect() || !smtp.SendMail(item)) {
    std::fprintf(stderr, "send failed: %s\n", smtp.GetErrorText().c_str());
    return false;
  }
  smtp.Disconnect();
  return true;
}

CMailItem Item() {
  CMailItem item;
  item.m_strSender = kSender;
  item.AddRecipientList("sink@example.com");
  return item;
}

struct RunFigures {
  double m_fLoadMs = 0;       // Load: reading and encoding once
  double m_fPerMessageUs = 0;  // compose and send, per message
  double m_fComposeUs = 0;    // compose alone, per message
  double m_fTransferUs = 0;   // send alone, per message
  bool m_bOk = false;
};

RunFigures MeasureRun(const fs::path& mailFile, unsigned int port, int recipients) {
  RunFigures figures;
  message::CMailTemplate mail;
  std::string error;
  auto start = Clock::now();
  if (!mail.Load(mailFile, error)) {
    std::fprintf(stderr, "load failed: %s\n", error.c_str());
    return figures;
  }
  figures.m_fLoadMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const message::ComposeOptions options = Options();
  double composeUs = 0;
  start = Clock::now();
  for (int i = 0; i < recipients; ++i) {
    const auto composeStart = Clock::now();
    CMailItem item = Item();
    mail.Compose(nullptr, "bench", options, item);
    composeUs += std::chrono::duration<double, std::micro>(Clock::now() - composeStart).count();
    if (!SendOne(item, port)) return figures;
  }
  figures.m_fPerMessageUs = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / recipients;
  figures.m_fComposeUs = composeUs / recipients;
  // The same sessions with nothing composed: one message sent again and again.
  CMailItem item = Item();
  mail.Compose(nullptr, "bench", options, item);
  start = Clock::now();
  for (int i = 0; i < recipients; ++i) {
    CMailItem copy = item;  // shares the pieces; the session builds its header
    if (!SendOne(copy, port)) return figures;
  }
  figures.m_fTransferUs = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / recipients;
  figures.m_bOk = true;
  return figures;
}

int MemoryChild(const char* file, const char* port) {
  message::CMailTemplate mail;
  std::string error;
  if (!mail.Load(file, error)) return 1;
  CMailItem item = Item();
  mail.Compose(nullptr, "bench", Options(), item);
  return SendOne(item, static_cast<unsigned int>(std::atoi(port))) ? 0 : 1;
}


}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--memory-child") == 0) return MemoryChild(argv[2], argv[3]);
  const int recipients = argc > 1 ? std::max(1, std::atoi(argv[1])) : kRecipients;
  benchsupport::CSmtpSink sink(kSinkCore);
  if (!sink.Ok()) {
    std::fprintf(stderr, "no sink\n");
    return 1;
  }
  benchsupport::PinThisThread(kClientCore);
  const fs::path dir = fs::temp_directory_path() / ("bench_attachment-" + std::to_string(getpid()));
  fs::create_directories(dir / "with");
  {
    std::FILE* text = std::fopen((dir / "plain.txt").c_str(), "wb");
    std::FILE* other = std::fopen((dir / "with.txt").c_str(), "wb");
    for (std::FILE* file : {text, other}) {
      if (file == nullptr) return 1;
      for (int i = 0; i < 40; ++i) std::fputs("A line of the mail text, as a short notice would have it.\n", file);
      std::fclose(file);
    }
  }
  WriteBinary(dir / "with" / "price-list.pdf", kAttachment);

  const RunFigures plain = MeasureRun(dir / "plain.txt", sink.Port(), recipients);
  const RunFigures with = MeasureRun(dir / "with.txt", sink.Port(), recipients);
  if (!plain.m_bOk || !with.m_bOk) return 1;
  std::printf("%d recipients, one session each, to the sink on 127.0.0.1\n", recipients);
  std::printf("without attachment: %8.1f us per message (compose %.1f us, transfer alone %.1f us), load %.2f ms\n",
              plain.m_fPerMessageUs, plain.m_fComposeUs, plain.m_fTransferUs, plain.m_fLoadMs);
  std::printf("with 5 MiB attachment: %8.1f us per message (compose %.1f us, transfer alone %.1f us), "
              "load and encode once %.2f ms\n",
              with.m_fPerMessageUs, with.m_fComposeUs, with.m_fTransferUs, with.m_fLoadMs);
  // What is not transfer: composing each message, and the one encoding
  // spread over the run's messages.
  const double encodingUs = with.m_fComposeUs + with.m_fLoadMs * 1000.0 / recipients;
  std::printf("ratio with/without: %.1f; encoding and composing: %.1f us per message = %.2f%% of it, "
              "the rest is the transfer\n",
              with.m_fPerMessageUs / plain.m_fPerMessageUs, encodingUs,
              100.0 * encodingUs / with.m_fPerMessageUs);

  fs::create_directories(dir / "large");
  {
    std::FILE* file = std::fopen((dir / "large.txt").c_str(), "wb");
    if (file == nullptr) return 1;
    std::fputs("The catalogue is attached.\n", file);
    std::fclose(file);
  }
  WriteBinary(dir / "large" / "catalogue.zip", kLargeAttachment);
  const long peak =
      bench::ChildPeakKib(argv[0], {"--memory-child", (dir / "large.txt").string(), std::to_string(sink.Port())});
  if (peak < 0) {
    std::printf("200 MiB attachment: the child run failed\n");
  } else {
    std::printf("200 MiB attachment: peak memory %.0f MiB = %.2f x the attachment\n", peak / 1024.0,
                peak * 1024.0 / static_cast<double>(kLargeAttachment));
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
