// The parts of the sockets that are the same on every system.
#include "platform/net.h"

#include <utility>

namespace platform {

CTcpSocket::CTcpSocket(CTcpSocket&& other) noexcept { *this = std::move(other); }

CTcpSocket& CTcpSocket::operator=(CTcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    m_hSocket = std::exchange(other.m_hSocket, -1);
    m_bWaitHook = other.m_bWaitHook;
    m_bTimedOut = other.m_bTimedOut;
    m_nRecvSliceMs = other.m_nRecvSliceMs;
    m_nSendSliceMs = other.m_nSendSliceMs;
  }
  return *this;
}

}  // namespace platform
