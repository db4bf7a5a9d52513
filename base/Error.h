#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tavrin {

// What ends a step early, told in words a league's owner reads: what went
// wrong, naming the file where there is one. One of the two below.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure that ends the running step: "Cannot open C:\lg\x.pyr:
// Permission denied". A run that meets one after its first change says what
// it was doing; the league's files are as they were.
class Error : public Failure {
public:
    using Failure::Failure;
};

// Input Tavrin refuses before it changes any file (a missing or too short
// player file, a league with nothing to save). The user is told why and the
// program stays open.
class Refusal : public Failure {
public:
    using Failure::Failure;
};

// A path as the user reads it in a message: UTF-8, the platform's separators.
inline std::string PathText(const std::filesystem::path& p) {
    const std::u8string u8 = std::filesystem::path(p).make_preferred().u8string();
    return {reinterpret_cast<const char*>(u8.data()), u8.size()};
}

// A file's name alone, as a message names a league's own files ("Demo.pot").
inline std::string FileName(const std::filesystem::path& p) { return PathText(p.filename()); }

}  // namespace tavrin
