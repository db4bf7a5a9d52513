#pragma once

// Replacing a file all or nothing. The new contents go to a file of a name
// Tavrin knows, beside the one they replace ("Demo.pyr.tavrin-new"), are
// flushed to the disk, take the old file's permissions, owner and group, and
// are renamed over it in one step. Until that rename the old file is exactly
// as it was; a failure (a full disk, a write or flush error) removes the new
// file and says so. A new file left by a run that was killed is removed by
// the next one, so no file system, with or without anonymous temporary
// files, keeps strays.

#include <QFile>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <functional>

namespace tavrin {

class ReplacingFile {
public:
    // Starts the new contents of `target`. Through a symbolic link, the file
    // it points to is replaced and the link stays. A target that exists but
    // is not a regular file, or is read-only by its permission bits (whoever
    // runs Tavrin), is refused before anything is written.
    explicit ReplacingFile(const std::filesystem::path& target);
    // Without Commit, the new file is removed and the target left alone.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void Write(const void* data, std::int64_t bytes);
    // Makes the new contents a copy of `source`, by the system's own file
    // copy (no trip of the bytes through this program where the system can
    // copy within the kernel). Instead of Write, before Commit.
    void CopyFrom(const std::filesystem::path& source);
    // Puts the new contents in place. Where `keepReplacedAs` is given and the
    // target exists, the file being replaced is kept under that name first
    // (linked where the file system can, else copied, all or nothing too).
    void Commit(const std::filesystem::path& keepReplacedAs = {});

    // The file being replaced (the target, or where its link points).
    const std::filesystem::path& Target() const { return target_; }

    // The name the new contents are written under, beside `target`.
    static std::filesystem::path NewPath(const std::filesystem::path& target);
    // Removes the new file a run that was killed part-way left for `target`
    // (beside the file a link points to), if there is one.
    static void RemoveLeftOver(const std::filesystem::path& target);

private:
    std::filesystem::path target_;
    std::filesystem::path newPath_;
    QFile file_;
    bool committed_ = false;
};

// Copies a file all or nothing (the same way), as `to`.
void CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                       const std::filesystem::path& keepReplacedAs = {});

// Changes a file all or nothing where another writer (the database engine)
// makes the change: the file is copied under the new name, `change` works on
// that copy by its path, and the copy is then put in place as above. A file
// changed in place by the engine would, if the program were killed part-way,
// keep a journal beside it that no read-only reader can open it past, and
// that would be played back into whatever file later took its name.
void ChangeThroughCopy(const std::filesystem::path& file,
                       const std::function<void(const std::filesystem::path& copy)>& change);

// Whether the file's permission bits let anyone write it: a file marked
// read-only stays untouched even for an administrator.
bool HasWritePermission(const std::filesystem::path& path);

// Why a ReplacingFile would refuse to replace the file at `target`, in words
// ("it is not a regular file", "the file is read-only"); nothing where it
// would not (a missing file is simply made).
std::optional<std::string> WhyNotReplaceable(const std::filesystem::path& target);

}  // namespace tavrin
