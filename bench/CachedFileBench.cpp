// GADCachedFile against the loopback server: fetches per second of a 2 KB
// body, fresh (200) and revalidated (304), and the time of one fetch next
// to curl fetching the same URL from the same server in the same run.
#include <benchmark/benchmark.h>
#include <glib.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "ads/core/GADCachedFile.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "platform/headless/HeadlessToolkit.h"

namespace {

struct Counter : GADCachedFileDelegate {
  int outcomes = 0;
  int failures = 0;
  void cachedFileDownloadDidEnd(GADCachedFile&) override { ++outcomes; }
  void cachedFileDownloadDidFail(GADCachedFile&, const platform::Error*) override {
    ++outcomes;
    ++failures;
  }
  std::optional<platform::Error> cachedFileShouldRedirectToURL(GADCachedFile&, const platform::URL&) override {
    return std::nullopt;
  }
};

struct World {
  std::filesystem::path caches = std::filesystem::temp_directory_path() / "cached-file-bench";
  std::unique_ptr<adnet::LoopbackServer> server;
  World() {
    platform::HeadlessToolkit::install();
    platform::RunLoop::resetMainForTesting();
    std::filesystem::remove_all(caches);
    platform::FileManager::setCachesDirectoryForTesting(caches);
    server = std::make_unique<adnet::LoopbackServer>();
    adnet::Answer fresh;
    fresh.body = std::string(2048, 'x');
    server->setAnswer("/fresh", fresh);
    adnet::Answer dated = fresh;
    dated.lastModified = 1700000000;
    server->setAnswer("/dated", dated);
  }
};

World& world() {
  static World w;
  return w;
}

void fetchOnce(GADCachedFile& file, Counter& counter, benchmark::State& state) {
  const int before = counter.outcomes;
  file.validate();
  if (!platform::RunLoop::main().runUntil([&] { return counter.outcomes > before; }, 10))
    state.SkipWithError("fetch timed out");
}

void BM_CachedFileFresh200(benchmark::State& state) {
  Counter counter;
  GADCachedFile file(&counter, *platform::URL::create(world().server->url("/fresh")));
  for (auto _ : state) {
    file.invalidate();  // no file: the request is unconditional and answered 200
    fetchOnce(file, counter, state);
  }
  if (counter.failures) state.SkipWithError("a fetch failed");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedFileFresh200)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_CachedFileRevalidated304(benchmark::State& state) {
  Counter counter;
  GADCachedFile file(&counter, *platform::URL::create(world().server->url("/dated")));
  fetchOnce(file, counter, state);
  for (auto _ : state) fetchOnce(file, counter, state);
  if (file.httpStatusCode() != 304) state.SkipWithError("not answered 304");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedFileRevalidated304)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// One fetch on a fresh object, the way the loader fetches each ad.
void BM_CachedFileSingleFetch(benchmark::State& state) {
  Counter counter;
  const auto url = *platform::URL::create(world().server->url("/fresh"));
  for (auto _ : state) {
    GADCachedFile file(&counter, url);
    file.invalidate();
    fetchOnce(file, counter, state);
  }
}
BENCHMARK(BM_CachedFileSingleFetch)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// curl as a separate process, fetching from the server this process runs;
// the loop turns while curl waits for answers. Counter "curl_time_total"
// is curl's own figure, without its process start.
void BM_CurlSingleFetch(benchmark::State& state) {
  const std::string url = world().server->url("/fresh");
  double curlSeconds = 0;
  for (auto _ : state) {
    gchar* argv[] = {const_cast<gchar*>("curl"), const_cast<gchar*>("-s"), const_cast<gchar*>("-o"),
                     const_cast<gchar*>("/dev/null"), const_cast<gchar*>("-w"), const_cast<gchar*>("%{time_total}"),
                     const_cast<gchar*>(url.c_str()), nullptr};
    GPid pid = 0;
    gint out = -1;
    GError* error = nullptr;
    if (!g_spawn_async_with_pipes(nullptr, argv, nullptr,
                                  static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr,
                                  nullptr, &pid, nullptr, &out, nullptr, &error)) {
      state.SkipWithError(error->message);
      g_error_free(error);
      return;
    }
    bool exited = false;
    GSource* watch = g_child_watch_source_new(pid);
    g_source_set_callback(watch, G_SOURCE_FUNC(+[](GPid, gint, gpointer done) { *static_cast<bool*>(done) = true; }),
                          &exited, nullptr);
    g_source_attach(watch, platform::RunLoop::main().context());
    g_source_unref(watch);
    platform::RunLoop::main().runUntil([&] { return exited; }, 10);
    char text[64] = {};
    const ssize_t n = read(out, text, sizeof text - 1);
    close(out);
    g_spawn_close_pid(pid);
    if (n > 0) curlSeconds += std::atof(text);
  }
  state.counters["curl_time_total_us"] = benchmark::Counter(curlSeconds * 1e6 / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_CurlSingleFetch)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

// One atomic write (flushed to disk) into a folder that holds range(0)
// other files: the write's cost must not grow with them.
void BM_AtomicWriteBesideFiles(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / ("write-bench-" + std::to_string(state.range(0)));
  std::filesystem::create_directories(folder);
  for (int i = 0; i < state.range(0); ++i) std::fclose(std::fopen((folder / std::to_string(i)).c_str(), "w"));
  const std::vector<std::uint8_t> body(2048, 'x');
  for (auto _ : state) {
    if (!platform::FileManager::writeAtomically(folder / "cached", body)) state.SkipWithError("write failed");
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_AtomicWriteBesideFiles)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

BENCHMARK_MAIN();
