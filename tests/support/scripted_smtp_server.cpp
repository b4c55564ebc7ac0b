#include "support/scripted_smtp_server.h"

#include <algorithm>
#include <stdexcept>

namespace testsupport {
namespace {

constexpr int kPollMs = 10;
constexpr int kSendTimeoutMs = 10000;
const char kMessageEnd[] = "\r\n.\r\n";

}  // namespace

CSmtpScript& CSmtpScript::Send(std::string bytes) {
  m_steps.push_back({Kind::Send, std::move(bytes), {}});
  return *this;
}

CSmtpScript& CSmtpScript::Await() {
  m_steps.push_back({Kind::Await, {}, {}});
  return *this;
}

CSmtpScript& CSmtpScript::AwaitMessage() {
  m_steps.push_back({Kind::AwaitMessage, {}, {}});
  return *this;
}

CSmtpScript& CSmtpScript::Pause(std::chrono::milliseconds pause) {
  m_steps.push_back({Kind::Pause, {}, pause});
  return *this;
}

CSmtpScript& CSmtpScript::Close() {
  m_steps.push_back({Kind::Close, {}, {}});
  return *this;
}

CSmtpScript CSmtpScript::Replies(std::initializer_list<std::string> lines) {
  CSmtpScript script;
  bool first = true;
  for (const std::string& line : lines) {
    if (first) {
      script.Line(line);
    } else {
      script.Reply(line);
    }
    first = false;
  }
  return script;
}

CSmtpScript CSmtpScript::Accepting(int recipients, bool login) {
  CSmtpScript script;
  script.Line("220 scripted.test ready").Reply("250 hello");
  if (login) script.Reply("334 VXNlcm5hbWU6").Reply("334 UGFzc3dvcmQ6").Reply("235 welcome");
  script.Reply("250 sender ok");
  for (int i = 0; i < recipients; ++i) script.Reply("250 recipient ok");
  script.Reply("354 go ahead").Reply("250 queued").Reply("221 bye");
  return script;
}

CSmtpScript CSmtpScript::SlowAccepting(std::chrono::milliseconds silence) {
  CSmtpScript script = Accepting();
  script.m_steps.insert(script.m_steps.begin(), Step{Kind::Pause, {}, silence});
  return script;
}

CScriptedSmtpServer::CScriptedSmtpServer(std::vector<CSmtpScript> scripts, unsigned int port)
    : m_scripts(std::move(scripts)) {
  if (m_scripts.empty()) m_scripts.emplace_back();
  if (!m_listener.Listen("127.0.0.1", port)) {
    throw std::runtime_error("scripted SMTP server: cannot listen on 127.0.0.1");
  }
  m_thread = std::thread([this] { Serve(); });
}

CScriptedSmtpServer::~CScriptedSmtpServer() {
  m_bStop = true;
  m_thread.join();
}

int CScriptedSmtpServer::SessionCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_sessions.size());
}

bool CScriptedSmtpServer::WaitForSessionEnd(int index, std::chrono::milliseconds wait) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, wait, [&] {
    return index >= 0 && static_cast<std::size_t>(index) < m_sessions.size() &&
           m_sessions[index].m_bEnded;
  });
}

std::string CScriptedSmtpServer::Received(int index, std::chrono::milliseconds wait) const {
  WaitForSessionEnd(index, wait);
  return ReceivedSoFar(index);
}

std::string CScriptedSmtpServer::ReceivedSoFar(int index) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index < 0 || static_cast<std::size_t>(index) >= m_sessions.size()) return "";
  return m_sessions[index].m_strReceived;
}

std::string CScriptedSmtpServer::ReceivedMessage(int index) const {
  const std::string received = Received(index);
  std::size_t data = received.find("DATA\r\n");
  if (data == std::string::npos) return "";
  data += 6;
  std::size_t end = received.find(kMessageEnd, data);
  if (end == std::string::npos) return "";
  return received.substr(data, end + 2 - data);
}

std::chrono::steady_clock::time_point CScriptedSmtpServer::SessionStart(int index) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index < 0 || index >= static_cast<int>(m_sessions.size())) return {};
  return m_sessions[static_cast<std::size_t>(index)].m_started;
}

bool CScriptedSmtpServer::WaitForSessions(int count, std::chrono::milliseconds wait) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, wait,
                            [&] { return static_cast<int>(m_sessions.size()) >= count; });
}

unsigned int CScriptedSmtpServer::UnusedPort() {
  platform::CTcpListener probe;
  if (!probe.Listen("127.0.0.1", 0)) return 0;
  return probe.Port();
}

void CScriptedSmtpServer::Serve() {
  while (!m_bStop) {
    platform::CTcpSocket peer;
    if (!m_listener.Accept(peer, kPollMs)) continue;
    int index = 0;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      index = static_cast<int>(m_sessions.size());
      m_sessions.emplace_back();
      m_sessions.back().m_started = std::chrono::steady_clock::now();
    }
    m_changed.notify_all();
    const std::size_t last = m_scripts.size() - 1;
    Play(peer, m_scripts[std::min<std::size_t>(static_cast<std::size_t>(index), last)], index);
    peer.Close();
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_sessions[index].m_bEnded = true;
    }
    m_changed.notify_all();
  }
}

void CScriptedSmtpServer::Play(platform::CTcpSocket& peer, const CSmtpScript& script, int index) {
  std::string pending;  // received bytes not yet taken as a turn
  bool message = false;  // the next turn is a message after 354
  for (const CSmtpScript::Step& step : script.m_steps) {
    switch (step.m_kind) {
      case CSmtpScript::Kind::Send:
        peer.Send(step.m_strBytes, kSendTimeoutMs);
        message = step.m_strBytes.compare(0, 3, "354") == 0;
        break;
      case CSmtpScript::Kind::AwaitMessage:
        message = true;
        [[fallthrough]];
      case CSmtpScript::Kind::Await: {
        const std::string end = message ? kMessageEnd : "\r\n";
        std::size_t from = 0;
        std::size_t at;
        while ((at = pending.find(end, from)) == std::string::npos) {
          from = pending.size() < end.size() ? 0 : pending.size() - end.size() + 1;
          if (!ReadMore(peer, pending, index)) return;
        }
        pending.erase(0, at + end.size());
        message = false;
        break;
      }
      case CSmtpScript::Kind::Pause: {
        const auto until = std::chrono::steady_clock::now() + step.m_pause;
        while (!m_bStop && std::chrono::steady_clock::now() < until) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        break;
      }
      case CSmtpScript::Kind::Close:
        return;
    }
  }
  while (ReadMore(peer, pending, index)) {
  }
}

bool CScriptedSmtpServer::ReadMore(platform::CTcpSocket& peer, std::string& pending, int index) {
  char buffer[65536];
  for (;;) {
    if (m_bStop) return false;
    long got = peer.Receive(buffer, sizeof buffer, kPollMs);
    if (got == 0 || (got < 0 && !peer.TimedOut())) return false;
    if (got < 0) continue;
    pending.append(buffer, static_cast<std::size_t>(got));
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_sessions[index].m_strReceived.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
  }
}

}  // namespace testsupport
