// main() of every window test: starts wxWidgets on the Xvfb display without
// entering a main loop, then runs the tests.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include "ui/app/process_setup.h"
#include "ui/common/chinese_locale.h"

namespace {

class CTestApp : public wxApp {
 public:
  bool OnInit() override {
    SetUpProcess();
    return true;
  }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(CTestApp);

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // As the program does before the toolkit starts (CMailerApp::Initialize).
  NameChineseLocaleForToolkit();
  if (!wxEntryStart(argc, argv)) return 1;
  wxTheApp->CallOnInit();
#ifdef __WXMSW__
  // wxMSW dispatches the messages a yield finds only through the active
  // event loop; the tests run no main loop, so one stands active for them.
  wxGUIEventLoop loop;
  wxEventLoopBase::SetActive(&loop);
#endif
  int rc = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
