// The copy phase without its pauses: the copy worker copying 1 GB in 1,000
// files from a patch folder into the install directory, against `cp` of the
// same files (and `cp --reflink=always` where the file system shares
// extents). The worker makes every file durable (flushed, then renamed into
// place); plain `cp` does not, so `cp` followed by `sync` is timed too.
//
// Run: build/bench/copy_phase_bench [FILES [MB_PER_FILE]]
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "apply/copy_worker.h"
#include "platform/host/host_file_system.h"
#include "platform/host/host_system.h"
#include "tests/fake/fake_platform.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The host's threads and memory, without the pauses between lines.
class NoPauses : public pache::host::HostSystem {
 public:
  NoPauses() : HostSystem([](const char*) { return false; }) {}
  void Sleep(std::uint32_t) override {}
};

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double TimeShell(const std::string& command) {
  auto start = Clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  int files = argc > 1 ? std::atoi(argv[1]) : 1000;
  int megabytes = argc > 2 ? std::atoi(argv[2]) : 1;
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/pache-copy-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::string prefix = pattern;
  const std::string patch = prefix + "/drive_c/patch";
  const std::string game = prefix + "/drive_c/Game";
  fs::create_directories(patch);
  fs::create_directories(prefix + "/dosdevices");
  fs::create_symlink("../drive_c", prefix + "/dosdevices/c:");

  std::string definition = "<COPY>\r\n";
  std::vector<char> content(static_cast<std::size_t>(megabytes) << 20);
  for (int i = 0; i < files; ++i) {
    for (std::size_t at = 0; at < content.size(); at += 4096) content[at] = static_cast<char>(i + at);
    std::string name = "file" + std::to_string(i) + ".dat";
    std::ofstream(patch + "/" + name, std::ios::binary).write(content.data(), content.size());
    definition += name + "=" + name + "\r\n";
  }
  definition += "<COPY>\r\n";
  std::system("sync");

  auto fresh = [&] {
    fs::remove_all(game);
    fs::create_directories(game);
    std::system("sync");
  };
  auto runWorker = [&] {
    fresh();
    pache::host::HostFileSystem hostFiles(prefix);
    NoPauses system;
    pache::FakePlatform fake;
    pache::PatchSession session(pache::Platform{hostFiles, fake.registry, fake.windows, system});
    std::strcpy(session.sourceDir, "C:\\patch");
    std::strcpy(session.installDir, "C:\\Game\\");
    session.definitionText.bytes = reinterpret_cast<std::uint8_t*>(definition.data());
    session.definitionText.length = static_cast<std::int32_t>(definition.size());
    auto start = Clock::now();
    pache::CopyWorkerMain(session, session.worker);
    double seconds = Seconds(start);
    if (session.logAdditions.bytes != nullptr) system.Release(session.logAdditions.bytes);
    session.definitionText.bytes = nullptr;
    if (!fake.windows.messageBoxes().empty()) return -1.0;  // a copy failed
    return seconds;
  };
  auto runCp = [&](const char* options, bool sync) {
    fresh();
    std::string command = "cp " + std::string(options) + " " + patch + "/. " + game + "/";
    if (sync) command += " && sync -f " + game;
    return TimeShell(command);
  };

  // The best of a few rounds, taken in turns so that both meet the same
  // machine.
  double worker = 1e9, cp = 1e9, cpSync = 1e9, reflink = 1e9;
  bool hasReflink = true;
  for (int round = 0; round < 3; ++round) {
    double w = runWorker();
    if (w < 0) {
      std::fprintf(stderr, "copy_phase_bench: a copy failed\n");
      return 1;
    }
    worker = std::min(worker, w);
    cp = std::min(cp, runCp("-r", false));
    cpSync = std::min(cpSync, runCp("-r", true));
    double r = hasReflink ? runCp("-r --reflink=always 2>/dev/null", false) : -1;
    if (r < 0) hasReflink = false;
    else reflink = std::min(reflink, r);
  }
  fs::remove_all(prefix);

  double gigabytes = static_cast<double>(files) * megabytes / 1024.0;
  std::printf("copy phase: %d files, %.2f GB\n", files, gigabytes);
  std::printf("  copy worker, no pauses   %8.3f s\n", worker);
  std::printf("  cp -r                    %8.3f s\n", cp);
  std::printf("  cp -r, then sync         %8.3f s\n", cpSync);
  if (hasReflink) std::printf("  cp --reflink=always      %8.3f s\n", reflink);
  else std::printf("  cp --reflink=always      not offered by this file system\n");
  std::printf("worker / cp = %.2f (target: at most 1.0); worker / (cp + sync) = %.2f\n",
              worker / cp, worker / cpSync);
  return 0;
}
