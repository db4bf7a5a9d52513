// An LD_PRELOAD library (Linux) that makes chosen system calls fail, as a
// full disk or a failing one would:
//
//   TAVRIN_FAULT=<call>:<errno>:<glob>
//
// <call> is write (write, writev; sendfile, copy_file_range: the system's
// file copy), pwrite (pwrite, pwrite64: the database engine), sync (fsync,
// fdatasync), close (the file is closed all the same, as when a network file
// system reports a lost write there), rename (rename, renameat, renameat2) or
// link (link, linkat);
// <errno> is ENOSPC, EIO or EPERM; the glob is matched against the file's
// full path (for rename and link, either name). Other files and calls pass
// through.
//
// <errno> GAME does not fail the call: first it writes, in place, one byte
// of the file TAVRIN_GAME_WRITES names (the first player's first byte,
// inverted), as the game saving its league at that very moment would, the
// first time only.
//
// <errno> EINTR fails every other such call with EINTR, as signals arriving
// meanwhile would: made again, each goes through. NOTHING makes write() write
// nothing and say so (0), as some full file systems do. KILL kills the
// process outright just before the call, as a power cut would at that very
// moment.
//
// <call> may also be unlink (unlink, unlinkat).
//
// TAVRIN_NO_EXCHANGE=1 plays a file system that cannot swap two names
// (renameat2 with RENAME_EXCHANGE fails with EINVAL); TAVRIN_NO_COPY_RANGE=1
// one that cannot copy within the kernel (copy_file_range fails with EXDEV).

#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <csignal>
#include <sys/sendfile.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

struct Fault {
    char call[16] = "", glob[4096] = "";
    int error = 0;
};

const Fault& TheFault() {
    static const Fault fault = [] {
        Fault f;
        char error[16] = "";
        if (const char* asked = std::getenv("TAVRIN_FAULT"))
            std::sscanf(asked, "%15[^:]:%15[^:]:%4095s", f.call, error, f.glob);
        f.error = !std::strcmp(error, "ENOSPC") ? ENOSPC : !std::strcmp(error, "EIO") ? EIO
                : !std::strcmp(error, "EPERM")  ? EPERM : !std::strcmp(error, "EINTR") ? EINTR
                : !std::strcmp(error, "GAME")   ? -1 : !std::strcmp(error, "NOTHING") ? -2
                : !std::strcmp(error, "KILL")   ? -3 : 0;
        return f;
    }();
    return fault;
}

bool Matches(const char* path) { return path && fnmatch(TheFault().glob, path, 0) == 0; }

// A name relative to an opened folder, as a full path.
bool AtMatches(int folder, const char* name) {
    if (!name) return false;
    if (name[0] == '/' || folder == AT_FDCWD) return Matches(name);
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", folder);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = '\0';
    std::strncat(path, "/", sizeof path - std::strlen(path) - 1);
    std::strncat(path, name, sizeof path - std::strlen(path) - 1);
    return Matches(path);
}

bool FdMatches(int fd) {
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = '\0';
    return Matches(path);
}

// Whether calls of this kind are to fail, or the game to write before them
// (the file is checked after).
bool Failing(const char* call) { return TheFault().error != 0 && std::strcmp(TheFault().call, call) == 0; }

// Fails the call (-1), or plays the game's write and lets it go on (0).
int Fail() {
    if (TheFault().error == -3) raise(SIGKILL);
    static bool cut = false;
    if (TheFault().error == EINTR && !(cut = !cut)) return 0;
    if (TheFault().error > 0) {
        errno = TheFault().error;
        return -1;
    }
    static bool written = false;  // the game saves once
    if (const char* file = std::getenv("TAVRIN_GAME_WRITES"); file && !std::exchange(written, true)) {
        const int fd = open(file, O_RDWR);
        unsigned char byte = 0;
        if (fd >= 0 && pread(fd, &byte, 1, 51) == 1) {
            byte = static_cast<unsigned char>(~byte);
            (void)!pwrite(fd, &byte, 1, 51);
        }
        if (fd >= 0) close(fd);
    }
    return 0;
}

template <class F>
F Real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int close(int fd) {
    const bool failing = Failing("close") && FdMatches(fd);
    const int rc = Real<int (*)(int)>("close")(fd);
    return rc == 0 && failing && Fail() ? -1 : rc;
}

ssize_t write(int fd, const void* buf, size_t n) {
    if (Failing("write") && FdMatches(fd) && TheFault().error == -2) return 0;
    if (Failing("write") && FdMatches(fd) && Fail()) return -1;
    return Real<ssize_t (*)(int, const void*, size_t)>("write")(fd, buf, n);
}

ssize_t writev(int fd, const struct iovec* iov, int count) {
    if (Failing("write") && FdMatches(fd) && Fail()) return -1;
    return Real<ssize_t (*)(int, const struct iovec*, int)>("writev")(fd, iov, count);
}

ssize_t sendfile(int to, int from, off_t* at, size_t n) {
    if (Failing("write") && FdMatches(to) && Fail()) return -1;
    return Real<ssize_t (*)(int, int, off_t*, size_t)>("sendfile")(to, from, at, n);
}

ssize_t copy_file_range(int from, off64_t* fromAt, int to, off64_t* toAt, size_t n, unsigned flags) {
    if (const char* no = std::getenv("TAVRIN_NO_COPY_RANGE"); no && *no == '1') {
        errno = EXDEV;
        return -1;
    }
    if (Failing("write") && FdMatches(to) && Fail()) return -1;
    return Real<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range")(from, fromAt, to, toAt, n,
                                                                                                 flags);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) {
    if (Failing("pwrite") && FdMatches(fd) && Fail()) return -1;
    return Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, buf, n, at);
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off64_t at) {
    if (Failing("pwrite") && FdMatches(fd) && Fail()) return -1;
    return Real<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64")(fd, buf, n, at);
}

int fsync(int fd) { return Failing("sync") && FdMatches(fd) && Fail() ? -1 : Real<int (*)(int)>("fsync")(fd); }

int fdatasync(int fd) {
    return Failing("sync") && FdMatches(fd) && Fail() ? -1 : Real<int (*)(int)>("fdatasync")(fd);
}

int rename(const char* from, const char* to) {
    if (Failing("rename") && (Matches(from) || Matches(to)) && Fail()) return -1;
    return Real<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to) {
    if (Failing("rename") && (AtMatches(fromFolder, from) || AtMatches(toFolder, to)) && Fail()) return -1;
    return Real<int (*)(int, const char*, int, const char*)>("renameat")(fromFolder, from, toFolder, to);
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
    if (const char* no = std::getenv("TAVRIN_NO_EXCHANGE"); (flags & RENAME_EXCHANGE) && no && *no == '1') {
        errno = EINVAL;
        return -1;
    }
    if (Failing("rename") && (AtMatches(fromFolder, from) || AtMatches(toFolder, to)) && Fail()) return -1;
    return Real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(fromFolder, from, toFolder, to,
                                                                                    flags);
}

int link(const char* from, const char* to) {
    if (Failing("link") && (Matches(from) || Matches(to)) && Fail()) return -1;
    return Real<int (*)(const char*, const char*)>("link")(from, to);
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    if (Failing("link") && (AtMatches(fromFolder, from) || AtMatches(toFolder, to)) && Fail()) return -1;
    return Real<int (*)(int, const char*, int, const char*, int)>("linkat")(fromFolder, from, toFolder, to, flags);
}

int unlink(const char* path) {
    if (Failing("unlink") && Matches(path) && Fail()) return -1;
    return Real<int (*)(const char*)>("unlink")(path);
}

int unlinkat(int folder, const char* name, int flags) {
    if (Failing("unlink") && AtMatches(folder, name) && Fail()) return -1;
    return Real<int (*)(int, const char*, int)>("unlinkat")(folder, name, flags);
}

}  // extern "C"
