#pragma once

// The few things about files that neither the C++ library nor Qt Core
// offer: waiting until written bytes are on the disk, and giving a new file
// the owner of the one it replaces. Everything else goes through
// std::filesystem and QFile.

#include <QFile>

#include <filesystem>
#include <string>

namespace tavrin::platform {

// Flushes what was written to the open file through to the disk. On failure
// returns false with the system's reason ("Input/output error").
bool SyncToDisk(QFile& file, std::string& reason);

// Gives the open file the owner and group of `from`, as far as this process
// may (a user may give a file a group of his; only an administrator another
// owner). Nothing happens where the platform has no owners.
void CopyOwner(const std::filesystem::path& from, QFile& to);

// The longest name (one path component, in bytes of its UTF-8 or units of its
// UTF-16 form as the platform stores names) a file system commonly accepts.
inline constexpr std::size_t kMaxNameLength = 255;

// The length of a name in the units the platform limits.
std::size_t NameLength(const std::filesystem::path& name);

}  // namespace tavrin::platform
