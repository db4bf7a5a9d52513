#pragma once

// Our small database engine layer over SQLite. It offers the operations the
// rest of Tavrin relies on, in the shape of the data-access objects the game's
// tools were written against: a database opened by path, tables of typed
// columns, recordsets on a table or a "SELECT * FROM table [WHERE ...]" text,
// AddNew / Edit / Update of the current row, and forward movement in
// insertion order.
//
// Transactions: a read-write Database begins one transaction when it opens
// and commits it when it closes, whatever the reason it closes (Close(), the
// destructor during an exception). Each step of a run opens the database once,
// so a step costs one commit, and an error part-way still keeps the rows stored
// before it.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace SQLite {
class Database;
class Statement;
}

namespace tavrin::db {

// The column types the working database uses.
enum class FieldType {
    Text,     // any text; stored as UTF-8, embedded NULs kept
    Byte,     // unsigned 8-bit integer, 0 to 255
    Integer,  // signed 16-bit integer, -32768 to 32767
};

struct FieldDef {
    std::string name;
    FieldType type;
};

// A column value as read: empty (null), a whole number, or a text (UTF-8).
using Value = std::variant<std::monostate, std::int64_t, std::string>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

class Database;

// A cursor over the rows of one table, in insertion (rowid) order, optionally
// filtered by the WHERE clause of a SELECT text. Rows are read from SQLite as
// the cursor moves, so memory stays flat whatever the number of rows.
class Recordset {
public:
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // True when the cursor stands after the last row (or the result is empty).
    // (Named IsEOF because EOF is a macro of the C library.)
    bool IsEOF() const;
    void MoveNext();
    void MoveFirst();
    // Counts the rows, so that RecordCount is complete afterwards. On an empty
    // result this is the engine's "No current record." error (3021).
    void MoveLast();
    // After MoveLast: the number of rows. Before: the rows visited so far.
    std::int64_t RecordCount() const;

    // Begins a new row; every column starts empty. Update() stores it.
    void AddNew();
    // Begins an edit of the current row. Update() stores the changed columns.
    void Edit();
    // Stores the new or edited row. Without AddNew or Edit this is an error.
    void Update();

    // The column's position in the table (0-based), by name without regard to
    // case. An unknown name is an error naming it.
    int FieldIndex(std::string_view name) const;
    const std::vector<FieldDef>& Fields() const;
    // A number no other recordset opened by this program shares: callers that
    // resolve column positions once may key them on it.
    std::uint64_t Serial() const;

    // Sets a column of the row being added or edited. Numbers are checked
    // against the column's type (error 3421 naming the column and the value).
    void SetField(int index, std::int64_t value);
    void SetField(int index, std::string_view text);
    void SetNull(int index);
    template <class T>
    void SetField(std::string_view name, T&& value) { SetField(FieldIndex(name), std::forward<T>(value)); }

    // Reads a column of the current row (the edited value after Update).
    Value Field(int index) const;
    Value Field(std::string_view name) const { return Field(FieldIndex(name)); }
    // Reads a number; an empty value is error 94 ("Invalid use of Null").
    std::int64_t Int(int index) const;
    std::int64_t Int(std::string_view name) const { return Int(FieldIndex(name)); }
    // Reads a text without copying it; nothing for an empty value. The view
    // is valid until the cursor moves or the row is updated.
    std::optional<std::string_view> Text(int index) const;
    // The current row's rowid: its 1-based position among the rows ever added
    // to a freshly created table.
    std::int64_t RowId() const;

private:
    friend class Database;
    struct Impl;
    explicit Recordset(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class Database {
public:
    enum class Mode { ReadWrite, ReadOnly };

    // Creates a new, empty database file. The path must not name an existing
    // file. The handle is closed at once.
    static void CreateDatabase(const std::filesystem::path& path);
    // Opens an existing database file; a missing file is an error, never
    // created. ReadOnly opens it without a transaction and never writes it.
    static std::unique_ptr<Database> OpenDatabase(const std::filesystem::path& path,
                                                  Mode mode = Mode::ReadWrite);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Creates a table with these columns, in this order.
    void CreateTable(std::string_view table, const std::vector<FieldDef>& fields);
    // Opens a recordset on a table name or a "SELECT * FROM table [WHERE ...]"
    // text. The database owns it; Close releases it.
    Recordset& OpenRecordset(std::string_view source);
    // Releases every recordset, commits and closes. Idempotent.
    void Close();

    // For the benchmark's floors and for tests: the underlying connection.
    SQLite::Database& Connection();

    struct Impl;  // shared with Recordset

private:
    explicit Database(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace tavrin::db
