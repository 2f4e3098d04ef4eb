#pragma once
// The database of one test: a fresh schema of the throwaway PostgreSQL cluster when the test run
// names one (QUILO_TEST_PG: the file holding its URL), else a SQLite file in the test's folder.
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "Database.h"

namespace qs {

inline bool TestOnPostgres() { return std::getenv("QUILO_TEST_PG") != nullptr; }

inline std::string TestDatabase(const std::filesystem::path& dir) {
  if (!TestOnPostgres()) return (dir / "quilo.db").string();
  std::ifstream in(std::getenv("QUILO_TEST_PG"));
  std::string url;
  std::getline(in, url);
  if (url.empty()) throw StoreError("QUILO_TEST_PG names no cluster URL");
  std::string schema = "t" + std::to_string(std::hash<std::string>{}(dir.string()));
  OpenDatabase(url)->Exec("DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema);
  return url + (url.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" + schema;
}

// Statements without values, as a test arranges the database.
inline void TestSql(const std::string& database, const std::string& sql) { OpenDatabase(database)->Exec(sql); }

}  // namespace qs
