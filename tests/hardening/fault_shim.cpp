// An LD_PRELOAD library (Linux) that makes chosen system calls fail, as a
// full disk or a failing one would:
//
//   TAVRIN_FAULT=<call>:<errno>:<glob>
//
// <call> is write (write, writev: QFile; sendfile, copy_file_range: the
// system's file copy), pwrite (pwrite, pwrite64: the database engine), sync
// (fsync, fdatasync), rename or link; <errno> is
// ENOSPC, EIO or EPERM; the glob is matched against the file's full path (for
// rename and link, either name). Other files and calls pass through.

#include <dlfcn.h>
#include <fnmatch.h>
#include <sys/sendfile.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
                : !std::strcmp(error, "EPERM")  ? EPERM : 0;
        return f;
    }();
    return fault;
}

bool Matches(const char* path) { return path && fnmatch(TheFault().glob, path, 0) == 0; }

bool FdMatches(int fd) {
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = '\0';
    return Matches(path);
}

// Whether calls of this kind are to fail (the file is checked after).
bool Failing(const char* call) { return TheFault().error != 0 && std::strcmp(TheFault().call, call) == 0; }

int Fail() {
    errno = TheFault().error;
    return -1;
}

template <class F>
F Real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t n) {
    if (Failing("write") && FdMatches(fd)) return Fail();
    return Real<ssize_t (*)(int, const void*, size_t)>("write")(fd, buf, n);
}

ssize_t writev(int fd, const struct iovec* iov, int count) {
    if (Failing("write") && FdMatches(fd)) return Fail();
    return Real<ssize_t (*)(int, const struct iovec*, int)>("writev")(fd, iov, count);
}

ssize_t sendfile(int to, int from, off_t* at, size_t n) {
    if (Failing("write") && FdMatches(to)) return Fail();
    return Real<ssize_t (*)(int, int, off_t*, size_t)>("sendfile")(to, from, at, n);
}

ssize_t copy_file_range(int from, off64_t* fromAt, int to, off64_t* toAt, size_t n, unsigned flags) {
    if (Failing("write") && FdMatches(to)) return Fail();
    return Real<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range")(from, fromAt, to, toAt, n,
                                                                                                 flags);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) {
    if (Failing("pwrite") && FdMatches(fd)) return Fail();
    return Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, buf, n, at);
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off64_t at) {
    if (Failing("pwrite") && FdMatches(fd)) return Fail();
    return Real<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64")(fd, buf, n, at);
}

int fsync(int fd) { return Failing("sync") && FdMatches(fd) ? Fail() : Real<int (*)(int)>("fsync")(fd); }

int fdatasync(int fd) { return Failing("sync") && FdMatches(fd) ? Fail() : Real<int (*)(int)>("fdatasync")(fd); }

int rename(const char* from, const char* to) {
    if (Failing("rename") && (Matches(from) || Matches(to))) return Fail();
    return Real<int (*)(const char*, const char*)>("rename")(from, to);
}

int link(const char* from, const char* to) {
    if (Failing("link") && (Matches(from) || Matches(to))) return Fail();
    return Real<int (*)(const char*, const char*)>("link")(from, to);
}

}  // extern "C"
