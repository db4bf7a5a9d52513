#include "db/Database.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>

#include "db/DatabaseDetail.h"
#include "base/Error.h"
#include "base/Text.h"

namespace tavrin::db {

namespace detail {

std::string QuoteIdent(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string WhereSql(const std::vector<Condition>& where, std::string_view lead) {
    std::string sql;
    for (const Condition& c : where) {
        sql += sql.empty() ? lead : " AND ";
        sql += QuoteIdent(c.column) + (c.op == Condition::Op::Less ? " < " : " = ") + std::to_string(c.value);
    }
    return sql;
}

std::string SelectSql(std::string_view table, const std::vector<std::string>& columns) {
    std::string sql = "SELECT ";
    for (const std::string& c : columns) sql += QuoteIdent(c) + ", ";
    return sql + "rowid FROM " + QuoteIdent(table);
}

namespace {
[[noreturn]] void DoesNotFit(const FieldDef& f, const std::string& what) {
    const char* type = f.type == FieldType::Byte      ? "byte"
                       : f.type == FieldType::Integer ? "integer"
                       : f.type == FieldType::Long    ? "long integer"
                       : f.type == FieldType::Blob    ? "blob"
                                                      : "text";
    throw Error("The " + what + " does not fit the " + type + " column " + f.name);
}
}  // namespace

void CheckFits(const FieldDef& field, std::int64_t value) {
    if (field.type == FieldType::Text || field.type == FieldType::Blob ||
        (field.type == FieldType::Byte && (value < 0 || value > 255)) ||
        (field.type == FieldType::Integer && (value < -32768 || value > 32767)) ||
        (field.type == FieldType::Long && (value < INT32_MIN || value > INT32_MAX)))
        DoesNotFit(field, "value " + std::to_string(value));
}

void CheckFits(const FieldDef& field, std::string_view text) {
    if (field.type != FieldType::Text) DoesNotFit(field, "text value '" + std::string(text) + "'");
}

void ReadCell(const Statement& row, int column, Cell& cell) {
    cell.storage = row.Type(column);
    switch (cell.storage) {
        case Storage::Null: break;
        case Storage::Integer: cell.number = row.Int(column); break;
        case Storage::Text: cell.text.assign(row.Text(column)); break;
        case Storage::Real: {
            // Whole numbers within the 64-bit range only: converting anything
            // else (1e300, NaN) to an integer is undefined.
            const double v = row.Real(column);
            constexpr double kLimit = 9223372036854775808.0;  // 2^63
            if (v >= -kLimit && v < kLimit && std::trunc(v) == v) {
                cell.storage = Storage::Integer;
                cell.number = static_cast<std::int64_t>(v);
            } else {
                cell.text = StoredText(row, column);
            }
            break;
        }
        case Storage::Blob: cell.text = StoredText(row, column); break;
    }
}

namespace {
[[noreturn]] void NotA(std::string_view what, const Cell& cell, std::string_view column) {
    const std::string stored = cell.storage == Storage::Text ? QuotedText(cell.text) : cell.text;
    throw Error("The column " + std::string(column) + " holds " + stored + ", not " + std::string(what));
}
}  // namespace

std::int64_t IntOf(const Cell& cell, std::string_view column) {
    if (cell.storage == Storage::Integer) return cell.number;
    if (cell.storage == Storage::Null) throw Error("The column " + std::string(column) + " holds nothing, not a whole number");
    NotA("a whole number", cell, column);
}


}  // namespace detail

using detail::QuoteIdent;

namespace {


// Declared SQL types of our three field types. The two integer kinds need
// distinct names so that a reopened table still knows its ranges; SQLite
// gives both INTEGER affinity.
constexpr std::string_view kTextType = "TEXT";
constexpr std::string_view kByteType = "TINYINT";
constexpr std::string_view kIntegerType = "SMALLINT";
constexpr std::string_view kLongType = "INTEGER";
constexpr std::string_view kBlobType = "BLOB";

FieldType FieldTypeOfDeclared(std::string_view declared) {
    if (EqualsNoCase(declared, kByteType)) return FieldType::Byte;
    if (EqualsNoCase(declared, kIntegerType)) return FieldType::Integer;
    if (EqualsNoCase(declared, kLongType)) return FieldType::Long;
    if (EqualsNoCase(declared, kBlobType)) return FieldType::Blob;
    return FieldType::Text;
}

// The working database is scratch space: rebuilt from the player file by
// every import and never rolled back, so it needs no journal and never waits
// for the disk; held by one connection at a time, it takes its lock once; and
// what it deletes need not be overwritten (SQLite here is built to clear
// deleted content by default). Pages of 32 KiB measured best for rows of this
// size. A crash can only spoil this file, and the next import rebuilds it.
constexpr const char* kScratchSettings =
    "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA locking_mode = EXCLUSIVE; "
    "PRAGMA secure_delete = OFF;";
constexpr int kScratchPageSize = 32768;

}  // namespace

int FindField(const std::vector<FieldDef>& fields, std::string_view name) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (EqualsNoCase(fields[i].name, name)) return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------- Cursor

Cursor::Cursor(Connection& connection, const std::string& select, std::vector<std::string> columns)
    : columns_(std::move(columns)), statement_(connection, select) {}

bool Cursor::Next() { return statement_.Step(); }

std::int64_t Cursor::RowId() const { return statement_.Int(static_cast<int>(columns_.size())); }

bool Cursor::IsNull(int column) const { return statement_.Type(column) == Storage::Null; }

std::optional<std::int64_t> Cursor::IntIf(int column) const {
    if (const auto n = statement_.IntIfInteger(column)) return n;
    if (statement_.Type(column) != Storage::Real) return std::nullopt;
    detail::Cell cell;  // a real that holds a whole number counts as that number
    detail::ReadCell(statement_, column, cell);
    if (cell.storage == Storage::Integer) return cell.number;
    return std::nullopt;
}

bool Cursor::IntsIf(std::span<const int> columns, std::span<std::int64_t> out) const {
    for (int at = 0;;) {
        const int bad = statement_.IntsIfIntegers(columns.subspan(static_cast<std::size_t>(at)),
                                                  out.subspan(static_cast<std::size_t>(at)));
        if (bad < 0) return true;
        // A real that holds a whole number counts; anything else does not.
        const auto i = static_cast<std::size_t>(at + bad);
        const auto n = IntIf(columns[i]);
        if (!n) return false;
        out[i] = *n;
        at += bad + 1;
    }
}

std::optional<std::string_view> Cursor::TextIf(int column) const {
    if (statement_.Type(column) != Storage::Text) return std::nullopt;
    return statement_.Text(column);
}

std::optional<std::span<const std::uint8_t>> Cursor::BlobIf(int column) const {
    if (statement_.Type(column) != Storage::Blob) return std::nullopt;
    const std::string_view bytes = statement_.Blob(column);
    return std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string Cursor::ValueText(int column) const {
    detail::Cell cell;
    detail::ReadCell(statement_, column, cell);
    switch (cell.storage) {
        case Storage::Null: return "nothing";
        case Storage::Integer: return std::to_string(cell.number);
        case Storage::Text: return QuotedText(cell.text);
        default: return cell.text;
    }
}

std::int64_t Cursor::Int(int column) const {
    if (statement_.Type(column) == Storage::Integer) return statement_.Int(column);
    detail::Cell cell;
    detail::ReadCell(statement_, column, cell);
    return detail::IntOf(cell, columns_[static_cast<std::size_t>(column)]);
}

std::int64_t Cursor::IntIn(int column, std::int64_t lo, std::int64_t hi) const {
    const std::int64_t v = Int(column);
    if (v < lo || v > hi)
        throw Error("Overflow: " + columns_[static_cast<std::size_t>(column)] + " holds " + std::to_string(v));
    return v;
}

// ---------------------------------------------------------------- Database

Connection& Database::Impl::Open() {
    if (!connection) throw Error("Database " + PathText(path) + " is closed");
    return *connection;
}

Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Database::~Database() {
    // Not closed: the step ended early (an exception unwinding). Nothing more
    // is stored: the statements are finalised and the connection closed with
    // its transaction uncommitted, so that only an explicit Close() ever
    // commits, and a COMMIT that fails is always told. (The working
    // database keeps no journal, so what the engine had already written
    // stays in the file: it is scratch, rebuilt by the next import.)
    impl_->appenders.clear();
    impl_->updaters.clear();
    impl_->connection.reset();
}

namespace {

// The page size first, while the file is empty; the working database's
// settings follow as for any scratch open.
void SetPageSize(Connection& connection) {
    connection.Exec("PRAGMA page_size = " + std::to_string(kScratchPageSize));
}

// Writing the header (the application id, "Tavr") makes the file a complete,
// empty database in the same transaction as whatever the caller adds.
constexpr const char* kApplicationId = "PRAGMA application_id = 1415673458";

}  // namespace

std::unique_ptr<Database> Database::CreateDatabase(OpenedFile& file) {
    file.Truncate(0);
    auto connection = std::make_unique<Connection>(file, Connection::Open::Create);
    SetPageSize(*connection);
    auto database = Opened(file.Path(), std::move(connection), Mode::Scratch);
    database->impl_->Open().Exec(kApplicationId);
    return database;
}

std::unique_ptr<Database> Database::CreateDatabase(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        throw Error("Cannot create " + PathText(path) + ": the file already exists");
    auto connection = std::make_unique<Connection>(path, Connection::Open::Create);
    SetPageSize(*connection);
    auto database = Opened(path, std::move(connection), Mode::Scratch);
    database->impl_->Open().Exec(kApplicationId);
    return database;
}

std::unique_ptr<Database> Database::OpenDatabase(const std::filesystem::path& path, Mode mode) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw Error("Cannot open " + PathText(path) + ": the file does not exist");
    return Opened(path, std::make_unique<Connection>(
                            path, mode == Mode::ReadOnly ? Connection::Open::ReadOnly : Connection::Open::ReadWrite),
                  mode);
}

std::unique_ptr<Database> Database::OpenOnFile(OpenedFile& file, Mode mode) {
    return Opened(file.Path(),
                  std::make_unique<Connection>(
                      file, mode == Mode::ReadOnly ? Connection::Open::ReadOnly : Connection::Open::ReadWrite),
                  mode);
}

std::unique_ptr<Database> Database::Opened(const std::filesystem::path& path, std::unique_ptr<Connection> connection,
                                           Mode mode) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->connection = std::move(connection);
    Connection& c = *impl->connection;
    try {
        // Reading the schema here turns "not a database" into an open failure.
        c.Exec("SELECT count(*) FROM sqlite_schema");
        ApplySettings(c, mode);
        if (mode != Mode::ReadOnly) {
            c.Exec("BEGIN");
            impl->inTransaction = true;
        }
    } catch (const Error& e) {
        throw Error("Cannot open " + PathText(path) + ": " + e.what());
    }
    return std::unique_ptr<Database>(new Database(std::move(impl)));
}

void ApplySettings(Connection& connection, Database::Mode mode) {
    if (mode == Database::Mode::Scratch) connection.Exec(kScratchSettings);
}

void Database::LimitWork(std::uint64_t steps) { impl_->Open().LimitSteps(steps); }

std::int64_t Database::InsertRows(std::string_view table, const std::vector<std::string>& columns, RowSource& rows) {
    for (auto& appender : impl_->appenders) appender->Flush();
    return impl_->Open().InsertRows(table, columns, rows);
}

bool Database::HasTable(std::string_view table) {
    Statement q(impl_->Open(), "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    q.Bind(1, table);
    return q.Step() && q.Int(0) > 0;
}

std::vector<FieldDef> Database::TableFields(std::string_view table) {
    std::vector<FieldDef> fields;
    Statement info(impl_->Open(), "PRAGMA table_info(" + QuoteIdent(table) + ")");
    while (info.Step()) fields.push_back({std::string(info.Text(1)), FieldTypeOfDeclared(info.Text(2))});
    if (fields.empty())
        throw Error("Database " + PathText(impl_->path) + ": there is no table " + std::string(table));
    if (fields.size() > 64)
        throw Error("Database " + PathText(impl_->path) + ": the table " + std::string(table) +
                                    " has more than 64 columns");
    return fields;
}

void Database::CreateTable(std::string_view table, const std::vector<FieldDef>& fields) {
    if (fields.empty() || fields.size() > 64)
        throw Error("Database " + PathText(impl_->path) + ": a table needs 1 to 64 columns");
    std::string sql = "CREATE TABLE " + QuoteIdent(table) + " (";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) sql += ", ";
        sql += QuoteIdent(fields[i].name);
        sql += ' ';
        switch (fields[i].type) {
            case FieldType::Text: sql += kTextType; break;
            case FieldType::Byte: sql += kByteType; break;
            case FieldType::Integer: sql += kIntegerType; break;
            case FieldType::Long: sql += kLongType; break;
            case FieldType::Blob: sql += kBlobType; break;
        }
    }
    impl_->Open().Exec(sql + ")");
}

std::unique_ptr<Cursor> Database::OpenCursor(const Query& query) {
    Connection& c = impl_->Open();
    std::vector<std::string> columns = query.columns;
    if (columns.empty())
        for (const FieldDef& f : TableFields(query.table)) columns.push_back(f.name);
    const std::string select = detail::SelectSql(query.table, columns) + detail::WhereSql(query.where, " WHERE ") +
                               " ORDER BY rowid";
    return std::unique_ptr<Cursor>(new Cursor(c, select, std::move(columns)));
}

std::unique_ptr<Cursor> Database::OpenCursor(const std::string& select, std::vector<std::string> columns) {
    return std::unique_ptr<Cursor>(new Cursor(impl_->Open(), select, std::move(columns)));
}

void Database::DefineFunction(const std::string& name, int arguments, Connection::IntFunction function) {
    impl_->Open().DefineFunction(name, arguments, std::move(function));
}

std::int64_t Database::Execute(const std::string& sql) {
    Connection& c = impl_->Open();
    c.Exec(sql);
    return c.Changes();
}

std::int64_t Database::UpdateWhere(std::string_view table, const std::vector<std::pair<std::string, std::int64_t>>& set,
                                   const std::vector<Condition>& where) {
    std::string sql = "UPDATE " + QuoteIdent(table) + " SET ";
    for (std::size_t i = 0; i < set.size(); ++i)
        sql += (i ? ", " : "") + QuoteIdent(set[i].first) + " = " + std::to_string(set[i].second);
    Connection& c = impl_->Open();
    c.Exec(sql + detail::WhereSql(where, " WHERE "));
    return c.Changes();
}

void Database::Close() {
    if (!impl_->connection) return;  // closed already
    // Rows held by an appender are stored first, even when the step ends in
    // an error: they were complete before it.
    std::exception_ptr failure;
    for (auto& appender : impl_->appenders) {
        try {
            appender->Flush();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    impl_->appenders.clear();
    impl_->updaters.clear();  // finalises their statements before the commit
    try {
        if (impl_->inTransaction) {
            impl_->inTransaction = false;
            impl_->connection->Exec("COMMIT");
        }
    } catch (const Error& e) {
        impl_->connection.reset();
        throw Error(std::string("Cannot store the changes: ") + e.what());
    }
    impl_->connection.reset();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tavrin::db
