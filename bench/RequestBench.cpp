// The work the loader does once per ad: build the full request parameter
// dictionary (device identity, request settings, location, statistics),
// add the loader's keys and write it as JSON. Reports time per build and
// heap allocations per build (counted by this binary's operator new).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ads/core/GADMacros.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADRequestPrivate.h"
#include "ads/request/GADStatistics.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

namespace {
std::atomic<std::uint64_t> allocations{0};
}

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// Pairs with the operator new above, which takes its memory from malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

void BM_BuildParametersAndJSON(benchmark::State& state) {
  platform::RunLoop::resetMainForTesting();
  platform::UserDefaults::setStandardForTesting(std::make_shared<platform::UserDefaults>(std::nullopt));
  auto request = std::make_shared<GADRequestPrivate>();
  request->addKeyword("comedy");
  request->addKeyword("sound board");
  request->setGender(kGADGenderFemale);
  request->setBirthdayWithMonthDayYear(4, 12, 1985);
  request->setLocationWithLatitudeLongitudeAccuracy(51.5f, -0.12f, 65.0f);
  request->setAdditionalParameters(std::make_shared<platform::Dictionary>(platform::Dictionary{{"color_bg", "FFFFFF"}}));
  auto& stats = GADStatistics::sharedStatistics();
  size_t bytes = 0;
  const std::uint64_t before = allocations.load();
  for (auto _ : state) {
    // What a previous ad left to report.
    stats.startTimingNamed(kGADParameterPriorRequestLatency);
    stats.incrementClickCount();
    request->setCounter(static_cast<std::int32_t>(stats.incrementAdRequestCount()));
    platform::Value parameters(request->parameters());
    auto* dictionary = parameters.asDictionary();
    dictionary->set(kGADParameterAdSlotID, "a1b2c3d4e5f6071");
    dictionary->set(kGADParameterAdFrame, platform::Dictionary{{"x", 0.0f}, {"y", 410.0f}, {"w", 320.0f}, {"h", 50.0f}});
    auto json = GADMacros::jsonify(&parameters);
    bytes = json->size();
    benchmark::DoNotOptimize(json);
  }
  state.counters["allocations_per_build"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
  state.counters["json_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildParametersAndJSON)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
