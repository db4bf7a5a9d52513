#include "mDbEngine.h"

#include <sqlite3.h>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>

#include <algorithm>
#include <atomic>
#include <charconv>
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
    std::filesystem::path path_;
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

const std::filesystem::path& Database::Path() const { return impl_->path; }

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
    std::string filter;  // what follows the table name in the SELECT text
    std::vector<FieldDef> fields;
    std::unique_ptr<NameIndex> names;
    std::uint64_t serial = 0;

    std::unique_ptr<Stmt> select;
    bool onRow = false;           // the select statement stands on a row
    bool lastPending = false;     // MoveLast counted but has not yet walked there
    std::int64_t position = -1;   // 0-based index of the current row
    std::int64_t visited = 0;     // rows reached so far
    std::optional<std::int64_t> count;

    enum class EditMode { None, Adding, Editing } editMode = EditMode::None;
    std::vector<Value> pending;   // values of the row being added or edited
    std::uint64_t changed = 0;    // columns set since AddNew / Edit
    std::vector<Value> overlay;   // the current row's edited values after Update
    std::uint64_t overlaid = 0;

    std::unique_ptr<Stmt> insert;
    std::unordered_map<std::uint64_t, std::unique_ptr<Stmt>> updates;

    sqlite3* handle() const { return db->handle(); }
    const std::filesystem::path& path() const { return db->path; }

    [[noreturn]] void NoCurrentRecord() const {
        throw Error(kErrNoCurrentRecord, "No current record (" + table + " in " + PathText(path()) + ")");
    }

    void StepSelect() {
        onRow = select->Step();
        overlaid = 0;
        if (onRow) {
            ++position;
            visited = std::max(visited, position + 1);
        }
    }

    void Restart() {
        select->Reset();
        position = -1;
        lastPending = false;
        StepSelect();
    }

    // MoveLast only counts; the walk to the last row happens when someone
    // needs that row, which the steps of a run never do.
    void Settle() {
        if (!lastPending) return;
        lastPending = false;
        const std::int64_t last = *count - 1;
        if (position > last || !onRow) {
            select->Reset();
            position = -1;
            StepSelect();
        }
        while (onRow && position < last) StepSelect();
    }

    void RequireRow() {
        Settle();
        if (!onRow) NoCurrentRecord();
    }

    void CheckValue(int index, const Value& v) const {
        const FieldDef& f = fields[static_cast<std::size_t>(index)];
        if (const auto* n = std::get_if<std::int64_t>(&v)) {
            const bool fits = f.type == FieldType::Byte      ? (*n >= 0 && *n <= 255)
                              : f.type == FieldType::Integer ? (*n >= -32768 && *n <= 32767)
                                                             : true;
            if (!fits)
                throw Error(kErrDataType, "The value " + std::to_string(*n) + " does not fit the " +
                                              std::string(TypeName(f.type)) + " column " + f.name);
        } else if (std::holds_alternative<std::string>(v) && f.type != FieldType::Text) {
            throw Error(kErrDataType, "The text value " + ValueText(v) + " does not fit the " +
                                          std::string(TypeName(f.type)) + " column " + f.name);
        }
    }

    void Set(int index, Value v) {
        if (editMode == EditMode::None)
            throw Error(kErrEngine, "Column " + fields[static_cast<std::size_t>(index)].name +
                                        " set without AddNew or Edit");
        CheckValue(index, v);
        pending[static_cast<std::size_t>(index)] = std::move(v);
        changed |= std::uint64_t{1} << index;
    }

    Stmt& InsertStatement() {
        if (!insert) {
            std::string sql = "INSERT INTO " + QuoteIdent(table) + " (";
            std::string params;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                sql += (i ? ", " : "") + QuoteIdent(fields[i].name);
                params += i ? ", ?" : "?";
            }
            sql += ") VALUES (" + params + ")";
            insert = std::make_unique<Stmt>(handle(), sql, path());
        }
        return *insert;
    }

    Stmt& UpdateStatement(std::uint64_t mask) {
        auto& slot = updates[mask];
        if (!slot) {
            std::string sql = "UPDATE " + QuoteIdent(table) + " SET ";
            bool first = true;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (!(mask >> i & 1)) continue;
                sql += (first ? "" : ", ") + QuoteIdent(fields[i].name) + " = ?";
                first = false;
            }
            sql += " WHERE rowid = ?";
            slot = std::make_unique<Stmt>(handle(), sql, path());
        }
        return *slot;
    }
};

Recordset::Recordset(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Recordset::~Recordset() = default;

Recordset& Database::OpenRecordset(std::string_view source) {
    if (!impl_->conn) throw Error(kErrEngine, "Database " + PathText(impl_->path) + " is closed");
    auto rs = std::make_unique<Recordset::Impl>();
    rs->db = impl_.get();

    // Either a table name or "SELECT * FROM <table> [WHERE ...]". Rows are
    // read with their rowid, so that edits reach the table row they came from.
    static const std::regex selectText(R"(^\s*SELECT\s+\*\s+FROM\s+("[^"]+"|\[[^\]]+\]|\w+)\s*(.*?)\s*;?\s*$)",
                                       std::regex::icase);
    const std::string text(source);
    std::smatch m;
    if (std::regex_match(text, m, selectText)) {
        std::string name = m[1].str();
        if (name.front() == '"' || name.front() == '[') name = name.substr(1, name.size() - 2);
        rs->table = name;
        rs->filter = m[2].str();
    } else if (text.size() >= 6 && EqualsNoCase(std::string_view(text).substr(0, 6), "SELECT")) {
        impl_->Fail("only \"SELECT * FROM table [WHERE ...]\" can be opened as a recordset: " + text);
    } else {
        rs->table = text;
    }
    rs->fields = impl_->TableFields(rs->table);
    rs->names = std::make_unique<NameIndex>(rs->fields);
    static std::atomic<std::uint64_t> lastSerial{0};
    rs->serial = ++lastSerial;
    rs->pending.resize(rs->fields.size());
    rs->overlay.resize(rs->fields.size());
    const std::string from = " FROM " + QuoteIdent(rs->table) + (rs->filter.empty() ? "" : " " + rs->filter);
    rs->select = std::make_unique<Stmt>(impl_->handle(), "SELECT rowid, *" + from, impl_->path);
    rs->StepSelect();  // a recordset opens on its first row

    impl_->recordsets.push_back(std::unique_ptr<Recordset>(new Recordset(std::move(rs))));
    return *impl_->recordsets.back();
}

bool Recordset::IsEOF() const {
    if (impl_->lastPending) return false;  // MoveLast found at least one row
    return !impl_->onRow;
}

void Recordset::MoveNext() {
    impl_->RequireRow();
    impl_->StepSelect();
}

void Recordset::MoveFirst() {
    impl_->Restart();
    if (!impl_->onRow) impl_->NoCurrentRecord();
}

void Recordset::MoveLast() {
    const std::string from = " FROM " + QuoteIdent(impl_->table) +
                             (impl_->filter.empty() ? "" : " " + impl_->filter);
    Stmt counter(impl_->handle(), "SELECT count(*)" + from, impl_->path());
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
    std::fill(impl_->pending.begin(), impl_->pending.end(), Value{});
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
        Stmt& ins = r.InsertStatement();
        for (std::size_t i = 0; i < r.fields.size(); ++i) ins.Bind(static_cast<int>(i) + 1, r.pending[i]);
        r.editMode = Impl::EditMode::None;  // a failed row is abandoned, not retried
        ins.Step();
        ins.Reset();
    } else if (r.editMode == Impl::EditMode::Editing) {
        r.editMode = Impl::EditMode::None;
        if (r.changed == 0) return;
        Stmt& upd = r.UpdateStatement(r.changed);
        int pos = 1;
        for (std::size_t i = 0; i < r.fields.size(); ++i)
            if (r.changed >> i & 1) upd.Bind(pos++, r.pending[i]);
        sqlite3_bind_int64(upd.get(), pos, RowId());
        upd.Step();
        upd.Reset();
        for (std::size_t i = 0; i < r.fields.size(); ++i)
            if (r.changed >> i & 1) r.overlay[i] = std::move(r.pending[i]);
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

void Recordset::SetField(int index, std::int64_t value) { impl_->Set(index, value); }
void Recordset::SetField(int index, std::string_view text) { impl_->Set(index, std::string(text)); }
void Recordset::SetField(int index, const Value& value) { impl_->Set(index, value); }
void Recordset::SetNull(int index) { impl_->Set(index, std::monostate{}); }

Value Recordset::Field(int index) const {
    impl_->RequireRow();
    if (impl_->overlaid >> index & 1) return impl_->overlay[static_cast<std::size_t>(index)];
    return ColumnValue(impl_->select->get(), index + 1);
}

std::int64_t Recordset::Int(int index) const {
    impl_->RequireRow();
    if (impl_->overlaid >> index & 1) {
        const Value& v = impl_->overlay[static_cast<std::size_t>(index)];
        if (const auto* n = std::get_if<std::int64_t>(&v)) return *n;
        if (IsNull(v))
            throw Error(kErrInvalidUseOfNull, "Invalid use of Null: column " +
                                                  impl_->fields[static_cast<std::size_t>(index)].name);
    }
    sqlite3_stmt* stmt = impl_->select->get();
    const int type = sqlite3_column_type(stmt, index + 1);
    if (type == SQLITE_INTEGER) return sqlite3_column_int64(stmt, index + 1);
    const std::string& name = impl_->fields[static_cast<std::size_t>(index)].name;
    if (type == SQLITE_NULL) throw Error(kErrInvalidUseOfNull, "Invalid use of Null: column " + name);
    if (type == SQLITE_FLOAT) return static_cast<std::int64_t>(sqlite3_column_double(stmt, index + 1));
    const Value v = ColumnValue(stmt, index + 1);
    const std::string& s = std::get<std::string>(v);
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || end != s.data() + s.size())
        throw Error(kErrDataType, "The column " + name + " holds " + ValueText(v) + ", not a number");
    return n;
}

std::int64_t Recordset::RowId() const {
    impl_->RequireRow();
    return sqlite3_column_int64(impl_->select->get(), 0);
}

}  // namespace tavrin::db
