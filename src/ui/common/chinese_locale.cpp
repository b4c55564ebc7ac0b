#include "ui/common/chinese_locale.h"

#include <clocale>
#include <memory>
#include <optional>
#include <string>

#include <wx/dcscreen.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/stdpaths.h>
#include <wx/translation.h>
#include <wx/utils.h>

namespace {

constexpr const char kChineseLocale[] = "zh_CN.UTF-8";

// A variable of the environment as the program was started with it.
struct CSavedVariable {
  const char* m_name;
  std::optional<wxString> m_value;

  void Save() {
    wxString value;
    if (wxGetEnv(m_name, &value)) m_value = value;
  }
  void Restore() const {
    if (m_value) {
      wxSetEnv(m_name, *m_value);
    } else {
      wxUnsetEnv(m_name);
    }
  }
};

CSavedVariable g_lcAll{"LC_ALL", std::nullopt};
CSavedVariable g_lang{"LANG", std::nullopt};
bool g_named = false;

void DropLanguageList() { wxUnsetEnv("LANGUAGE"); }

// wx's catalogue beside the program: <program folder>/locale/zh_CN/
// LC_MESSAGES/wxstd-3.2.mo. The Windows program carries it there (Windows has
// no system folder of catalogues); the Linux program finds the system's
// under /usr/share/locale, which is searched after this one.
constexpr const char kCatalogueFolder[] = "locale";

void AddCatalogueBesideProgram() {
  wxFileName folder(wxStandardPaths::Get().GetExecutablePath());
  folder.AppendDir(kCatalogueFolder);
  wxFileTranslationsLoader::AddCatalogLookupPathPrefix(folder.GetPath());
}

}  // namespace

bool NameChineseLocaleForToolkit() {
  if (g_named) return true;
  // Whether the system has the locale: setlocale answers; the process's
  // locale is then put back.
  const char* current = std::setlocale(LC_ALL, nullptr);
  const std::string saved = current ? current : "C";
  const bool available = std::setlocale(LC_ALL, kChineseLocale) != nullptr;
  std::setlocale(LC_ALL, saved.c_str());
  if (!available) return false;
  g_lcAll.Save();
  g_lang.Save();
  wxSetEnv("LC_ALL", kChineseLocale);
  wxSetEnv("LANG", kChineseLocale);
  DropLanguageList();
  g_named = true;
  return true;
}

bool UseChineseLocale() {
  // Lives until the process ends: wx's translations belong to it.
  static std::unique_ptr<wxLocale> locale;
  if (locale) return true;
  auto chinese = std::make_unique<wxLocale>();
  wxLogNull quiet;  // a missing locale is no error to show the user
  const bool hadLanguage = wxGetEnv("LANGUAGE", nullptr);
  wxString saved;
  if (hadLanguage) wxGetEnv("LANGUAGE", &saved);
  DropLanguageList();
  AddCatalogueBesideProgram();
  const bool ok = chinese->Init(wxLANGUAGE_CHINESE_SIMPLIFIED, wxLOCALE_LOAD_DEFAULT);
  if (g_named) {
    // The font machinery (fontconfig) reads the environment's language once,
    // when it first chooses a font, and keeps it: measuring a text makes it
    // choose one now, while the environment still names Chinese.
    wxScreenDC().GetTextExtent(wxString::FromUTF8("飞鸿"));
    g_lcAll.Restore();
    g_lang.Restore();
  }
  if (!ok) {
    if (hadLanguage) wxSetEnv("LANGUAGE", saved);
    return false;
  }
  locale = std::move(chinese);
  return true;
}
