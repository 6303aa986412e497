// DOS file attributes on a Linux file system, stored as Wine stores them:
// hidden and system in the user.DOSATTRIB extended attribute ("0x2"),
// read-only as the absence of every write bit, and a file whose name starts
// with a dot counted hidden while it carries no such attribute. File
// systems without user extended attributes store no hidden or system bit,
// and nothing fails because of that.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace pache::host {

// The attributes of the file at `path` (whose last component is `name`):
// READONLY, HIDDEN, SYSTEM, DIRECTORY, and ARCHIVE for every file that is
// not a folder. False when the file does not exist.
bool ReadAttributes(const std::string& path, const std::string& name, std::uint32_t& attributes);

// Stores the HIDDEN and SYSTEM bits of `attributes` on an open file. With
// neither bit the extended attribute is removed, or set to "0x0" when
// `keepExplicit` (a dot-file, or a file with several links, which would
// otherwise read as hidden or lose the bits of its other names).
bool StoreHiddenSystem(int fd, std::uint32_t attributes, bool keepExplicit);

// The permission bits that READONLY asks for, from `mode`: every write bit
// cleared when set; when clear, owner write added, and group and other
// write where they may read, less the umask the process started with.
mode_t ModeForReadOnly(mode_t mode, bool readOnly);

// SetFileAttributesA on a host path: hidden and system first, then the
// read-only bit (ignored on folders), in the order that works for a
// non-root owner of a read-only file.
bool ApplyAttributes(const std::string& path, const std::string& name, std::uint32_t attributes);

// The umask in force when the process started; read once, before any
// thread that creates files starts.
mode_t StartupUmask();

}  // namespace pache::host
