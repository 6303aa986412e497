// The keys and markers of the patch definition "PACH.suk" and of the install
// log, each with its length in bytes, shared by the tool and the authoring
// tools.
//
// Every key and marker is found at its first occurrence anywhere in the
// decoded text, byte for byte and case-sensitive, not only at a line start.
#pragma once

#include <cstdint>

namespace pache {

// The patch definition's name in the working directory.
inline constexpr char kDefinitionFileName[] = "PACH.suk";

// Key lines: the key, then its value up to the line's CR LF.
inline constexpr char kTitleKey[] = "TITOL=";
inline constexpr std::int32_t kTitleKeyLength = 6;
inline constexpr char kVersionKey[] = "VERSION=";
inline constexpr std::int32_t kVersionKeyLength = 8;
inline constexpr char kVersionFileKey[] = "VERSION_TXT=";
inline constexpr std::int32_t kVersionFileKeyLength = 12;
inline constexpr char kInstallDirKey[] = "DIR_REG=";
inline constexpr std::int32_t kInstallDirKeyLength = 8;

// Section markers: the same marker opens and closes its section.
inline constexpr char kCopyMarker[] = "<COPY>";
inline constexpr std::int32_t kCopyMarkerLength = 6;
inline constexpr char kRegistryMarker[] = "<REG>";
inline constexpr std::int32_t kRegistryMarkerLength = 5;

// The product's install log, relative to its install directory.
inline constexpr char kInstallLogPath[] = "an\\CP_Data.suk";

// The install log's list ends at its first end marker.
inline constexpr char kEndMarker[] = "<END>";
inline constexpr std::int32_t kEndMarkerLength = 5;

static_assert(sizeof kTitleKey - 1 == kTitleKeyLength);
static_assert(sizeof kVersionKey - 1 == kVersionKeyLength);
static_assert(sizeof kVersionFileKey - 1 == kVersionFileKeyLength);
static_assert(sizeof kInstallDirKey - 1 == kInstallDirKeyLength);
static_assert(sizeof kCopyMarker - 1 == kCopyMarkerLength);
static_assert(sizeof kRegistryMarker - 1 == kRegistryMarkerLength);
static_assert(sizeof kEndMarker - 1 == kEndMarkerLength);

}  // namespace pache
