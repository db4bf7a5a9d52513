#pragma once

// What the two sides of the file system layer share (Platform.h): the error
// a failed call becomes, and what a lock file must be.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "platform/Platform.h"

namespace tavrin::platform::detail {

[[noreturn]] inline void Fail(const char* verb, const std::filesystem::path& path, const std::string& reason) {
    throw Error(std::string("Cannot ") + verb + " " + PathText(path) + ": " + reason);
}

// The lock file's contents: the holder's process id, for the message of
// the run it keeps out.
inline std::int64_t ProcessIn(std::string_view text) {
    std::int64_t process = 0;
    std::from_chars(text.data(), text.data() + text.size(), process);
    return process > 0 ? process : 0;
}

// A lock file is a regular file, or none yet.
inline bool IsLockFileKind(const FileInfo& info, Lock::Blocked& blocked) {
    switch (info.kind) {
        case Kind::Missing:
        case Kind::Regular: return true;
        case Kind::Link: blocked.notALockFile = "it is a symbolic link"; break;
        case Kind::Folder: blocked.notALockFile = "it is a folder"; break;
        case Kind::Other: blocked.notALockFile = "it is not a regular file"; break;
    }
    return false;
}


}  // namespace tavrin::platform::detail
