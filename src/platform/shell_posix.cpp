#include "platform/shell.h"

#include <gio/gio.h>

#include "platform/codepage.h"

// GIO finds the default application of an address or a content type from the
// desktop's own records (desktop entries and mimeapps.list, by the freedesktop
// rules) and starts it detached: the program is not a child of this process,
// so nothing is left to reap.
namespace platform {
namespace {

// A GIO or spawn error in the shell's code space.
int ShellResultOf(const GError* error) {
  if (error == nullptr) return kShellOutOfResources;
  if (error->domain == G_IO_ERROR) {
    switch (error->code) {
      case G_IO_ERROR_NOT_FOUND: return kShellFileNotFound;
      case G_IO_ERROR_PERMISSION_DENIED: return kShellAccessDenied;
      case G_IO_ERROR_NOT_SUPPORTED: return kShellNoAssociation;
      case G_IO_ERROR_INVALID_FILENAME:
      case G_IO_ERROR_INVALID_ARGUMENT: return kShellAssociationIncomplete;
      default: return kShellOutOfResources;
    }
  }
  if (error->domain == G_SPAWN_ERROR) {
    switch (error->code) {
      case G_SPAWN_ERROR_NOENT: return kShellFileNotFound;
      case G_SPAWN_ERROR_CHDIR:
      case G_SPAWN_ERROR_NOTDIR:
      case G_SPAWN_ERROR_NAMETOOLONG:
      case G_SPAWN_ERROR_LOOP: return kShellPathNotFound;
      case G_SPAWN_ERROR_ACCES:
      case G_SPAWN_ERROR_PERM: return kShellAccessDenied;
      case G_SPAWN_ERROR_FORK:
      case G_SPAWN_ERROR_NOMEM:
      case G_SPAWN_ERROR_TOO_BIG: return kShellOutOfMemory;
      case G_SPAWN_ERROR_NOEXEC:
      case G_SPAWN_ERROR_ISDIR:
      case G_SPAWN_ERROR_LIBBAD: return kShellBadFormat;
      case G_SPAWN_ERROR_TXTBUSY: return kShellSharingViolation;
      default: return kShellOutOfResources;
    }
  }
  return kShellOutOfResources;
}

// Owns a GError and frees it at the end of the scope.
struct ErrorHolder {
  GError* m_pError = nullptr;
  ~ErrorHolder() { g_clear_error(&m_pError); }
};

}  // namespace

int ShellOpen(const std::string& target, int /*showCommand*/) {
  ErrorHolder error;
  if (g_app_info_launch_default_for_uri(ToUtf8(target).c_str(), nullptr, &error.m_pError)) {
    return kShellOpened;
  }
  return ShellResultOf(error.m_pError);
}

bool OpenWithHtmlHandler(const std::string& url, int /*showCommand*/, int* result) {
  GAppInfo* browser = g_app_info_get_default_for_type("text/html", FALSE);
  if (browser == nullptr) return false;
  const std::string address = ToUtf8(url);
  GList uris{};
  uris.data = const_cast<char*>(address.c_str());
  ErrorHolder error;
  const bool launched = g_app_info_launch_uris(browser, &uris, nullptr, &error.m_pError);
  g_object_unref(browser);
  *result = launched ? kShellOpened : ShellResultOf(error.m_pError);
  return true;
}

}  // namespace platform
