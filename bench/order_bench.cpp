// SPDX-License-Identifier: MIT
// The name order at 100 000 names: the listing's sort (each name's key made once), the same by
// the comparison alone, and beside them the order by ASCII case only it replaced; then a folder
// of 100 000 files listed. Names: a third Latin, a third Cyrillic, the rest mixed or in
// Windows-1251 bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/charset.h"
#include "base/folder_order.h"
#include "bench_support.h"

namespace trevanto::bench {
namespace {

constexpr int kNames = 100'000;

std::vector<std::string> names() {
  static const std::vector<std::string> made = [] {
    const std::vector<std::string> latin = {"News", "mail", "Docs", "_old", "video", "Maps", "shop", "Wiki"};
    const std::vector<std::string> cyrillic = {"Работа", "ёлка", "Проекты", "новости", "Ёж", "почта", "Яндекс", "дом"};
    std::mt19937 random(26);
    std::vector<std::string> list;
    for (int i = 0; i < kNames; ++i) {
      std::string name;
      switch (i % 6) {
        case 0:
        case 1:
          name = latin[random() % latin.size()] + " " + latin[random() % latin.size()];
          break;
        case 2:
        case 3:
          name = cyrillic[random() % cyrillic.size()] + " " + cyrillic[random() % cyrillic.size()];
          break;
        case 4:
          name = latin[random() % latin.size()] + " " + cyrillic[random() % cyrillic.size()];
          break;
        default:
          name = std::string("\xD0\xE0\xE1\xEE\xF2\xE0 ") + latin[random() % latin.size()];  // Windows-1251
          break;
      }
      list.push_back(name + " " + std::to_string(random() % 100'000) + ".url");
    }
    return list;
  }();
  return made;
}

// The order before: ASCII letters in lower case, every other byte as it is.
bool asciiCaseOnlyLess(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto la = static_cast<unsigned char>(base::asciiLower(a[i]));
    const auto lb = static_cast<unsigned char>(base::asciiLower(b[i]));
    if (la != lb) return la < lb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void BM_NameOrderKeyedSort(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::string> list = names();
    base::sortInNameOrder(list, [](const std::string& name) -> const std::string& { return name; });
    benchmark::DoNotOptimize(list.data());
  }
}
BENCHMARK(BM_NameOrderKeyedSort)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_NameOrderComparisonSort(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::string> list = names();
    std::sort(list.begin(), list.end(), base::nameOrderLess);
    benchmark::DoNotOptimize(list.data());
  }
}
BENCHMARK(BM_NameOrderComparisonSort)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_AsciiCaseOnlySortBefore(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::string> list = names();
    std::sort(list.begin(), list.end(), asciiCaseOnlyLess);
    benchmark::DoNotOptimize(list.data());
  }
}
BENCHMARK(BM_AsciiCaseOnlySortBefore)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

// A folder of 100 000 files listed in the order (readdir and the sort).
void BM_ListFolder100000(benchmark::State& state) {
  const fs::path folder = workRoot() / "order";
  freshFolder(folder);
  for (const std::string& name : names()) std::ofstream(base::joinPath(folder, name));
  for (auto _ : state) benchmark::DoNotOptimize(base::listFiles(folder));
}
BENCHMARK(BM_ListFolder100000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
}  // namespace trevanto::bench
