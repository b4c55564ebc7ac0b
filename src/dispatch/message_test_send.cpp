// The test send of the preview: one message to one address, outside any run.
#include <utility>

#include "dispatch/message_preview.h"

bool SendTestMessage(const MessageTarget& target, CMailItem item, const std::string& address,
                     std::string& error) {
  // The same message with one recipient: every part but the recipients.
  CMailItem test;
  test.AddRecipient(address, std::string());
  test.m_strSubject = std::move(item.m_strSubject);
  test.m_strBody = std::move(item.m_strBody);
  test.m_strExtraHeader = std::move(item.m_strExtraHeader);
  test.m_strContentHeader = std::move(item.m_strContentHeader);
  test.m_wireBody = std::move(item.m_wireBody);
  MessageTarget single = target;
  single.m_bKeepGoing = false;
  error.clear();
  return SendOneMessage(single, test, error);
}
