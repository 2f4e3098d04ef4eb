#include "Database.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace qs {

bool IsDatabaseUrl(const std::string& location) {
  return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

namespace {

// ---- SQLite -----------------------------------------------------------------------------------

class SqliteQuery : public Query {
 public:
  // `busy` marks a cached statement in use; a statement without one is this query's own.
  SqliteQuery(sqlite3* db, sqlite3_stmt* st, bool* busy) : db_(db), st_(st), busy_(busy) {}
  ~SqliteQuery() override {
    if (!busy_) {
      sqlite3_finalize(st_);
      return;
    }
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
    *busy_ = false;
  }
  void Bind(int i, const std::string& v) override {
    sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Bind(int i, int64_t v) override { sqlite3_bind_int64(st_, i, v); }
  void BindBlob(int i, const std::string& v) override {
    sqlite3_bind_blob(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  bool Step() override {
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw StoreError(std::string("SQL error: ") + sqlite3_errmsg(db_));
  }
  std::string Text(int col) override {
    const unsigned char* p = sqlite3_column_text(st_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(st_, col)))
             : std::string();
  }
  std::string Blob(int col) override {
    const void* p = sqlite3_column_blob(st_, col);
    return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(st_, col)))
             : std::string();
  }
  int64_t Int(int col) override { return sqlite3_column_int64(st_, col); }

 private:
  sqlite3* db_;
  sqlite3_stmt* st_;
  bool* busy_;
};

class SqliteDatabase : public Database {
 public:
  explicit SqliteDatabase(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
      std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw StoreError("cannot open database " + path + ": " + msg);
    }
    sqlite3_busy_timeout(db_, 10000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
    Exec("PRAGMA foreign_keys=ON");
  }
  ~SqliteDatabase() override {
    for (auto& [sql, c] : cache_) sqlite3_finalize(c.st);
    sqlite3_close(db_);
  }

  std::unique_ptr<Query> Prepare(const std::string& sql) override {
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
      sqlite3_stmt* st = Compile(sql, SQLITE_PREPARE_PERSISTENT);
      it = cache_.emplace(sql, Cached{st, false}).first;
    }
    if (it->second.busy) return std::make_unique<SqliteQuery>(db_, Compile(sql, 0), nullptr);
    it->second.busy = true;
    return std::make_unique<SqliteQuery>(db_, it->second.st, &it->second.busy);
  }

  void Exec(const std::string& sql) override {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : "unknown";
      sqlite3_free(err);
      throw StoreError("SQL error: " + msg);
    }
  }
  void Begin() override { Exec("BEGIN IMMEDIATE"); }
  void Commit() override { Exec("COMMIT"); }
  void Rollback() noexcept override { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

  bool HasColumn(const std::string& table, const std::string& column) override {
    auto q = Prepare("SELECT COUNT(*) FROM pragma_table_info(?1) WHERE name=?2");
    q->Bind(1, table);
    q->Bind(2, column);
    q->Step();
    return q->Int(0) > 0;
  }

 private:
  sqlite3_stmt* Compile(const std::string& sql, unsigned flags) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), flags, &st, nullptr) != SQLITE_OK)
      throw StoreError(std::string("SQL error: ") + sqlite3_errmsg(db_));
    return st;
  }
  struct Cached {
    sqlite3_stmt* st;
    bool busy;
  };
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, Cached> cache_;
};

// ---- PostgreSQL -------------------------------------------------------------------------------

constexpr Oid kInt8 = 20, kText = 25, kBytea = 17;

// "?3" -> "$3" outside quoted text; returns the highest placeholder number.
int Translate(const std::string& sql, std::string& out) {
  int most = 0;
  bool quoted = false;
  for (size_t i = 0; i < sql.size(); ++i) {
    char c = sql[i];
    if (c == '\'') quoted = !quoted;
    if (c == '?' && !quoted && i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9') {
      out += '$';
      int n = 0;
      while (i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9') {
        n = n * 10 + (sql[i + 1] - '0');
        out += sql[++i];
      }
      most = std::max(most, n);
      continue;
    }
    out += c;
  }
  return most;
}

class PgDatabase;

class PgQuery : public Query {
 public:
  PgQuery(PgDatabase& db, const std::string& sql) : db_(db), sql_(sql) {}
  ~PgQuery() override { PQclear(res_); }
  void Bind(int i, const std::string& v) override { Set(i, v, kText); }
  void Bind(int i, int64_t v) override { Set(i, std::to_string(v), kInt8); }
  void BindBlob(int i, const std::string& v) override { Set(i, v, kBytea); }
  bool Step() override;
  std::string Text(int col) override {
    return std::string(PQgetvalue(res_, row_, col), static_cast<size_t>(PQgetlength(res_, row_, col)));
  }
  std::string Blob(int col) override {
    size_t n = 0;
    unsigned char* bytes =
        PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(res_, row_, col)), &n);
    if (!bytes) throw StoreError("SQL error: a stored value cannot be read");
    std::string out(reinterpret_cast<char*>(bytes), n);
    PQfreemem(bytes);
    return out;
  }
  int64_t Int(int col) override { return std::strtoll(PQgetvalue(res_, row_, col), nullptr, 10); }

  struct Param {
    std::string value;
    Oid type = 0;
    bool set = false;
  };

 private:
  void Set(int i, std::string v, Oid type) {
    if (i < 1) return;
    if (params_.size() < static_cast<size_t>(i)) params_.resize(static_cast<size_t>(i));
    params_[static_cast<size_t>(i) - 1] = {std::move(v), type, true};
  }
  PgDatabase& db_;
  const std::string& sql_;
  std::vector<Param> params_;
  PGresult* res_ = nullptr;
  int row_ = -1;
};

class PgDatabase : public Database {
 public:
  explicit PgDatabase(const std::string& url) {
    conn_ = PQconnectdb(url.c_str());
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
      std::string msg = conn_ ? PQerrorMessage(conn_) : "out of memory";
      PQfinish(conn_);
      while (!msg.empty() && (msg.back() == '\n' || msg.back() == ' ')) msg.pop_back();
      throw StoreUnavailable("cannot connect to the PostgreSQL database: " + msg);
    }
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    Setup();
  }
  ~PgDatabase() override { PQfinish(conn_); }

  std::unique_ptr<Query> Prepare(const std::string& sql) override {
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
      Cached c;
      c.count = Translate(sql, c.sql);
      c.name = "q" + std::to_string(cache_.size() + 1);
      it = cache_.emplace(sql, std::move(c)).first;
    }
    return std::make_unique<PgQuery>(*this, it->first);
  }

  void Exec(const std::string& sql) override {
    Connected();
    PGresult* r = PQexec(conn_, sql.c_str());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) Fail(r);
    PQclear(r);
  }
  void Begin() override {
    Exec("BEGIN");
    inTransaction_ = true;
  }
  // Never on a connection made anew: there a COMMIT would find no transaction and still succeed.
  void Commit() override {
    inTransaction_ = false;
    if (PQstatus(conn_) != CONNECTION_OK) throw StoreUnavailable("the connection to PostgreSQL broke before COMMIT");
    PGresult* r = PQexec(conn_, "COMMIT");
    if (PQresultStatus(r) != PGRES_COMMAND_OK) Fail(r);
    bool committed = std::string(PQcmdStatus(r)) == "COMMIT";
    PQclear(r);
    if (!committed) throw StoreError("SQL error: the transaction was rolled back");
  }
  void Rollback() noexcept override {
    inTransaction_ = false;
    if (PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
  }

  bool HasColumn(const std::string& table, const std::string& column) override {
    auto q = Prepare(
        "SELECT COUNT(*) FROM information_schema.columns WHERE table_schema=current_schema() AND table_name=?1 AND "
        "column_name=?2");
    q->Bind(1, table);
    q->Bind(2, column);
    q->Step();
    return q->Int(0) > 0;
  }

  PGresult* Run(const std::string& sql, const std::vector<PgQuery::Param>& params) {
    Connected();
    Cached& c = cache_.at(sql);
    std::vector<const char*> values(static_cast<size_t>(c.count), nullptr);
    std::vector<int> lengths(values.size(), 0), formats(values.size(), 0);
    if (c.generation != generation_) {
      // The types of the first use: every later use of a statement binds the same kinds.
      std::vector<Oid> types(values.size(), 0);
      for (size_t i = 0; i < params.size() && i < types.size(); ++i) types[i] = params[i].type;
      PGresult* r = PQprepare(conn_, c.name.c_str(), c.sql.c_str(), c.count, types.data());
      if (PQresultStatus(r) != PGRES_COMMAND_OK) Fail(r);
      PQclear(r);
      c.generation = generation_;
    }
    for (size_t i = 0; i < params.size() && i < values.size(); ++i) {
      if (!params[i].set) continue;
      values[i] = params[i].value.data();
      lengths[i] = static_cast<int>(params[i].value.size());
      // Text and bytes travel as they are, so that their length, not a NUL, ends them.
      formats[i] = params[i].type == kInt8 ? 0 : 1;
    }
    PGresult* r = PQexecPrepared(conn_, c.name.c_str(), c.count, values.data(), lengths.data(), formats.data(), 0);
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) Fail(r);
    return r;
  }

 private:
  struct Cached {
    std::string sql, name;
    int count = 0;
    int generation = -1;
  };

  void Setup() {
    if (PQsetClientEncoding(conn_, "UTF8") != 0) throw StoreError("PostgreSQL: the client encoding UTF8 is refused");
    Exec("SET client_min_messages=warning");
  }

  // A connection lost between requests is made again; statements are then prepared anew. One lost
  // inside a transaction is not: what the transaction did is gone, and so it fails to its end.
  void Connected() {
    if (PQstatus(conn_) == CONNECTION_OK) return;
    if (inTransaction_) throw StoreUnavailable("the connection to PostgreSQL broke inside a transaction");
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) throw StoreUnavailable("PostgreSQL cannot be reached now");
    ++generation_;
    Setup();
  }

  [[noreturn]] void Fail(PGresult* r) {
    std::string msg = r ? PQresultErrorMessage(r) : PQerrorMessage(conn_);
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    std::string code = state ? state : "";
    PQclear(r);
    while (!msg.empty() && (msg.back() == '\n' || msg.back() == ' ')) msg.pop_back();
    // Class 08 (connection), 57P0x (the server shutting down or starting) and 53 (out of resources)
    // pass; a broken connection has no state at all.
    if (PQstatus(conn_) != CONNECTION_OK || code.rfind("08", 0) == 0 || code.rfind("57P0", 0) == 0 ||
        code == "53300")
      throw StoreUnavailable("PostgreSQL: " + msg);
    // "53100" is a full disk: the same words as SQLite's, so that the program stops with them.
    if (code == "53100") throw StoreError("PostgreSQL: database or disk is full: " + msg);
    throw StoreError("SQL error: " + msg);
  }

  PGconn* conn_ = nullptr;
  std::unordered_map<std::string, Cached> cache_;
  int generation_ = 0;
  bool inTransaction_ = false;
};

bool PgQuery::Step() {
  if (!res_) {
    res_ = db_.Run(sql_, params_);
    row_ = -1;
  }
  return ++row_ < PQntuples(res_);
}

}  // namespace

std::unique_ptr<Database> OpenDatabase(const std::string& location) {
  if (IsDatabaseUrl(location)) return std::make_unique<PgDatabase>(location);
  return std::make_unique<SqliteDatabase>(location);
}

}  // namespace qs
