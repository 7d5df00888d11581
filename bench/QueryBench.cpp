// Parsing the query string of a message URL that an ad page wrote, at
// sizes up to 80,000 distinct keys: the time should grow near linearly
// (per-key time roughly flat across the sizes).
#include <benchmark/benchmark.h>

#include <string>

#include "ads/request/GADNetworkUtilities.h"

namespace {

std::string queryOf(int keys) {
  std::string query;
  for (int i = 0; i < keys; ++i) {
    if (i) query += '&';
    query += "key" + std::to_string(i) + "=value%20" + std::to_string(i);
  }
  return query;
}

void BM_DictionaryFromQueryString(benchmark::State& state) {
  const std::string query = queryOf(static_cast<int>(state.range(0)));
  size_t keys = 0;
  for (auto _ : state) {
    auto parsed = GADNetworkUtilities::dictionaryFromQueryString(&query);
    keys = parsed.size();
    benchmark::DoNotOptimize(parsed);
  }
  state.counters["keys"] = static_cast<double>(keys);
  state.counters["query_kb"] = static_cast<double>(query.size()) / 1024.0;
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DictionaryFromQueryString)->Arg(100)->Arg(1000)->Arg(5000)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
