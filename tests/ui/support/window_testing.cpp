#include "ui/support/window_testing.h"

#include "ui/common/resources_testing.h"

#include <chrono>
#include <thread>

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/utils.h>
#include <wx/dialog.h>
#include <wx/event.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/uiaction.h>
#include <wx/window.h>

int CRecordingModalHook::Enter(wxDialog* dialog) {
  const int result = wxTestingModalHook::Enter(dialog);
  return result == wxID_NONE ? wxID_CANCEL : result;
}

void CRecordingModalHook::ReportFailure(const wxString& message) {
  ADD_FAILURE() << message.utf8_string();
}

int CExpectMessage::OnInvoked(wxGenericMessageDialog* dialog) const {
  m_pCaptured->text = dialog->GetMessage();
  m_pCaptured->caption = dialog->GetCaption();
  m_pCaptured->style = dialog->GetMessageDialogStyle();
  return wxID_OK;
}

CSafetyTimer::CSafetyTimer(int seconds) { StartOnce(seconds * 1000); }

void CSafetyTimer::Notify() {
  for (wxWindow* window : wxTopLevelWindows) {
    auto* dialog = wxDynamicCast(window, wxDialog);
    if (dialog != nullptr && dialog->IsModal()) {
      ADD_FAILURE() << "a modal dialog was still open: " << dialog->GetTitle().utf8_string();
      dialog->EndModal(wxID_CANCEL);
    }
  }
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    wxTheApp->Yield(true);
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void DispatchPending() {
  // A few rounds: handlers of one round may post events for the next.
  for (int i = 0; i < 3; ++i) wxTheApp->Yield(true);
}

namespace {

void AllWindows(wxWindow* window, std::vector<wxWindow*>& out) {
  out.push_back(window);
  for (wxWindow* child : window->GetChildren()) AllWindows(child, out);
}

}  // namespace

namespace {

// Notes whether any window of a tree has been asked to paint itself.
class CPaintWitness {
 public:
  explicit CPaintWitness(wxWindow* top) { Add(top); }
  ~CPaintWitness() {
    for (wxWindow* w : m_windows) w->Unbind(wxEVT_PAINT, &CPaintWitness::OnPaint, this);
  }
  bool m_bPainted = false;

 private:
  void Add(wxWindow* window) {
    m_windows.push_back(window);
    window->Bind(wxEVT_PAINT, &CPaintWitness::OnPaint, this);
    for (wxWindow* child : window->GetChildren()) Add(child);
  }
  void OnPaint(wxPaintEvent& event) {
    m_bPainted = true;
    event.Skip();
  }
  std::vector<wxWindow*> m_windows;
};

}  // namespace

void ShowAndWait(wxWindow* frame) {
  CPaintWitness witness(frame);
  frame->Show();
  frame->Raise();
  EXPECT_TRUE(WaitUntil([&] { return frame->IsShownOnScreen() && witness.m_bPainted; }))
      << "the window was not shown";
  DispatchPending();
}

namespace {

// Waits until `window` has seen a mouse event of `type`. It watches through
// an event filter, not a handler bound to the window: wx leaves an unbound
// handler's slot empty until the window's next event, and when a handler of
// that event makes the window handle another one at once (Windows sends the
// capture change inside ReleaseMouse), both dispatches prune the slot and
// wx's check of its handler table fails.
class CMouseWitness : public wxEventFilter {
 public:
  CMouseWitness(wxWindow* window, const wxEventTypeTag<wxMouseEvent>& type)
      : m_type(type), m_pWindow(window) {
    if (m_pWindow != nullptr) wxEvtHandler::AddFilter(this);
  }
  ~CMouseWitness() override {
    if (m_pWindow != nullptr) wxEvtHandler::RemoveFilter(this);
  }
  bool Wait() {
    if (m_pWindow == nullptr) return false;
    return WaitUntil([this] { return m_bSeen; });
  }
  bool Seen() const { return m_bSeen; }

  int FilterEvent(wxEvent& event) override {
    if (event.GetEventType() == m_type && event.GetEventObject() == m_pWindow) m_bSeen = true;
    return Event_Skip;
  }

 private:
  wxEventTypeTag<wxMouseEvent> m_type;
  wxWindow* m_pWindow = nullptr;
  bool m_bSeen = false;
};

}  // namespace

void MovePointer(const wxPoint& screen) {
  if (wxGetMousePosition() == screen) return;
  // While the button is held, moves go to the window where it was pressed.
  CMouseWitness witness(wxFindWindowAtPoint(wxGetMouseState().LeftIsDown() ? wxGetMousePosition()
                                                                           : screen),
                        wxEVT_MOTION);
  wxUIActionSimulator().MouseMove(screen);
  EXPECT_TRUE(WaitUntil([&] { return wxGetMousePosition() == screen; }))
      << "the pointer did not reach " << screen.x << "," << screen.y;
  EXPECT_TRUE(witness.Wait()) << "no window saw the pointer move to " << screen.x << ","
                              << screen.y;
  DispatchPending();
}

void ClickAt(const wxPoint& screen) {
  MovePointer(screen);
  CMouseWitness witness(wxFindWindowAtPoint(screen), wxEVT_LEFT_UP);
#ifdef __WXMSW__
  // Some native Windows controls (the tree) take the release themselves
  // inside their handling of the press: there the press, with the button up
  // again afterwards, is the click seen.
  CMouseWitness press(wxFindWindowAtPoint(screen), wxEVT_LEFT_DOWN);
  wxUIActionSimulator().MouseClick();
  EXPECT_TRUE(WaitUntil([&] {
    return witness.Seen() || (press.Seen() && !wxGetMouseState().LeftIsDown());
  })) << "no window saw the click at " << screen.x << "," << screen.y;
#else
  wxUIActionSimulator().MouseClick();
  EXPECT_TRUE(witness.Wait()) << "no window saw the click at " << screen.x << "," << screen.y;
#endif
  DispatchPending();
}

void ClickOn(wxWindow* window) {
  const wxRect r = window->GetScreenRect();
  ClickAt(wxPoint(r.x + r.width / 2, r.y + r.height / 2));
}

#ifdef __WXMSW__
wxImage GrabClientArea(wxWindow* window) {
  // On Windows the screen itself is read (what the user sees, other windows
  // included).
  wxTheApp->Yield(true);
  window->Update();
  const wxSize size = window->GetClientSize();
  const wxPoint origin = window->ClientToScreen(wxPoint(0, 0));
  wxBitmap bitmap(size.x, size.y, 24);
  wxMemoryDC memory(bitmap);
  wxScreenDC screen;
  memory.Blit(0, 0, size.x, size.y, &screen, origin.x, origin.y);
  memory.SelectObject(wxNullBitmap);
  return bitmap.ConvertToImage();
}
#else
wxImage GrabClientArea(wxWindow* window) {
  // wxScreenDC on GTK 3 can hand back an old picture of the screen; ImageMagick
  // reads the X server's current one.
  wxTheApp->Yield(true);
  const wxSize size = window->GetClientSize();
  const wxPoint origin = window->ClientToScreen(wxPoint(0, 0));
  const wxString file = wxFileName::CreateTempFileName("postwing-grab");
  const wxString command = wxString::Format("import -window root -crop %dx%d+%d+%d +repage png:%s",
                                            size.x, size.y, origin.x, origin.y, file);
  wxImage image;
  if (wxExecute(command, wxEXEC_SYNC) == 0) {
    wxLogNull quiet;
    image.LoadFile(file, wxBITMAP_TYPE_PNG);
  }
  wxRemoveFile(file);
  return image;
}
#endif

int CountPixels(const wxImage& image, const wxColour& colour) {
  int count = 0;
  if (!image.IsOk()) return -1;
  const unsigned char* p = image.GetData();
  const int n = image.GetWidth() * image.GetHeight();
  for (int i = 0; i < n; ++i, p += 3) {
    if (p[0] == colour.Red() && p[1] == colour.Green() && p[2] == colour.Blue()) ++count;
  }
  return count;
}

std::string MakeBmp(int width, int height, const wxColour& colour) {
  wxImage image(width, height);
  image.SetRGB(wxRect(0, 0, width, height), colour.Red(), colour.Green(), colour.Blue());
  wxMemoryOutputStream out;
  image.SaveFile(out, wxBITMAP_TYPE_BMP);
  std::string bytes(out.GetSize(), '\0');
  out.CopyTo(bytes.data(), bytes.size());
  return bytes;
}

CTestPictures::~CTestPictures() { SetResourceTableForTesting(nullptr); }

void CTestPictures::Add(int id, const std::string& name, const std::string& bytes) {
  const std::string& storedName = m_strings.emplace_back(name);
  const std::string& storedBytes = m_strings.emplace_back(bytes);
  if (!m_table.empty()) m_table.pop_back();
  m_table.push_back({id, storedName.c_str(),
                     reinterpret_cast<const unsigned char*>(storedBytes.data()), storedBytes.size()});
  m_table.push_back({0, nullptr, nullptr, 0});
  SetResourceTableForTesting(m_table.data());
}
