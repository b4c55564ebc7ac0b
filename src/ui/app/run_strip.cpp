#include "ui/app/run_strip.h"

#include <algorithm>
#include <limits>

#include <wx/gauge.h>
#include <wx/window.h>

namespace {

constexpr long long kSecondsPerMinute = 60;
// Pixels kept free between the line and its neighbours.
constexpr int kStripGap = 4;

wxString Number(std::int64_t value) { return wxString::Format("%lld", static_cast<long long>(value)); }

}  // namespace

wxString RunStripText(const RunProgress& progress) {
  if (progress.m_nRetryWaiting > 0) {
    const long long seconds = std::max<std::int64_t>(progress.m_nRetrySeconds, 0);
    return wxString::FromUTF8("等待重试 ") + Number(progress.m_nRetryWaiting) +
           wxString::FromUTF8(" 封 ") +
           wxString::Format("%02lld:%02lld", seconds / kSecondsPerMinute, seconds % kSecondsPerMinute);
  }
  const std::int64_t position = progress.m_nDone + (progress.m_bSending ? 1 : 0);
  wxString text = wxString::FromUTF8("正在发送 第 ") + Number(position);
  if (progress.m_nTotal >= 0) text += " / " + Number(progress.m_nTotal);
  text += wxString::FromUTF8(" 封");
  // Only keep-going runs count recipients; a run that stops at the first
  // failure reports none.
  if (progress.m_nDelivered > 0 || progress.m_nUndelivered > 0) {
    text += wxString::FromUTF8(" · 已送达 ") + Number(progress.m_nDelivered) +
            wxString::FromUTF8(" · 未送达 ") + Number(progress.m_nUndelivered);
  }
  return text;
}

void FitRunLine(wxWindow& line, const wxRect& home, int left, int right) {
  const int rightLimit = right - kStripGap;
  wxRect rect = home;
  rect.width = std::max(rect.width, line.GetBestSize().x);
  if (rect.GetRight() >= rightLimit) {
    rect.x = std::max(left + kStripGap, rightLimit - rect.width);
    rect.width = rightLimit - rect.x;
  }
  if (rect != line.GetRect()) line.SetSize(rect);
}

void ShowRunBar(wxGauge& bar, const RunProgress& progress) {
  if (progress.m_nTotal > 0 && progress.m_nTotal <= std::numeric_limits<int>::max()) {
    if (bar.GetRange() != progress.m_nTotal) bar.SetRange(static_cast<int>(progress.m_nTotal));
    bar.SetValue(static_cast<int>(progress.m_nDone));
  } else {
    bar.Pulse();
  }
}
