// The install log update of a log with 100,000 entries against a raw read
// and write of the same bytes. Both end with the new file flushed to disk
// and in place (the update renames a flushed temporary file over the log;
// the raw side writes and flushes a file beside it), so the ratio shows
// what the update costs beyond moving the bytes: the target is at most 1.5.
//
// Run: build/bench/log_update_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "apply/install_log.h"
#include "data/scrambled.h"
#include "platform/host/host_file_system.h"
#include "tests/fake/fake_platform.h"

namespace {

constexpr int kEntries = 100000;

struct Prefix {
  Prefix() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/pache-log-XXXXXX";
    directory = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    std::filesystem::create_directories(directory + "/drive_c/Game/an");
    std::filesystem::create_directories(directory + "/dosdevices");
    std::filesystem::create_symlink("../drive_c", directory + "/dosdevices/c:");
    for (int i = 0; i < kEntries; ++i)
      stored += "C:\\Game\\data\\voice\\voice" + std::to_string(100000 + i) + ".ogg\n\n";
    stored += "<END>\n\n";
    for (char& byte : stored) byte = static_cast<char>(255 - static_cast<unsigned char>(byte));
    log = directory + "/drive_c/Game/an/CP_Data.suk";
    Restore();
  }
  ~Prefix() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }
  // The old log, on disk: its flush must not fall into the timed update.
  void Restore() const {
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    benchmark::DoNotOptimize(write(fd, stored.data(), stored.size()));
    fsync(fd);
    close(fd);
  }
  std::string directory;
  std::string log;
  std::string stored;
};

Prefix& ThePrefix() {
  static Prefix prefix;
  return prefix;
}

// The block of a patch of 20 files.
const std::string kBlock = [] {
  std::string block;
  for (int i = 0; i < 20; ++i) block += "C:\\Game\\data\\patch" + std::to_string(i) + ".dat\n\n";
  block += "<END>\n\n";
  return block + std::string(20 * 256 - block.size(), '\0');
}();

// Reads the log and writes its bytes to a flushed file beside it.
void RawReadWrite(benchmark::State& state) {
  const Prefix& prefix = ThePrefix();
  std::string copy = prefix.log + ".raw";
  for (auto _ : state) {
    // A fresh buffer each time, as a program that reads the file once has.
    std::unique_ptr<char[]> buffer(new char[prefix.stored.size() + kBlock.size()]);
    int in = open(prefix.log.c_str(), O_RDONLY);
    ssize_t got = read(in, buffer.get(), prefix.stored.size() + kBlock.size());
    close(in);
    int out = open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    benchmark::DoNotOptimize(write(out, buffer.get(), static_cast<std::size_t>(got) + kBlock.size()));
    fsync(out);
    close(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * prefix.stored.size());
}

void UpdateLog(benchmark::State& state) {
  const Prefix& prefix = ThePrefix();
  pache::host::HostFileSystem files(prefix.directory);
  pache::FakePlatform fake;
  for (auto _ : state) {
    state.PauseTiming();
    prefix.Restore();
    auto session = std::make_unique<pache::PatchSession>(
        pache::Platform{files, fake.registry, fake.windows, fake.system});
    std::strcpy(session->installDir, "C:\\Game\\");
    session->logAdditions.bytes = static_cast<std::uint8_t*>(fake.system.Allocate(kBlock.size()));
    session->logAdditions.length = static_cast<std::int32_t>(kBlock.size());
    std::memcpy(session->logAdditions.bytes, kBlock.data(), kBlock.size());
    state.ResumeTiming();

    pache::UpdateInstallLog(*session);

    state.PauseTiming();
    bool complete = session->logAdditions.bytes == nullptr &&
                    std::filesystem::file_size(prefix.log) == prefix.stored.size() - 7 + kBlock.size();
    pache::ReleaseText(*session, session->definitionText);
    state.ResumeTiming();
    if (!complete) {
      state.SkipWithError("the log was not rewritten");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * prefix.stored.size());
}

BENCHMARK(RawReadWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20)->Repetitions(3);
BENCHMARK(UpdateLog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20)->Repetitions(3);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
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
  double raw = reporter.times["RawReadWrite"];
  double update = reporter.times["UpdateLog"];
  if (raw > 0 && update > 0)
    std::printf("log update / raw read+write = %.2f (target: at most 1.5)\n", update / raw);
  return 0;
}
