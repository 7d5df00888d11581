// Whole processes that use the statistics: what one run leaves for the next,
// and a clean exit when the statistics were the first process-wide object
// made (the sanitizers fail the child on a use after free at exit).
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace {

class StatisticsAcrossRunsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/stats-runs-XXXXXX";
    ASSERT_NE(g_mkdtemp(pattern), nullptr);
    config = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(config); }

  // Runs the probe with its own configuration folder; its output line, or
  // the failure text when it did not exit with status 0.
  std::string run(const char* mode) {
    std::vector<std::string> args = {STATISTICS_RUN_PROBE, mode};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    gchar** env = g_get_environ();
    env = g_environ_setenv(env, "XDG_CONFIG_HOME", config.c_str(), TRUE);
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint status = 0;
    GError* error = nullptr;
    const gboolean spawned = g_spawn_sync(nullptr, argv.data(), env, G_SPAWN_DEFAULT, nullptr, nullptr, &out,
                                          &err, &status, &error);
    g_strfreev(env);
    std::string result;
    if (!spawned) {
      result = std::string("cannot start: ") + error->message;
      g_error_free(error);
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      // The sanitizer's headline is enough to say what went wrong.
      result = "exit status " + std::to_string(status) + ": " + std::string(err ? err : "").substr(0, 400);
    } else {
      result = out ? out : "";
      if (!result.empty() && result.back() == '\n') result.pop_back();
    }
    g_free(out);
    g_free(err);
    return result;
  }

  std::filesystem::path config;
};

TEST_F(StatisticsAcrossRunsTest, CountersAndFlagsLastOneRunAndTimingsSavedAtTerminationReachTheNext) {
  EXPECT_EQ(run("terminate"), "preqs=1 pcbo=absent ptime=absent");
  EXPECT_EQ(run("terminate"), "preqs=1 pcbo=absent ptime=stored");
}

TEST_F(StatisticsAcrossRunsTest, WithoutTerminationNothingIsWritten) {
  EXPECT_EQ(run("exit"), "preqs=1 pcbo=absent ptime=absent");
  EXPECT_EQ(run("exit"), "preqs=1 pcbo=absent ptime=absent") << "timings are written only at termination";
  EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(config),
                          std::filesystem::recursive_directory_iterator()),
            0)
      << "no preferences file was written";
}

}  // namespace
