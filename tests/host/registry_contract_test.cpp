// One table of registry calls run against the in-memory fake and against
// the host registry on a real prefix: both must answer alike, so that the
// core's unit tests on the fake hold on the machine.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host/host_registry.h"
#include "tests/fake/fake_registry.h"
#include "tests/host/temp_prefix.h"

namespace pache {
namespace {

constexpr const char* kGame = "SOFTWARE\\Maker\\Game";

// What a sequence of calls gave, written out for comparison.
class Trace {
 public:
  explicit Trace(Registry& registry) : registry_(registry) {}

  RegKey Open(RegKey root, const char* subkey, std::uint32_t access, bool create = false) {
    RegKey key = 0;
    bool ok = create ? registry_.CreateKey(root, subkey, access, &key)
                     : registry_.OpenKey(root, subkey, access, &key);
    text_ += std::string(create ? "create " : "open ") + subkey + (ok ? " ok\n" : " failed\n");
    return ok ? key : 0;
  }

  void Query(RegKey key, const char* name, std::uint32_t bufferSize) {
    std::uint32_t type = 0xEEEE, size = 0xEEEE;
    bool probe = registry_.QueryValue(key, name, &type, nullptr, &size);
    char line[128];
    std::snprintf(line, sizeof line, "probe %s: %d type %u size %u\n", name, probe, type, size);
    text_ += line;
    std::uint8_t buffer[600];
    std::memset(buffer, 0xEE, sizeof buffer);
    type = 0xEEEE;
    size = bufferSize;
    bool read = registry_.QueryValue(key, name, &type, buffer, &size);
    std::snprintf(line, sizeof line, "read %s into %u: %d type %u size %u bytes", name, bufferSize, read, type,
                  size);
    text_ += line;
    for (std::uint32_t i = 0; i < 12; ++i) {
      std::snprintf(line, sizeof line, " %02x", buffer[i]);
      text_ += line;
    }
    text_ += '\n';
  }

  void Set(RegKey key, const char* name, std::uint32_t type, const std::string& buffer, std::uint32_t count) {
    bool ok = registry_.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(buffer.data()), count);
    text_ += std::string("set ") + name + (ok ? " ok\n" : " failed\n");
  }

  const std::string& Text() const { return text_; }

 private:
  Registry& registry_;
  std::string text_;
};

using Scenario = void (*)(Trace&);

struct Case {
  const char* name;
  Scenario run;
};

const Case kCases[] = {
    {"strings, numbers and missing values",
     [](Trace& t) {
       RegKey key = t.Open(HKEY_LOCAL_MACHINE, kGame, KEY_ALL_ACCESS);
       for (const char* name : {"Version", "Raw", "Empty", "Number", "", "Missing"}) {
         t.Query(key, name, 512);
         t.Query(key, name, 4);
         t.Query(key, name, 3);
       }
     }},
    {"strings written with and without their zero",
     [](Trace& t) {
       RegKey key = t.Open(HKEY_LOCAL_MACHINE, kGame, KEY_ALL_ACCESS);
       t.Set(key, "Version", REG_SZ, std::string("1.10\0", 5), 4);
       t.Query(key, "Version", 512);
       t.Set(key, "Version", REG_SZ, "1.11X", 4);
       t.Query(key, "Version", 512);
       t.Set(key, "Version", REG_SZ, std::string("\0", 1), 0);
       t.Query(key, "Version", 512);
       t.Set(key, "Number", REG_SZ, std::string("\x83\x51\x81\x5B\x83\x80\0", 7), 6);
       t.Query(key, "number", 512);
       t.Set(key, "New", REG_DWORD, std::string("\x01\x02\x03\x04", 4), 4);
       t.Query(key, "New", 512);
     }},
    {"keys by any case, missing keys, created keys",
     [](Trace& t) {
       RegKey key = t.Open(HKEY_LOCAL_MACHINE, "software\\MAKER\\game", KEY_READ);
       t.Query(key, "VERSION", 512);
       t.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Other", KEY_ALL_ACCESS);
       RegKey created = t.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Other\\Deeper", KEY_ALL_ACCESS, true);
       t.Query(created, "Version", 512);
       t.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Other\\Deeper", KEY_READ);
       RegKey again = t.Open(HKEY_LOCAL_MACHINE, kGame, KEY_ALL_ACCESS, true);
       t.Query(again, "Version", 512);
     }},
    {"a key the user may only read",
     [](Trace& t) {
       t.Open(HKEY_CURRENT_USER, "Software\\Locked", KEY_ALL_ACCESS);
       t.Open(HKEY_CURRENT_USER, "Software\\Locked", KEY_ALL_ACCESS, true);
       RegKey key = t.Open(HKEY_CURRENT_USER, "Software\\Locked", KEY_READ);
       t.Query(key, "Data", 512);
       t.Set(key, "Data", REG_SZ, std::string("new\0", 4), 3);
       t.Query(key, "Data", 512);
     }},
    {"roots",
     [](Trace& t) {
       t.Open(HKEY_LOCAL_MACHINE, "", KEY_ALL_ACCESS);
       t.Query(HKEY_LOCAL_MACHINE, "Version", 512);
       t.Open(HKEY_PERFORMANCE_DATA, "", KEY_READ);
       t.Open(HKEY_DYN_DATA, "", KEY_READ);
       t.Open(HKEY_PERFORMANCE_DATA, "Global", KEY_READ);
       t.Open(HKEY_DYN_DATA, "PerfStats", KEY_ALL_ACCESS, true);
     }},
};

void FillFake(FakeRegistry& fake) {
  fake.AddString(HKEY_LOCAL_MACHINE, kGame, "", "main");
  fake.AddString(HKEY_LOCAL_MACHINE, kGame, "Version", "1.02");
  fake.AddValue(HKEY_LOCAL_MACHINE, kGame, "Raw", REG_SZ, "1.02");
  fake.AddValue(HKEY_LOCAL_MACHINE, kGame, "Empty", REG_SZ, "");
  fake.AddValue(HKEY_LOCAL_MACHINE, kGame, "Number", REG_DWORD, std::string("\x02\x01\0\0", 4));
  fake.AddKey(HKEY_CURRENT_USER, "Software\\Locked", true);
  fake.AddString(HKEY_CURRENT_USER, "Software\\Locked", "Data", "old");
}

void FillPrefix(const test::TempPrefix& prefix) {
  test::WriteHostFile(prefix.Directory() + "/system.reg",
                      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n"
                      "\n[SOFTWARE\\\\Maker\\\\Game] 1714564800\n#time=1da9bbf17cd3687\n"
                      "@=\"main\"\n"
                      "\"Version\"=\"1.02\"\n"
                      "\"Raw\"=hex(1):31,00,2e,00,30,00,32,00\n"
                      "\"Empty\"=hex(1):\n"
                      "\"Number\"=dword:00000102\n");
  // The whole of the user's hive is what the user may only read.
  test::WriteHostFile(prefix.Directory() + "/user.reg",
                      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
                      "\n#arch=win32\n"
                      "\n[Software\\\\Locked] 1714564800\n#time=1da9bbf17cd3687\n\"Data\"=\"old\"\n",
                      0444);
}

TEST(RegistryContract, FakeAndHostAnswerAlike) {
  for (const Case& c : kCases) {
    FakeRegistry fake;
    FillFake(fake);
    Trace fakeTrace(fake);
    c.run(fakeTrace);

    test::TempPrefix prefix;
    FillPrefix(prefix);
    host::HostRegistry hostRegistry(prefix.Directory());
    Trace hostTrace(hostRegistry);
    c.run(hostTrace);

    EXPECT_EQ(hostTrace.Text(), fakeTrace.Text()) << c.name;
  }
}

}  // namespace
}  // namespace pache
