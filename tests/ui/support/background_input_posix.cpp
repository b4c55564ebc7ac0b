#include "ui/support/background_input.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

extern char** environ;

namespace uitest {

namespace {

// How often the X server is asked while waiting for a window.
constexpr std::chrono::milliseconds kPollPeriod(10);

// Frees what xcb hands back with malloc.
struct CFree {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, CFree>;

xcb_atom_t InternAtom(xcb_connection_t* connection, const std::string& name) {
  XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
      nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// Whether `window` is mapped and typed `type` (_NET_WM_WINDOW_TYPE). A window
// that has gone meanwhile gives error replies, which read as "no".
bool IsMappedOfType(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                    xcb_atom_t type) {
  XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
      connection, xcb_get_window_attributes(connection, window), nullptr));
  if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) return false;
  XcbReply<xcb_get_property_reply_t> types(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 16),
      nullptr));
  if (!types || types->format != 32) return false;
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(types.get()));
  const int count = xcb_get_property_value_length(types.get()) / 4;
  for (int i = 0; i < count; ++i) {
    if (atoms[i] == type) return true;
  }
  return false;
}

std::optional<wxRect> FindMappedOfType(xcb_connection_t* connection, xcb_window_t root,
                                       xcb_atom_t property, xcb_atom_t type) {
  XcbReply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
  if (!tree) return std::nullopt;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
    if (!IsMappedOfType(connection, children[i], property, type)) continue;
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, children[i]), nullptr));
    if (geometry) return wxRect(geometry->x, geometry->y, geometry->width, geometry->height);
  }
  return std::nullopt;
}

}  // namespace

bool SpawnXdotool(const std::string& args) {
  std::vector<std::string> words{"xdotool"};
  std::istringstream in(args);
  for (std::string word; in >> word;) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

namespace {

// Asks the X server for a mapped pop-up menu until `wanted` holds of the
// answer or `limit` has passed; the last answer.
std::optional<wxRect> PollPopupMenu(const std::function<bool(const std::optional<wxRect>&)>& wanted,
                                    std::chrono::milliseconds limit) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  std::optional<wxRect> found;
  if (!xcb_connection_has_error(connection)) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t property = InternAtom(connection, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t type = InternAtom(connection, "_NET_WM_WINDOW_TYPE_POPUP_MENU");
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!wanted(found = FindMappedOfType(connection, root, property, type)) &&
           std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(kPollPeriod);
    }
  }
  xcb_disconnect(connection);
  return found;
}

}  // namespace

std::optional<wxRect> WaitForPopupMenu(std::chrono::milliseconds limit) {
  return PollPopupMenu([](const std::optional<wxRect>& menu) { return menu.has_value(); }, limit);
}

bool WaitForNoPopupMenu(std::chrono::milliseconds limit) {
  return !PollPopupMenu([](const std::optional<wxRect>& menu) { return !menu.has_value(); }, limit);
}

// The thread starts with SIGCHLD blocked: wx learns of the end of the
// programs it runs (wxExecute) from that signal, and has been seen to miss it
// when the kernel chose this thread to take it, leaving wxExecute waiting
// for ever. waitpid needs no signal.
CInputThread::CInputThread(std::function<bool()> script) {
  sigset_t childSignal, saved;
  sigemptyset(&childSignal);
  sigaddset(&childSignal, SIGCHLD);
  pthread_sigmask(SIG_BLOCK, &childSignal, &saved);
  m_thread = std::thread([this, script = std::move(script)] {
    m_ok = script();
    m_done.store(true);
  });
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

CInputThread::~CInputThread() { m_thread.join(); }

}  // namespace uitest
