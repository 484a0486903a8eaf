#include "store/sqlite_db.h"

#include "core/utf8_path.h"

#include <sqlite3.h>

namespace wrenfold::store {
namespace {

[[noreturn]] void fail(sqlite3* db, std::string_view what)
{
    throw StoreError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr) != SQLITE_OK)
        fail(db, "prepare");
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

Statement& Statement::bind(int index, std::string_view text)
{
    if (sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

Statement& Statement::bind(int index, std::int64_t value)
{
    if (sqlite3_bind_int64(m_statement, index, value) != SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

Statement& Statement::bind(int index, std::optional<std::int64_t> value)
{
    if (!value) {
        if (sqlite3_bind_null(m_statement, index) != SQLITE_OK)
            fail(m_db, "bind");
        return *this;
    }
    return bind(index, *value);
}

bool Statement::step()
{
    int status = sqlite3_step(m_statement);
    if (status == SQLITE_ROW)
        return true;
    if (status == SQLITE_DONE)
        return false;
    fail(m_db, "step");
}

void Statement::run()
{
    while (step()) { }
    sqlite3_reset(m_statement);
}

std::string Statement::text(int column) const
{
    const auto* bytes = sqlite3_column_text(m_statement, column);
    int size = sqlite3_column_bytes(m_statement, column);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)) : std::string();
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

std::optional<std::int64_t> Statement::optional_integer(int column) const
{
    if (sqlite3_column_type(m_statement, column) == SQLITE_NULL)
        return std::nullopt;
    return integer(column);
}

Database::Database(const std::filesystem::path& file)
{
    // SQLite takes the name in UTF-8 on every system (Windows paths are UTF-16).
    const std::u8string name = file.u8string();
    int status = sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &m_db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (status != SQLITE_OK) {
        std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw StoreError("open " + utf8_text(file) + ": " + message);
    }
    sqlite3_busy_timeout(m_db, 5000);
}

Database::~Database()
{
    sqlite3_close_v2(m_db);
}

void Database::execute(std::string_view sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, std::string(sql).c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        throw StoreError(text);
    }
}

Transaction::Transaction(Database& db)
    : m_db(db)
{
    m_db.execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_db.execute("ROLLBACK");
        } catch (...) {
        }
    }
}

void Transaction::commit()
{
    m_db.execute("COMMIT");
    m_done = true;
}

}  // namespace wrenfold::store
