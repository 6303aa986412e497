// A fake machine with the sample product installed and a patch folder
// beside it, shared by the tests of the patch run.
//
// The product "Sample Story" 1.02 lives in C:\Game (registered under
// HKLM\SOFTWARE\SampleMaker\SampleStory, value InstallDir), with its
// version file, its story.exe, a data folder and a hidden install log that
// lists two files. The patch folder C:\patch is the working directory and
// holds PACH.suk and the patch's files.
#pragma once

#include <string>
#include <vector>

#include "tests/fake/fake_platform.h"

namespace pache::machine {

inline constexpr char kPatchDir[] = "C:\\patch";
inline constexpr char kGameDir[] = "C:\\Game";
inline constexpr char kGameKey[] = "SOFTWARE\\SampleMaker\\SampleStory";
inline constexpr char kLogPath[] = "C:\\Game\\an\\CP_Data.suk";
inline constexpr char kOldLogEntries[] = "C:\\Game\\story.exe\n\nC:\\Game\\data\\story.dat\n\n";

// Every byte b stored as 255 - b.
inline std::string Scrambled(std::string text) {
  for (char& byte : text) byte = static_cast<char>(255 - static_cast<unsigned char>(byte));
  return text;
}

// The patch definition, line by line; each line ends with CR LF.
struct Definition {
  std::string title = "Sample Story";
  std::string version = "1.03";
  std::string versionFile = "version.txt";
  std::string installDirRef = "2SOFTWARE\\SampleMaker\\SampleStory-InstallDir";
  bool hasCopySection = true;
  std::vector<std::string> copyLines = {"data\\voice", "voice01.dat=data\\voice\\voice01.dat",
                                        "story.exe=story.exe"};
  std::vector<std::string> registryLines = {"2SOFTWARE\\SampleMaker\\SampleStory-Version=1.03"};

  std::string Text() const {
    std::string text = "TITOL=" + title + "\r\nVERSION=" + version + "\r\nVERSION_TXT=" +
                       versionFile + "\r\nDIR_REG=" + installDirRef + "\r\n";
    if (hasCopySection) {
      text += "<COPY>\r\n";
      for (const std::string& line : copyLines) text += line + "\r\n";
      text += "<COPY>\r\n";
    }
    text += "<REG>\r\n";
    for (const std::string& line : registryLines) text += line + "\r\n";
    return text + "<REG>\r\n";
  }
};

// The decoded install log as the product left it: two entries, the end
// marker and zero fill.
inline std::string OldLog() { return kOldLogEntries + std::string("<END>\n\n") + std::string(50, '\0'); }

inline void InstallSample(FakePlatform& fake, const Definition& definition = Definition()) {
  FakeFileSystem& files = fake.files;
  files.SetCurrentDirectory(kPatchDir);
  files.AddFile("C:\\patch\\PACH.suk", Scrambled(definition.Text()));
  files.AddFile("C:\\patch\\voice01.dat", "voice 01");
  files.AddFile("C:\\patch\\story.exe", "story 1.03");
  files.AddFile("C:\\Game\\story.exe", "story 1.02");
  files.AddFile("C:\\Game\\data\\story.dat", "story data");
  files.AddFile("C:\\Game\\version.txt", "Sample Story\r\n1.02\r\n");
  files.AddFile(kLogPath, Scrambled(OldLog()), FILE_ATTRIBUTE_HIDDEN);
  fake.registry.AddString(HKEY_LOCAL_MACHINE, kGameKey, "InstallDir", kGameDir);
  fake.registry.AddString(HKEY_LOCAL_MACHINE, kGameKey, "Version", "1.02");
}

// The install log decoded; empty when there is none.
inline std::string DecodedLog(const FakePlatform& fake) {
  return Scrambled(fake.files.Content(kLogPath).value_or(""));
}

inline std::string RegistryText(const FakePlatform& fake, const char* name) {
  auto value = fake.registry.Value(HKEY_LOCAL_MACHINE, kGameKey, name);
  return value ? value->bytes : "(missing)";
}

// Calls that change files or the registry.
inline int ChangingCalls(FakePlatform& fake) {
  int count = 0;
  for (const FileCallRecord& call : fake.files.calls()) {
    count += call.call == FileCall::CreateAlways || call.call == FileCall::CopyFile ||
             call.call == FileCall::SetAttributes || call.call == FileCall::CreateDirectory;
  }
  return count + fake.registry.faults().CallCount(RegistryCall::CreateKey) +
         fake.registry.faults().CallCount(RegistryCall::SetValue);
}

}  // namespace pache::machine
