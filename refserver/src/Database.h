#pragma once
// The one way the store reaches its database: SQLite (a file, the default) or PostgreSQL (a URL).
// Statements are written once with ?1, ?2 ... placeholders and prepared once per connection.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace qs {

struct StoreError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The database cannot be reached now (a server restarting, a broken connection); the same
// request may succeed later.
struct StoreUnavailable : StoreError {
  using StoreError::StoreError;
};

// One use of a prepared statement: bind, then step through the rows. Binds by position from 1.
class Query {
 public:
  virtual ~Query() = default;
  virtual void Bind(int i, const std::string& v) = 0;
  virtual void Bind(int i, int64_t v) = 0;
  virtual void BindBlob(int i, const std::string& v) = 0;
  // True while a row is available.
  virtual bool Step() = 0;
  virtual std::string Text(int col) = 0;
  virtual std::string Blob(int col) = 0;
  virtual int64_t Int(int col) = 0;
};

class Database {
 public:
  virtual ~Database() = default;
  // A statement from the cache (prepared on its first use).
  virtual std::unique_ptr<Query> Prepare(const std::string& sql) = 0;
  // Statements without values: schema, transaction control.
  virtual void Exec(const std::string& sql) = 0;
  // A write transaction; on SQLite it takes the write lock at once.
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() noexcept = 0;
  virtual bool HasColumn(const std::string& table, const std::string& column) = 0;
};

bool IsDatabaseUrl(const std::string& location);
// A "postgresql://" URL, or else the path of a SQLite file.
std::unique_ptr<Database> OpenDatabase(const std::string& location);

}  // namespace qs
