// Prints the accessible tree of one process's windows as the desktop's
// assistive technologies read it over AT-SPI, one line per object:
//   <depth> <role>|<name>|<state flags>
// where the flags are "f" focusable, "F" focused, "s" showing, "e" enabled.
// A separate process, since libatspi's calls block on the bus and the
// application under test answers them on its own main loop.
//   accessible_tree PID
#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Deeper than any screen of ours; a bound against a cycle.
constexpr int kMaximumDepth = 40;

std::string oneLine(const char* text) {
  std::string line = text ? text : "";
  for (char& c : line)
    if (c == '\n' || c == '|') c = ' ';
  return line;
}

void print(AtspiAccessible* object, int depth) {
  GError* error = nullptr;
  char* role = atspi_accessible_get_role_name(object, &error);
  g_clear_error(&error);
  char* name = atspi_accessible_get_name(object, &error);
  g_clear_error(&error);
  std::string flags;
  if (AtspiStateSet* states = atspi_accessible_get_state_set(object)) {
    if (atspi_state_set_contains(states, ATSPI_STATE_FOCUSABLE)) flags += 'f';
    if (atspi_state_set_contains(states, ATSPI_STATE_FOCUSED)) flags += 'F';
    if (atspi_state_set_contains(states, ATSPI_STATE_SHOWING)) flags += 's';
    if (atspi_state_set_contains(states, ATSPI_STATE_ENABLED)) flags += 'e';
    g_object_unref(states);
  }
  std::printf("%d %s|%s|%s\n", depth, oneLine(role).c_str(), oneLine(name).c_str(), flags.c_str());
  g_free(role);
  g_free(name);
  if (depth >= kMaximumDepth) return;
  const int count = atspi_accessible_get_child_count(object, &error);
  g_clear_error(&error);
  for (int i = 0; i < count; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, &error);
    g_clear_error(&error);
    if (!child) continue;
    print(child, depth + 1);
    g_object_unref(child);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: accessible_tree PID\n");
    return 2;
  }
  const auto pid = static_cast<guint>(std::strtoul(argv[1], nullptr, 10));
  if (atspi_init() > 1) {
    std::fprintf(stderr, "accessible_tree: no accessibility bus\n");
    return 2;
  }
  AtspiAccessible* desktop = atspi_get_desktop(0);
  GError* error = nullptr;
  const int count = atspi_accessible_get_child_count(desktop, &error);
  g_clear_error(&error);
  int found = 0;
  for (int i = 0; i < count; ++i) {
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, &error);
    g_clear_error(&error);
    if (!app) continue;
    if (atspi_accessible_get_process_id(app, &error) == pid) {
      print(app, 0);
      ++found;
    }
    g_clear_error(&error);
    g_object_unref(app);
  }
  g_object_unref(desktop);
  if (!found) std::fprintf(stderr, "accessible_tree: no application of process %u on the bus\n", pid);
  return found ? 0 : 1;
}
