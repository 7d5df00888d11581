// This process's windows as assistive technologies read them over AT-SPI:
// the accessible_tree tool walks them from another process (libatspi's
// calls block, and the answers come from this process's main loop, which
// turns meanwhile). Needs an accessibility bus: the test runs under
// dbus-run-session with GTK's accessibility on.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/RunLoop.h"

class AccessibleTree {
 public:
  struct Node {
    int depth = 0;
    std::string role, name, states;  // states: f focusable, F focused, s showing, e enabled
    bool focusable() const { return states.find('f') != std::string::npos; }
    bool showing() const { return states.find('s') != std::string::npos; }
  };

  // Walks the tree now; empty (with a failure added) when the walk failed.
  static AccessibleTree walk() {
    AccessibleTree tree;
    GSubprocessLauncher* launcher =
        g_subprocess_launcher_new(GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_PIPE));
    // The tool's own leaks (libatspi's caches) are none of this test's.
    g_subprocess_launcher_setenv(launcher, "ASAN_OPTIONS", "detect_leaks=0", TRUE);
    const std::string pid = std::to_string(getpid());
    GError* error = nullptr;
    GSubprocess* tool = g_subprocess_launcher_spawn(launcher, &error, ACCESSIBLE_TREE, pid.c_str(), nullptr);
    g_object_unref(launcher);
    if (!tool) {
      ADD_FAILURE() << "accessible_tree: " << error->message;
      g_error_free(error);
      return tree;
    }
    struct Outcome {
      bool done = false;
      std::string out, err;
    } outcome;
    g_subprocess_communicate_utf8_async(
        tool, nullptr, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
          auto* o = static_cast<Outcome*>(data);
          char *out = nullptr, *err = nullptr;
          g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), result, &out, &err, nullptr);
          o->out = out ? out : "";
          o->err = err ? err : "";
          g_free(out);
          g_free(err);
          o->done = true;
        },
        &outcome);
    if (!platform::RunLoop::main().runUntil([&] { return outcome.done; }, 60)) {
      g_subprocess_force_exit(tool);
      platform::RunLoop::main().runUntil([&] { return outcome.done; }, 5);
    }
    const bool ok = outcome.done && g_subprocess_get_if_exited(tool) && g_subprocess_get_exit_status(tool) == 0;
    g_object_unref(tool);
    if (!ok) {
      ADD_FAILURE() << "accessible_tree failed: " << outcome.err;
      return tree;
    }
    tree.text_ = outcome.out;
    size_t start = 0;
    while (start < tree.text_.size()) {
      size_t end = tree.text_.find('\n', start);
      if (end == std::string::npos) end = tree.text_.size();
      const std::string line = tree.text_.substr(start, end - start);
      start = end + 1;
      const size_t space = line.find(' '), bar1 = line.find('|'), bar2 = line.rfind('|');
      if (space == std::string::npos || bar1 == std::string::npos || bar1 == bar2) continue;
      tree.nodes_.push_back(Node{std::stoi(line.substr(0, space)), line.substr(space + 1, bar1 - space - 1),
                                 line.substr(bar1 + 1, bar2 - bar1 - 1), line.substr(bar2 + 1)});
    }
    return tree;
  }

  const std::vector<Node>& nodes() const { return nodes_; }
  // The tool's output as it printed it: depth, role|name|states per line.
  const std::string& text() const { return text_; }

  // The first node with that role and name, or null.
  const Node* find(const std::string& role, const std::string& name) const {
    for (const auto& node : nodes_)
      if (node.role == role && node.name == name) return &node;
    return nullptr;
  }
  // The nodes inside `node` (its subtree, without it).
  std::vector<Node> inside(const Node& node) const {
    std::vector<Node> found;
    for (auto it = nodes_.begin() + (&node - nodes_.data()) + 1; it != nodes_.end() && it->depth > node.depth; ++it)
      found.push_back(*it);
    return found;
  }

 private:
  std::vector<Node> nodes_;
  std::string text_;
};
