// Parameter system benchmarks.
//
// ToString/FromString: a tree of 1,000 leaf items nested three deep (10 groups
// of 10 subgroups of 10 items, texts and ints alternating), the shape of a
// device's settings grown large. Archive: the same tree stored and loaded.
// Find: a flat collection of N items, looked up by existing names in a
// scattered order; a hash lookup, so the time per call stays flat as N grows.
// FindWithDuplicates: the same with one duplicate name, which makes every
// lookup fall back to a scan (linear in N), for comparison.
//
// Every case runs 5 repetitions; the median lines are the figures to read.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "params/parameters.h"
#include "platform/archive.h"

namespace {

CParameters Tree() {
  CParameters root;
  for (int g = 0; g < 10; ++g) {
    CParameters* group = root.GetParameters("group" + std::to_string(g));
    for (int s = 0; s < 10; ++s) {
      CParameters* sub = group->GetParameters("sub" + std::to_string(s));
      for (int i = 0; i < 10; ++i) {
        const std::string name = "item" + std::to_string(i);
        if (i % 2) {
          sub->SetInt(name, g * 100 + s * 10 + i);
        } else {
          sub->SetString(name, "COM" + std::to_string(g * 100 + s * 10 + i));
        }
      }
    }
  }
  return root;
}

void BM_ToString(benchmark::State& state) {
  const CParameters tree = Tree();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = tree.ToString();
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["text_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_FromString(benchmark::State& state) {
  const std::string text = Tree().ToString();
  CParameters back;
  for (auto _ : state) {
    if (!back.FromString(text)) state.SkipWithError("text form did not read back");
    benchmark::DoNotOptimize(back);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ArchiveStore(benchmark::State& state) {
  CParameters tree = Tree();
  for (auto _ : state) {
    CArchive ar;
    tree.Serialize(ar);
    benchmark::DoNotOptimize(ar.GetBuffer().data());
  }
}

void BM_ArchiveLoad(benchmark::State& state) {
  CParameters tree = Tree();
  CArchive out;
  tree.Serialize(out);
  CParameters back;
  for (auto _ : state) {
    CArchive in(out.GetBuffer());
    back.Serialize(in);
    benchmark::DoNotOptimize(back);
  }
}

// Names in a scattered order so that consecutive lookups do not share cache
// lines by accident.
std::vector<std::string> LookupOrder(int n) {
  std::vector<std::string> names;
  names.reserve(1024);
  unsigned x = 12345;
  for (int i = 0; i < 1024; ++i) {
    x = x * 1103515245u + 12345u;
    names.push_back("name" + std::to_string((x >> 8) % static_cast<unsigned>(n)));
  }
  return names;
}

CParameters Flat(int n) {
  CParameters c;
  for (int i = 0; i < n; ++i) c.SetInt("name" + std::to_string(i), i);
  return c;
}

void BM_Find(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const CParameters c = Flat(n);
  const std::vector<std::string> names = LookupOrder(n);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.Find(names[k++ & 1023]));
  }
}

void BM_FindWithDuplicates(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  CParameters c = Flat(n);
  c.ElementAt(0).m_strName = "name1";  // the index now falls short by one entry
  c.RebuildIndex();
  const std::vector<std::string> names = LookupOrder(n);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.Find(names[k++ & 1023]));
  }
}

void BM_FindThreeDeep(benchmark::State& state) {
  CParameters tree = Tree();
  int found = 0;
  for (auto _ : state) {
    CParameters* leafGroup = tree.GetParameters("group7")->GetParameters("sub3");
    found = leafGroup->Find("item5");
    benchmark::DoNotOptimize(found);
  }
}

}  // namespace

BENCHMARK(BM_ToString)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_FromString)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ArchiveStore)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ArchiveLoad)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Find)->RangeMultiplier(10)->Range(10, 100000)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_FindWithDuplicates)->RangeMultiplier(10)->Range(10, 10000)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FindThreeDeep)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
