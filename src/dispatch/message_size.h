// How many bytes a message is on the wire, between DATA and the line of its
// final dot.
#pragma once

#include <cstdint>

#include "smtp/mail_item.h"

// The bytes `item` takes as the session sends it: its header, the mailer
// line, the blank line, its body as prepared for the wire (CR LF, dot lines
// doubled, or base64) and the line end that the terminator puts after it.
// 0 for an item without recipients. `item`
// itself is left as it is.
std::uint64_t MessageSizeAsSent(const CMailItem& item);
