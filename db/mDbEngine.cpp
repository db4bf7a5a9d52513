#include "mDbEngine.h"

#include <sqlite3.h>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <charconv>
#include <limits>
#include <regex>
#include <unordered_map>

#include "Error.h"

namespace tavrin::db {

namespace {

std::string Utf8Path(const std::filesystem::path& p) {
    const std::u8string u8 = p.u8string();
    return {reinterpret_cast<const char*>(u8.data()), u8.size()};
}

std::string QuoteIdent(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// Column names are ASCII; matching ignores case (and the C locale).
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// Declared SQL types of our three field types. The two integer kinds need
// distinct names so that a reopened table still knows its ranges; SQLite
// gives both INTEGER affinity.
constexpr std::string_view kTextType = "TEXT";
constexpr std::string_view kByteType = "TINYINT";
constexpr std::string_view kIntegerType = "SMALLINT";

FieldType FieldTypeOfDeclared(std::string_view declared) {
    if (EqualsNoCase(declared, kByteType)) return FieldType::Byte;
    if (EqualsNoCase(declared, kIntegerType)) return FieldType::Integer;
    return FieldType::Text;
}

std::string_view TypeName(FieldType t) {
    switch (t) {
        case FieldType::Byte: return "byte";
        case FieldType::Integer: return "integer";
        case FieldType::Text: return "text";
    }
    return "?";
}

// A prepared statement of our own: SQLiteCpp's Column shares ownership of
// the statement on every read, which costs an atomic count per value on the
// paths that read every column of every player.
class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql, const std::filesystem::path& path) : db_(db), path_(path) {
        const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
        if (rc != SQLITE_OK) Fail(rc);
    }
    ~Stmt() { sqlite3_finalize(stmt_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    // True on a row, false when done.
    bool Step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        Fail(rc);
    }
    void Reset() { sqlite3_reset(stmt_); }
    sqlite3_stmt* get() const { return stmt_; }

    void Bind(int pos, const Value& v) {
        int rc = SQLITE_OK;
        if (const auto* n = std::get_if<std::int64_t>(&v))
            rc = sqlite3_bind_int64(stmt_, pos, *n);
        else if (const auto* s = std::get_if<std::string>(&v))
            rc = sqlite3_bind_text(stmt_, pos, s->data(), static_cast<int>(s->size()), SQLITE_STATIC);
        else
            rc = sqlite3_bind_null(stmt_, pos);
        if (rc != SQLITE_OK) Fail(rc);
    }

    [[noreturn]] void Fail(int rc) const {
        std::string msg = sqlite3_errmsg(db_);
        if (msg.empty()) msg = sqlite3_errstr(rc);
        throw Error(kErrEngine, "Database " + PathText(path_) + ": " + msg);
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    const std::filesystem::path& path_;  // the database's, which outlives its statements
};

Value ColumnValue(sqlite3_stmt* stmt, int col) {
    switch (sqlite3_column_type(stmt, col)) {
        case SQLITE_NULL: return std::monostate{};
        case SQLITE_INTEGER: return static_cast<std::int64_t>(sqlite3_column_int64(stmt, col));
        case SQLITE_FLOAT: return static_cast<std::int64_t>(sqlite3_column_double(stmt, col));
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
            const int len = sqlite3_column_bytes(stmt, col);
            return std::string(text ? text : "", static_cast<std::size_t>(len));
        }
    }
}

std::string ValueText(const Value& v) {
    if (const auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
    if (const auto* s = std::get_if<std::string>(&v)) return "\"" + *s + "\"";
    return "Null";
}

}  // namespace

// ---------------------------------------------------------------- Database

struct Database::Impl {
    std::filesystem::path path;
    Mode mode = Mode::ReadWrite;
    std::unique_ptr<SQLite::Database> conn;
    bool inTransaction = false;
    std::vector<std::unique_ptr<Recordset>> recordsets;

    sqlite3* handle() const { return conn->getHandle(); }

    [[noreturn]] void Fail(const std::string& what) const {
        throw Error(kErrEngine, "Database " + PathText(path) + ": " + what);
    }

    std::vector<FieldDef> TableFields(const std::string& table) const {
        std::vector<FieldDef> fields;
        Stmt info(handle(), "PRAGMA table_info(" + QuoteIdent(table) + ")", path);
        while (info.Step()) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 2));
            fields.push_back({name ? name : "", FieldTypeOfDeclared(type ? type : "")});
        }
        if (fields.empty())
            throw Error(kErrEngine, "Database " + PathText(path) + ": there is no table " + table);
        if (fields.size() > 64)
            Fail("the table " + table + " has more than 64 columns");
        return fields;
    }

    void Commit() {
        if (!inTransaction) return;
        inTransaction = false;
        conn->exec("COMMIT");
    }
};

Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Database::~Database() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; Close() called explicitly does.
    }
}

void Database::CreateDatabase(const std::filesystem::path& path) {
    if (std::filesystem::exists(path))
        throw Error(kErrFileAccess, "Cannot create " + PathText(path) + ": the file already exists");
    try {
        SQLite::Database conn(Utf8Path(path), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        // Writing the header makes the file a complete, empty database at once
        // (SQLite would otherwise leave it at zero bytes until the first table).
        conn.exec("PRAGMA application_id = 1415673458");  // "Tavr"
    } catch (const SQLite::Exception& e) {
        throw Error(kErrFileAccess, "Cannot create " + PathText(path) + ": " + e.what());
    }
}

std::unique_ptr<Database> Database::OpenDatabase(const std::filesystem::path& path, Mode mode) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw Error(kErrFileNotFound, "Cannot open " + PathText(path) + ": the file does not exist");
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->mode = mode;
    try {
        // Never OPEN_CREATE: opening a missing database is an error, not a new file.
        // One connection per step, used by one thread: SQLite's own locking
        // would only cost time on every call.
        const int flags = (mode == Mode::ReadOnly ? SQLite::OPEN_READONLY : SQLite::OPEN_READWRITE) |
                          SQLite::OPEN_NOMUTEX;
        impl->conn = std::make_unique<SQLite::Database>(Utf8Path(path), flags);
        // Reading the schema here turns "not a database" into an open failure.
        impl->conn->exec("SELECT count(*) FROM sqlite_schema");
        if (mode == Mode::ReadWrite) {
            // The working database is scratch space, rebuilt from the player
            // file by every import: waiting for the disk at each commit buys
            // nothing. The journal stays on disk (and is removed at commit),
            // so memory stays flat however many rows a step changes.
            impl->conn->exec("PRAGMA synchronous = OFF");
            impl->conn->exec("BEGIN");
            impl->inTransaction = true;
        }
    } catch (const SQLite::Exception& e) {
        throw Error(kErrFileAccess, "Cannot open " + PathText(path) + ": " + e.what());
    }
    return std::unique_ptr<Database>(new Database(std::move(impl)));
}

void Database::CreateTable(std::string_view table, const std::vector<FieldDef>& fields) {
    if (fields.empty() || fields.size() > 64)
        impl_->Fail("a table needs 1 to 64 columns");
    std::string sql = "CREATE TABLE " + QuoteIdent(table) + " (";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        const std::string col = QuoteIdent(f.name);
        if (i) sql += ", ";
        sql += col;
        switch (f.type) {
            case FieldType::Text:
                sql += " ";
                sql += kTextType;
                break;
            case FieldType::Byte:
                sql += " " + std::string(kByteType) + " CHECK (" + col + " BETWEEN 0 AND 255)";
                break;
            case FieldType::Integer:
                sql += " " + std::string(kIntegerType) + " CHECK (" + col + " BETWEEN -32768 AND 32767)";
                break;
        }
    }
    sql += ")";
    try {
        impl_->conn->exec(sql);
    } catch (const SQLite::Exception& e) {
        impl_->Fail(e.what());
    }
}

void Database::Close() {
    if (!impl_ || !impl_->conn) return;
    impl_->recordsets.clear();  // finalises their statements before the commit
    try {
        impl_->Commit();
    } catch (const SQLite::Exception& e) {
        impl_->conn.reset();
        impl_->Fail(std::string("cannot store the changes: ") + e.what());
    }
    impl_->conn.reset();
}

SQLite::Database& Database::Connection() { return *impl_->conn; }

// ---------------------------------------------------------------- Recordset

// Finds a column by name without regard to case: an open-addressing table
// over the ASCII-lowered names, so a lookup costs one short hash and one
// comparison whatever the number of columns.
class NameIndex {
public:
    explicit NameIndex(const std::vector<FieldDef>& fields) : fields_(fields) {
        slots_.assign(128, -1);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::size_t h = Hash(fields[i].name) & 127;
            while (slots_[h] >= 0) h = (h + 1) & 127;
            slots_[h] = static_cast<int>(i);
        }
    }
    int Find(std::string_view name) const {
        for (std::size_t h = Hash(name) & 127;; h = (h + 1) & 127) {
            const int i = slots_[h];
            if (i < 0) return -1;
            if (EqualsNoCase(fields_[static_cast<std::size_t>(i)].name, name)) return i;
        }
    }

private:
    static std::size_t Hash(std::string_view s) {
        std::uint32_t h = 2166136261u;  // FNV-1a
        for (char c : s) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 16777619u;
        return h ^ (h >> 16);
    }
    const std::vector<FieldDef>& fields_;
    std::vector<int> slots_;
};

struct Recordset::Impl {
    Database::Impl* db = nullptr;
    std::string table;
    std::string where;  // the condition of the SELECT text, if any
    std::vector<FieldDef> fields;
    std::unique_ptr<NameIndex> names;
    std::uint64_t serial = 0;

    // The cursor walks the rows in rowid order, "rowid > ?1 AND (condition)"
    // restarting it anywhere. It fetches only the columns read so far: it
    // starts on rowids alone, so a step that only edits rows (Hide Pots)
    // never pays for decoding columns, and a step that reads some columns
    // pays for those. Reading a column not yet fetched widens the cursor from
    // the current row on (the current row itself fetched once by its rowid);
    // the columns a step reads are all met on its first row.
    std::uint64_t selected = 0;           // the columns the cursor fetches
    std::array<int, 64> resultColumn{};   // where each of them stands in its rows
    std::unique_ptr<Stmt> cursor;
    std::unique_ptr<Stmt> current;        // the row a widening happened on
    // On rowids alone the cursor reads a batch of them ahead: each edit of a
    // row moves SQLite's cursor off its place, and finding it again costs a
    // seek, once per batch rather than once per row.
    std::vector<std::int64_t> ahead;
    std::size_t aheadNext = 0;
    bool cursorDone = false;
    sqlite3_stmt* rowSource = nullptr;  // the statement holding the current row
    bool onRow = false;
    std::int64_t rowid = 0;
    bool lastPending = false;     // MoveLast counted but has not yet walked there
    std::int64_t position = -1;   // 0-based index of the current row
    std::int64_t visited = 0;     // rows reached so far
    std::optional<std::int64_t> count;

    enum class EditMode { None, Adding, Editing } editMode = EditMode::None;
    std::vector<Value> pending;   // values set since AddNew / Edit
    std::uint64_t changed = 0;    // which columns those are
    std::vector<Value> overlay;   // the current row's edited values after Update
    std::uint64_t overlaid = 0;


    sqlite3* handle() const { return db->handle(); }
    const std::filesystem::path& path() const { return db->path; }

    [[noreturn]] void NoCurrentRecord() const {
        throw Error(kErrNoCurrentRecord, "No current record (" + table + " in " + PathText(path()) + ")");
    }

    std::string Condition() const { return where.empty() ? std::string() : " AND (" + where + ")"; }

    std::string SelectList() {
        std::string list = "SELECT rowid";
        int column = 1;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (!(selected >> i & 1)) continue;
            list += ", " + QuoteIdent(fields[i].name);
            resultColumn[i] = column++;
        }
        return list + " FROM " + QuoteIdent(table);
    }

    void PrepareCursor() {
        cursor = std::make_unique<Stmt>(handle(), SelectList() + " WHERE rowid > ?1" + Condition(), path());
    }

    void StartAfter(std::int64_t after) {
        cursor->Reset();
        sqlite3_bind_int64(cursor->get(), 1, after);
        ahead.clear();
        aheadNext = 0;
        cursorDone = false;
    }

    void StepCursor() {
        overlaid = 0;
        if (selected == 0) {
            if (aheadNext == ahead.size()) {
                ahead.clear();
                aheadNext = 0;
                while (!cursorDone && ahead.size() < 256) {
                    cursorDone = !cursor->Step();
                    if (!cursorDone) ahead.push_back(sqlite3_column_int64(cursor->get(), 0));
                }
            }
            onRow = aheadNext < ahead.size();
            if (onRow) rowid = ahead[aheadNext++];
            rowSource = nullptr;  // no column is fetched
        } else {
            onRow = !cursorDone && cursor->Step();
            cursorDone = !onRow;
            rowSource = cursor->get();
            if (onRow) rowid = sqlite3_column_int64(rowSource, 0);
        }
        if (onRow) {
            ++position;
            visited = std::max(visited, position + 1);
        }
    }

    void Restart() {
        StartAfter(std::numeric_limits<std::int64_t>::min());
        position = -1;
        lastPending = false;
        StepCursor();
    }

    // MoveLast only counts; the walk to the last row happens when someone
    // needs that row, which the steps of a run never do.
    void Settle() {
        if (!lastPending) return;
        const std::int64_t last = *count - 1;
        if (position > last || !onRow) Restart();
        lastPending = false;
        while (onRow && position < last) StepCursor();
    }

    void RequireRow() {
        Settle();
        if (!onRow) NoCurrentRecord();
    }

    // The current row, with the column at `index` among those fetched.
    sqlite3_stmt* RowWith(int index) {
        RequireRow();
        if (!(selected >> index & 1)) {
            selected |= std::uint64_t{1} << index;
            PrepareCursor();
            StartAfter(rowid);  // the next step continues behind this row
            current = std::make_unique<Stmt>(handle(), SelectList() + " WHERE rowid = ?1", path());
            sqlite3_bind_int64(current->get(), 1, rowid);
            if (!current->Step()) NoCurrentRecord();
            rowSource = current->get();
        }
        return rowSource;
    }

    Value& Slot(int index) {
        if (editMode == EditMode::None)
            throw Error(kErrEngine, "Column " + fields[static_cast<std::size_t>(index)].name +
                                        " set without AddNew or Edit");
        changed |= std::uint64_t{1} << index;
        return pending[static_cast<std::size_t>(index)];
    }

    [[noreturn]] void DoesNotFit(int index, const std::string& what) const {
        const FieldDef& f = fields[static_cast<std::size_t>(index)];
        throw Error(kErrDataType, "The " + what + " does not fit the " + std::string(TypeName(f.type)) + " column " + f.name);
    }

    void SetInt(int index, std::int64_t v) {
        const FieldType type = fields[static_cast<std::size_t>(index)].type;
        if ((type == FieldType::Byte && (v < 0 || v > 255)) ||
            (type == FieldType::Integer && (v < -32768 || v > 32767)))
            DoesNotFit(index, "value " + std::to_string(v));
        Slot(index) = v;
    }

    void SetText(int index, std::string_view text) {
        if (fields[static_cast<std::size_t>(index)].type != FieldType::Text)
            DoesNotFit(index, "text value " + ValueText(std::string(text)));
        Value& slot = Slot(index);
        if (auto* s = std::get_if<std::string>(&slot))
            s->assign(text);  // keeps the string's buffer from row to row
        else
            slot.emplace<std::string>(text);
    }

    // Statements by the columns they set. A step sets the same columns row
    // after row, so the last one used is kept at hand.
    struct StatementCache {
        std::unordered_map<std::uint64_t, std::unique_ptr<Stmt>> byMask;
        std::uint64_t lastMask = 0;
        Stmt* last = nullptr;
    };

    Stmt& Statement(StatementCache& cache, std::uint64_t mask, bool insert) {
        if (cache.last && cache.lastMask == mask) return *cache.last;
        auto& slot = cache.byMask[mask];
        if (!slot) {
            std::string columns, params;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (!(mask >> i & 1)) continue;
                const char* sep = columns.empty() ? "" : ", ";
                columns += sep + QuoteIdent(fields[i].name) + (insert ? "" : " = ?");
                params += std::string(sep) + "?";
            }
            slot = std::make_unique<Stmt>(
                handle(),
                insert ? (columns.empty() ? "INSERT INTO " + QuoteIdent(table) + " DEFAULT VALUES"
                                          : "INSERT INTO " + QuoteIdent(table) + " (" + columns + ") VALUES (" + params + ")")
                       : "UPDATE " + QuoteIdent(table) + " SET " + columns + " WHERE rowid = ?",
                path());
        }
        cache.lastMask = mask;
        cache.last = slot.get();
        return *slot;
    }

    StatementCache inserts, updates;

    int BindChanged(Stmt& stmt) {
        int pos = 1;
        for (std::uint64_t bits = changed; bits; bits &= bits - 1)
            stmt.Bind(pos++, pending[static_cast<std::size_t>(std::countr_zero(bits))]);
        return pos;
    }
};

Recordset::Recordset(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Recordset::~Recordset() = default;

Recordset& Database::OpenRecordset(std::string_view source) {
    if (!impl_->conn) throw Error(kErrEngine, "Database " + PathText(impl_->path) + " is closed");
    auto rs = std::make_unique<Recordset::Impl>();
    rs->db = impl_.get();

    // Either a table name or "SELECT * FROM <table> [WHERE <condition>]".
    static const std::regex selectText(
        R"(^\s*SELECT\s+\*\s+FROM\s+("[^"]+"|\[[^\]]+\]|\w+)(?:\s+WHERE\s+(.*?))?\s*;?\s*$)", std::regex::icase);
    const std::string text(source);
    std::smatch m;
    if (std::regex_match(text, m, selectText)) {
        std::string name = m[1].str();
        if (name.front() == '"' || name.front() == '[') name = name.substr(1, name.size() - 2);
        rs->table = name;
        rs->where = m[2].str();
    } else if (text.size() >= 6 && EqualsNoCase(std::string_view(text).substr(0, 6), "SELECT")) {
        impl_->Fail("only \"SELECT * FROM table [WHERE condition]\" can be opened as a recordset: " + text);
    } else {
        rs->table = text;
    }
    rs->fields = impl_->TableFields(rs->table);
    rs->names = std::make_unique<NameIndex>(rs->fields);
    static std::atomic<std::uint64_t> lastSerial{0};
    rs->serial = ++lastSerial;
    rs->pending.resize(rs->fields.size());
    rs->overlay.resize(rs->fields.size());
    rs->PrepareCursor();
    rs->Restart();  // a recordset opens on its first row

    impl_->recordsets.push_back(std::unique_ptr<Recordset>(new Recordset(std::move(rs))));
    return *impl_->recordsets.back();
}

bool Recordset::IsEOF() const {
    if (impl_->lastPending) return false;  // MoveLast found at least one row
    return !impl_->onRow;
}

void Recordset::MoveNext() {
    impl_->RequireRow();
    impl_->StepCursor();
}

void Recordset::MoveFirst() {
    impl_->Restart();
    if (!impl_->onRow) impl_->NoCurrentRecord();
}

void Recordset::MoveLast() {
    Stmt counter(impl_->handle(),
                 "SELECT count(*) FROM " + QuoteIdent(impl_->table) +
                     (impl_->where.empty() ? "" : " WHERE " + impl_->where),
                 impl_->path());
    counter.Step();
    const std::int64_t n = sqlite3_column_int64(counter.get(), 0);
    if (n == 0) impl_->NoCurrentRecord();
    impl_->count = n;
    impl_->visited = n;
    impl_->lastPending = true;
}

std::int64_t Recordset::RecordCount() const { return impl_->count ? *impl_->count : impl_->visited; }

void Recordset::AddNew() {
    impl_->editMode = Impl::EditMode::Adding;
    impl_->changed = 0;
}

void Recordset::Edit() {
    impl_->RequireRow();
    impl_->editMode = Impl::EditMode::Editing;
    impl_->changed = 0;
}

void Recordset::Update() {
    Impl& r = *impl_;
    if (r.editMode == Impl::EditMode::Adding) {
        Stmt& ins = r.Statement(r.inserts, r.changed, true);
        r.BindChanged(ins);
        r.editMode = Impl::EditMode::None;  // a failed row is abandoned, not retried
        ins.Step();
        ins.Reset();
    } else if (r.editMode == Impl::EditMode::Editing) {
        r.editMode = Impl::EditMode::None;
        if (r.changed == 0) return;
        Stmt& upd = r.Statement(r.updates, r.changed, false);
        const int pos = r.BindChanged(upd);
        sqlite3_bind_int64(upd.get(), pos, RowId());
        upd.Step();
        upd.Reset();
        for (std::uint64_t bits = r.changed; bits; bits &= bits - 1) {
            const auto i = static_cast<std::size_t>(std::countr_zero(bits));
            std::swap(r.overlay[i], r.pending[i]);
        }
        r.overlaid |= r.changed;
    } else {
        throw Error(kErrEngine, "Update without AddNew or Edit (" + r.table + " in " + PathText(r.path()) + ")");
    }
}

int Recordset::FieldIndex(std::string_view name) const {
    if (const int i = impl_->names->Find(name); i >= 0) return i;
    throw Error(kErrEngine, "There is no column " + std::string(name) + " in " + impl_->table);
}

const std::vector<FieldDef>& Recordset::Fields() const { return impl_->fields; }

std::uint64_t Recordset::Serial() const { return impl_->serial; }

void Recordset::SetField(int index, std::int64_t value) { impl_->SetInt(index, value); }
void Recordset::SetField(int index, std::string_view text) { impl_->SetText(index, text); }
void Recordset::SetNull(int index) { impl_->Slot(index) = std::monostate{}; }

Value Recordset::Field(int index) const {
    sqlite3_stmt* row = impl_->RowWith(index);
    if (impl_->overlaid >> index & 1) return impl_->overlay[static_cast<std::size_t>(index)];
    return ColumnValue(row, impl_->resultColumn[static_cast<std::size_t>(index)]);
}

std::optional<std::string_view> Recordset::Text(int index) const {
    sqlite3_stmt* row = impl_->RowWith(index);
    const int col = impl_->resultColumn[static_cast<std::size_t>(index)];
    if (impl_->overlaid >> index & 1) {
        const Value& v = impl_->overlay[static_cast<std::size_t>(index)];
        if (const auto* s = std::get_if<std::string>(&v)) return std::string_view(*s);
        if (IsNull(v)) return std::nullopt;
        throw Error(kErrDataType, "The column " + impl_->fields[static_cast<std::size_t>(index)].name +
                                      " holds " + ValueText(v) + ", not a text");
    }
    if (sqlite3_column_type(row, col) == SQLITE_NULL) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, col));
    return std::string_view(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(row, col)));
}

std::int64_t Recordset::Int(int index) const {
    sqlite3_stmt* row = impl_->RowWith(index);
    const int col = impl_->resultColumn[static_cast<std::size_t>(index)];
    const bool edited = impl_->overlaid >> index & 1;
    if (!edited && sqlite3_column_type(row, col) == SQLITE_INTEGER) return sqlite3_column_int64(row, col);
    const std::string& name = impl_->fields[static_cast<std::size_t>(index)].name;
    const Value v = edited ? impl_->overlay[static_cast<std::size_t>(index)] : ColumnValue(row, col);
    if (const auto* n = std::get_if<std::int64_t>(&v)) return *n;
    if (IsNull(v)) throw Error(kErrInvalidUseOfNull, "Invalid use of Null: column " + name);
    const std::string& s = std::get<std::string>(v);
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || end != s.data() + s.size())
        throw Error(kErrDataType, "The column " + name + " holds " + ValueText(v) + ", not a number");
    return n;
}

std::int64_t Recordset::RowId() const {
    impl_->RequireRow();
    return impl_->rowid;
}

}  // namespace tavrin::db
