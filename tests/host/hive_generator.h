// A system.reg of a chosen size, shaped like the ones Wine writes: key
// blocks in tree order with times, strings with escapes, dwords and hex
// data wrapped over several lines.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace pache::test {

// The hive holds the key Software\Wow6432Node\Sample\Game with the values
// InstallDir and Version, somewhere in its middle.
inline std::string GenerateSystemHive(std::size_t approximateSize) {
  std::string text =
      "WINE REGISTRY Version 2\n"
      ";; All keys relative to REGISTRY\\\\Machine\n"
      "\n"
      "#arch=win64\n";
  char buffer[512];
  bool sampleWritten = false;
  for (unsigned vendor = 0; text.size() < approximateSize; ++vendor) {
    for (unsigned product = 0; product < 20; ++product) {
      std::snprintf(buffer, sizeof buffer,
                    "\n[Software\\\\Vendor%04u\\\\Product%02u\\\\Settings] 1714564800\n"
                    "#time=1da9bbf17cd3687\n"
                    "@=\"Product %u of vendor %u\"\n"
                    "\"Flags\"=dword:%08x\n"
                    "\"Path\"=str(2):\"%%ProgramFiles%%\\\\Vendor%04u\\\\\\x30b2\\x30fc\\x30e0\"\n"
                    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
                    "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\n",
                    vendor, product, product, vendor, vendor * 20 + product, vendor);
      text += buffer;
    }
    if (!sampleWritten && text.size() >= approximateSize / 2) {
      text +=
          "\n[Software\\\\Wow6432Node\\\\Sample\\\\Game] 1714564800\n"
          "#time=1da9bbf17cd3687\n"
          "@=\"default\"\n"
          "\"InstallDir\"=\"C:\\\\Games\\\\\\x30b2\\x30fc\\x30e0\\\\\"\n"
          "\"Version\"=\"1.02\"\n";
      sampleWritten = true;
    }
  }
  return text;
}

}  // namespace pache::test
