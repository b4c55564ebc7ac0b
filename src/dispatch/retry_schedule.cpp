#include "dispatch/retry_schedule.h"

#include <algorithm>

CRetrySchedule::Clock::duration CRetrySchedule::IntervalAfter(int attempts) {
  Clock::duration interval = kFirstRetryAfter;
  for (int i = 1; i < attempts && interval < kLongestRetryInterval; ++i) interval *= 2;
  return std::min<Clock::duration>(interval, kLongestRetryInterval);
}

void CRetrySchedule::Add(RetryItem item, Clock::time_point failedAt) {
  item.m_due = failedAt + IntervalAfter(item.m_nAttempts);
  m_items.push_back(std::move(item));
}

void CRetrySchedule::StartWindow(Clock::time_point now, int minutes) {
  m_windowEnd = now + std::chrono::minutes(std::max(minutes, 0));
}

CRetrySchedule::Clock::time_point CRetrySchedule::NextDue() const {
  return std::min_element(m_items.begin(), m_items.end(),
                          [](const RetryItem& a, const RetryItem& b) { return a.m_due < b.m_due; })
      ->m_due;
}

std::optional<RetryItem> CRetrySchedule::TakeNext() {
  if (m_items.empty()) return std::nullopt;
  auto next = std::min_element(m_items.begin(), m_items.end(),
                               [](const RetryItem& a, const RetryItem& b) { return a.m_due < b.m_due; });
  if (next->m_due > m_windowEnd) return std::nullopt;
  RetryItem item = std::move(*next);
  m_items.erase(next);
  return item;
}

std::vector<RetryItem> CRetrySchedule::TakeAll() {
  std::vector<RetryItem> items;
  items.swap(m_items);
  return items;
}
