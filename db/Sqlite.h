#pragma once

// Our one layer over SQLite's C API: a connection and a prepared statement,
// each owning its handle. Every call that fails throws an Error naming the
// database file and SQLite's own reason, so no caller ever sees a return code.
// The rest of the engine (Database.h) and nothing else includes <sqlite3.h>.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tavrin::db {

class Statement;

// A file someone else opened that the engine reads and writes as a database
// (Connection's second constructor): a file made where the engine must make
// nothing of its own, nor look anything up by name. What it throws ends the
// engine's call, and the call then throws it on.
class OpenedFile {
public:
    virtual ~OpenedFile() = default;
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
    virtual void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    virtual void Truncate(std::uint64_t size) = 0;
    virtual std::uint64_t Size() = 0;
    // Its path, for messages.
    virtual std::filesystem::path Path() const = 0;
};

// An OpenedFile that is bytes in memory: a database that never touches a
// disk (the fuzz targets' working database).
class MemoryFile final : public OpenedFile {
public:
    explicit MemoryFile(std::filesystem::path name) : name_(std::move(name)) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override;
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
    void Truncate(std::uint64_t size) override { bytes_.resize(size); }
    std::uint64_t Size() override { return bytes_.size(); }
    std::filesystem::path Path() const override { return name_; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::filesystem::path name_;
    std::vector<std::uint8_t> bytes_;
};

// Rows handed to the engine one at a time (Connection::InsertRows): the
// engine pulls each value as it stores the row, so no value is first copied
// into a statement's parameters. Columns are numbered as InsertRows was given
// them. What a source throws ends the insert and is thrown on.
class RowSource {
public:
    virtual ~RowSource() = default;
    // Moves to the next row: false once past the last.
    virtual bool Next() = 0;
    // The current row's value: a text (valid until Next()), or a number.
    virtual bool IsText(int column) const = 0;
    virtual std::string_view Text(int column) const = 0;
    virtual std::int64_t Int(int column) const = 0;
};

// The longest path SQLite opens: bytes of UTF-8, the terminator aside.
inline constexpr std::size_t kPathLimit = 511;

class Connection {
public:
    enum class Open {
        ReadOnly,   // never writes, never creates
        ReadWrite,  // an existing file
        Create,     // a new file (the caller makes sure none is there)
    };

    Connection(const std::filesystem::path& path, Open how);
    // A database in a file opened elsewhere, through a file system of our
    // own that lends the engine only that file: it keeps no journal (the
    // caller sets journal_mode OFF first thing, and writes the file whole
    // before it counts on it), takes no lock, makes no other file.
    Connection(OpenedFile& file, Open how);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs SQL that returns no rows (one or more statements).
    void Exec(const std::string& sql);
    // Rows changed by the last INSERT, UPDATE or DELETE.
    std::int64_t Changes() const;
    // A function of ours that SQL can call: `arguments` whole numbers in, a
    // whole number out, called once for each row a statement evaluates it on.
    // What it throws ends that statement, which then throws it on.
    using IntFunction = std::function<std::int64_t(std::span<const std::int64_t>)>;
    void DefineFunction(const std::string& name, int arguments, IntFunction function);

    // Stores every row of `rows` into these columns of the table with one
    // INSERT … SELECT from a virtual table over the source; how many.
    std::int64_t InsertRows(std::string_view table, const std::vector<std::string>& columns, RowSource& rows);
    const std::filesystem::path& Path() const { return path_; }

    // Stops any statement after about `steps` steps of SQLite's virtual
    // machine: a file made by hand (a table that is a view over an endless
    // query, say) cannot make a read run for ever.
    void LimitSteps(std::uint64_t steps);

    // "Cannot use the database <path>: <SQLite's reason>", as an Error.
    [[noreturn]] void Fail() const;

private:
    friend class Statement;
    static int CountSteps(void* self);
    sqlite3* db_ = nullptr;
    std::filesystem::path path_;
    std::uint64_t stepBudget_ = 0, stepsTaken_ = 0;
    mutable std::exception_ptr functionFailure_;  // what a function of ours, or an opened file, threw
    std::string openedName_;                      // the name an opened file goes by, while open
};

// How SQLite stores one value.
enum class Storage { Null, Integer, Real, Text, Blob };

class Statement {
public:
    Statement(Connection& connection, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs to the next row: true on a row, false when done.
    bool Step();
    // Ready to run again; bindings are kept.
    void Reset();

    // Parameters count from 1. A bound text must stay valid until the
    // statement is stepped and reset: nothing is copied.
    void Bind(int param, std::int64_t value);
    void Bind(int param, std::string_view text);
    void BindNull(int param);
    // A blob: the bytes must stay valid as a bound text must.
    void BindBlob(int param, std::span<const std::uint8_t> bytes);

    // Columns of the current row count from 0. Text and blob views are valid
    // until the statement steps or resets.
    Storage Type(int column) const;
    // The column's integer where SQLite stores one; nothing for any other
    // value (an empty one, a real, a text, a blob). One look at the value.
    std::optional<std::int64_t> IntIfInteger(int column) const;
    // The same for many columns of the row at once, into `out`: -1 when every
    // one holds an integer, else the place in `columns` of the first that
    // does not.
    int IntsIfIntegers(std::span<const int> columns, std::span<std::int64_t> out) const;
    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string_view Text(int column) const;
    std::string_view Blob(int column) const;

    const Connection& Owner() const { return connection_; }

private:
    const Connection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
};

// A real or a blob as SQLite holds it, in words for a message: 77.9,
// 1e+300, x'3737' (a long blob by its first 20 bytes).
std::string StoredText(const Statement& row, int column);
// A text in words for a message: '77', a long one by its first 40 bytes, a
// NUL as a space.
std::string QuotedText(std::string_view text);

}  // namespace tavrin::db
