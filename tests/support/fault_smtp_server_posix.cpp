#include "support/fault_smtp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cctype>
#include <chrono>

#include "platform/net.h"  // the header's listener member, unused here

namespace testsupport {
namespace {

constexpr int kIdleMs = 15000;      // how long the server waits for a silent client
constexpr int kAcceptSliceMs = 100;  // how often the serving thread looks at the stop flag
constexpr int kSplitPauseMs = 1;     // between the bytes of a split reply

struct StepText {
  const char* m_szReply;
  const char* m_szRefusal;
};
constexpr StepText kStepTexts[kSmtpSteps] = {
    {"220 127.0.0.1 fault server ready", "554 5.3.2 not accepting mail now"},
    {"250 127.0.0.1", "550 5.7.1 hello refused"},
    {"250 2.1.0 Ok", "550 5.7.1 sender refused"},
    {"250 2.1.5 Ok", "550 5.1.1 recipient refused"},
    {"354 End data with <CR><LF>.<CR><LF>", "554 5.5.1 data refused"},
    {"250 2.0.0 Ok: queued", "552 5.3.4 message refused"},
    {"221 2.0.0 Bye", "500 5.5.2 quit refused"},
    {"", ""},  // the handshake has no reply of its own
};
// The reply to EHLO before STARTTLS offers it.
const char kHelloOfferingTls[] = "250-127.0.0.1\r\n250-8BITMIME\r\n250 STARTTLS";
const char kStartTlsReply[] = "220 2.0.0 Ready to start TLS";

// TLS record types, and the size of a record's header.
constexpr unsigned char kRecordChangeCipherSpec = 20;
constexpr unsigned char kRecordHandshake = 22;
constexpr unsigned char kRecordApplicationData = 23;
constexpr std::size_t kRecordHeader = 5;

struct Record {
  std::size_t m_nStart;
  std::size_t m_nSize;  // header included
  unsigned char m_type;
};

// The TLS records of a flight the server's end wrote.
std::vector<Record> SplitRecords(const std::string& flight) {
  std::vector<Record> records;
  for (std::size_t at = 0; at + kRecordHeader <= flight.size();) {
    const std::size_t length = (static_cast<unsigned char>(flight[at + 3]) << 8) |
                               static_cast<unsigned char>(flight[at + 4]);
    const std::size_t size = std::min(kRecordHeader + length, flight.size() - at);
    records.push_back({at, size, static_cast<unsigned char>(flight[at])});
    at += size;
  }
  return records;
}

// The record holding the server's certificate: in TLS 1.3 the second
// encrypted record (after EncryptedExtensions), in TLS 1.2 the second
// handshake record (after the ServerHello); -1 when there is none.
int CertificateRecord(const std::vector<Record>& records, bool tls13) {
  const unsigned char type = tls13 ? kRecordApplicationData : kRecordHandshake;
  int seen = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].m_type == type && ++seen == 2) return static_cast<int>(i);
  }
  return -1;
}

// How a turn went: a reply with the step's code went out (whole, split or
// oversized), another reply went out, or the session is over.
enum class Turn { Good, Bad, Ended };

class CConnection {
 public:
  explicit CConnection(int fd) : m_fd(fd) {}
  ~CConnection() {
    Close();
    if (m_ssl) SSL_free(m_ssl);
  }

  // The server's end of a TLS handshake over the connection, through memory
  // buffers so that each flight can be spoiled on its way out; `fault` is
  // the session's handshake fault (None for a sound handshake). False when
  // the handshake did not complete; the connection is then closed.
  bool Handshake(SSL_CTX* ctx, SmtpFault fault, bool tls12, std::mt19937_64& random) {
    m_ssl = SSL_new(ctx);
    if (!m_ssl) {
      Close();
      return false;
    }
    if (tls12) SSL_set_max_proto_version(m_ssl, TLS1_2_VERSION);
    SSL_set_bio(m_ssl, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_accept_state(m_ssl);
    const bool cutByReset = random() % 2 == 0;
    auto cut = [&] {
      if (cutByReset) {
        Reset();
      } else {
        Close();
      }
      return false;
    };
    for (int flight = 1;; ) {
      const int result = SSL_do_handshake(m_ssl);
      std::string out = TakeTlsOutput();
      if (!out.empty()) {
        const std::vector<Record> records = SplitRecords(out);
        const bool tls13 = SSL_version(m_ssl) == TLS1_3_VERSION;
        const bool withFinished = std::any_of(records.begin(), records.end(), [](const Record& r) {
          return r.m_type == kRecordChangeCipherSpec;
        });
        // Up to a random offset inside record `index` (the whole flight when
        // there is no such record).
        auto inside = [&](int index) {
          if (index < 0 || index >= static_cast<int>(records.size())) return out.size();
          const Record& r = records[static_cast<std::size_t>(index)];
          return r.m_nStart + 1 + random() % (r.m_nSize - 1);
        };
        switch (flight == 1 ? fault : SmtpFault::None) {
          case SmtpFault::TlsCutClientHello:
            return cut();
          case SmtpFault::TlsCutServerHello:
            SendRaw(out.substr(0, inside(0)));
            return cut();
          case SmtpFault::TlsCutCertificate:
            SendRaw(out.substr(0, inside(CertificateRecord(records, tls13))));
            return cut();
          case SmtpFault::TlsStall:
            // Any whole records of the flight but its last, then silence.
            SendRaw(out.substr(0, records.empty() ? 0 : records[random() % records.size()].m_nStart));
            AwaitClose();
            return false;
          case SmtpFault::TlsGarbage: {
            // Printable text: never a TLS record header, so the client can
            // tell at once.
            std::string garbage(16 + random() % 300, ' ');
            for (char& c : garbage) c = static_cast<char>('A' + random() % 26);
            SendRaw(garbage + "\r\n");
            AwaitClose();
            return false;
          }
          default:
            break;
        }
        if (fault == SmtpFault::TlsCutFinished && withFinished && !records.empty()) {
          SendRaw(out.substr(0, records.back().m_nStart));
          return cut();
        }
        SendRaw(out);
        ++flight;
      }
      if (result == 1) return true;
      if (SSL_get_error(m_ssl, result) != SSL_ERROR_WANT_READ || !ReceiveTls()) {
        ERR_clear_error();
        Close();
        return false;
      }
    }
  }

  // The next command line without its CR LF; false when the client closed,
  // failed or stayed silent too long (then GaveUp()).
  bool ReadLine(std::string& line) {
    for (;;) {
      const std::size_t end = m_pending.find("\r\n");
      if (end != std::string::npos) {
        line = m_pending.substr(0, end);
        m_pending.erase(0, end + 2);
        return true;
      }
      if (!ReadMore()) return false;
    }
  }
  // The message after 354 up to its final dot line, with the CR LF before
  // that line, dots removed from the lines that carry an extra one.
  bool ReadMessage(std::string& message) {
    for (;;) {
      std::size_t end = m_pending.rfind(".\r\n", 0) == 0 ? 0 : m_pending.find("\r\n.\r\n");
      if (end != std::string::npos) {
        end = end == 0 ? 0 : end + 2;
        const std::string raw = m_pending.substr(0, end);
        m_pending.erase(0, end + 3);
        message.clear();
        for (std::size_t start = 0; start < raw.size();) {
          std::size_t next = raw.find("\r\n", start);
          next = next == std::string::npos ? raw.size() : next + 2;
          message.append(raw, start + (raw[start] == '.' ? 1 : 0), next - start - (raw[start] == '.' ? 1 : 0));
          start = next;
        }
        return true;
      }
      if (!ReadMore()) return false;
    }
  }
  void Send(const std::string& bytes) {
    if (!m_ssl) {
      SendRaw(bytes);
      return;
    }
    if (!bytes.empty() && SSL_write(m_ssl, bytes.data(), static_cast<int>(bytes.size())) <= 0) ERR_clear_error();
    SendRaw(TakeTlsOutput());
  }
  void SendRaw(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size() && m_fd >= 0;) {
      const ssize_t n = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }
  void SendSplit(const std::string& bytes) {
    for (const char c : bytes) {
      Send(std::string(1, c));
      std::this_thread::sleep_for(std::chrono::milliseconds(kSplitPauseMs));
    }
  }
  // Waits until the client closes, reading what it sends.
  void AwaitClose() {
    while (ReadMore()) m_pending.clear();
  }
  void Reset() {
    const linger abort{1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Close();
  }
  void Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
  }
  bool GaveUp() const { return m_bGaveUp; }

 private:
  // More of the client's text: straight from the socket, or decrypted.
  bool ReadMore() {
    if (!m_ssl) return ReceiveRaw(m_pending);
    char buffer[16384];
    for (;;) {
      const int n = SSL_read(m_ssl, buffer, sizeof buffer);
      if (n > 0) {
        m_pending.append(buffer, static_cast<std::size_t>(n));
        return true;
      }
      const int error = SSL_get_error(m_ssl, n);
      ERR_clear_error();
      SendRaw(TakeTlsOutput());
      if (error != SSL_ERROR_WANT_READ || !ReceiveTls()) return false;
    }
  }
  // One receive from the socket into the TLS end's input.
  bool ReceiveTls() {
    std::string bytes;
    if (!ReceiveRaw(bytes)) return false;
    BIO_write(SSL_get_rbio(m_ssl), bytes.data(), static_cast<int>(bytes.size()));
    return true;
  }
  // What the TLS end wrote, to go out on the socket.
  std::string TakeTlsOutput() {
    std::string out;
    BIO* wbio = SSL_get_wbio(m_ssl);
    char buffer[16384];
    for (int n; (n = BIO_read(wbio, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
    return out;
  }
  bool ReceiveRaw(std::string& into) {
    if (m_fd < 0) return false;
    pollfd p{m_fd, POLLIN, 0};
    const int ready = poll(&p, 1, kIdleMs);
    if (ready == 0) m_bGaveUp = true;
    if (ready <= 0) return false;
    char buffer[16384];
    const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  int m_fd;
  SSL* m_ssl = nullptr;
  std::string m_pending;
  bool m_bGaveUp = false;
};

}  // namespace

const char* SmtpFaultName(SmtpFault fault) {
  static const char* const kNames[kSmtpFaultKinds] = {
      "none",  "close", "reset", "stall", "garbage", "oversized", "split", "refuse",
      "tls-cut-after-client-hello", "tls-cut-in-server-hello", "tls-cut-in-certificate",
      "tls-cut-before-finished", "tls-stall", "tls-garbage"};
  return kNames[static_cast<int>(fault)];
}

const char* SmtpStepName(SmtpStep step) {
  static const char* const kNames[kSmtpSteps] = {"greeting", "hello",    "mail", "rcpt",
                                                 "data",     "data-end", "quit", "handshake"};
  return kNames[static_cast<int>(step)];
}

std::uint64_t Digest(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return hash;
}

CFaultSmtpServer::CFaultSmtpServer(const FaultPlan& plan, unsigned int port)
    : m_plan(plan), m_random(plan.m_nSeed) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return;
  }
  if (!plan.m_strCertFile.empty()) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, plan.m_strCertFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, plan.m_strKeyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
      SSL_CTX_free(ctx);
      close(fd);
      return;
    }
    // Every handshake a full one, so that each has a certificate to cut.
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET);
    SSL_CTX_set_num_tickets(ctx, 0);
    m_tlsContext = ctx;
  }
  m_listener = fd;
  m_nPort = ntohs(address.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

CFaultSmtpServer::~CFaultSmtpServer() {
  m_bStop = true;
  if (m_thread.joinable()) m_thread.join();
  for (std::thread& session : m_sessionThreads) session.join();
  if (m_listener >= 0) close(m_listener);
  SSL_CTX_free(static_cast<SSL_CTX*>(m_tlsContext));
}

void CFaultSmtpServer::BeginRun(int run, SmtpOpening opening) {
  m_nRun = run;
  m_nOpening = static_cast<int>(opening);
}

void CFaultSmtpServer::PlanFault(ServedSession& session) {
  if (std::uniform_real_distribution<double>(0, 1)(m_random) >= m_plan.m_dRate) return;
  // A session that speaks TLS gets a handshake fault half of the time.
  if (session.m_opening != SmtpOpening::Plain && m_random() % 2 == 0) {
    const int kinds = kSmtpFaultKinds - kFirstTlsFault;
    int kind = kFirstTlsFault + static_cast<int>(m_random() % static_cast<unsigned>(kinds));
    if (!m_plan.m_bStalls && kind == static_cast<int>(SmtpFault::TlsStall)) kind = static_cast<int>(SmtpFault::TlsCutFinished);
    session.m_fault = static_cast<SmtpFault>(kind);
    session.m_step = SmtpStep::Handshake;
    return;
  }
  const int kinds = kFirstTlsFault - 1 - (m_plan.m_bStalls ? 0 : 1);
  int kind = 1 + static_cast<int>(m_random() % static_cast<unsigned>(kinds));
  if (!m_plan.m_bStalls && kind >= static_cast<int>(SmtpFault::Stall)) ++kind;
  session.m_fault = static_cast<SmtpFault>(kind);
  session.m_step = static_cast<SmtpStep>(m_random() % static_cast<int>(SmtpStep::Handshake));
}

void CFaultSmtpServer::Serve() {
  while (!m_bStop) {
    pollfd p{m_listener, POLLIN, 0};
    if (poll(&p, 1, kAcceptSliceMs) <= 0) continue;
    const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++m_nAccepted;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ServedSession session;
    session.m_nRun = m_nRun;
    session.m_opening = m_tlsContext ? static_cast<SmtpOpening>(m_nOpening.load()) : SmtpOpening::Plain;
    session.m_bTls12 = session.m_opening != SmtpOpening::Plain && m_random() % 4 == 0;
    PlanFault(session);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_nActive;
    }
    auto serve = [this, fd](ServedSession served) {
      Play(fd, served);
      std::lock_guard<std::mutex> lock(m_mutex);
      m_done.push_back(std::move(served));
      --m_nActive;
      m_changed.notify_all();
    };
    if (m_plan.m_bConcurrent) {
      {
        // The threads of sessions all ended are joined as the next begins.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nActive == 1) {
          for (std::thread& ended : m_sessionThreads) ended.join();
          m_sessionThreads.clear();
        }
      }
      m_sessionThreads.emplace_back(serve, std::move(session));
    } else {
      serve(std::move(session));
    }
  }
}

void CFaultSmtpServer::Play(int fd, ServedSession& session) {
  CConnection peer(fd);
  // One turn of the server: the step's reply, or the session's fault when
  // this is its step and it has not happened yet.
  auto turn = [&](SmtpStep step) {
    const StepText& text = kStepTexts[static_cast<int>(step)];
    const bool offerTls = step == SmtpStep::Hello && session.m_opening == SmtpOpening::StartTls && !session.m_bTlsDone;
    const std::string reply = std::string(offerTls ? kHelloOfferingTls : text.m_szReply) + "\r\n";
    if (session.m_fault == SmtpFault::None || session.m_step != step || session.m_bInjected) {
      peer.Send(reply);
      return Turn::Good;
    }
    session.m_bInjected = true;
    switch (session.m_fault) {
      case SmtpFault::Close:
        peer.Close();
        return Turn::Ended;
      case SmtpFault::Reset:
        peer.Reset();
        return Turn::Ended;
      case SmtpFault::Stall:
        peer.AwaitClose();
        return Turn::Ended;
      case SmtpFault::Garbage: {
        std::string garbage(1 + m_random() % 300, '\0');
        for (char& c : garbage) c = static_cast<char>(m_random());
        // Never a text a client could read as a reply code.
        garbage[0] = static_cast<char>('A' + m_random() % 26);
        peer.Send(garbage + "\r\n");
        return Turn::Bad;
      }
      case SmtpFault::Oversized: {
        const std::string code = reply.substr(0, 3);
        std::string big;
        const std::size_t size = 1200 + m_random() % 5000;
        while (big.size() < size) big += code + "-" + std::string(70, 'x') + "\r\n";
        peer.Send(big + reply);
        return Turn::Good;
      }
      case SmtpFault::Split:
        peer.SendSplit(reply);
        return Turn::Good;
      case SmtpFault::Refuse:
      default:
        peer.Send(std::string(text.m_szRefusal) + "\r\n");
        return Turn::Bad;
    }
  };

  // The handshake, its fault when it has one.
  auto handshake = [&] {
    const bool faulty = IsTlsFault(session.m_fault);
    session.m_bInjected = session.m_bInjected || faulty;
    session.m_bTlsDone = peer.Handshake(static_cast<SSL_CTX*>(m_tlsContext),
                                        faulty ? session.m_fault : SmtpFault::None, session.m_bTls12, m_random);
    session.m_bServerGaveUp = peer.GaveUp();
    return session.m_bTlsDone;
  };
  if (session.m_opening == SmtpOpening::Tls && !handshake()) return;
  Turn greeting = turn(SmtpStep::Greeting);
  if (greeting == Turn::Ended) return;
  std::string line;
  while (peer.ReadLine(line)) {
    std::string verb = line.substr(0, 4);
    for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Turn result = Turn::Good;
    if (verb == "HELO" || verb == "EHLO") {
      result = turn(SmtpStep::Hello);
    } else if (verb == "MAIL") {
      session.m_recipients.clear();
      result = turn(SmtpStep::Mail);
    } else if (verb == "RCPT") {
      const std::size_t open = line.find('<');
      const std::size_t close = line.rfind('>');
      const std::string& refused = m_plan.m_strRefusedPrefix;
      if (!refused.empty() && open != std::string::npos && line.compare(open + 1, refused.size(), refused) == 0) {
        session.m_refused.push_back(line.substr(open + 1, close - open - 1));
        peer.Send("550 5.1.1 User unknown\r\n");
        continue;
      }
      result = turn(SmtpStep::Rcpt);
      if (result == Turn::Good && open != std::string::npos && close != std::string::npos && open < close) {
        session.m_recipients.push_back(line.substr(open + 1, close - open - 1));
      }
    } else if (verb == "DATA") {
      if (session.m_recipients.empty()) {
        peer.Send("554 5.5.1 no valid recipients\r\n");
        continue;
      }
      result = turn(SmtpStep::Data);
      std::string message;
      if (result == Turn::Good) {
        if (!peer.ReadMessage(message)) break;
        result = turn(SmtpStep::DataEnd);
        if (result == Turn::Good) {
          session.m_bCommitted = true;
          const std::size_t blank = message.find("\r\n\r\n");
          session.m_nBodyDigest = Digest(blank == std::string::npos ? std::string() : message.substr(blank + 4));
        }
      }
    } else if (verb == "QUIT") {
      if (turn(SmtpStep::Quit) != Turn::Ended) peer.Close();
      return;
    } else if (verb == "STAR" && session.m_opening == SmtpOpening::StartTls && !session.m_bTlsDone) {
      peer.Send(std::string(kStartTlsReply) + "\r\n");
      if (!handshake()) return;
    } else if (verb == "RSET" || verb == "NOOP") {
      peer.Send("250 2.0.0 Ok\r\n");
    } else {
      peer.Send("500 5.5.2 unknown command\r\n");
    }
    if (result == Turn::Ended) return;
  }
  session.m_bServerGaveUp = peer.GaveUp();
}

}  // namespace testsupport
