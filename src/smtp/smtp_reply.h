// Reading a server reply as the session does: its code, and the greeting's
// claim to speak ESMTP. Pure functions over the NUL-terminated text one
// receive left in the reply buffer.
#pragma once

// The number "%d" reads from the first three characters of `reply` (white
// space, a sign, digits); 0 when they hold none, as for an empty reply from a
// closed connection or a text. Reads no byte past the terminating NUL.
int ReplyCode(const char* reply);

// Whether a greeting names ESMTP (case-sensitive, anywhere in the text): such
// a server is taken to want a login.
bool GreetingNamesEsmtp(const char* greeting);
