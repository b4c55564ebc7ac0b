// The fixed footer appended to every mail body: product line, maker's details
// and web site between separators of 60 "=".
#pragma once

#include <string>

// The footer in the code page, "\n" line ends. It starts with "\n\n" (two
// empty lines after the mail text's own last "\n") and ends with the last
// separator followed by "\n\n".
const std::string& MailFooter();
