#pragma once

// Our small database layer over SQLite, no bigger than what Tavrin uses: a
// database opened by path, tables of typed columns, a forward-only cursor
// over the rows of a table that meet a condition, an appender that adds rows
// many at a time, an updater that changes a row by its rowid, and an UPDATE
// of every row that meets a condition.
//
// Transactions: a read-write Database begins one transaction when it opens
// and commits it only when Close() is called: a step that ends early (an
// exception) commits nothing more, and a COMMIT that fails is always told.
// Each step of a run opens the database once, so a step costs one commit.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/Sqlite.h"

namespace tavrin::db {

// The column types the working database uses.
enum class FieldType {
    Text,     // any text; stored as UTF-8, embedded NULs kept
    Byte,     // unsigned 8-bit integer, 0 to 255
    Integer,  // signed 16-bit integer, -32768 to 32767
    Long,     // signed 32-bit integer
    Blob,     // any bytes
};

struct FieldDef {
    std::string name;
    FieldType type;
};

// The position of a column in a field list, by name without regard to case;
// -1 where there is none. Column names are ASCII.
int FindField(const std::vector<FieldDef>& fields, std::string_view name);

// "column < value" or "column = value" on an integer column.
struct Condition {
    enum class Op { Less, Equal };
    std::string column;
    Op op;
    std::int64_t value;
};

// What a cursor walks: the rows of one table that meet every
// condition, in insertion (rowid) order. `columns` names the columns that are
// read; empty means every column.
struct Query {
    std::string table;
    std::vector<Condition> where;
    std::vector<std::string> columns;
};

class Database;

// A forward-only walk that reads straight from SQLite: nothing is copied, and
// a text view is valid until the cursor moves. For steps that only read.
class Cursor {
public:
    // True on a row; false once past the last.
    bool Next();
    std::int64_t RowId() const;
    // Columns by their position in the query's column list.
    bool IsNull(int column) const;
    // The column's whole number, or nothing where it holds none (an empty
    // value, a text, a blob, a real with a fraction): the one read a walk
    // over every value needs.
    std::optional<std::int64_t> IntIf(int column) const;
    // The column's text, or nothing where it holds none.
    std::optional<std::string_view> TextIf(int column) const;
    // The column's bytes where it holds a blob, else nothing; valid until
    // the cursor moves.
    std::optional<std::span<const std::uint8_t>> BlobIf(int column) const;
    // The column's value in words for a message: "nothing" for an empty
    // one, a text quoted, a number as it is stored.
    std::string ValueText(int column) const;
    // Many columns at once into `out`, in one pass over the row: true when
    // every one holds a whole number. (Where not, IntIf says which and why.)
    bool IntsIf(std::span<const int> columns, std::span<std::int64_t> out) const;
    // The column's integer. An empty value, or one that is not a whole
    // number in the 64-bit range (a real with a fraction, a text, a blob), is
    // an Error naming the column and the value as stored.
    std::int64_t Int(int column) const;
    // The same, which must also lie from `lo` to `hi`: "Overflow: COLUMN
    // holds V" otherwise (a value its type in the player file cannot hold).
    std::int64_t IntIn(int column, std::int64_t lo, std::int64_t hi) const;

private:
    friend class Database;
    Cursor(Connection& connection, const std::string& select, std::vector<std::string> columns);
    std::vector<std::string> columns_;
    Statement statement_;
};

// Adds rows to a table, many at a time (a batch is stored with one
// statement). The columns given when it is opened are set by their position
// in that list; a column not set in a row is empty. A row completed by
// Update() is stored by the next full batch, by Flush(), or when its database
// closes, whatever the reason.
class RowAppender {
public:
    ~RowAppender();
    RowAppender(const RowAppender&) = delete;
    RowAppender& operator=(const RowAppender&) = delete;

    // The columns added, in the order given; positions are positions here.
    const std::vector<FieldDef>& Fields() const;
    void AddNew();
    // Numbers are checked against the column's type.
    void SetField(int column, std::int64_t value);
    void SetField(int column, std::string_view text);
    // Bytes, into a blob column.
    void SetField(int column, std::span<const std::uint8_t> bytes);
    void Update();
    void Flush();

private:
    friend class Database;
    struct Impl;
    explicit RowAppender(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Changes rows one at a time, found by their rowid: for a walk that reads a
// row and writes it back (SQLite keeps a cursor's place through a change to
// a row it has passed, as long as the change moves no row).
class RowUpdater {
public:
    ~RowUpdater();
    RowUpdater(const RowUpdater&) = delete;
    RowUpdater& operator=(const RowUpdater&) = delete;

    // Sets the columns given when it was opened, in their order, in the row
    // of this rowid; an empty value empties the column. Numbers are checked
    // against the columns' types.
    void Update(std::int64_t rowid, std::span<const std::optional<std::int64_t>> values);

private:
    friend class Database;
    struct Impl;
    explicit RowUpdater(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class Database {
public:
    enum class Mode {
        // The working database: scratch space rebuilt from the player file
        // by every import and never rolled back, so it keeps no journal, never
        // waits for the disk and is held by this connection alone.
        Scratch,
        // Only read: nothing is ever written or created.
        ReadOnly,
    };

    // Creates a new, empty database file with the working database's
    // settings and opens it as Mode::Scratch: what the caller adds goes in
    // through the same connection. The path must not name an existing file.
    [[nodiscard]] static std::unique_ptr<Database> CreateDatabase(const std::filesystem::path& path);
    // The same in an opened file, emptied first.
    [[nodiscard]] static std::unique_ptr<Database> CreateDatabase(OpenedFile& file);
    // Opens an existing database file; a missing file is an error, never
    // created.
    static std::unique_ptr<Database> OpenDatabase(const std::filesystem::path& path, Mode mode = Mode::Scratch);
    // The same in a file opened elsewhere (Connection's OpenedFile): with
    // Mode::Scratch the engine writes it in place, keeping no journal.
    static std::unique_ptr<Database> OpenOnFile(OpenedFile& file, Mode mode);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Whether the database holds a table of this name (a view is none).
    bool HasTable(std::string_view table);
    // Stops any later statement after about `steps` steps of the engine
    // (Connection::LimitSteps): for a file Tavrin did not make itself.
    void LimitWork(std::uint64_t steps);
    // The table's columns in order; an error naming it where there is none.
    std::vector<FieldDef> TableFields(std::string_view table);

    // Creates a table with these columns, in this order.
    void CreateTable(std::string_view table, const std::vector<FieldDef>& fields);
    // Opens an appender of rows to the table, setting these columns. The
    // database owns it and flushes it before it commits.
    RowAppender& OpenAppender(std::string_view table, const std::vector<std::string>& columns);
    // Stores every row of the source into these columns of the table, with
    // one statement that pulls the values from the source as it stores them
    // (Connection::InsertRows); how many rows.
    std::int64_t InsertRows(std::string_view table, const std::vector<std::string>& columns, RowSource& rows);
    // Opens a forward-only cursor on the query, before its first row.
    std::unique_ptr<Cursor> OpenCursor(const Query& query);
    // The same on a SELECT of our own, for a join a Query cannot say;
    // `columns` names what it selects, in order (for messages).
    std::unique_ptr<Cursor> OpenCursor(const std::string& select, std::vector<std::string> columns);
    // Opens an updater of these columns of the table. The database owns it.
    RowUpdater& OpenUpdater(std::string_view table, const std::vector<std::string>& columns);
    // A function of ours for this database's statements (Connection::DefineFunction).
    void DefineFunction(const std::string& name, int arguments, Connection::IntFunction function);
    // Runs one statement of our own that changes rows; how many it changed.
    std::int64_t Execute(const std::string& sql);
    // Sets columns to values in every row that meets the conditions; returns
    // the number of rows changed.
    std::int64_t UpdateWhere(std::string_view table, const std::vector<std::pair<std::string, std::int64_t>>& set,
                             const std::vector<Condition>& where);
    // Stores what the appenders hold, commits and closes. Idempotent. The
    // destructor of a Database not closed commits nothing.
    void Close();

private:
    struct Impl;
    explicit Database(std::unique_ptr<Impl> impl);
    static std::unique_ptr<Database> Opened(const std::filesystem::path& path, std::unique_ptr<Connection> connection,
                                            Mode mode);
    std::unique_ptr<Impl> impl_;
};

// The settings a connection of this mode works under (the benchmark holds
// its floors to the same ones).
void ApplySettings(Connection& connection, Database::Mode mode);

}  // namespace tavrin::db
