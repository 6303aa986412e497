// A patch run on the fake machine with arbitrary inputs: the decoded patch
// definition, the product's version file and its decoded install log,
// separated by two zero bytes. Every reader of the definition, the install
// check, the copy worker, the registry update and the install log update
// see them.
#include <cstdint>
#include <string>
#include <string_view>

#include "apply/copy_worker.h"
#include "apply/install_log.h"
#include "apply/registry_update.h"
#include "check/install_check.h"
#include "data/paths.h"
#include "data/scrambled.h"
#include "tests/fake/fake_platform.h"

using namespace pache;

namespace {

std::string Scrambled(std::string_view text) {
  std::string bytes(text);
  InvertBytes(reinterpret_cast<std::uint8_t*>(bytes.data()), static_cast<std::int32_t>(bytes.size()));
  return bytes;
}

// The next piece of `input` up to two zero bytes (or its end).
std::string_view NextPiece(std::string_view& input) {
  std::size_t end = input.find(std::string_view("\0\0", 2));
  std::string_view piece = input.substr(0, end);
  input = end == std::string_view::npos ? std::string_view() : input.substr(end + 2);
  return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view definition = NextPiece(input);
  std::string_view versionFile = NextPiece(input);
  std::string_view installLog = NextPiece(input);

  FakePlatform fake;
  fake.files.SetCurrentDirectory("C:\\patch");
  fake.files.AddFile("C:\\patch\\PACH.suk", Scrambled(definition));
  fake.files.AddFile("C:\\patch\\a.dat", "new a");
  fake.files.AddFile("C:\\Game\\a.dat", "old a");
  fake.files.AddFile("C:\\Game\\locked.dat", "locked", FILE_ATTRIBUTE_READONLY);
  fake.files.AddFile("C:\\Game\\version.txt", std::string(versionFile));
  fake.files.AddFile("C:\\Game\\an\\CP_Data.suk", Scrambled(installLog), FILE_ATTRIBUTE_HIDDEN);
  fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "InstallDir", "C:\\Game");
  fake.registry.AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Game", "Version", "1.00");
  fake.registry.AddString(HKEY_CURRENT_USER, "Software\\Maker", "", "default");

  PatchSession session(fake.platform());
  session.platform.files.GetCurrentDirectory(session.sourceDir, sizeof session.sourceDir);
  CheckInstallation(session);
  // Whatever the check said, the later readers get the definition too.
  if (session.definitionText.bytes == nullptr) return 0;
  if (session.installDir[0] == '\0') JoinPath(session.installDir, "C:\\Game", "");
  CopyWorkerMain(session, session.worker);
  ApplyRegistrySection(session);
  UpdateInstallLog(session);
  ReleaseText(session, session.definitionText);
  ReleaseText(session, session.logAdditions);
  ReleaseText(session, session.versionFile);
  return 0;
}
