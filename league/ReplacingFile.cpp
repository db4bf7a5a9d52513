#include "league/ReplacingFile.h"


#include "db/Error.h"
#include "league/Platform.h"
#include "league/QtFiles.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// Where a symbolic link points, so that the file is replaced and the link stays.
fs::path Resolved(const fs::path& target) {
    std::error_code ec;
    if (!fs::is_symlink(target, ec)) return target;
    const fs::path real = fs::canonical(target, ec);
    if (ec) ThrowFileError("write", target, QString::fromStdString(ec.message()));
    return real;
}

}  // namespace

bool HasWritePermission(const fs::path& path) {
    using fs::perms;
    std::error_code ec;
    const perms bits = fs::status(path, ec).permissions();
    return !ec && (bits & (perms::owner_write | perms::group_write | perms::others_write)) != perms::none;
}

fs::path ReplacingFile::NewPath(const fs::path& target) {
    fs::path p = target;
    p += ".tavrin-new";
    return p;
}

void ReplacingFile::RemoveLeftOver(const fs::path& target) {
    std::error_code ec;
    const fs::path real = fs::is_symlink(target, ec) ? fs::canonical(target, ec) : target;
    if (!ec) fs::remove(NewPath(real), ec);
}

std::optional<std::string> WhyNotReplaceable(const fs::path& target) {
    std::error_code ec;
    const auto status = fs::status(target, ec);  // through a link, the file it points to
    if (!fs::exists(status)) return std::nullopt;
    if (!fs::is_regular_file(status)) return "it is not a regular file";
    if (!HasWritePermission(target)) return "the file is read-only";
    return std::nullopt;
}

ReplacingFile::ReplacingFile(const fs::path& target) : target_(Resolved(target)), newPath_(NewPath(target_)) {
    std::error_code ec;
    if (const auto why = WhyNotReplaceable(target_)) ThrowFileError("write", target, QString::fromStdString(*why));
    // A new file left behind by a run that was killed part-way.
    if (fs::exists(fs::symlink_status(newPath_, ec)) && !fs::remove(newPath_, ec))
        ThrowFileError("remove", newPath_, QString::fromStdString(ec.message()));
    file_.setFileName(ToQString(newPath_));
    // Unbuffered, so a failing write reports the system's reason at once.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        ThrowFileError("write", newPath_, file_);
}

ReplacingFile::~ReplacingFile() {
    if (committed_) return;
    file_.close();
    std::error_code ec;
    fs::remove(newPath_, ec);
}

void ReplacingFile::Write(const void* data, std::int64_t bytes) {
    if (bytes > 0 && file_.write(static_cast<const char*>(data), bytes) != bytes)
        ThrowFileError("write", newPath_, file_);
}

void ReplacingFile::CopyFrom(const fs::path& source) {
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) ThrowFileError("read", source, QStringLiteral("it is not a regular file"));
    file_.close();
    fs::copy_file(source, newPath_, fs::copy_options::overwrite_existing, ec);
    if (ec) ThrowFileError("write", newPath_, QString::fromStdString(ec.message()));
    // Open again, to flush the copy to the disk at Commit.
    if (!file_.open(QIODevice::ReadWrite)) ThrowFileError("write", newPath_, file_);
}

void ReplacingFile::Commit(const fs::path& keepReplacedAs) {
    std::string reason;
    if (!platform::SyncToDisk(file_, reason)) ThrowFileError("write", newPath_, QString::fromStdString(reason));
    std::error_code ec;
    const bool replacing = fs::exists(target_, ec);
    if (replacing) {
        // Owner first: a change of owner may clear permission bits.
        platform::CopyOwner(target_, file_);
        fs::permissions(newPath_, fs::status(target_).permissions(), ec);
        if (ec) ThrowFileError("write", newPath_, QString::fromStdString(ec.message()));
    }
    file_.close();
    if (file_.error() != QFileDevice::NoError) ThrowFileError("write", newPath_, file_);

    if (replacing && !keepReplacedAs.empty()) {
        fs::create_hard_link(target_, keepReplacedAs, ec);
        if (ec) CopyFileReplacing(target_, keepReplacedAs);
    }
    fs::rename(newPath_, target_, ec);
    if (ec) ThrowFileError("replace", target_, QString::fromStdString(ec.message()));
    // The folder's entry is not flushed: should the machine lose power before
    // the system writes it, the old file is what it finds, complete.
    committed_ = true;
}

void CopyFileReplacing(const fs::path& from, const fs::path& to, const fs::path& keepReplacedAs) {
    ReplacingFile out(to);
    out.CopyFrom(from);
    out.Commit(keepReplacedAs);
}

void ChangeThroughCopy(const fs::path& file, const std::function<void(const fs::path& copy)>& change) {
    ReplacingFile out(file);
    out.CopyFrom(out.Target());
    change(ReplacingFile::NewPath(out.Target()));
    out.Commit();
}

}  // namespace tavrin
