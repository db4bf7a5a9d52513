#include "league/Platform.h"

#include <cerrno>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrin::platform {

bool SyncToDisk(QFile& file, std::string& reason) {
    if (!file.flush()) {
        reason = file.errorString().toStdString();
        return false;
    }
#if defined(_WIN32)
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (!FlushFileBuffers(handle)) {
        reason = std::system_category().message(static_cast<int>(GetLastError()));
        return false;
    }
#else
#if defined(__APPLE__)
    const int rc = fsync(file.handle());
#else
    const int rc = fdatasync(file.handle());
#endif
    if (rc != 0) {
        reason = std::generic_category().message(errno);
        return false;
    }
#endif
    return true;
}

void CopyOwner(const std::filesystem::path& from, QFile& to) {
#if defined(_WIN32)
    (void)from;
    (void)to;
#else
    struct stat old {};
    struct stat now {};
    if (::stat(from.c_str(), &old) != 0 || ::fstat(to.handle(), &now) != 0) return;
    if (old.st_uid == now.st_uid && old.st_gid == now.st_gid) return;
    // At least the group, where allowed; a second refusal leaves the new
    // file as this user's, with nothing more to try.
    if (::fchown(to.handle(), old.st_uid, old.st_gid) != 0 &&
        ::fchown(to.handle(), static_cast<uid_t>(-1), old.st_gid) != 0)
        return;
#endif
}

std::size_t NameLength(const std::filesystem::path& name) {
#if defined(_WIN32)
    return name.filename().wstring().size();
#else
    return name.filename().native().size();
#endif
}

}  // namespace tavrin::platform
