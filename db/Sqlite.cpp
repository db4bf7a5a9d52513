#include "db/Sqlite.h"

#include <sqlite3.h>

#include <array>
#include <algorithm>
#include <cstdio>
#include <new>
#include <cstring>
#include <mutex>
#include <map>
#include <cstdlib>
#include <exception>
#include <utility>

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

namespace {

// The file system "tavrin-opened": the engine's default one for everything
// but the databases opened on an OpenedFile, which it finds by the name they
// were registered under.
struct OpenedEntry {
    OpenedFile* file = nullptr;
    std::exception_ptr* failure = nullptr;
};
std::mutex gOpenedMutex;
std::map<std::string, OpenedEntry, std::less<>> gOpened;
std::uint64_t gOpenedSerial = 0;

struct OpenedHandle : sqlite3_file {
    OpenedEntry entry;
};

OpenedHandle& HandleOf(sqlite3_file* f) { return *static_cast<OpenedHandle*>(f); }

template <typename Step>
int OpenedGuard(sqlite3_file* f, int error, Step&& step) {
    try {
        return step();
    } catch (...) {
        *HandleOf(f).entry.failure = std::current_exception();
        return error;
    }
}

int OpenedClose(sqlite3_file*) { return SQLITE_OK; }
int OpenedRead(sqlite3_file* f, void* into, int amount, sqlite3_int64 offset) {
    return OpenedGuard(f, SQLITE_IOERR_READ, [&] {
        const auto n = static_cast<std::size_t>(amount);
        const std::size_t got = HandleOf(f).entry.file->ReadAt(
            static_cast<std::uint64_t>(offset), std::span(static_cast<std::uint8_t*>(into), n));
        if (got == n) return SQLITE_OK;
        std::memset(static_cast<std::uint8_t*>(into) + got, 0, n - got);
        return SQLITE_IOERR_SHORT_READ;
    });
}
int OpenedWrite(sqlite3_file* f, const void* bytes, int amount, sqlite3_int64 offset) {
    return OpenedGuard(f, SQLITE_IOERR_WRITE, [&] {
        HandleOf(f).entry.file->WriteAt(static_cast<std::uint64_t>(offset),
                                        std::span(static_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(amount)));
        return SQLITE_OK;
    });
}
int OpenedTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return OpenedGuard(f, SQLITE_IOERR_TRUNCATE, [&] {
        HandleOf(f).entry.file->Truncate(static_cast<std::uint64_t>(size));
        return SQLITE_OK;
    });
}
// Flushed to the disk by the one who opened it, with its other files.
int OpenedSync(sqlite3_file*, int) { return SQLITE_OK; }
int OpenedFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return OpenedGuard(f, SQLITE_IOERR_FSTAT, [&] {
        *size = static_cast<sqlite3_int64>(HandleOf(f).entry.file->Size());
        return SQLITE_OK;
    });
}
// One connection holds the file, as long as its opener lets it.
int OpenedLock(sqlite3_file*, int) { return SQLITE_OK; }
int OpenedCheckReservedLock(sqlite3_file*, int* reserved) {
    *reserved = 0;
    return SQLITE_OK;
}
int OpenedFileControl(sqlite3_file*, int, void*) { return SQLITE_NOTFOUND; }
int OpenedSectorSize(sqlite3_file*) { return 4096; }
int OpenedDeviceCharacteristics(sqlite3_file*) { return 0; }

const sqlite3_io_methods kOpenedMethods = [] {
    sqlite3_io_methods m{};
    m.iVersion = 1;
    m.xClose = OpenedClose;
    m.xRead = OpenedRead;
    m.xWrite = OpenedWrite;
    m.xTruncate = OpenedTruncate;
    m.xSync = OpenedSync;
    m.xFileSize = OpenedFileSize;
    m.xLock = OpenedLock;
    m.xUnlock = OpenedLock;
    m.xCheckReservedLock = OpenedCheckReservedLock;
    m.xFileControl = OpenedFileControl;
    m.xSectorSize = OpenedSectorSize;
    m.xDeviceCharacteristics = OpenedDeviceCharacteristics;
    return m;
}();

sqlite3_vfs* DefaultVfs() { return sqlite3_vfs_find(nullptr); }

int OpenedOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    if (name && (flags & SQLITE_OPEN_MAIN_DB)) {
        const std::lock_guard lock(gOpenedMutex);
        const auto it = gOpened.find(std::string_view(name));
        if (it != gOpened.end()) {
            auto* handle = new (file) OpenedHandle{};
            handle->pMethods = &kOpenedMethods;
            handle->entry = it->second;
            if (outFlags) *outFlags = flags;
            return SQLITE_OK;
        }
    }
    // Anything else (a temporary file for a sort): never a file of the league's.
    if (name) return SQLITE_CANTOPEN;
    return DefaultVfs()->xOpen(DefaultVfs(), name, file, flags, outFlags);
}
int OpenedDelete(sqlite3_vfs*, const char*, int) { return SQLITE_OK; }
int OpenedAccess(sqlite3_vfs*, const char*, int, int* result) {
    *result = 0;  // no journal, no -wal, nothing else of the name
    return SQLITE_OK;
}
int OpenedFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    sqlite3_snprintf(size, out, "%s", name);
    return SQLITE_OK;
}
int OpenedRandomness(sqlite3_vfs*, int n, char* out) { return DefaultVfs()->xRandomness(DefaultVfs(), n, out); }
int OpenedSleep(sqlite3_vfs*, int micro) { return DefaultVfs()->xSleep(DefaultVfs(), micro); }
int OpenedCurrentTime(sqlite3_vfs*, double* now) { return DefaultVfs()->xCurrentTime(DefaultVfs(), now); }
int OpenedGetLastError(sqlite3_vfs*, int, char*) { return 0; }

sqlite3_vfs* OpenedVfs() {
    static sqlite3_vfs vfs = [] {
        sqlite3_vfs v{};
        v.iVersion = 1;
        v.szOsFile = std::max<int>(static_cast<int>(sizeof(OpenedHandle)), DefaultVfs()->szOsFile);
        v.mxPathname = 512;
        v.zName = "tavrin-opened";
        v.xOpen = OpenedOpen;
        v.xDelete = OpenedDelete;
        v.xAccess = OpenedAccess;
        v.xFullPathname = OpenedFullPathname;
        v.xRandomness = OpenedRandomness;
        v.xSleep = OpenedSleep;
        v.xCurrentTime = OpenedCurrentTime;
        v.xGetLastError = OpenedGetLastError;
        sqlite3_vfs_register(&v, 0);
        return v;
    }();
    return &vfs;
}

}  // namespace

Connection::Connection(OpenedFile& file, Open how) : path_(file.Path()) {
    sqlite3_vfs* vfs = OpenedVfs();
    {
        const std::lock_guard lock(gOpenedMutex);
        openedName_ = "tavrin-opened-" + std::to_string(++gOpenedSerial);
        gOpened[openedName_] = {&file, &functionFailure_};
    }
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (how) {
        case Open::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
        case Open::ReadWrite: flags |= SQLITE_OPEN_READWRITE; break;
        case Open::Create: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
    }
    const int rc = sqlite3_open_v2(openedName_.c_str(), &db_, flags, vfs->zName);
    if (rc != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        const std::lock_guard lock(gOpenedMutex);
        gOpened.erase(openedName_);
        throw Error("Cannot open " + PathText(path_) + ": " + reason);
    }
}

Connection::~Connection() {
    sqlite3_close_v2(db_);
    if (!openedName_.empty()) {
        const std::lock_guard lock(gOpenedMutex);
        gOpened.erase(openedName_);
    }
}

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

namespace {

// The virtual table "tavrin_rows" over one RowSource, for one INSERT: a
// table of as many columns as the insert names, c0, c1 …, scanned once.
struct RowsModuleData {
    RowSource* source = nullptr;
    std::size_t columns = 0;
    std::exception_ptr failure;  // what the source threw, thrown on after the insert
};
struct RowsTable : sqlite3_vtab {
    RowsModuleData* data = nullptr;
};
struct RowsCursor : sqlite3_vtab_cursor {
    bool atEnd = false;
    sqlite3_int64 row = 0;
};

RowsModuleData& DataOf(sqlite3_vtab_cursor* cursor) { return *static_cast<RowsTable*>(cursor->pVtab)->data; }

// Runs a step of the source: an exception is kept, for after the insert, and
// the engine told only that the step failed.
template <typename Step>
int Guarded(RowsModuleData& data, Step&& step) {
    try {
        return step();
    } catch (...) {
        data.failure = std::current_exception();
        return SQLITE_ERROR;
    }
}

int RowsConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    auto* data = static_cast<RowsModuleData*>(aux);
    std::string schema = "CREATE TABLE x(";
    for (std::size_t c = 0; c < data->columns; ++c) schema += (c ? ", c" : "c") + std::to_string(c);
    if (const int rc = sqlite3_declare_vtab(db, (schema + ")").c_str()); rc != SQLITE_OK) return rc;
    auto* table = new RowsTable{};
    table->data = data;
    *out = table;
    return SQLITE_OK;
}
int RowsDisconnect(sqlite3_vtab* table) {
    delete static_cast<RowsTable*>(table);
    return SQLITE_OK;
}
int RowsBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = 1e6;
    return SQLITE_OK;
}
int RowsOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    *out = new RowsCursor{};
    return SQLITE_OK;
}
int RowsClose(sqlite3_vtab_cursor* cursor) {
    delete static_cast<RowsCursor*>(cursor);
    return SQLITE_OK;
}
int RowsNext(sqlite3_vtab_cursor* cursor) {
    auto* c = static_cast<RowsCursor*>(cursor);
    return Guarded(DataOf(cursor), [&] {
        c->atEnd = !DataOf(cursor).source->Next();
        ++c->row;
        return SQLITE_OK;
    });
}
int RowsFilter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**) { return RowsNext(cursor); }
int RowsEof(sqlite3_vtab_cursor* cursor) { return static_cast<RowsCursor*>(cursor)->atEnd; }
int RowsColumn(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column) {
    const RowSource& source = *DataOf(cursor).source;
    return Guarded(DataOf(cursor), [&] {
        if (source.IsText(column)) {
            const std::string_view text = source.Text(column);
            sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        } else {
            sqlite3_result_int64(context, source.Int(column));
        }
        return SQLITE_OK;
    });
}
int RowsRowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* row) {
    *row = static_cast<RowsCursor*>(cursor)->row;
    return SQLITE_OK;
}

// Eponymous only (no xCreate): used as "FROM tavrin_rows", never created.
const sqlite3_module kRowsModule = [] {
    sqlite3_module m{};
    m.xConnect = RowsConnect;
    m.xBestIndex = RowsBestIndex;
    m.xDisconnect = RowsDisconnect;
    m.xOpen = RowsOpen;
    m.xClose = RowsClose;
    m.xFilter = RowsFilter;
    m.xNext = RowsNext;
    m.xEof = RowsEof;
    m.xColumn = RowsColumn;
    m.xRowid = RowsRowid;
    return m;
}();

}  // namespace

namespace {

struct FunctionData {
    Connection::IntFunction function;
    std::exception_ptr* failure;
};

void CallFunction(sqlite3_context* context, int count, sqlite3_value** values) {
    auto* data = static_cast<FunctionData*>(sqlite3_user_data(context));
    std::array<std::int64_t, 32> arguments;  // the first n set below
    const auto n = static_cast<std::size_t>(std::min(count, 32));
    for (std::size_t i = 0; i < n; ++i) arguments[i] = sqlite3_value_int64(values[i]);
    try {
        sqlite3_result_int64(context, data->function(std::span(arguments).first(n)));
    } catch (...) {
        *data->failure = std::current_exception();
        sqlite3_result_error(context, "a function of Tavrin's failed", -1);
    }
}

}  // namespace

void Connection::DefineFunction(const std::string& name, int arguments, IntFunction function) {
    auto* data = new FunctionData{std::move(function), &functionFailure_};
    // Not deterministic (a draw differs from call to call), and for our own
    // statements only, never for one a file's schema holds.
    if (sqlite3_create_function_v2(db_, name.c_str(), arguments, SQLITE_UTF8 | SQLITE_DIRECTONLY, data, CallFunction,
                                   nullptr, nullptr, [](void* p) { delete static_cast<FunctionData*>(p); }) != SQLITE_OK)
        Fail();
}

std::int64_t Connection::InsertRows(std::string_view table, const std::vector<std::string>& columns, RowSource& rows) {
    RowsModuleData data{&rows, columns.size(), nullptr};
    if (sqlite3_create_module_v2(db_, "tavrin_rows", &kRowsModule, &data, nullptr) != SQLITE_OK) Fail();
    std::string sql = "INSERT INTO \"" + std::string(table) + "\" (", select;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        sql += (c ? ", \"" : "\"") + columns[c] + "\"";
        select += (c ? ", c" : "c") + std::to_string(c);
    }
    sql += ") SELECT " + select + " FROM tavrin_rows";
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    const std::int64_t stored = sqlite3_changes64(db_);
    // The module, and the table the engine keeps of it, go with this insert.
    sqlite3_drop_modules(db_, nullptr);
    if (data.failure) std::rethrow_exception(data.failure);
    if (rc != SQLITE_OK) Fail();
    return stored;
}

std::size_t MemoryFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(into.size(), bytes_.size() - offset);
    std::memcpy(into.data(), bytes_.data() + offset, n);
    return n;
}

void MemoryFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (offset + bytes.size() > bytes_.size()) bytes_.resize(offset + bytes.size());
    std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
}

void Connection::Fail() const {
    if (functionFailure_) std::rethrow_exception(std::exchange(functionFailure_, nullptr));
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

void Statement::BindBlob(int param, std::span<const std::uint8_t> bytes) {
    if (sqlite3_bind_blob64(stmt_, param, bytes.data(), bytes.size(), SQLITE_STATIC) != SQLITE_OK) connection_.Fail();
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
