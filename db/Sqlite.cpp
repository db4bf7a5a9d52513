#include "db/Sqlite.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

#include "base/Error.h"
#include "base/Text.h"

namespace tavrin::db {

namespace {

std::string Utf8Path(const std::filesystem::path& p) { return Utf8Of(p); }

}  // namespace

Connection::Connection(const std::filesystem::path& path, Open how) : path_(path) {
    // One connection per step, used by one thread: SQLite's own mutexes would
    // only cost time on every call. Never through a symbolic link: SQLite
    // refuses a path with one anywhere in it, so the folder's own path (the
    // user's, links and all) is resolved first, and only the file's name is
    // held to it.
    int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    switch (how) {
        case Open::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
        case Open::ReadWrite: flags |= SQLITE_OPEN_READWRITE; break;
        case Open::Create: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::canonical(
        path.has_parent_path() ? path.parent_path() : std::filesystem::path("."), ec);
    const int rc = sqlite3_open_v2(Utf8Path(ec ? path : folder / path.filename()).c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error("Cannot open " + PathText(path) + ": " +
                                        (rc == SQLITE_CANTOPEN_SYMLINK ? "it is a symbolic link" : reason));
    }
}

Connection::~Connection() { sqlite3_close_v2(db_); }

void Connection::Exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
}

std::int64_t Connection::Changes() const { return sqlite3_changes64(db_); }

namespace {
// SQLite calls the step counter once per this many steps.
constexpr int kStepsPerCall = 1000;
}  // namespace

void Connection::LimitSteps(std::uint64_t steps) {
    stepBudget_ = steps;
    stepsTaken_ = 0;
    sqlite3_progress_handler(db_, kStepsPerCall, &Connection::CountSteps, this);
}

int Connection::CountSteps(void* self) {
    auto* c = static_cast<Connection*>(self);
    c->stepsTaken_ += kStepsPerCall;
    return c->stepsTaken_ > c->stepBudget_ ? 1 : 0;
}

void Connection::Fail() const {
    if (stepBudget_ != 0 && stepsTaken_ > stepBudget_)
        throw Error("Cannot use the database " + PathText(path_) +
                    ": reading it took far more work than the data of any league needs, so Tavrin stopped");
    // The file and SQLite's reason; never our statement, which tells a user
    // nothing.
    std::string reason = sqlite3_errmsg(db_);
    if (reason.empty()) reason = sqlite3_errstr(sqlite3_errcode(db_));
    throw Error("Cannot use the database " + PathText(path_) + ": " + reason);
}

Statement::Statement(Connection& connection, const std::string& sql) : connection_(connection) {
    if (sqlite3_prepare_v2(connection.db_, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
        connection.Fail();
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    connection_.Fail();
}

void Statement::Reset() { sqlite3_reset(stmt_); }

void Statement::Bind(int param, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, param, value) != SQLITE_OK) connection_.Fail();
}

void Statement::Bind(int param, std::string_view text) {
    if (sqlite3_bind_text(stmt_, param, text.data(), static_cast<int>(text.size()), SQLITE_STATIC) != SQLITE_OK)
        connection_.Fail();
}

void Statement::BindNull(int param) {
    if (sqlite3_bind_null(stmt_, param) != SQLITE_OK) connection_.Fail();
}

Storage Statement::Type(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_INTEGER: return Storage::Integer;
        case SQLITE_FLOAT: return Storage::Real;
        case SQLITE_TEXT: return Storage::Text;
        case SQLITE_BLOB: return Storage::Blob;
        default: return Storage::Null;
    }
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

int Statement::IntsIfIntegers(std::span<const int> columns, std::span<std::int64_t> out) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        sqlite3_value* v = sqlite3_column_value(stmt_, columns[i]);
        if (sqlite3_value_type(v) != SQLITE_INTEGER) return static_cast<int>(i);
        out[i] = sqlite3_value_int64(v);
    }
    return -1;
}

std::optional<std::int64_t> Statement::IntIfInteger(int column) const {
    sqlite3_value* v = sqlite3_column_value(stmt_, column);
    if (sqlite3_value_type(v) != SQLITE_INTEGER) return std::nullopt;
    return sqlite3_value_int64(v);
}

double Statement::Real(int column) const { return sqlite3_column_double(stmt_, column); }

std::string_view Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return {text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::string_view Statement::Blob(int column) const {
    const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return {blob ? blob : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::string StoredText(const Statement& row, int column) {
    if (row.Type(column) == Storage::Blob) {
        const std::string_view blob = row.Blob(column);
        const std::string_view shown = blob.substr(0, 20);
        return "x'" + HexOf({reinterpret_cast<const unsigned char*>(shown.data()), shown.size()}) +
               (blob.size() > 20 ? "…'" : "'");
    }
    // The shortest of 15 or 17 digits that reads back as the same value.
    const double v = row.Real(column);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", v);
    if (std::strtod(buffer, nullptr) != v) std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

std::string QuotedText(std::string_view text) {
    std::string out = "'";
    for (const char c : text.substr(0, 40)) out += c == '\0' ? ' ' : c;
    return out + (text.size() > 40 ? "…'" : "'");
}

}  // namespace tavrin::db
