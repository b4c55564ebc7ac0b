// What a run sends, made ready before its first message: every mail file of
// the folder loaded once (its pictures and attachments encoded once), the
// address list opened (a table read whole), and the checks that stop a run
// before anything is sent: a mail file, picture or attachment that cannot be
// read, no address list, a table without address column or with a row
// without address, a field the mail, the subject or the unsubscribe address
// uses that the table lacks. Both kinds of run and the preview share it.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "addresses/address_source.h"
#include "message/mail_template.h"
#include "platform/dirs.h"
#include "settings/mail_source.h"

struct RunProblem {
  std::string m_strText;  // code page, one line naming the mail file, the field or the row
  bool m_bStopsRun = true;  // false: a warning (an empty cell, a large message)
};

struct RunMailFile {
  std::string m_strName;           // as the folder listing named it (code page)
  std::filesystem::path m_native;  // the file, native
  message::CMailTemplate m_template;
  bool m_bLoaded = false;
};

class CRunMail {
 public:
  // Told a problem and the mail file it came with (0 for the address list's
  // own); returns whether to look on (true) or stop there (false).
  using ProblemSink = std::function<bool(const RunProblem& problem, std::size_t mailIndex)>;

  struct Scope {
    const std::vector<std::string>* m_pOnly = nullptr;  // only the mail files of these names
    bool m_bEveryRow = false;  // rows of a table without address named one by one, the rest kept
    bool m_bListWanted = true;  // false: no list named is no problem (nothing is read then)
  };

  // Loads the plain files among `entries` (names under `folder`, native; the
  // working directory when empty), opens the list at `list` (native) named
  // `source.m_strAddressFile` and checks the fields. Each problem goes to
  // `sink`; false when one came.
  bool Prepare(const std::vector<platform::DirEntry>& entries, const std::filesystem::path& folder,
               const std::filesystem::path& list, const CMailSource& source,
               const ProblemSink& sink, const Scope& scope);

  std::vector<RunMailFile>& Mail() { return m_mail; }
  const std::vector<RunMailFile>& Mail() const { return m_mail; }
  // The mail file of this name; nullptr when the run has none.
  const RunMailFile* FindMail(const std::string& name) const;
  addresses::CAddressSource& List() { return m_list; }
  // Whether the list was opened (there were mail files to send).
  bool ListOpen() const { return m_bListOpen; }
  // The table row (from 1) that holds `address` (ASCII case ignored) among its
  // recipients; 0 without a table or when no row does.
  int RowOf(const std::string& address);
  // The fields of table row `number` (from 1); nullptr for none.
  const message::CFieldRow* Fields(int number) const;
  // The subject of a table row (its own, else the run's).
  std::string SubjectOf(int number, const std::string& runSubject) const;

 private:
  std::vector<RunMailFile> m_mail;
  addresses::CAddressSource m_list;
  bool m_bListOpen = false;
  std::map<std::string, int> m_rowOfAddress;  // filled on first use
};

// What a run adds to every message: the sender, the unsubscribe address,
// the advert flag and the footer.
message::ComposeOptions RunComposeOptions(const CMailSource& source, const std::string& sender);
