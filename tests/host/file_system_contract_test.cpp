// One table of file cases, run against the in-memory fake and against the
// host file system on a temporary prefix, so that the fake the unit tests
// trust cannot drift from the real thing. The cases speak only through the
// FileSystem interface, plus a look at attributes, content and time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/host/dos_attributes.h"
#include "platform/host/dos_path.h"
#include "platform/host/host_file_system.h"
#include "tests/fake/fake_file_system.h"
#include "tests/host/temp_prefix.h"

namespace pache {
namespace {

constexpr std::uint32_t kRO = FILE_ATTRIBUTE_READONLY;
constexpr std::uint32_t kH = FILE_ATTRIBUTE_HIDDEN;
constexpr std::uint32_t kS = FILE_ATTRIBUTE_SYSTEM;
constexpr std::uint32_t kDir = FILE_ATTRIBUTE_DIRECTORY;
constexpr std::uint32_t kNormal = FILE_ATTRIBUTE_NORMAL;
constexpr std::uint32_t kCompared = kRO | kH | kS | kDir;

class Backend {
 public:
  virtual ~Backend() = default;
  virtual FileSystem& files() = 0;
  // The READONLY, HIDDEN, SYSTEM and DIRECTORY bits; nothing when missing.
  virtual std::optional<std::uint32_t> Attributes(const std::string& dos) = 0;
  virtual std::optional<std::string> Content(const std::string& dos) = 0;
  // The last-write time, comparable only within one backend.
  virtual std::uint64_t Time(const std::string& dos) = 0;
};

class FakeBackend : public Backend {
 public:
  FileSystem& files() override { return fake_; }
  std::optional<std::uint32_t> Attributes(const std::string& dos) override {
    std::uint32_t attributes = fake_.Attributes(dos);
    if (attributes == kNoAttributes) return std::nullopt;
    return attributes & kCompared;
  }
  std::optional<std::string> Content(const std::string& dos) override { return fake_.Content(dos); }
  std::uint64_t Time(const std::string& dos) override { return fake_.Time(dos); }

 private:
  FakeFileSystem fake_;
};

class HostBackend : public Backend {
 public:
  FileSystem& files() override { return files_; }
  std::optional<std::uint32_t> Attributes(const std::string& dos) override {
    host::HostPath path;
    std::uint32_t attributes = 0;
    if (paths_.Resolve(dos, path) != host::PathLookup::Found ||
        !host::ReadAttributes(path.host, path.name, attributes))
      return std::nullopt;
    return attributes & kCompared;
  }
  std::optional<std::string> Content(const std::string& dos) override {
    host::HostPath path;
    struct stat info;
    if (paths_.Resolve(dos, path) != host::PathLookup::Found || stat(path.host.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode))
      return std::nullopt;
    return test::ReadHostFile(path.host);
  }
  std::uint64_t Time(const std::string& dos) override {
    host::HostPath path;
    struct stat info;
    if (paths_.Resolve(dos, path) != host::PathLookup::Found || stat(path.host.c_str(), &info) != 0)
      return 0;
    return static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
  }

 private:
  test::TempPrefix prefix_;
  host::HostFileSystem files_{prefix_.Directory()};
  host::DosPaths paths_{prefix_.Directory()};
};

// Seeds a file through the interface itself: created, written, closed, then
// given its attributes.
void Put(Backend& b, const std::string& dos, const std::string& content,
         std::uint32_t attributes = kNormal) {
  FileSystem& files = b.files();
  FileHandle file = files.CreateAlways(dos.c_str(), kNormal);
  ASSERT_NE(file, kNoFile) << dos;
  ASSERT_TRUE(files.Write(file, content.data(), static_cast<std::uint32_t>(content.size())));
  ASSERT_TRUE(files.Close(file)) << dos;
  if (attributes != kNormal) {
    ASSERT_TRUE(files.SetAttributes(dos.c_str(), attributes)) << dos;
  }
}

std::optional<std::string> ReadAll(FileSystem& files, const char* dos) {
  FileHandle file = files.OpenForReading(dos);
  if (file == kNoFile) return std::nullopt;
  std::string content(files.GetSize(file), '\0');
  std::uint32_t got = files.ReadFromStart(file, content.data(), static_cast<std::uint32_t>(content.size()));
  files.Close(file);
  content.resize(got);
  return content;
}

struct ContractCase {
  const char* name;
  std::function<void(Backend&)> run;
};

const ContractCase kCases[] = {
    {"WrittenFileReadsBack",
     [](Backend& b) {
       Put(b, "C:\\Game\\a.dat", "hello");
       EXPECT_EQ(ReadAll(b.files(), "C:\\Game\\a.dat"), "hello");
       Put(b, "C:\\Game\\empty", "");
       EXPECT_EQ(ReadAll(b.files(), "C:\\Game\\empty"), "");
     }},
    {"OnlyExistingFilesOpen",
     [](Backend& b) {
       Put(b, "C:\\Game\\a.dat", "x");
       FileSystem& f = b.files();
       EXPECT_EQ(f.OpenForReading("C:\\Game\\missing.dat"), kNoFile);
       EXPECT_EQ(f.OpenForReading("C:\\Nowhere\\a.dat"), kNoFile);
       EXPECT_EQ(f.OpenForReading("C:\\Game"), kNoFile);
       EXPECT_EQ(f.OpenForReading("C:\\Game\\a?.dat"), kNoFile);
       EXPECT_FALSE(f.Close(kNoFile));
     }},
    {"NoSharingWhileOpen",
     [](Backend& b) {
       Put(b, "C:\\Game\\PACH.suk", "data");
       FileSystem& f = b.files();
       FileHandle held = f.OpenForReading("C:\\Game\\PACH.suk");
       ASSERT_NE(held, kNoFile);
       EXPECT_EQ(f.OpenForReading("C:\\Game\\PACH.suk"), kNoFile);
       EXPECT_EQ(f.CreateAlways("C:\\Game\\PACH.suk", kNormal), kNoFile);
       EXPECT_FALSE(f.CopyFile("C:\\Game\\PACH.suk", "C:\\Game\\copy", false));
       EXPECT_TRUE(f.Close(held));
       EXPECT_EQ(ReadAll(f, "C:\\Game\\PACH.suk"), "data");
     }},
    {"NamesIgnoreCaseAndDotComponents",
     [](Backend& b) {
       Put(b, "C:\\Game\\Data.Dat", "one");
       EXPECT_EQ(ReadAll(b.files(), "c:\\GAME\\x\\..\\.\\data.dat"), "one");
       EXPECT_EQ(ReadAll(b.files(), "C:/Game/DATA.DAT"), "one");
       EXPECT_EQ(ReadAll(b.files(), "C:\\..\\Game\\Data.Dat"), "one");
       // Writing under another spelling replaces the same file.
       Put(b, "C:\\game\\DATA.DAT", "two");
       EXPECT_EQ(b.Content("C:\\Game\\Data.Dat"), "two");
     }},
    {"CreateAlwaysCommitsAtClose",
     [](Backend& b) {
       Put(b, "C:\\Game\\log", "old");
       FileSystem& f = b.files();
       FileHandle file = f.CreateAlways("C:\\Game\\log", kH);
       ASSERT_NE(file, kNoFile);
       ASSERT_TRUE(f.Write(file, "new ", 4));
       ASSERT_TRUE(f.Write(file, "content", 7));
       EXPECT_EQ(b.Content("C:\\Game\\log"), "old");
       EXPECT_TRUE(f.Close(file));
       EXPECT_EQ(b.Content("C:\\Game\\log"), "new content");
       EXPECT_EQ(b.Attributes("C:\\Game\\log"), kH);
       EXPECT_EQ(f.CreateAlways("C:\\Game\\Missing\\log", kNormal), kNoFile);
       EXPECT_EQ(f.CreateAlways("C:\\Game", kNormal), kNoFile);
     }},
    {"CreateAlwaysRefusesProtectedFiles",
     [](Backend& b) {
       struct Row {
         std::uint32_t existing, requested;
         bool allowed;
       };
       const Row rows[] = {
           {kRO, kNormal, false}, {kRO, kRO, false},   {kH, kNormal, false},
           {kH, kH, true},        {kS, kH, false},     {kH | kS, kH | kS, true},
           {kRO | kH, kH, false}, {kNormal, kH, true},
       };
       int i = 0;
       for (const Row& row : rows) {
         std::string dos = "C:\\Game\\f" + std::to_string(i++);
         Put(b, dos, "old", row.existing);
         FileHandle file = b.files().CreateAlways(dos.c_str(), row.requested);
         EXPECT_EQ(file != kNoFile, row.allowed) << dos;
         if (file != kNoFile) {
           b.files().Write(file, "new", 3);
           EXPECT_TRUE(b.files().Close(file));
         }
         EXPECT_EQ(b.Content(dos), row.allowed ? "new" : "old") << dos;
       }
     }},
    {"CopyRefusesAndLeavesTheTarget",
     [](Backend& b) {
       Put(b, "C:\\Game\\src", "source");
       FileSystem& f = b.files();
       for (std::uint32_t attributes : {kRO, kH, kRO | kH}) {
         std::string dos = "C:\\Game\\t" + std::to_string(attributes);
         Put(b, dos, "target", attributes);
         EXPECT_FALSE(f.CopyFile("C:\\Game\\src", dos.c_str(), false)) << dos;
         EXPECT_EQ(b.Content(dos), "target") << dos;
         EXPECT_EQ(b.Attributes(dos), attributes) << dos;
       }
       Put(b, "C:\\Game\\plain", "target");
       EXPECT_FALSE(f.CopyFile("C:\\Game\\src", "C:\\Game\\plain", true));
       EXPECT_EQ(b.Content("C:\\Game\\plain"), "target");
       EXPECT_FALSE(f.CopyFile("C:\\Game\\missing", "C:\\Game\\new", false));
       EXPECT_FALSE(f.CopyFile("C:\\Game\\src", "C:\\Game\\Missing\\new", false));
       EXPECT_EQ(b.Attributes("C:\\Game\\new"), std::nullopt);
     }},
    {"CopyCarriesContentTimeAndAttributes",
     [](Backend& b) {
       Put(b, "C:\\Game\\src", "source", kRO | kH);
       Put(b, "C:\\Game\\plain", "target");
       FileSystem& f = b.files();
       ASSERT_TRUE(f.CopyFile("C:\\Game\\SRC", "C:\\Game\\new", true));
       ASSERT_TRUE(f.CopyFile("C:\\Game\\src", "C:\\Game\\plain", false));
       for (const char* target : {"C:\\Game\\new", "C:\\Game\\plain"}) {
         EXPECT_EQ(b.Content(target), "source") << target;
         EXPECT_EQ(b.Attributes(target), kRO | kH) << target;
         EXPECT_EQ(b.Time(target), b.Time("C:\\Game\\src")) << target;
       }
       // A copy of a plain file is plain, and its content is its own.
       Put(b, "C:\\Game\\p", "p");
       ASSERT_TRUE(f.CopyFile("C:\\Game\\p", "C:\\Game\\q", false));
       EXPECT_EQ(b.Attributes("C:\\Game\\q"), 0u);
       Put(b, "C:\\Game\\p", "changed");
       EXPECT_EQ(b.Content("C:\\Game\\q"), "p");
     }},
    {"SetAttributesBackToNormal",
     [](Backend& b) {
       Put(b, "C:\\Game\\a", "x", kRO | kH | kS);
       EXPECT_EQ(b.Attributes("C:\\Game\\a"), kRO | kH | kS);
       EXPECT_TRUE(b.files().SetAttributes("C:\\Game\\a", kNormal));
       EXPECT_EQ(b.Attributes("C:\\Game\\a"), 0u);
       Put(b, "C:\\Game\\a", "y");  // writable again
       EXPECT_FALSE(b.files().SetAttributes("C:\\Game\\missing", kNormal));
     }},
    {"CreateDirectoryMakesOneLevel",
     [](Backend& b) {
       FileSystem& f = b.files();
       EXPECT_TRUE(f.CreateDirectory("C:\\Game\\New"));
       EXPECT_FALSE(f.CreateDirectory("C:\\Game\\New"));
       EXPECT_FALSE(f.CreateDirectory("C:\\game\\NEW\\"));
       EXPECT_FALSE(f.CreateDirectory("C:\\Game\\a\\b"));
       EXPECT_FALSE(f.CreateDirectory("C:\\"));
       EXPECT_TRUE(f.CreateDirectory("C:\\game\\New\\Sub"));
       EXPECT_EQ(b.Attributes("C:\\Game\\new\\sub"), kDir);
       Put(b, "C:\\Game\\New\\Sub\\x", "x");
       EXPECT_FALSE(f.CreateDirectory("C:\\Game\\New\\Sub\\x"));
     }},
};

class FileSystemContract
    : public ::testing::TestWithParam<std::tuple<const char*, std::size_t>> {};

TEST_P(FileSystemContract, Holds) {
  auto [backendName, index] = GetParam();
  std::unique_ptr<Backend> backend;
  if (std::strcmp(backendName, "fake") == 0) {
    backend = std::make_unique<FakeBackend>();
  } else {
    backend = std::make_unique<HostBackend>();
  }
  ASSERT_TRUE(backend->files().CreateDirectory("C:\\Game"));
  kCases[index].run(*backend);
}

INSTANTIATE_TEST_SUITE_P(
    Backends, FileSystemContract,
    ::testing::Combine(::testing::Values("fake", "host"),
                       ::testing::Range<std::size_t>(0, std::size(kCases))),
    [](const auto& info) {
      return std::string(std::get<0>(info.param)) + "_" + kCases[std::get<1>(info.param)].name;
    });

}  // namespace
}  // namespace pache
