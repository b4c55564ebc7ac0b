// TLS on Windows: not available in this build. Every handshake fails with a
// reason the session shows after "安全连接失败: ", so a secure mode never
// falls back to a plain conversation.
#include "platform/tls.h"

#include "platform/codepage.h"

namespace platform {

struct CTlsClient::State {
  std::string m_strReason;
};

CTlsClient::CTlsClient() : m_state(std::make_unique<State>()) {}

CTlsClient::~CTlsClient() = default;

bool CTlsClient::Handshake(CTcpSocket&, const TlsTarget&, int) {
  m_state->m_strReason = FromUtf8("此Windows版本尚不支持TLS, 请使用无加密方式");
  return false;
}

bool CTlsClient::Send(std::initializer_list<std::string_view>, int) { return false; }

long CTlsClient::Receive(char*, std::size_t, int) { return -1; }

bool CTlsClient::TimedOut() const { return false; }

void CTlsClient::Close(int) {}

bool CTlsClient::IsOpen() const { return false; }

bool CTlsClient::Resumed() const { return false; }

const std::string& CTlsClient::FailureReason() const { return m_state->m_strReason; }

}  // namespace platform
