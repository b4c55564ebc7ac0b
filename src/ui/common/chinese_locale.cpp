#include "ui/common/chinese_locale.h"

#include <memory>

#include <wx/intl.h>
#include <wx/log.h>
#include <wx/utils.h>

bool UseChineseLocale() {
  // Lives until the process ends: wx's translations belong to it.
  static std::unique_ptr<wxLocale> locale;
  if (locale) return true;
  auto chinese = std::make_unique<wxLocale>();
  wxLogNull quiet;  // a missing locale is no error to show the user
  const bool hadLanguage = wxGetEnv("LANGUAGE", nullptr);
  wxString saved;
  if (hadLanguage) wxGetEnv("LANGUAGE", &saved);
  wxUnsetEnv("LANGUAGE");
  if (!chinese->Init(wxLANGUAGE_CHINESE_SIMPLIFIED, wxLOCALE_LOAD_DEFAULT)) {
    if (hadLanguage) wxSetEnv("LANGUAGE", saved);
    return false;
  }
  locale = std::move(chinese);
  return true;
}
