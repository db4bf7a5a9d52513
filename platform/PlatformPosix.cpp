// The file system layer (Platform.h) on POSIX systems: every name looked up
// in an opened folder's descriptor, never through a link at its end.

#if !defined(_WIN32)

#include "platform/Platform.h"

#include <cerrno>
#include <charconv>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "platform/PlatformDetail.h"

#include <dirent.h>
#include <pwd.h>
#include <stdlib.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrin::platform {

namespace fs = std::filesystem;
using detail::Fail;
using detail::IsLockFileKind;
using detail::ProcessIn;


namespace {

[[noreturn]] void Fail(const char* verb, const fs::path& path, int error) {
    // A name resolved without following links meets one: say so plainly.
    detail::Fail(verb, path, error == ELOOP ? std::string("it is a symbolic link") : std::generic_category().message(error));
}

FileInfo InfoOf(const struct stat& st) {
    FileInfo info;
    info.kind = S_ISREG(st.st_mode)   ? Kind::Regular
                : S_ISDIR(st.st_mode) ? Kind::Folder
                : S_ISLNK(st.st_mode) ? Kind::Link
                                      : Kind::Other;
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.size = static_cast<std::uint64_t>(st.st_size);
#if defined(__APPLE__)
    const struct timespec& written = st.st_mtimespec;
#else
    const struct timespec& written = st.st_mtim;
#endif
    info.modified = static_cast<std::int64_t>(written.tv_sec) * 1'000'000'000 + written.tv_nsec;
    info.permissions = static_cast<std::uint32_t>(st.st_mode & 07777);
    info.owner = st.st_uid;
    info.group = st.st_gid;
    return info;
}

// Retries a call the arrival of a signal cut short: one that failed (-1)
// with EINTR.
template <class Call>
auto Retrying(Call call) {
    for (;;) {
        const auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

}  // namespace

File::~File() {
    if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

bool File::IsOpen() const { return fd_ >= 0; }

std::size_t File::Read(std::span<std::uint8_t> into) {
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t got = Retrying([&] { return ::read(fd_, into.data() + done, into.size() - done); });
        if (got < 0) Fail("read", path_, errno);
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void File::Write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = Retrying([&] { return ::write(fd_, bytes.data() + done, bytes.size() - done); });
        if (put < 0) Fail("write", path_, errno);
        if (put == 0) Fail("write", path_, ENOSPC);
        done += static_cast<std::size_t>(put);
    }
}

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t got = Retrying(
            [&] { return ::pread(fd_, into.data() + done, into.size() - done, static_cast<off_t>(offset + done)); });
        if (got < 0) Fail("read", path_, errno);
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = Retrying(
            [&] { return ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done)); });
        if (put < 0) Fail("write", path_, errno);
        if (put == 0) Fail("write", path_, ENOSPC);
        done += static_cast<std::size_t>(put);
    }
}

void File::Truncate(std::uint64_t size) {
    if (Retrying([&] { return ::ftruncate(fd_, static_cast<off_t>(size)); }) != 0) Fail("write", path_, errno);
}

void File::AppendCopyOf(File& source) {
#if defined(__linux__)
    // Within the kernel, where the file systems allow it.
    for (bool first = true;; first = false) {
        const ssize_t n = Retrying([&] { return ::copy_file_range(source.fd_, nullptr, fd_, nullptr, 1 << 30, 0); });
        if (n > 0) continue;
        if (n == 0) return;
        const int error = errno;
        const bool unsupported = error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP;
        if (!(first && unsupported)) Fail("write", path_, error);
        break;
    }
#endif
    std::vector<std::uint8_t> buffer(1 << 20);
    for (;;) {
        const std::size_t n = source.Read(buffer);
        if (n == 0) return;
        Write(std::span(buffer).first(n));
    }
}

void File::Sync() {
#if defined(__APPLE__)
    const int rc = ::fcntl(fd_, F_FULLFSYNC);
#else
    const int rc = Retrying([&] { return ::fdatasync(fd_); });
#endif
    if (rc != 0) Fail("write", path_, errno);
}

FileInfo File::Info() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Fail("read", path_, errno);
    return InfoOf(st);
}

void File::TakeOwnerAndPermissionsOf(const FileInfo& old) {
    const FileInfo now = Info();
    if (old.owner != now.owner || old.group != now.group) {
        // At least the group, where allowed: a user may give a file a group
        // of his, not another owner. Either way the new file stays, so what
        // the second try reports is of no use.
        if (::fchown(fd_, static_cast<uid_t>(old.owner), static_cast<gid_t>(old.group)) != 0) {
            [[maybe_unused]] const int groupOnly = ::fchown(fd_, static_cast<uid_t>(-1), static_cast<gid_t>(old.group));
        }
    }
    if (::fchmod(fd_, static_cast<mode_t>(old.permissions)) != 0) Fail("write", path_, errno);
}

void File::Close() {
    if (fd_ < 0) return;
    const int rc = ::close(std::exchange(fd_, -1));
    if (rc != 0 && errno != EINTR) Fail("write", path_, errno);
}

Folder::~Folder() {
    if (fd_ >= 0) ::close(fd_);
}

Folder::Folder(Folder&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

Folder Folder::Open(const fs::path& path) {
    Folder folder;
    folder.path_ = path;
    folder.fd_ = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder.fd_ < 0) Fail("open the folder", path, errno);
    return folder;
}

FileInfo Folder::Info() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Fail("read", path_, errno);
    return InfoOf(st);
}

FileInfo Folder::Info(const fs::path& name) const {
    struct stat st {};
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return InfoOf(st);
    if (errno == ENOENT) return {};
    Fail("read", PathOf(name), errno);
}

fs::path Folder::LinkTarget(const fs::path& name) const {
    std::string target(4096, '\0');
    const ssize_t n = ::readlinkat(fd_, name.c_str(), target.data(), target.size());
    if (n < 0) Fail("read", PathOf(name), errno);
    target.resize(static_cast<std::size_t>(n));
    return target;
}

File Folder::OpenToRead(const fs::path& name) const {
    File file;
    file.path_ = PathOf(name);
    // Without waiting: a pipe opened to read would wait for a writer.
    file.fd_ = Retrying([&] { return ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
    if (file.fd_ < 0) Fail("read", file.path_, errno);
    if (file.Info().kind != Kind::Regular) Fail("read", file.path_, "it is not a regular file");
    return file;
}

std::optional<File> Folder::CreateNew(const fs::path& name) const {
    File file;
    file.path_ = PathOf(name);
    // O_EXCL: a name that exists, a link included, is never opened.
    file.fd_ = Retrying(
        [&] { return ::openat(fd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666); });
    if (file.fd_ < 0) {
        if (errno == EEXIST) return std::nullopt;
        Fail("write", file.path_, errno);
    }
    return file;
}

void Folder::Remove(const fs::path& name) const {
    if (::unlinkat(fd_, name.c_str(), 0) != 0 && errno != ENOENT) Fail("remove", PathOf(name), errno);
}

Folder::LinkResult Folder::Link(const fs::path& name, const Folder& to, const fs::path& newName) const {
    // Flags 0: a link at `name` is linked itself, never followed.
    if (::linkat(fd_, name.c_str(), to.fd_, newName.c_str(), 0) == 0) return LinkResult::Linked;
    switch (errno) {
        case EEXIST: return LinkResult::NameTaken;
        case EPERM:
        case EOPNOTSUPP:
        case EXDEV:
        case EMLINK:
        case ENOSYS: return LinkResult::NotSupported;
        default: Fail("keep", PathOf(name), errno);
    }
}

void Folder::Rename(const fs::path& name, const Folder& to, const fs::path& newName) const {
    if (::renameat(fd_, name.c_str(), to.fd_, newName.c_str()) != 0) Fail("replace", to.PathOf(newName), errno);
}

bool Folder::Exchange(const fs::path& a, const fs::path& b) const {
#if defined(__linux__)
    if (::renameat2(fd_, a.c_str(), fd_, b.c_str(), RENAME_EXCHANGE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return false;
    Fail("replace", PathOf(b), errno);
#else
    (void)a;
    (void)b;
    return false;
#endif
}

std::optional<Folder> Folder::OpenFolder(const fs::path& name) const {
    Folder folder;
    folder.path_ = PathOf(name);
    folder.fd_ = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder.fd_ >= 0) return folder;
    if (errno == ENOENT) return std::nullopt;
    if (errno == ENOTDIR) Fail("open the folder", folder.path_, "it is not a folder");
    Fail("open the folder", folder.path_, errno);
}

Folder Folder::MakeFolder(const fs::path& name) const {
    if (::mkdirat(fd_, name.c_str(), 0777) != 0 && errno != EEXIST) Fail("make the folder", PathOf(name), errno);
    auto folder = OpenFolder(name);
    if (!folder) Fail("make the folder", PathOf(name), ENOENT);
    return std::move(*folder);
}

std::vector<fs::path> Folder::Names() const {
    std::vector<fs::path> names;
    const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) Fail("read the folder", path_, errno);
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        Fail("read the folder", path_, error);
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

void Folder::Sync() const {
    // Some file systems cannot flush a folder; their entries are written as
    // they come.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) Fail("write", path_, errno);
}

bool Folder::CanWrite() const { return ::faccessat(fd_, ".", W_OK | X_OK, AT_EACCESS) == 0; }

Folder Folder::Duplicate() const {
    Folder folder;
    folder.path_ = path_;
    folder.fd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (folder.fd_ < 0) Fail("open the folder", path_, errno);
    return folder;
}

std::optional<Lock> Lock::Take(const Folder& folder, const fs::path& name, Blocked& blocked) {
    const fs::path path = folder.PathOf(name);
    for (;;) {
        // Anything but a regular file is refused before it is opened: a pipe
        // or a device has no business there.
        if (!IsLockFileKind(folder.Info(name), blocked)) return std::nullopt;

        Lock lock;
        lock.file_.path_ = path;
        lock.file_.fd_ = Retrying([&] {
            return ::openat(folder.fd_, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        });
        if (lock.file_.fd_ < 0) Fail("make the lock file", path, errno);
        const FileInfo opened = lock.file_.Info();
        if (!IsLockFileKind(opened, blocked)) return std::nullopt;
        if (::flock(lock.file_.fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) Fail("lock", path, errno);
            char text[32] = {};
            const ssize_t n = ::pread(lock.file_.fd_, text, sizeof text - 1, 0);
            blocked.process = n > 0 ? ProcessIn(std::string_view(text, static_cast<std::size_t>(n))) : 0;
            return std::nullopt;
        }
        // The holder before us may have removed the name as it let go: a lock
        // on a file no longer of that name locks nothing. Try again.
        if (!folder.Info(name).SameFile(opened)) continue;
        const std::string process = std::to_string(::getpid()) + "\n";
        if (::ftruncate(lock.file_.fd_, 0) != 0 ||
            ::pwrite(lock.file_.fd_, process.data(), process.size(), 0) != static_cast<ssize_t>(process.size()))
            Fail("write", path, errno);
        lock.folder_ = folder.Duplicate();
        lock.name_ = name;
        return lock;
    }
}

Lock::~Lock() {
    // Removed while still held, and only if it is still ours: whoever opens
    // the name next makes a new file and finds it free.
    if (!file_.IsOpen()) return;
    struct stat mine {}, named {};
    if (::fstat(file_.fd_, &mine) == 0 && ::fstatat(folder_.fd_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
        ::unlinkat(folder_.fd_, name_.c_str(), 0);
}

bool RunningAsAdministrator() { return ::geteuid() == 0; }

std::int64_t CurrentUser() { return ::geteuid(); }

fs::path ProgramFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path();
}

fs::path CacheFolder() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* user = ::getpwuid(::geteuid());
            home = user ? user->pw_dir : nullptr;
        }
        if (!home || !*home) throw Error("Cannot find the user's cache folder: the user has no home folder");
        base = fs::path(home) / ".cache";
    }
    const fs::path folder = base / "Tavrin" / "Tavrin";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw Error("Cannot make the folder " + PathText(folder) + ": " + ec.message());
    return folder;
}

bool BelongsToCurrentUser(const fs::path& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && info.st_uid == ::geteuid();
}

bool CanCreateFilesIn(const fs::path& folder) {
    std::string probe = (folder / ".tavrin-probe-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}


}  // namespace tavrin::platform

#endif
