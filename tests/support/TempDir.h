#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace tavrin::test {

// A fresh folder of the test's own under the system's temporary directory,
// removed with everything in it (read-only files too) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::vector<unsigned char> ReadFileBytes(const std::filesystem::path& p);
void WriteFileBytes(const std::filesystem::path& p, const std::vector<unsigned char>& bytes);
// The names of the entries of a folder.
std::set<std::string> FileNames(const std::filesystem::path& dir);

}  // namespace tavrin::test
