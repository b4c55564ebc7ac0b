#include "dispatch/run_pace.h"

#include <algorithm>
#include <thread>

#include "platform/net.h"

namespace {

// As long as one slice of a socket wait, so the window repaints as often.
constexpr std::chrono::milliseconds kPaceSlice{50};

}  // namespace

CRunPace::CRunPace(int perMinute) {
  if (perMinute > 0) {
    m_interval = std::chrono::duration_cast<Clock::duration>(std::chrono::minutes(1)) / perMinute;
  }
}

bool CRunPace::WaitTurn(const std::function<bool()>& stop) {
  if (stop && stop()) return false;
  if (m_last && m_interval > Clock::duration::zero()) {
    const Clock::time_point turn = *m_last + m_interval;
    for (Clock::time_point now = Clock::now(); now < turn; now = Clock::now()) {
      std::this_thread::sleep_for(std::min<Clock::duration>(turn - now, kPaceSlice));
      platform::RunNetWaitHook();
      if (stop && stop()) return false;
    }
  }
  m_last = Clock::now();
  return true;
}
