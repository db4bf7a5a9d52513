#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tavrin {

// A failure that ends the running step. Its message names what failed, and the
// file where there is one: "Cannot open C:\lg\x.pyr: Permission denied".
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Input Tavrin refuses before it changes any file (a missing or too short
// player file, a league with nothing to save). The user is told why and the
// program stays open.
class Refusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A path as the user reads it in a message: UTF-8, the platform's separators.
inline std::string PathText(const std::filesystem::path& p) {
    const std::u8string u8 = std::filesystem::path(p).make_preferred().u8string();
    return {reinterpret_cast<const char*>(u8.data()), u8.size()};
}

// A file's name alone, as a message names a league's own files ("Demo.pot").
inline std::string FileName(const std::filesystem::path& p) { return PathText(p.filename()); }

}  // namespace tavrin
