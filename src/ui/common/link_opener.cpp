#include "ui/common/link_opener.h"

#include "platform/shell.h"
#include "ui/common/text.h"

namespace {

class CSystemLinkOpener : public CLinkOpener {
 public:
  int OpenUrl(const wxString& url, int showCommand) override {
    return platform::OpenUrl(ToCodePage(url), showCommand);
  }
  int ShellOpen(const wxString& target, int showCommand) override {
    return platform::ShellOpen(ToCodePage(target), showCommand);
  }
};

}  // namespace

CLinkOpener& SystemLinkOpener() {
  static CSystemLinkOpener opener;
  return opener;
}
