// Helpers for window tests under Xvfb: intercepting modal dialogs, waiting for
// the window system, and reading back what is on the screen.
//
// Include this header instead of <wx/testing.h>: wxTEST_DIALOG then uses a hook
// that records every failure as a gtest failure and dismisses an unexpected
// dialog instead of showing it (which would wait for a user forever).
#pragma once

#define wxTEST_DIALOG_HOOK_CLASS CRecordingModalHook
#include <wx/testing.h>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <wx/image.h>
#include <wx/timer.h>

#include "ui/controls/embedded_resources.h"

class CRecordingModalHook : public wxTestingModalHook {
 public:
  using wxTestingModalHook::wxTestingModalHook;

 protected:
  int Enter(wxDialog* dialog) override;
  void ReportFailure(const wxString& message) override;
};

// Expects a message box, answers it with OK and keeps its text, caption and
// style for the test to check.
struct CapturedMessage {
  wxString text;
  wxString caption;
  long style = 0;
};

class CExpectMessage : public wxExpectModalBase<wxMessageDialog, CExpectMessage> {
 public:
  explicit CExpectMessage(CapturedMessage* captured) : m_pCaptured(captured) {}

 protected:
  int OnInvoked(wxMessageDialog* dialog) const override;

 private:
  CapturedMessage* m_pCaptured;
};

// While it lives, ends any modal dialog still open after `seconds` and records
// a failure, so that a test cannot hang on a dialog nobody answers.
class CSafetyTimer : public wxTimer {
 public:
  explicit CSafetyTimer(int seconds = 20);
  void Notify() override;
};

// Dispatches events until `condition` holds, for at most `limit`; whether it
// holds. The window system answers asynchronously: tests wait for what they
// expect rather than for a fixed time.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
// Dispatches the events that are pending now.
void DispatchPending();
// Shows `frame` and waits until it is on the screen and painted.
void ShowAndWait(wxWindow* frame);
// Moves the real pointer to `screen` and waits until it is there and the
// window under it has seen it move.
void MovePointer(const wxPoint& screen);
// Presses and releases the left button at `screen` with the real pointer and
// waits until the window under it has seen the release (and whatever the
// release does at once has happened).
void ClickAt(const wxPoint& screen);
// Clicks the middle of `window`.
void ClickOn(wxWindow* window);

// What the screen shows in `window`'s client area.
wxImage GrabClientArea(wxWindow* window);

// How many pixels of `image` are exactly `colour`.
int CountPixels(const wxImage& image, const wxColour& colour);

// The bytes of a 24-bit BMP file of `width` x `height` pixels in one colour.
std::string MakeBmp(int width, int height, const wxColour& colour);

// Pictures made by a test, found by number in place of the compiled-in ones
// while the object lives.
class CTestPictures {
 public:
  CTestPictures() = default;
  ~CTestPictures();
  CTestPictures(const CTestPictures&) = delete;
  CTestPictures& operator=(const CTestPictures&) = delete;

  // Adds file `name` ("<id>_<words>.<ext>") holding `bytes` as resource `id`.
  void Add(int id, const std::string& name, const std::string& bytes);

 private:
  std::deque<std::string> m_strings;  // stable storage for names and bytes
  std::vector<EmbeddedResource> m_table;
};
