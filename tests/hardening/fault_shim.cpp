// An LD_PRELOAD library (Linux) that makes chosen system calls fail, for
// tests of what a run does when the disk fills up or a write is lost:
//
//   TAVRIN_FAULT=<call>:<errno>:<glob>[:<calls let through first>]
//
// <call> is write (write, writev), pwrite (pwrite, pwrite64: the database
// engine's writes), sync (fsync, fdatasync), rename or link; <errno> is
// ENOSPC, EIO, EPERM or EDQUOT; the glob is matched against the file's full
// path (for rename and link, either name). Other files and calls pass through.

#include <dlfcn.h>
#include <fnmatch.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Fault {
    std::string call, glob;
    int error = 0;
    long letThrough = 0;
};

const Fault& TheFault() {
    static const Fault fault = [] {
        Fault f;
        const char* spec = std::getenv("TAVRIN_FAULT");
        if (!spec) return f;
        std::string s(spec);
        const auto next = [&] {
            const std::size_t colon = s.find(':');
            std::string part = s.substr(0, colon);
            s = colon == std::string::npos ? "" : s.substr(colon + 1);
            return part;
        };
        f.call = next();
        const std::string error = next();
        f.error = error == "ENOSPC" ? ENOSPC : error == "EIO" ? EIO : error == "EPERM" ? EPERM : error == "EDQUOT" ? EDQUOT : 0;
        f.glob = next();
        const std::string through = next();
        f.letThrough = through.empty() ? 0 : std::atol(through.c_str());
        return f;
    }();
    return fault;
}

bool Matches(const char* path) { return path && fnmatch(TheFault().glob.c_str(), path, 0) == 0; }

bool FdMatches(int fd) {
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = '\0';
    return Matches(path);
}

// Whether this call fails: the right kind, a matching file, and past the
// calls let through.
bool Fails(const char* call, bool matches) {
    static std::atomic<long> seen{0};
    const Fault& f = TheFault();
    if (f.error == 0 || f.call != call || !matches) return false;
    return seen++ >= f.letThrough;
}

template <class F>
F Real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t n) {
    if (Fails("write", FdMatches(fd))) return errno = TheFault().error, -1;
    return Real<ssize_t (*)(int, const void*, size_t)>("write")(fd, buf, n);
}

ssize_t writev(int fd, const struct iovec* iov, int count) {
    if (Fails("write", FdMatches(fd))) return errno = TheFault().error, -1;
    return Real<ssize_t (*)(int, const struct iovec*, int)>("writev")(fd, iov, count);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) {
    if (Fails("pwrite", FdMatches(fd))) return errno = TheFault().error, -1;
    return Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, buf, n, at);
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off64_t at) {
    if (Fails("pwrite", FdMatches(fd))) return errno = TheFault().error, -1;
    return Real<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64")(fd, buf, n, at);
}

int fsync(int fd) {
    if (Fails("sync", FdMatches(fd))) return errno = TheFault().error, -1;
    return Real<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fd) {
    if (Fails("sync", FdMatches(fd))) return errno = TheFault().error, -1;
    return Real<int (*)(int)>("fdatasync")(fd);
}

int rename(const char* from, const char* to) {
    if (Fails("rename", Matches(from) || Matches(to))) return errno = TheFault().error, -1;
    return Real<int (*)(const char*, const char*)>("rename")(from, to);
}

int link(const char* from, const char* to) {
    if (Fails("link", Matches(from) || Matches(to))) return errno = TheFault().error, -1;
    return Real<int (*)(const char*, const char*)>("link")(from, to);
}

}  // extern "C"
