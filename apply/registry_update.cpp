#include "apply/registry_update.h"

#include <cstring>

#include "data/patch_definition.h"
#include "data/paths.h"
#include "data/registry_ref.h"
#include "data/text_cursor.h"

namespace pache {

namespace {

struct Macro {
  const char* name;
  std::size_t length;
};

// Tested in this order; the names differ in their second byte, so at most
// one matches at a position.
constexpr Macro kMacros[] = {{"%Dir", 4}, {"%CD", 3}};

// Rewrites one value when it exists already; anything else leaves the
// registry as it was.
void ApplyRegistryLine(PatchSession& session, const Text& line) {
  Text text = {};
  Text subkey = {};
  Text valueName = {};
  Text data = {};
  Text reference = {};
  Text expanded = {};
  std::int32_t rootIndex = 0;
  RegKey root = 0;
  // The LF closes the data; a line that leaves it no room was cut or is too
  // long to carry it, and is not applied.
  if (!FormatText(text, sizeof text, "%s\n", line)) return;
  if (!ParseRegistryLine('-', '=', text, rootIndex, subkey, valueName, data)) return;
  if (!RootKeyForIndex(rootIndex, root)) return;
  if (!FormatText(reference, sizeof reference, "%d%s-%s", rootIndex, subkey, valueName)) return;
  if (!QueryRegistryReference(session, reference)) return;
  if (!ExpandMacros(data, expanded)) return;

  Registry& registry = session.platform.registry;
  RegKey key = 0;
  if (!registry.CreateKey(root, subkey, KEY_ALL_ACCESS, &key)) return;
  // The size leaves out the closing zero, as the value has always been
  // written; the registry stores the zero that follows.
  registry.SetValue(key, valueName, REG_SZ, reinterpret_cast<const std::uint8_t*>(expanded),
                    static_cast<std::uint32_t>(std::strlen(expanded)));
  registry.CloseKey(key);
}

}  // namespace

bool ApplyRegistrySection(PatchSession& session) {
  std::int32_t cursor = 0;
  if (!FindMarker(session, cursor, kRegistryMarker, kRegistryMarkerLength, true)) {
    return true;
  }
  // A section without its closing line ends with the text.
  while (!AtEndOfText(session, cursor)) {
    Text line = {};
    if (ReadLineUnlessMarker(session, line, cursor, kRegistryMarker, kRegistryMarkerLength)) {
      return true;
    }
    ApplyRegistryLine(session, line);
  }
  return true;
}

bool ParseRegistryLine(char first, char second, const char* text, std::int32_t& rootIndex,
                       Text& subkey, Text& valueName, Text& data) {
  std::memset(subkey, 0, sizeof subkey);
  std::memset(valueName, 0, sizeof valueName);
  std::memset(data, 0, sizeof data);
  Text* outputs[] = {nullptr, &subkey, &valueName, &data};
  int state = 0;
  std::size_t index = 0;
  for (const char* at = text; *at != '\0'; ++at) {
    if (*at == '\n' && at[1] == '\0') break;
    if (state == 0) {
      rootIndex = static_cast<std::int32_t>(static_cast<unsigned char>(*at)) - '0';
      state = 1;
    } else if ((state == 1 && *at == first) || (state == 2 && *at == second)) {
      ++state;
      index = 0;
    } else if (index < sizeof(Text) - 1) {
      (*outputs[state])[index++] = *at;
    } else {
      return false;
    }
  }
  return state == 3;
}

bool ExpandMacros(const char* data, Text& out) {
  std::memset(out, 0, sizeof out);
  std::size_t length = std::strlen(data);
  std::size_t used = 0;
  for (std::size_t position = 0; position < length;) {
    Text piece = {};
    std::size_t pieceLength = 1;
    const char* pieceBytes = data + position;
    std::size_t advance = 1;
    for (std::int32_t number = 0; number < static_cast<std::int32_t>(std::size(kMacros)); ++number) {
      const Macro& macro = kMacros[number];
      if (length - position >= macro.length &&
          std::memcmp(data + position, macro.name, macro.length) == 0) {
        MacroValue(piece, number);
        pieceBytes = piece;
        pieceLength = std::strlen(piece);
        advance = macro.length;
        break;
      }
    }
    if (used + pieceLength > sizeof out - 1) {
      std::memset(out, 0, sizeof out);
      return false;
    }
    std::memcpy(out + used, pieceBytes, pieceLength);
    used += pieceLength;
    position += advance;
  }
  return true;
}

void MacroValue(Text& out, std::int32_t /*number*/) {
  // No step of a patch run fills the folders the macros stand for, so in a
  // patch run both expand to nothing.
  std::memset(out, 0, sizeof out);
}

}  // namespace pache
