#include "ui/common/file_target.h"

#include <wx/filename.h>
#include <wx/filesys.h>

wxString FileOpenTarget(const wxString& path) {
  wxFileName name(path);
  name.MakeAbsolute();
  return wxFileSystem::FileNameToURL(name);
}
