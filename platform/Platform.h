#pragma once

// The file system as a run uses it, with a POSIX side and a Windows side.
//
// A run works inside folders it has opened: the league's folder, its history
// and the working folder. Every name is looked up in such a folder, and never
// through a symbolic link at its end: a file is read or replaced only where
// it really is, and a new file is always made anew (never an existing name
// opened for writing), so that someone else who can write the folder cannot
// point a run at a file elsewhere. On POSIX systems an opened folder is a
// descriptor and names resolve against it (openat, linkat, renameat); on
// Windows a folder is held open without sharing its deletion, so its path
// keeps naming it, and files are opened without following reparse points.
//
// Every failure is an Error naming the file and the system's reason ("No
// space left on device").

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::platform {

// What a name in a folder is, its link not followed.
enum class Kind { Missing, Regular, Folder, Link, Other };

struct FileInfo {
    Kind kind = Kind::Missing;
    std::uint64_t device{}, inode{};      // which file it is
    std::uint64_t size = 0;
    std::int64_t modified = 0;            // last write, in nanoseconds since 1970
    std::uint32_t permissions = 0;        // the POSIX mode bits (0666 or 0444 on Windows)
    std::int64_t owner = -1, group = -1;  // the owning user and group; -1 where there are none

    bool Exists() const { return kind != Kind::Missing; }
    bool SameFile(const FileInfo& other) const { return device == other.device && inode == other.inode; }
    // The same file, and nothing wrote it since: its size and last write as
    // they were. (A new link or a change of owner is no write.)
    bool Unchanged(const FileInfo& other) const {
        return SameFile(other) && size == other.size && modified == other.modified;
    }
    // Whether the permission bits let anyone write it: a file marked read-only
    // stays untouched, even by an administrator.
    bool WritableByItsBits() const { return (permissions & 0222) != 0; }
};

// An open file, closed with the object.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const;
    // The path it was opened by, for messages.
    const std::filesystem::path& Path() const { return path_; }

    // Reads up to `into.size()` bytes; fewer only at the end of the file.
    [[nodiscard]] std::size_t Read(std::span<std::uint8_t> into);
    // Writes every byte.
    void Write(std::span<const std::uint8_t> bytes);
    // The same at an offset, for a file read and written as a database (the
    // file's position after them is left unsaid).
    [[nodiscard]] std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into);
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Cuts or extends the file to `size` bytes.
    void Truncate(std::uint64_t size);
    // Appends the rest of `source` (from where it stands), by the system's
    // own copy where it has one.
    void AppendCopyOf(File& source);
    // Flushes what was written through to the disk.
    void Sync();
    FileInfo Info() const;
    // Gives the file the owner, group and permissions of `old`, as far as
    // this process may (a user may give a file a group of his; only an
    // administrator another owner). Owner first: a change of owner may clear
    // permission bits.
    void TakeOwnerAndPermissionsOf(const FileInfo& old);
    // Closes, reporting what the system reports.
    void Close();

private:
    friend class Folder;
    friend class Lock;
#if defined(_WIN32)
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::filesystem::path path_;
};

// An opened folder; names are single components within it.
class Folder {
public:
    // Opens the folder at `path` (links on the way to it are the user's own
    // path, and followed).
    static Folder Open(const std::filesystem::path& path);

    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path PathOf(const std::filesystem::path& name) const { return path_ / name; }
    FileInfo Info() const;

    // What the name is, without following a link; Missing where there is
    // nothing of that name.
    FileInfo Info(const std::filesystem::path& name) const;
    // Where a link points, as it is written.
    std::filesystem::path LinkTarget(const std::filesystem::path& name) const;

    // Opens a regular file to read. A link, a folder, a pipe or a device is
    // refused at once (a pipe would make the read wait for ever).
    File OpenToRead(const std::filesystem::path& name) const;
    // Makes a new file to write (and read back); nothing where the name is taken (never
    // opened, never followed).
    [[nodiscard]] std::optional<File> CreateNew(const std::filesystem::path& name) const;
    // Removes a file, where there is one.
    void Remove(const std::filesystem::path& name) const;

    enum class LinkResult { Linked, NameTaken, NotSupported };
    // Gives the file `name` the second name `newName` in `to`: the same
    // file, never a copy. NotSupported where the file system has no links.
    [[nodiscard]] LinkResult Link(const std::filesystem::path& name, const Folder& to,
                                  const std::filesystem::path& newName) const;
    // Renames `name` to `newName` in `to`, replacing a file of that name in
    // one step.
    void Rename(const std::filesystem::path& name, const Folder& to, const std::filesystem::path& newName) const;
    // Swaps two names of this folder in one step; false where the system or
    // the file system cannot (Linux can on its common file systems; Windows
    // has no such call at all).
    [[nodiscard]] bool Exchange(const std::filesystem::path& a, const std::filesystem::path& b) const;

    // The folder `name` within this one; nothing where it does not exist. A
    // link, or anything but a folder, is an Error.
    std::optional<Folder> OpenFolder(const std::filesystem::path& name) const;
    // The same, made first where it is missing.
    Folder MakeFolder(const std::filesystem::path& name) const;
    // The names in the folder.
    std::vector<std::filesystem::path> Names() const;
    // Flushes the folder's entries (new names, renames) to the disk.
    void Sync() const;
    // Whether this process may make files in the folder.
    bool CanWrite() const;
    // A second handle on the same folder.
    Folder Duplicate() const;

private:
    friend class Lock;
#if defined(_WIN32)
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::filesystem::path path_;
};

// A lock on a file that the system lets go when its process ends, however
// it ends: a lock file left by a program that died is no lock.
class Lock {
public:
    // Why a lock could not be taken.
    struct Blocked {
        std::int64_t process = 0;   // another process holds it: its id, where it wrote one
        std::string notALockFile;   // or the name is no lock file: why ("it is a folder")
    };
    // Takes the lock of the file `name` in `folder`, making it if missing:
    // nothing, and why, where another process has it or the name is not a
    // regular file (it is never opened then: a pipe could make it wait).
    [[nodiscard]] static std::optional<Lock> Take(const Folder& folder, const std::filesystem::path& name,
                                                  Blocked& blocked);

    Lock() = default;
    ~Lock();  // lets go, and removes the lock file
    Lock(Lock&& other) noexcept;
    Lock& operator=(Lock&& other) noexcept;

private:
    File file_;
    Folder folder_;
    std::filesystem::path name_;
};

// Whether the program runs with the rights of the system's administrator
// (root), who may write anywhere.
bool RunningAsAdministrator();
// The user the program runs as, as FileInfo::owner names users.
std::int64_t CurrentUser();

// The folder of the running program's own file.
std::filesystem::path ProgramFolder();
// The user's folder for Tavrin's caches, made where missing, where desktop
// programs keep theirs (and Qt's QStandardPaths::CacheLocation finds it):
// $XDG_CACHE_HOME/Tavrin/Tavrin, by default ~/.cache/Tavrin/Tavrin; on Windows
// %LOCALAPPDATA%\Tavrin\Tavrin\cache. An Error where there is none.
std::filesystem::path CacheFolder();
// Whether the folder belongs to the user the program runs as (on Windows,
// where folders have access lists rather than one owner to compare, any
// folder outside the system's does).
bool BelongsToCurrentUser(const std::filesystem::path& folder);
// Whether this process can make files in the folder: tried with a file made
// and removed at once, not guessed from permission bits (a read-only mount,
// an access list).
bool CanCreateFilesIn(const std::filesystem::path& folder);

// What Tavrin adds to the name of a file it is still writing, beside the
// file it will replace ("Demo.pyr.tavrin-new"): a name the next run knows
// and clears, should this one be killed.
inline constexpr std::string_view kNewSuffix = ".tavrin-new";

// Whether a file can be replaced (a new file renamed over its name) while
// it is open. Windows refuses it: a run closes what it replaces first.
#if defined(_WIN32)
inline constexpr bool kReplacesOpenFiles = false;
#else
inline constexpr bool kReplacesOpenFiles = true;
#endif

// The longest name (one path component, in bytes of its UTF-8 or units of its
// UTF-16 form as the platform stores names) a file system commonly accepts.
inline constexpr std::size_t kMaxNameLength = 255;

// The length of a name in the units the platform limits.
std::size_t NameLength(const std::filesystem::path& name);

}  // namespace tavrin::platform
