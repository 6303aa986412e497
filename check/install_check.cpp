#include "check/install_check.h"

#include <cstring>

#include "app/texts.h"
#include "data/patch_definition.h"
#include "data/paths.h"
#include "data/registry_ref.h"
#include "data/scrambled.h"
#include "data/text_cursor.h"

namespace pache {

namespace {

constexpr std::int32_t kVersionNumberOffset = 3;

bool Refuse(PatchSession& session, const char* text, const char* caption) {
  session.platform.windows.MessageBox(0, text, caption, MB_SYSTEMMODAL);
  return false;
}

bool IsAtolBlank(char byte) {
  return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r';
}

}  // namespace

std::int32_t VersionNumber(const char* text) {
  if (std::strlen(text) <= kVersionNumberOffset) return 0;
  const char* at = text + kVersionNumberOffset;
  while (IsAtolBlank(*at)) ++at;
  bool negative = *at == '-';
  if (*at == '+' || *at == '-') ++at;
  // Accumulated unsigned so that overflow wraps as a 32-bit register would.
  std::uint32_t value = 0;
  for (; *at >= '0' && *at <= '9'; ++at) value = value * 10u + static_cast<std::uint32_t>(*at - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

bool CheckInstallation(PatchSession& session) {
  Text value = {};
  Text line1 = {};
  Text line2 = {};
  Text message = {};

  std::memset(session.fileName, 0, sizeof session.fileName);
  std::memcpy(session.fileName, kDefinitionFileName, sizeof kDefinitionFileName);
  if (!LoadScrambledText(session, session.fileName)) {
    FormatText(message, sizeof message, kMissingFileFormat, kDefinitionFileName);
    return Refuse(session, message, kWarningCaption);
  }

  // A reference cut to fit its text would name another value. Joining an
  // empty name appends the backslash unless the value ends with one.
  bool referenceWhole =
      ReadKeyValue(session, kInstallDirKey, kInstallDirKeyLength, value) <= kMaxLineBytes;
  if (!referenceWhole || !QueryRegistryReference(session, value) ||
      !JoinPath(session.installDir, value, "")) {
    return Refuse(session, kNotInstalledText, kNotInstalledCaption);
  }

  std::memset(value, 0, sizeof value);
  bool nameWhole =
      ReadKeyValue(session, kVersionFileKey, kVersionFileKeyLength, value) <= kMaxLineBytes;
  bool pathWhole = nameWhole && JoinPath(session.versionPath, session.installDir, value);
  ReadKeyValue(session, kVersionKey, kVersionKeyLength, session.version);
  ReadKeyValue(session, kTitleKey, kTitleKeyLength, session.title);

  if (!pathWhole) {
    // A path that does not fit is never opened; the message names it as
    // far as it fits.
    Text shown = {};
    FormatText(shown, sizeof shown, "%s%s", session.installDir, value);
    FormatText(message, sizeof message, kVersionFileMissingFormat, shown);
    return Refuse(session, message, kWarningCaption);
  }
  if (!LoadPlainFile(session, session.versionPath, session.versionFile)) {
    FormatText(message, sizeof message, kVersionFileMissingFormat, session.versionPath);
    return Refuse(session, message, kWarningCaption);
  }

  ReadVersionLine(session, session.versionCursor, line1);
  ReadVersionLine(session, session.versionCursor, line2);

  if (std::strncmp(line1, session.title, std::strlen(session.title)) != 0) {
    return Refuse(session, kWrongTitleText, kWarningCaption);
  }
  if (std::strncmp(line2, session.version, std::strlen(session.version)) == 0) {
    return Refuse(session, kSameVersionText, kThanksCaption);
  }
  if (VersionNumber(session.version) >= VersionNumber(line2)) return true;
  return Refuse(session, kHigherVersionText, kThanksCaption);
}

}  // namespace pache
