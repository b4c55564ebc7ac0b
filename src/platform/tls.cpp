// TLS over the program's sockets with OpenSSL: the system's own on Linux, a
// static build of the same source on Windows. Only the trusted authorities of
// the system and OpenSSL's start-up differ between the two (tls_trust.h).
//
// OpenSSL reads and writes through a BIO of our own that calls CTcpSocket, so
// every wait keeps the socket's slices, wait hook and time-outs. One SSL_CTX
// is kept per set of extra authorities; sessions arrive through the new-session
// callback (TLS 1.3 tickets come after the handshake, with the first read) and
// are kept per server until a later handshake to the same server uses them.
#include "platform/tls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>
#include <map>
#include <mutex>
#include <utility>

#include "platform/codepage.h"
#include "platform/textfile.h"
#include "platform/tls_trust.h"

namespace platform {
namespace {

// Application data is written in pieces of at most this size; smaller parts
// are gathered into one record.
constexpr std::size_t kGatherLimit = 16 * 1024;

struct ReasonTexts {
  std::string m_strNameMismatch = FromUtf8("证书与服务器名称不符");
  std::string m_strUntrusted = FromUtf8("证书不受信任");
  std::string m_strExpired = FromUtf8("证书已过期");
  std::string m_strNotYetValid = FromUtf8("证书尚未生效");
  std::string m_strBadCertificate = FromUtf8("证书无效");
  std::string m_strTimeOut = FromUtf8("等待服务器超时");
  std::string m_strClosed = FromUtf8("服务器断开了连接");
  std::string m_strNotTls = FromUtf8("服务器没有以TLS应答");
  std::string m_strRefused = FromUtf8("握手失败");
  std::string m_strNoCaFile = FromUtf8("无法读取证书文件 ");
  std::string m_strEmptyCaFile = FromUtf8("证书文件中没有证书 ");
  std::string m_strNoContext = FromUtf8("无法初始化TLS");
};

const ReasonTexts& Reasons() {
  static const ReasonTexts texts;
  return texts;
}

// The text of the oldest error in OpenSSL's queue of this thread, "" if none.
std::string OpenSslErrorText(unsigned long* reason = nullptr) {
  unsigned long code = ERR_peek_error();
  if (reason) *reason = code;
  if (code == 0) return "";
  const char* text = ERR_reason_error_string(code);
  return text ? text : "";
}

// ---------------------------------------------------------------- the cache

struct CachedContext {
  SSL_CTX* m_ctx = nullptr;
};

// Contexts by the contents of their extra-authorities file, and sessions by
// server; process-wide, guarded by one lock.
class CTlsCache {
 public:
  static CTlsCache& Instance() {
    static CTlsCache* cache = [] {
      PrepareOpenSsl();
      return new CTlsCache();  // lives until the process ends
    }();
    return *cache;
  }

  // A new reference to the context for `caPem` ("" for system authorities only).
  SSL_CTX* Context(const std::string& caPem, std::string& reason);
  // A new reference to the kept session of `key`, or null.
  SSL_SESSION* TakeSession(const std::string& key);
  // Keeps `session` (whose reference passes to the cache) for `key`.
  void KeepSession(const std::string& key, SSL_SESSION* session);

 private:
  std::mutex m_lock;
  std::map<std::string, SSL_CTX*> m_contexts;
  std::map<std::string, SSL_SESSION*> m_sessions;
};

int KeyIndex();

// OpenSSL hands over each new session of a connection here; the connection
// carries its cache key.
int OnNewSession(SSL* ssl, SSL_SESSION* session) {
  auto* key = static_cast<const std::string*>(SSL_get_ex_data(ssl, KeyIndex()));
  if (!key) return 0;
  CTlsCache::Instance().KeepSession(*key, session);
  return 1;  // the reference is ours now
}

int KeyIndex() {
  static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

SSL_CTX* CTlsCache::Context(const std::string& caPem, std::string& reason) {
  std::lock_guard<std::mutex> guard(m_lock);
  auto found = m_contexts.find(caPem);
  if (found != m_contexts.end()) {
    SSL_CTX_up_ref(found->second);
    return found->second;
  }
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (!ctx) {
    reason = Reasons().m_strNoContext;
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  AddSystemAuthorities(ctx);
  if (!caPem.empty()) {
    BIO* mem = BIO_new_mem_buf(caPem.data(), static_cast<int>(caPem.size()));
    X509_STORE* store = SSL_CTX_get_cert_store(ctx);
    int added = 0;
    while (X509* cert = mem ? PEM_read_bio_X509(mem, nullptr, nullptr, nullptr) : nullptr) {
      if (X509_STORE_add_cert(store, cert) == 1) ++added;
      X509_free(cert);
    }
    BIO_free(mem);
    ERR_clear_error();  // the end of the PEM data shows as an error
    if (added == 0) {
      SSL_CTX_free(ctx);
      reason = Reasons().m_strEmptyCaFile;
      return nullptr;
    }
  }
  SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  SSL_CTX_sess_set_new_cb(ctx, OnNewSession);
  m_contexts.emplace(caPem, ctx);
  SSL_CTX_up_ref(ctx);
  return ctx;
}

SSL_SESSION* CTlsCache::TakeSession(const std::string& key) {
  std::lock_guard<std::mutex> guard(m_lock);
  auto found = m_sessions.find(key);
  if (found == m_sessions.end()) return nullptr;
  if (!SSL_SESSION_is_resumable(found->second)) {
    SSL_SESSION_free(found->second);
    m_sessions.erase(found);
    return nullptr;
  }
  SSL_SESSION_up_ref(found->second);
  return found->second;
}

void CTlsCache::KeepSession(const std::string& key, SSL_SESSION* session) {
  std::lock_guard<std::mutex> guard(m_lock);
  SSL_SESSION*& slot = m_sessions[key];
  if (slot) SSL_SESSION_free(slot);
  slot = session;
}

// The extra authorities as PEM text; false when the file cannot be read.
bool ReadCaFile(const std::string& path, std::string& pem) {
  CTextFileReader file;
  if (!file.Open(path)) return false;
  std::string line;
  while (file.ReadLine(line)) {
    pem += line;
    pem += '\n';
  }
  return true;
}

}  // namespace

// ------------------------------------------------------------ the connection

struct CTlsClient::State {
  CTcpSocket* m_socket = nullptr;
  SSL* m_ssl = nullptr;
  int m_nTimeoutMs = 0;    // the wait of the call in progress
  bool m_bTimedOut = false;
  bool m_bFailed = false;  // a fatal error: no closing alert
  bool m_bResumed = false;
  std::string m_strKey;
  std::string m_strReason;
};

namespace {

using State = CTlsClient::State;

int BioWrite(BIO* bio, const char* data, int length) {
  auto* state = static_cast<State*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  if (length <= 0) return 0;
  if (!state->m_socket->Send(std::string_view(data, static_cast<std::size_t>(length)),
                             state->m_nTimeoutMs)) {
    state->m_bTimedOut = state->m_socket->TimedOut();
    return -1;
  }
  return length;
}

int BioRead(BIO* bio, char* buffer, int length) {
  auto* state = static_cast<State*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  if (length <= 0) return 0;
  long got = state->m_socket->Receive(buffer, static_cast<std::size_t>(length), state->m_nTimeoutMs);
  if (got < 0) {
    state->m_bTimedOut = state->m_socket->TimedOut();
    return -1;
  }
  return static_cast<int>(got);
}

long BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

BIO_METHOD* SocketBioMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "postwing socket");
    if (m) {
      BIO_meth_set_write(m, BioWrite);
      BIO_meth_set_read(m, BioRead);
      BIO_meth_set_ctrl(m, BioControl);
      BIO_meth_set_create(m, BioCreate);
    }
    return m;
  }();
  return method;
}

// A short reason for a failed handshake.
std::string HandshakeFailure(const State& state) {
  const ReasonTexts& r = Reasons();
  if (state.m_bTimedOut) return r.m_strTimeOut;
  const long verify = SSL_get_verify_result(state.m_ssl);
  if (verify != X509_V_OK) {
    std::string text;
    switch (verify) {
      case X509_V_ERR_HOSTNAME_MISMATCH:
      case X509_V_ERR_IP_ADDRESS_MISMATCH:
        text = r.m_strNameMismatch;
        break;
      case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
      case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
      case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
      case X509_V_ERR_CERT_UNTRUSTED:
        text = r.m_strUntrusted;
        break;
      case X509_V_ERR_CERT_HAS_EXPIRED:
        text = r.m_strExpired;
        break;
      case X509_V_ERR_CERT_NOT_YET_VALID:
        text = r.m_strNotYetValid;
        break;
      default:
        text = r.m_strBadCertificate;
    }
    return text + " (" + X509_verify_cert_error_string(verify) + ")";
  }
  unsigned long code = 0;
  const std::string detail = OpenSslErrorText(&code);
  if (code == 0) return r.m_strClosed;
  if (ERR_GET_LIB(code) == ERR_LIB_SSL && ERR_GET_REASON(code) == SSL_R_WRONG_VERSION_NUMBER) {
    return r.m_strNotTls + " (" + detail + ")";
  }
  if (ERR_GET_LIB(code) == ERR_LIB_SSL && ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
    return r.m_strClosed;
  }
  return r.m_strRefused + " (" + detail + ")";
}

}  // namespace

CTlsClient::CTlsClient() : m_state(std::make_unique<State>()) {}

CTlsClient::~CTlsClient() { Close(0); }

bool CTlsClient::Handshake(CTcpSocket& socket, const TlsTarget& target, int timeoutMs) {
  Close(0);
  State& state = *m_state;
  state = State{};
  state.m_socket = &socket;
  state.m_nTimeoutMs = timeoutMs;
  ERR_clear_error();

  std::string pem;
  if (!target.m_strCaFile.empty() && !ReadCaFile(target.m_strCaFile, pem)) {
    state.m_strReason = Reasons().m_strNoCaFile + target.m_strCaFile;
    return false;
  }
  SSL_CTX* ctx = CTlsCache::Instance().Context(pem, state.m_strReason);
  if (!ctx) {
    if (!target.m_strCaFile.empty()) state.m_strReason += target.m_strCaFile;
    return false;
  }
  state.m_ssl = SSL_new(ctx);
  SSL_CTX_free(ctx);  // the connection holds its own reference
  BIO* bio = SocketBioMethod() ? BIO_new(SocketBioMethod()) : nullptr;
  if (!state.m_ssl || !bio) {
    BIO_free(bio);
    state.m_bFailed = true;
    state.m_strReason = Reasons().m_strNoContext;
    return false;
  }
  BIO_set_data(bio, &state);
  SSL_set_bio(state.m_ssl, bio, bio);

  // An IP address is checked against the certificate's IP entries and gets no
  // SNI; anything else is a host name.
  const std::string& name = target.m_strServer;
  X509_VERIFY_PARAM* param = SSL_get0_param(state.m_ssl);
  if (X509_VERIFY_PARAM_set1_ip_asc(param, name.c_str()) != 1) {
    ERR_clear_error();
    SSL_set_tlsext_host_name(state.m_ssl, name.c_str());
    SSL_set1_host(state.m_ssl, name.c_str());
  }
  state.m_strKey = name + '\n' + std::to_string(target.m_nPort) + '\n' + pem;
  SSL_set_ex_data(state.m_ssl, KeyIndex(), &state.m_strKey);
  if (SSL_SESSION* session = CTlsCache::Instance().TakeSession(state.m_strKey)) {
    SSL_set_session(state.m_ssl, session);
    SSL_SESSION_free(session);
  }

  if (SSL_connect(state.m_ssl) != 1) {
    state.m_strReason = HandshakeFailure(state);
    state.m_bFailed = true;
    ERR_clear_error();
    return false;
  }
  state.m_bResumed = SSL_session_reused(state.m_ssl) == 1;
  return true;
}

bool CTlsClient::Send(std::span<const std::string_view> parts, int timeoutMs) {
  State& state = *m_state;
  state.m_bTimedOut = false;
  if (!state.m_ssl || state.m_bFailed) return false;
  state.m_nTimeoutMs = timeoutMs;
  ERR_clear_error();
  auto write = [&state](std::string_view bytes) {
    while (!bytes.empty()) {
      const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
      const int written = SSL_write(state.m_ssl, bytes.data(), chunk);
      if (written <= 0) {
        state.m_bFailed = true;
        ERR_clear_error();
        return false;
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
  };
  // Small parts go out together, large ones straight from the caller's memory.
  std::string gathered;
  for (std::string_view part : parts) {
    if (gathered.size() + part.size() <= kGatherLimit) {
      gathered.append(part);
      continue;
    }
    if (!gathered.empty() && !write(gathered)) return false;
    gathered.clear();
    if (part.size() <= kGatherLimit) {
      gathered.append(part);
    } else if (!write(part)) {
      return false;
    }
  }
  return gathered.empty() || write(gathered);
}

long CTlsClient::Receive(char* buffer, std::size_t size, int timeoutMs) {
  State& state = *m_state;
  state.m_bTimedOut = false;
  if (!state.m_ssl || state.m_bFailed) return -1;
  state.m_nTimeoutMs = timeoutMs;
  ERR_clear_error();
  const int got = SSL_read(state.m_ssl, buffer, static_cast<int>(std::min<std::size_t>(size, INT_MAX)));
  if (got > 0) return got;
  const int error = SSL_get_error(state.m_ssl, got);
  const unsigned long code = ERR_peek_error();
  ERR_clear_error();
  if (error == SSL_ERROR_ZERO_RETURN) return 0;  // the peer's closing alert
  state.m_bFailed = true;
  // A connection closed without a closing alert reads as closed, as a plain
  // socket would; everything else is a failure.
  const bool cutOff = error == SSL_ERROR_SSL && ERR_GET_LIB(code) == ERR_LIB_SSL &&
                      ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
  if (cutOff || (error == SSL_ERROR_SYSCALL && code == 0 && !state.m_bTimedOut)) return 0;
  return -1;
}

bool CTlsClient::TimedOut() const { return m_state->m_bTimedOut; }

void CTlsClient::Close(int timeoutMs) {
  State& state = *m_state;
  if (!state.m_ssl) return;
  if (!state.m_bFailed) {
    // One closing alert, without waiting for the peer's: it keeps the
    // session resumable.
    state.m_nTimeoutMs = timeoutMs;
    SSL_shutdown(state.m_ssl);
  }
  SSL_free(state.m_ssl);
  ERR_clear_error();
  state.m_ssl = nullptr;
}

bool CTlsClient::IsOpen() const { return m_state->m_ssl != nullptr; }

bool CTlsClient::Resumed() const { return m_state->m_bResumed; }

const std::string& CTlsClient::FailureReason() const { return m_state->m_strReason; }

}  // namespace platform
