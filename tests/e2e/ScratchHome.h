// A home folder of the test binary's own, made before anything reads HOME:
// what a page manages to save where nobody chose (WebKit's fallback is the
// home folder) lands there, for the tests to find, never in the user's.
#pragma once

#include <glib.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

class ScratchHome {
 public:
  ScratchHome() {
    char pattern[] = "/tmp/blorvik-home-XXXXXX";
    if (g_mkdtemp(pattern)) {
      folder_ = pattern;
      setenv("HOME", pattern, 1);
    }
  }
  ~ScratchHome() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    if (!appFolders_.empty()) std::filesystem::remove_all(appFolders_, ignored);
  }
  // The application's settings, data and caches in new folders of their
  // own, beside the home (never in it, where they would pass for files a
  // page saved): each run is a first run.
  void giveTheApplicationNewFolders() {
    if (folder_.empty()) return;
    appFolders_ = folder_.string() + "-xdg";
    for (const auto& [name, sub] : {std::pair{"XDG_CONFIG_HOME", "config"}, std::pair{"XDG_DATA_HOME", "data"},
                                    std::pair{"XDG_CACHE_HOME", "cache"}, std::pair{"XDG_STATE_HOME", "state"}}) {
      std::filesystem::create_directories(appFolders_ / sub);
      setenv(name, (appFolders_ / sub).c_str(), 1);
    }
  }
  ScratchHome(const ScratchHome&) = delete;
  ScratchHome& operator=(const ScratchHome&) = delete;
  bool made() const { return !folder_.empty(); }

  // The files in the folders WebKit saves into when nobody chose one: the
  // desktop's download folder, else the home folder.
  static std::set<std::string> savedFiles() {
    std::set<std::string> names;
    std::vector<std::filesystem::path> folders{g_get_home_dir()};
    if (const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)) folders.emplace_back(downloads);
    for (const auto& folder : folders) {
      std::error_code error;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file()) names.insert(entry.path().string());
    }
    return names;
  }

 private:
  std::filesystem::path folder_;
  std::filesystem::path appFolders_;
};
