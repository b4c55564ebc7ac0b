// Reads a report file of 1,000,000 lines into the report page and lists it
// (the first screen of rows drawn), timing the whole. Needs a display: run it
// under xvfb-run. Last line: "seconds: S".
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include "dispatch/run_report.h"
#include "platform/codepage.h"
#include "ui/common/link_opener.h"
#include "ui/pages/report_page.h"

namespace {

constexpr long kLines = 1000000;

class CBenchApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

void WriteReport(const std::filesystem::path& file) {
  std::ofstream out(file, std::ios::binary);
  const std::string ok = platform::FromUtf8("成功");
  const std::string failed = platform::FromUtf8("无法连接服务器.");
  std::string line;
  for (long i = 0; i < kLines; ++i) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "\r\n%4d-%2d-%2d , %2d:%2d , %ld , %ld , ",
                  2003 + static_cast<int>(i % 20), 1 + static_cast<int>(i % 12),
                  1 + static_cast<int>(i % 28), static_cast<int>(i % 24),
                  static_cast<int>(i % 60), i % 50, i % 1000);
    line = buffer;
    line += (i % 7) ? ok : failed;
    out << line;
  }
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(CBenchApp);

int main(int argc, char** argv) {
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "no display: run under xvfb-run\n");
    return 1;
  }
  wxTheApp->CallOnInit();
  int rc = 0;
  {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench_report_" + std::to_string(stamp));
    std::filesystem::create_directories(dir);
    WriteReport(dir / platform::NativePath(ReportFileName()));
    std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir);

    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench_report", wxDefaultPosition,
                              wxSize(520, 420));
    auto* page = new CReportPage(SystemLinkOpener());
    page->Create(frame);
    frame->Show();
    wxTheApp->Yield(true);

    auto start = std::chrono::steady_clock::now();
    page->PlacePage(wxRect(wxPoint(0, 0), frame->GetClientSize()));
    page->Show();
    page->LoadReport();
    page->m_list->Update();  // draws the visible rows now
    wxTheApp->Yield(true);
    std::size_t chars = 0;
    for (long row = 0; row < 30; ++row) {
      for (long column = 0; column < 5; ++column) {
        chars += page->m_list->GetItemText(row, column).size();
      }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    long rows = page->m_list->GetItemCount();
    std::printf("lines: %ld\nrows: %ld\nfirst row: %s\nchars of the first rows: %zu\n", kLines,
                rows, page->m_list->GetItemText(0, 0).utf8_str().data(), chars);
    std::printf("seconds: %.3f\n", seconds);
    if (rows != kLines) rc = 1;
    frame->Destroy();
    wxTheApp->Yield(true);
    std::filesystem::current_path(saved);
    std::filesystem::remove_all(dir);
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
