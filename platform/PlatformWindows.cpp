// The file system layer (Platform.h) on Windows: a folder held open without
// sharing its deletion, so that its path keeps naming it, and files opened
// without following reparse points.

#if defined(_WIN32)

#include "platform/Platform.h"

#include <cerrno>
#include <charconv>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "platform/PlatformDetail.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace tavrin::platform {

namespace fs = std::filesystem;
using detail::Fail;
using detail::IsLockFileKind;
using detail::ProcessIn;


namespace {

std::string SystemReason(DWORD error) { return std::system_category().message(static_cast<int>(error)); }

[[noreturn]] void Fail(const char* verb, const fs::path& path, DWORD error) { detail::Fail(verb, path, SystemReason(error)); }

HANDLE AsHandle(void* h) { return static_cast<HANDLE>(h); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::int64_t Nanoseconds(const FILETIME& t) {
    const auto ticks = (static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return (ticks - 116444736000000000LL) * 100;  // 100 ns ticks since 1601
}

FileInfo InfoOf(HANDLE h, const fs::path& path) {
    BY_HANDLE_FILE_INFORMATION data{};
    if (!GetFileInformationByHandle(h, &data)) Fail("read", path, GetLastError());
    FileInfo info;
    info.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Kind::Link
                : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? Kind::Folder
                : GetFileType(h) == FILE_TYPE_DISK                     ? Kind::Regular
                                                                       : Kind::Other;
    info.device = data.dwVolumeSerialNumber;
    info.inode = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.modified = Nanoseconds(data.ftLastWriteTime);
    info.permissions = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    return info;
}

// Opens a name itself: a reparse point (a link) is opened, never followed.
HANDLE OpenName(const fs::path& path, DWORD access, DWORD disposition, DWORD share = kShareAll) {
    return CreateFileW(path.c_str(), access, share, nullptr, disposition,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

File::~File() {
    if (handle_) CloseHandle(AsHandle(handle_));
}

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (handle_) CloseHandle(AsHandle(handle_));
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

bool File::IsOpen() const { return handle_ != nullptr; }

std::size_t File::Read(std::span<std::uint8_t> into) {
    std::size_t done = 0;
    while (done < into.size()) {
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size() - done, 1u << 30));
        if (!ReadFile(AsHandle(handle_), into.data() + done, want, &got, nullptr)) Fail("read", path_, GetLastError());
        if (got == 0) break;
        done += got;
    }
    return done;
}

void File::Write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        if (!WriteFile(AsHandle(handle_), bytes.data() + done, want, &put, nullptr)) Fail("write", path_, GetLastError());
        if (put == 0) Fail("write", path_, ERROR_DISK_FULL);
        done += put;
    }
}

// Where a positioned read or write starts: the offset in the two halves
// that the system's call takes.
namespace {
OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}
}  // namespace

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
    std::size_t done = 0;
    while (done < into.size()) {
        OVERLAPPED at = At(offset + done);
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size() - done, 1u << 30));
        if (!ReadFile(AsHandle(handle_), into.data() + done, want, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            Fail("read", path_, GetLastError());
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

void File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED at = At(offset + done);
        DWORD put = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        if (!WriteFile(AsHandle(handle_), bytes.data() + done, want, &put, &at)) Fail("write", path_, GetLastError());
        if (put == 0) Fail("write", path_, ERROR_DISK_FULL);
        done += put;
    }
}

void File::Truncate(std::uint64_t size) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN) || !SetEndOfFile(AsHandle(handle_)))
        Fail("write", path_, GetLastError());
}

void File::AppendCopyOf(File& source) {
    std::vector<std::uint8_t> buffer(1 << 20);
    for (;;) {
        const std::size_t n = source.Read(buffer);
        if (n == 0) return;
        Write(std::span(buffer).first(n));
    }
}

void File::Sync() {
    if (!FlushFileBuffers(AsHandle(handle_))) Fail("write", path_, GetLastError());
}

FileInfo File::Info() const { return InfoOf(AsHandle(handle_), path_); }

void File::TakeOwnerAndPermissionsOf(const FileInfo&) {
    // A file's rights on Windows come from its folder; a read-only file is
    // refused before any run replaces it.
}

void File::Close() {
    if (handle_ && !CloseHandle(AsHandle(std::exchange(handle_, nullptr)))) Fail("write", path_, GetLastError());
}

Folder::~Folder() {
    if (handle_) CloseHandle(AsHandle(handle_));
}

Folder::Folder(Folder&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (handle_) CloseHandle(AsHandle(handle_));
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

Folder Folder::Open(const fs::path& path) {
    Folder folder;
    folder.path_ = path;
    // Held without sharing its deletion: while the run has it, the folder
    // cannot be renamed or replaced, so its path keeps naming it.
    const HANDLE h = CreateFileW(path.empty() ? L"." : path.c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) Fail("open the folder", path, GetLastError());
    folder.handle_ = h;
    return folder;
}

FileInfo Folder::Info() const { return InfoOf(AsHandle(handle_), path_); }

FileInfo Folder::Info(const fs::path& name) const {
    const HANDLE h = OpenName(PathOf(name), FILE_READ_ATTRIBUTES, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        Fail("read", PathOf(name), error);
    }
    FileInfo info;
    try {
        info = InfoOf(h, PathOf(name));
    } catch (...) {
        CloseHandle(h);
        throw;
    }
    CloseHandle(h);
    return info;
}

fs::path Folder::LinkTarget(const fs::path& name) const {
    std::error_code ec;
    const fs::path target = fs::read_symlink(PathOf(name), ec);
    if (ec) Fail("read", PathOf(name), ec.message());
    return target;
}

File Folder::OpenToRead(const fs::path& name) const {
    File file;
    file.path_ = PathOf(name);
    const HANDLE h = OpenName(file.path_, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) Fail("read", file.path_, GetLastError());
    file.handle_ = h;
    const Kind kind = file.Info().kind;
    if (kind == Kind::Link) Fail("read", file.path_, "it is a symbolic link");
    if (kind != Kind::Regular) Fail("read", file.path_, "it is not a regular file");
    return file;
}

std::optional<File> Folder::CreateNew(const fs::path& name) const {
    File file;
    file.path_ = PathOf(name);
    // CREATE_NEW fails on any existing name, a link included.
    const HANDLE h = CreateFileW(file.path_.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return std::nullopt;
        Fail("write", file.path_, error);
    }
    file.handle_ = h;
    return file;
}

void Folder::Remove(const fs::path& name) const {
    if (DeleteFileW(PathOf(name).c_str())) return;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) Fail("remove", PathOf(name), error);
}

Folder::LinkResult Folder::Link(const fs::path& name, const Folder& to, const fs::path& newName) const {
    if (CreateHardLinkW(to.PathOf(newName).c_str(), PathOf(name).c_str(), nullptr)) return LinkResult::Linked;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return LinkResult::NameTaken;
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_NOT_SAME_DEVICE)
        return LinkResult::NotSupported;
    Fail("keep", PathOf(name), error);
}

void Folder::Rename(const fs::path& name, const Folder& to, const fs::path& newName) const {
    if (!MoveFileExW(PathOf(name).c_str(), to.PathOf(newName).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail("replace", to.PathOf(newName), GetLastError());
}

// Windows cannot swap two names in one step (ReplaceFileW is several steps,
// and a kill between them can leave neither name): the commit renames
// instead, and looks at the replaced file through its kept second name.
bool Folder::Exchange(const fs::path&, const fs::path&) const { return false; }

std::optional<Folder> Folder::OpenFolder(const fs::path& name) const {
    const FileInfo info = Info(name);
    if (!info.Exists()) return std::nullopt;
    if (info.kind == Kind::Link) Fail("open the folder", PathOf(name), "it is a symbolic link");
    if (info.kind != Kind::Folder) Fail("open the folder", PathOf(name), "it is not a folder");
    return Open(PathOf(name));
}

Folder Folder::MakeFolder(const fs::path& name) const {
    if (!CreateDirectoryW(PathOf(name).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        Fail("make the folder", PathOf(name), GetLastError());
    auto folder = OpenFolder(name);
    if (!folder) Fail("make the folder", PathOf(name), ERROR_PATH_NOT_FOUND);
    return std::move(*folder);
}

std::vector<fs::path> Folder::Names() const {
    std::vector<fs::path> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((path_ / L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return names;
        Fail("read the folder", path_, GetLastError());
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") names.emplace_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

void Folder::Sync() const {
    // Renames are written through (MOVEFILE_WRITE_THROUGH); a folder cannot
    // be flushed on its own.
}

bool Folder::CanWrite() const {
    const fs::path probe = PathOf(L".tavrin-probe");
    const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(h);
    return true;
}

Folder Folder::Duplicate() const { return Open(path_); }

std::optional<Lock> Lock::Take(const Folder& folder, const fs::path& name, Blocked& blocked) {
    const fs::path path = folder.PathOf(name);
    if (!IsLockFileKind(folder.Info(name), blocked)) return std::nullopt;
    // Held open without sharing writes: the system lets go of it when the
    // process ends.
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION) Fail("make the lock file", path, error);
        const HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
        if (reader != INVALID_HANDLE_VALUE) {
            char text[32] = {};
            DWORD n = 0;
            if (ReadFile(reader, text, sizeof text - 1, &n, nullptr)) blocked.process = ProcessIn(std::string_view(text, n));
            CloseHandle(reader);
        }
        return std::nullopt;
    }
    Lock lock;
    lock.file_.handle_ = h;
    lock.file_.path_ = path;
    const std::string process = std::to_string(GetCurrentProcessId()) + "\n";
    SetEndOfFile(h);
    lock.file_.Write(std::span(reinterpret_cast<const std::uint8_t*>(process.data()), process.size()));
    lock.folder_ = folder.Duplicate();
    lock.name_ = name;
    return lock;
}

Lock::~Lock() {
    if (!file_.IsOpen()) return;
    file_ = File();  // closed, then removed: another run may have it by then, and keeps it
    DeleteFileW(folder_.PathOf(name_).c_str());
}

bool RunningAsAdministrator() {
    // Rights on Windows are the folders' access lists, which the system
    // checks for every user alike.
    return false;
}

std::int64_t CurrentUser() { return -1; }

fs::path ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return fs::current_path();
        if (n < path.size()) {
            path.resize(n);
            return fs::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

fs::path CacheFolder() {
    PWSTR local = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local))) {
        CoTaskMemFree(local);
        throw Error("Cannot find the user's local application data folder");
    }
    const fs::path folder = fs::path(local) / L"Tavrin" / L"Tavrin" / L"cache";
    CoTaskMemFree(local);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw Error("Cannot make the folder " + PathText(folder) + ": " + ec.message());
    return folder;
}

bool BelongsToCurrentUser(const fs::path&) { return true; }

bool CanCreateFilesIn(const fs::path& folder) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path probe =
            folder / (L".tavrin-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt));
        const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}


}  // namespace tavrin::platform

#endif
