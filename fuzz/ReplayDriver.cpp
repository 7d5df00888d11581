// Runs a fuzz target without libFuzzer: every file of the seed folders
// given, then seeded random mutations of them, so the test build checks a
// target's oracle under its own sanitizers on every run.
//   <target> [--runs N] SEED_FOLDER...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size);

int main(int argc, char** argv) {
  long runs = 20000;
  std::vector<std::string> seeds;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atol(argv[++i]);
      continue;
    }
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      std::ifstream in(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  if (seeds.empty()) seeds.emplace_back(8, '\0');
  for (const auto& seed : seeds) LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size());
  std::mt19937 random(20261207);
  for (long run = 0; run < runs; ++run) {
    std::string input = seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      const unsigned what = random() % 3;
      if (what == 0 && !input.empty()) {
        input[random() % input.size()] = static_cast<char>(random());
      } else if (what == 1) {
        input.insert(input.begin() + static_cast<long>(random() % (input.size() + 1)), static_cast<char>(random()));
      } else if (input.size() > 4) {
        input.erase(input.begin() + static_cast<long>(4 + random() % (input.size() - 4)));
      }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  }
  std::printf("replayed %zu seeds and %ld random inputs\n", seeds.size(), runs);
  return 0;
}
