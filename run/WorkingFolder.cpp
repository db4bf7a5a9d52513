#include "run/WorkingFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>

#include "base/Version.h"
#include "league/ProgramState.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrin::run {

void NameApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())));
}

namespace {

namespace fs = std::filesystem;

// SQLite refuses a database whose full path is longer than this (bytes of
// UTF-8, the terminator aside): every run would fail at its import.
constexpr std::size_t kSqlitePathLimit = 511;

#if defined(_WIN32)
// Both Program Files folders and the Windows folder, as the system names
// them for this session.
QStringList SystemFolders() {
    QStringList folders;
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
        const QString folder = qEnvironmentVariable(name);
        if (!folder.isEmpty()) folders << QDir::cleanPath(QDir::fromNativeSeparators(folder));
    }
    return folders;
}
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
// Outside the system folders a folder on Windows is the user's: there is no
// single owner to compare, and an unpacked copy lives under the profile or on
// a drive of the user's own.
bool BelongsToThisUser(const fs::path&) { return true; }
#else
// Where packages and administrators install programs: /usr (with
// /usr/local), /opt, the top-level program and library folders, and the
// prefixes of snaps, Flatpak and Nix.
QStringList SystemFolders() {
    return {"/usr", "/opt", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/snap", "/app", "/nix"};
}
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
// Root owns the system's folders and can write anywhere: only the owner
// tells a folder of root's own from one it merely may write to.
bool BelongsToThisUser(const fs::path& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && info.st_uid == ::geteuid();
}
#endif

bool IsUnder(const QString& folder, const QString& root) {
    return folder.compare(root, kPathCase) == 0 || folder.startsWith(root + QLatin1Char('/'), kPathCase);
}

// Whether this user can make files in the folder: tried, not guessed from
// permission bits (a read-only mount, an ACL).
bool CanCreateFilesIn(const fs::path& folder) {
    QTemporaryFile probe(QString::fromStdU16String(folder.u16string()) + QStringLiteral("/.tavrin-probe-XXXXXX"));
    return probe.open();
}

fs::path ToPath(const QString& folder) { return fs::path(folder.toStdU16String()); }

}  // namespace

bool KeepsWorkingDatabaseBeside(const fs::path& programFolder) {
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(fs::absolute(programFolder, ec), ec);
    if (ec) return false;
    const QString shown = QDir::fromNativeSeparators(QString::fromStdU16String(folder.u16string()));
    for (const QString& system : SystemFolders())
        if (IsUnder(shown, system)) return false;
    ProgramState there;
    there.workingFolder = folder;
    if (there.WorkingDatabasePath().u8string().size() > kSqlitePathLimit) return false;
    // The probe comes last: nothing is made in a folder that is not ours.
    return BelongsToThisUser(folder) && CanCreateFilesIn(folder);
}

std::filesystem::path WorkingFolder() {
    return WorkingFolder(ToPath(QCoreApplication::applicationDirPath()));
}

std::filesystem::path WorkingFolder(const std::filesystem::path& programFolder) {
    if (KeepsWorkingDatabaseBeside(programFolder)) return programFolder;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(cache);
    return ToPath(cache);
}

}  // namespace tavrin::run
