// The parts of the sockets that are the same on every system.
#include "platform/net.h"

#include <utility>

namespace platform {
namespace {

std::function<void()>& WaitHook() {
  thread_local std::function<void()> hook;
  return hook;
}

std::function<bool(std::chrono::milliseconds)>& AbandonCheck() {
  thread_local std::function<bool(std::chrono::milliseconds)> check;
  return check;
}

}  // namespace

void SetNetWaitHook(std::function<void()> hook) { WaitHook() = std::move(hook); }

void RunNetWaitHook() {
  if (WaitHook()) WaitHook()();
}

void SetNetWaitAbandon(std::function<bool(std::chrono::milliseconds)> check) {
  AbandonCheck() = std::move(check);
}

bool NetWaitAbandoned(std::chrono::milliseconds waited) {
  return AbandonCheck() && AbandonCheck()(waited);
}

CTcpSocket::CTcpSocket(CTcpSocket&& other) noexcept { *this = std::move(other); }

CTcpSocket& CTcpSocket::operator=(CTcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    m_hSocket = std::exchange(other.m_hSocket, -1);
    m_bWaitHook = other.m_bWaitHook;
    m_bTimedOut = other.m_bTimedOut;
    m_bAbandoned = other.m_bAbandoned;
    m_nRecvSliceMs = other.m_nRecvSliceMs;
    m_nSendSliceMs = other.m_nSendSliceMs;
  }
  return *this;
}

}  // namespace platform
