#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tavrin {

// Error numbers, in the numbering of the database engine and runtime the
// game's tools were written against. Nothing decides what to do by them: they
// make messages and tests precise.
enum ErrorNumber : int {
    kErrOverflow = 6,            // a value does not fit its type
    kErrFileNotFound = 53,
    kErrFileAccess = 75,         // a file cannot be opened, read or written
    kErrInvalidUseOfNull = 94,   // an empty value where a number is needed
    kErrEngine = 3000,           // any other failure of the database engine
    kErrNoCurrentRecord = 3021,  // a move or read with no row under the cursor
    kErrDataType = 3421,         // a value refused by a column's type
};

// A failure that ends the running step. Its message names what failed, and the
// file where there is one: "Cannot open C:\lg\x.pyr: Permission denied".
class Error : public std::runtime_error {
public:
    Error(int number, const std::string& message)
        : std::runtime_error(message), number_(number) {}
    int number() const noexcept { return number_; }

private:
    int number_;
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

}  // namespace tavrin
