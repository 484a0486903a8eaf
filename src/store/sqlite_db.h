#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace wrenfold::store {

// Any failure of the database: the text is SQLite's own message.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One prepared statement; binds count from 1 like SQLite's own.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::optional<std::int64_t> value);
    // The next row; false once there is none.
    bool step();
    // Runs a statement that returns no rows.
    void run();

    std::string text(int column) const;
    std::int64_t integer(int column) const;
    std::optional<std::int64_t> optional_integer(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

// One connection to one database file.
class Database {
public:
    // Opens (creating when missing) the file; throws StoreError.
    explicit Database(const std::filesystem::path& file);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void execute(std::string_view sql);
    Statement prepare(std::string_view sql) { return Statement(m_db, sql); }

private:
    sqlite3* m_db = nullptr;
};

// A transaction that rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& m_db;
    bool m_done = false;
};

}  // namespace wrenfold::store
