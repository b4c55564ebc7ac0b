// postwing-send --check and --test: a look at the run's messages before it
// goes, from the stored settings in the working directory, without a run
// (no journal, record or report line).
#pragma once

#include <filesystem>
#include <string>

#include "settings/mail_source.h"
#include "settings/smtp_account.h"

// Prints every problem and warning of every mail file x row; 0 when nothing
// would stop the run (warnings do not count), 1 otherwise.
int CheckRunFromSettings(const CMailSource& source, const CSmtpAccount& account,
                         const std::filesystem::path& startDir);

// Sends the first mail file merged with row `row` (from 1) to `address` only
// and prints whether the server took it; 0 when it did, 1 otherwise.
int SendTestFromSettings(const CMailSource& source, const CSmtpAccount& account,
                         const std::filesystem::path& startDir, const std::string& address, int row);
