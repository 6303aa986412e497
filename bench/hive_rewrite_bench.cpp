// Rewriting one value of a 30 MB system.reg against copying that file.
// Both end with the new file flushed to disk, so the ratio shows what the
// rewrite costs beyond moving the bytes: the target is at most 2.
//
// Run: build/bench/hive_rewrite_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/host/host_registry.h"
#include "tests/host/hive_generator.h"

namespace {

constexpr std::size_t kHiveSize = 30u << 20;

struct Prefix {
  Prefix() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/pache-bench-XXXXXX";
    directory = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    std::string hive = pache::test::GenerateSystemHive(kHiveSize);
    std::FILE* file = std::fopen((directory + "/system.reg").c_str(), "wb");
    std::fwrite(hive.data(), 1, hive.size(), file);
    std::fclose(file);
  }
  ~Prefix() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }
  std::string directory;
};

Prefix& ThePrefix() {
  static Prefix prefix;
  return prefix;
}

// What a careful copy does: read the file, write it beside itself, flush.
void CopyHive(benchmark::State& state) {
  std::string source = ThePrefix().directory + "/system.reg";
  std::string target = ThePrefix().directory + "/copy.reg";
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    int in = open(source.c_str(), O_RDONLY);
    int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (ssize_t got; (got = read(in, buffer.data(), buffer.size())) > 0;)
      benchmark::DoNotOptimize(write(out, buffer.data(), static_cast<std::size_t>(got)));
    fsync(out);
    close(out);
    close(in);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kHiveSize);
}

// One value changed in the loaded hive, as the registry update does.
void RewriteValue(benchmark::State& state) {
  pache::host::HostRegistry registry(ThePrefix().directory);
  pache::RegKey key = 0;
  if (!registry.OpenKey(pache::HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", pache::KEY_ALL_ACCESS, &key)) {
    state.SkipWithError("no key");
    return;
  }
  const char* versions[] = {"1.10", "1.11"};
  int turn = 0;
  for (auto _ : state) {
    const char* version = versions[turn++ & 1];
    if (!registry.SetValue(key, "Version", pache::REG_SZ, reinterpret_cast<const std::uint8_t*>(version), 4)) {
      state.SkipWithError("write failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kHiveSize);
}

// Reading the hive's key index and opening the key: paid once per run.
void LoadHive(benchmark::State& state) {
  for (auto _ : state) {
    pache::host::HostRegistry registry(ThePrefix().directory);
    pache::RegKey key = 0;
    benchmark::DoNotOptimize(
        registry.OpenKey(pache::HKEY_LOCAL_MACHINE, "Software\\Sample\\Game", pache::KEY_READ, &key));
  }
}

// A fixed number of runs each: one slow first run must not decide it.
BENCHMARK(CopyHive)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Repetitions(3);
BENCHMARK(RewriteValue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Repetitions(3);
BENCHMARK(LoadHive)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each run's time per iteration, to print the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // The median of the repetitions.
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        times[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double copy = 0, rewrite = 0;
  for (const auto& [name, time] : reporter.times) {
    if (name == "CopyHive") copy = time;
    if (name == "RewriteValue") rewrite = time;
  }
  if (copy > 0 && rewrite > 0)
    std::printf("rewrite / copy = %.2f (target: at most 2)\n", rewrite / copy);
  return 0;
}
