// The status strip during a run, from what the run reports: its line (the
// message in progress, the recipients delivered and not delivered once a
// keep-going run has any, the wait before retries) and its bar.
#pragma once

#include <wx/gdicmn.h>
#include <wx/string.h>

class wxGauge;
class wxWindow;

#include "dispatch/run_control.h"

// "正在发送 第 i / N 封" ("第 i 封" alone when the total is unknown), followed
// by " · 已送达 a · 未送达 b" once the run counts recipients; while the run
// waits to try messages again, "等待重试 k 封 mm:ss".
wxString RunStripText(const RunProgress& progress);

// Sizes the strip's line to its text: it keeps its template place `home`
// while the text fits; a longer one (a keep-going run's counts) grows right
// up to `right`, then left up to `left` (the strip's neighbours' edges).
void FitRunLine(wxWindow& line, const wxRect& home, int left, int right);

// The bar's range when a run's total cannot be counted beforehand.
inline constexpr int kRunBarPulseRange = 100;

// The bar of the accepted messages; it pulses when the total is unknown.
void ShowRunBar(wxGauge& bar, const RunProgress& progress);
