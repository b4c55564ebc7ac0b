// Reading a server reply as the session does: its code, and the greeting's
// claim to speak ESMTP. Pure functions over the NUL-terminated text one
// receive left in the reply buffer.
#pragma once

#include <cstddef>

// The number "%d" reads from the first three characters of `reply` (white
// space, a sign, digits); 0 when they hold none, as for an empty reply from a
// closed connection or a text. Reads no byte past the terminating NUL.
int ReplyCode(const char* reply);

// Whether a greeting names ESMTP (case-sensitive, anywhere in the text): such
// a server is taken to want a login.
bool GreetingNamesEsmtp(const char* greeting);

#include <string>

// The first line of `reply` without its line end, at most kReplyLineLimit
// bytes, control bytes as blanks: the server's words fit for one line of a
// record or a message.
inline constexpr std::size_t kReplyLineLimit = 200;
std::string ReplyLine(const char* reply);

// The enhanced status code after the reply code (RFC 3463: "5.1.1" in
// "550 5.1.1 User unknown"), or "" when the line carries none.
std::string EnhancedStatus(const std::string& line);

// Whether a reply asks the client to slow down: 421, 450, 451, 452 or 454
// with an enhanced code 4.7.x, or a 4xx whose text speaks of a rate, a
// frequency or too many connections or messages.
bool SaysSlowDown(int code, const std::string& line);
