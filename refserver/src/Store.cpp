#include "Store.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <regex>
#include <set>

#include "Codec.h"
#include "Password.h"

namespace qs {

namespace {

// One use of a cached statement; binds by position from 1.
class Stmt {
 public:
  Stmt(Database& db, const std::string& sql) : q_(db.Prepare(sql)) {}

  Stmt& Bind(int i, const std::string& v) {
    q_->Bind(i, v);
    return *this;
  }
  Stmt& Bind(int i, int64_t v) {
    q_->Bind(i, v);
    return *this;
  }
  Stmt& BindBlob(int i, const std::string& v) {
    q_->BindBlob(i, v);
    return *this;
  }
  // True while a row is available.
  bool Step() { return q_->Step(); }
  void Run() {
    while (Step()) {
    }
  }
  std::string Text(int col) { return q_->Text(col); }
  std::string Blob(int col) { return q_->Blob(col); }
  int64_t Int(int col) { return q_->Int(col); }

 private:
  std::unique_ptr<Query> q_;
};

class Transaction {
 public:
  explicit Transaction(Database& db) : db_(db) { db_.Begin(); }
  ~Transaction() {
    if (!done_) db_.Rollback();
  }
  void Commit() {
    db_.Commit();
    done_ = true;
  }

 private:
  Database& db_;
  bool done_ = false;
};

// Written for SQLite; PostgreSQL gets it through PgSchema.
const char* kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS staff(
  id TEXT PRIMARY KEY, name TEXT NOT NULL, level TEXT NOT NULL, pw_hash TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS products(
  id TEXT PRIMARY KEY, code TEXT NOT NULL, name TEXT NOT NULL, service_id TEXT NOT NULL,
  src_image TEXT NOT NULL, ins_image TEXT NOT NULL, tabs TEXT NOT NULL, tab_links TEXT NOT NULL,
  tab_ids TEXT NOT NULL, fav_key INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS assignments(
  staff_id TEXT NOT NULL REFERENCES staff(id) ON DELETE CASCADE,
  product_id TEXT NOT NULL REFERENCES products(id) ON DELETE CASCADE,
  PRIMARY KEY(staff_id, product_id));
CREATE TABLE IF NOT EXISTS meta_columns(
  pos INTEGER PRIMARY KEY, group_code TEXT NOT NULL, table_code TEXT NOT NULL, group_name TEXT NOT NULL,
  column_code TEXT NOT NULL, column_name TEXT NOT NULL, code_group TEXT NOT NULL, multiple TEXT NOT NULL,
  input_type TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS codes(
  pos INTEGER PRIMARY KEY, code_group TEXT NOT NULL, code_name TEXT NOT NULL, code_value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS keywords(
  product_id TEXT NOT NULL, pos INTEGER NOT NULL, line TEXT NOT NULL, PRIMARY KEY(product_id, pos));
CREATE TABLE IF NOT EXISTS assets(name TEXT PRIMARY KEY, content BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY AUTOINCREMENT, product_id TEXT NOT NULL, staff_id TEXT NOT NULL,
  mode TEXT NOT NULL, state TEXT NOT NULL, started_at TEXT NOT NULL, completed_at TEXT, note TEXT,
  touched_at TEXT);
CREATE INDEX IF NOT EXISTS runs_product ON runs(product_id, id);
CREATE INDEX IF NOT EXISTS runs_staff ON runs(staff_id, id);
CREATE TABLE IF NOT EXISTS records(
  id INTEGER PRIMARY KEY, run_id INTEGER NOT NULL REFERENCES runs(id), product_id TEXT NOT NULL,
  ar_id TEXT NOT NULL, content_number INTEGER NOT NULL, page_number INTEGER NOT NULL,
  is_header INTEGER NOT NULL, title TEXT NOT NULL, html TEXT NOT NULL, coremeta TEXT NOT NULL,
  exmeta TEXT NOT NULL, exaddmeta TEXT NOT NULL, imgmeta TEXT NOT NULL, received_at TEXT NOT NULL,
  UNIQUE(run_id, ar_id, content_number, page_number, is_header));
CREATE INDEX IF NOT EXISTS records_product ON records(product_id, ar_id, run_id);
CREATE INDEX IF NOT EXISTS records_header ON records(run_id, ar_id, is_header);
CREATE TABLE IF NOT EXISTS tab_links(
  run_id INTEGER NOT NULL REFERENCES runs(id), product_id TEXT NOT NULL, tran_ar_id TEXT NOT NULL,
  tran_content TEXT NOT NULL, tran_page TEXT NOT NULL, ori_ar_id TEXT NOT NULL, ori_content TEXT NOT NULL,
  ori_page TEXT NOT NULL, UNIQUE(run_id, tran_ar_id, tran_content, tran_page));
CREATE INDEX IF NOT EXISTS tab_links_product ON tab_links(product_id, tran_ar_id, run_id);
CREATE TABLE IF NOT EXISTS image_links(
  run_id INTEGER NOT NULL REFERENCES runs(id), product_id TEXT NOT NULL, ar_id TEXT NOT NULL,
  page_number INTEGER NOT NULL, images TEXT NOT NULL, UNIQUE(run_id, ar_id, page_number));
CREATE INDEX IF NOT EXISTS image_links_product ON image_links(product_id, ar_id, run_id);
CREATE TABLE IF NOT EXISTS files(
  run_id INTEGER NOT NULL REFERENCES runs(id), product_id TEXT NOT NULL, folder TEXT NOT NULL,
  name TEXT NOT NULL, size INTEGER NOT NULL, received_at TEXT NOT NULL, UNIQUE(product_id, folder, name));
CREATE INDEX IF NOT EXISTS files_run ON files(run_id);
CREATE TABLE IF NOT EXISTS sessions(token TEXT PRIMARY KEY, staff_id TEXT NOT NULL, last_use INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS sessions_use ON sessions(last_use);
CREATE TABLE IF NOT EXISTS login_failures(who TEXT NOT NULL, at_ms INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS login_failures_who ON login_failures(who, at_ms);
CREATE INDEX IF NOT EXISTS login_failures_at ON login_failures(at_ms);
)SQL";

// Keys counted up by the database, 64-bit numbers, bytes, and text that sorts byte by byte as in
// SQLite whatever the database's locale.
std::string PgSchema() {
  std::string s = std::regex_replace(kSchema, std::regex("INTEGER PRIMARY KEY AUTOINCREMENT"), "BIGSERIAL PRIMARY KEY");
  s = std::regex_replace(s, std::regex("\\(\n  id INTEGER PRIMARY KEY,"), "(\n  id BIGSERIAL PRIMARY KEY,");
  s = std::regex_replace(s, std::regex("\\bINTEGER\\b"), "BIGINT");
  s = std::regex_replace(s, std::regex("\\bBLOB\\b"), "BYTEA");
  return std::regex_replace(s, std::regex("\\bTEXT\\b"), "TEXT COLLATE \"C\"");
}

// Times are the server's local time as text, the same on both databases.
std::string LocalTime(std::chrono::system_clock::time_point t) {
  std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}
std::string Now() { return LocalTime(std::chrono::system_clock::now()); }
std::string MinutesAgo(int minutes) {
  return LocalTime(std::chrono::system_clock::now() - std::chrono::minutes(minutes));
}
int64_t EpochMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool HasAny(const std::string& s, std::string_view chars) { return s.find_first_of(chars) != std::string::npos; }

bool HasControl(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

// Text that goes into a "^"-separated reply line must survive the program's field splitting:
// no separators, no line breaks, no quote characters that would glue fields together.
void RequireListField(const std::string& what, const std::string& v) {
  if (v.empty()) throw StoreError(what + " is empty");
  if (!IsValidUtf8(v)) throw StoreError(what + " is not UTF-8");
  if (HasControl(v) || HasAny(v, "^'\"")) throw StoreError(what + " contains ^, a quote or a control character");
  if (Trim(v) != v) throw StoreError(what + " has spaces around it");
}

std::vector<std::string> SplitList(const std::string& s) {
  std::vector<std::string> out;
  for (auto& item : SplitBy(s, ','))
    if (!Trim(item).empty()) out.push_back(Trim(item));
  return out;
}

Product ReadProduct(Stmt& q) {
  Product p;
  p.id = q.Text(0);
  p.code = q.Text(1);
  p.name = q.Text(2);
  p.serviceId = q.Text(3);
  p.srcImage = q.Text(4);
  p.insImage = q.Text(5);
  p.tabs = q.Text(6);
  p.tabLinks = q.Text(7);
  p.tabIds = q.Text(8);
  p.favKey = static_cast<int>(q.Int(9));
  return p;
}

constexpr const char* kProductCols =
    "p.id, p.code, p.name, p.service_id, p.src_image, p.ins_image, p.tabs, p.tab_links, p.tab_ids, p.fav_key";

Run ReadRun(Stmt& q) {
  Run r;
  r.id = q.Int(0);
  r.productId = q.Text(1);
  r.staffId = q.Text(2);
  r.mode = q.Text(3);
  r.startedAt = q.Text(4);
  r.completedAt = q.Text(5);
  r.note = q.Text(6);
  r.state = q.Text(7);
  r.touchedAt = q.Text(8);
  return r;
}

constexpr const char* kRunCols =
    "id, product_id, staff_id, mode, started_at, completed_at, note, state, COALESCE(touched_at, started_at)";

}  // namespace

bool IsSafeId(const std::string& s) {
  if (s.empty() || s.size() > 64) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_'))
      return false;
  return true;
}

class Store::Lease {
 public:
  explicit Lease(Store& store) : store_(store) {
    std::unique_lock lock(store_.poolMutex_);
    store_.poolFree_.wait(lock, [&] { return !store_.idle_.empty() || store_.opened_ < store_.most_; });
    if (!store_.idle_.empty()) {
      db_ = std::move(store_.idle_.back());
      store_.idle_.pop_back();
      return;
    }
    ++store_.opened_;
    lock.unlock();
    try {
      db_ = OpenDatabase(store_.location_);
    } catch (...) {
      lock.lock();
      --store_.opened_;
      store_.poolFree_.notify_one();
      throw;
    }
  }
  ~Lease() {
    {
      std::lock_guard lock(store_.poolMutex_);
      store_.idle_.push_back(std::move(db_));
    }
    store_.poolFree_.notify_one();
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  Database& operator*() { return *db_; }
  Database* operator->() { return db_.get(); }

 private:
  Store& store_;
  std::unique_ptr<Database> db_;
};

Store::Store(const std::string& location) : location_(location), postgres_(IsDatabaseUrl(location)) {
  // Beyond a few connections the requests only queue inside the database instead of here.
  if (postgres_) most_ = 8;
  Lease db(*this);
  Transaction t(*db);
  // Two servers starting on one PostgreSQL database make or upgrade its schema one after the other.
  if (postgres_) Stmt(*db, "SELECT pg_advisory_xact_lock(7311001)").Run();
  db->Exec(postgres_ ? PgSchema() : kSchema);
  // Databases made before runs kept their last request.
  if (!db->HasColumn("runs", "touched_at")) db->Exec("ALTER TABLE runs ADD COLUMN touched_at TEXT");
  t.Commit();
}

Store::~Store() = default;

bool Store::IsEmpty() {
  Lease db(*this);
  Stmt q(*db,
         "SELECT (SELECT COUNT(*) FROM staff) + (SELECT COUNT(*) FROM products) + (SELECT COUNT(*) FROM "
         "meta_columns) + (SELECT COUNT(*) FROM codes)");
  q.Step();
  return q.Int(0) == 0;
}

void Store::SetStaff(const std::string& id, const std::string& name, const std::string& level,
                     const std::string& password) {
  if (id.empty() || id.size() > 64 || !IsValidUtf8(id) || HasControl(id) || HasAny(id, "&="))
    throw StoreError("staff ID must be 1 to 64 printable characters without & and =");
  for (auto [what, v] : {std::pair<const char*, const std::string*>{"staff name", &name}, {"staff level", &level}}) {
    if (v->empty() || !IsValidUtf8(*v) || HasControl(*v) || HasAny(*v, "|'\""))
      throw StoreError(std::string(what) + " must be non-empty, without |, quotes or control characters");
  }
  if (password.empty()) throw StoreError("the password is empty");
  if (password.size() > 256 || HasAny(password, "&=")) throw StoreError("the password is too long or has & or =");
  std::string hash = HashPassword(password);
  Lease db(*this);
  Stmt(*db,
       "INSERT INTO staff(id, name, level, pw_hash) VALUES(?1, ?2, ?3, ?4) ON CONFLICT(id) DO UPDATE SET "
       "name = ?2, level = ?3, pw_hash = ?4")
      .Bind(1, id)
      .Bind(2, name)
      .Bind(3, level)
      .Bind(4, hash)
      .Run();
}

void Store::SetProduct(const Product& p) {
  if (!IsSafeId(p.id)) throw StoreError("product ID must be letters, digits, - or _ (at most 64)");
  RequireListField("product code", p.code);
  RequireListField("product name", p.name);
  RequireListField("service ID", p.serviceId);
  if (p.srcImage != "Y" && p.srcImage != "N") throw StoreError("source images flag must be Y or N");
  if (p.insImage != "Y" && p.insImage != "N") throw StoreError("inserted images flag must be Y or N");
  RequireListField("tab names", p.tabs);
  RequireListField("tab IDs", p.tabIds);
  RequireListField("tab links", p.tabLinks);
  auto tabs = SplitList(p.tabs);
  auto ids = SplitList(p.tabIds);
  if (tabs.empty() || tabs.size() > 20) throw StoreError("a product has 1 to 20 tabs");
  if (ids.size() != tabs.size()) throw StoreError("tab IDs and tab names differ in number");
  for (auto& id : ids)
    if (!IsSafeId(id)) throw StoreError("tab ID " + id + " must be letters, digits, - or _");
  if (std::set<std::string>(tabs.begin(), tabs.end()).size() != tabs.size()) throw StoreError("tab names repeat");
  if (std::set<std::string>(ids.begin(), ids.end()).size() != ids.size()) throw StoreError("tab IDs repeat");
  if (p.tabLinks != "x") {
    auto links = SplitList(p.tabLinks);
    if (links.size() % 2) throw StoreError("tab links come in pairs (tab, connected tab)");
    std::set<std::string> names(tabs.begin(), tabs.end());
    for (auto& l : links)
      if (!names.count(l)) throw StoreError("tab link names an unknown tab: " + l);
  }
  Lease db(*this);
  Stmt(*db,
       "INSERT INTO products(id, code, name, service_id, src_image, ins_image, tabs, tab_links, tab_ids, fav_key) "
       "VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10) ON CONFLICT(id) DO UPDATE SET code=?2, name=?3, service_id=?4, "
       "src_image=?5, ins_image=?6, tabs=?7, tab_links=?8, tab_ids=?9, fav_key=?10")
      .Bind(1, p.id)
      .Bind(2, p.code)
      .Bind(3, p.name)
      .Bind(4, p.serviceId)
      .Bind(5, p.srcImage)
      .Bind(6, p.insImage)
      .Bind(7, p.tabs)
      .Bind(8, p.tabLinks)
      .Bind(9, p.tabIds)
      .Bind(10, static_cast<int64_t>(p.favKey))
      .Run();
}

void Store::Assign(const std::string& staffId, const std::string& productId) {
  Lease db(*this);
  Stmt s(*db, "SELECT (SELECT COUNT(*) FROM staff WHERE id=?1), (SELECT COUNT(*) FROM products WHERE id=?2)");
  s.Bind(1, staffId).Bind(2, productId).Step();
  if (s.Int(0) == 0) throw StoreError("no staff member " + staffId);
  if (s.Int(1) == 0) throw StoreError("no product " + productId);
  Stmt(*db, "INSERT INTO assignments(staff_id, product_id) VALUES(?1, ?2) ON CONFLICT DO NOTHING")
      .Bind(1, staffId)
      .Bind(2, productId)
      .Run();
}

void Store::ReplaceMetaColumns(const std::vector<MetaColumn>& columns) {
  if (columns.empty()) throw StoreError("no column definitions");
  for (size_t i = 0; i < columns.size(); ++i) {
    const auto& c = columns[i];
    for (const std::string* f : {&c.groupCode, &c.tableCode, &c.groupName, &c.columnCode, &c.columnName,
                                 &c.codeGroup, &c.multiple, &c.inputType}) {
      if (f->empty() || !IsValidUtf8(*f) || HasControl(*f) || HasAny(*f, "'\""))
        throw StoreError("column " + std::to_string(i + 1) + ": empty field, quote or control character");
    }
  }
  Lease db(*this);
  Transaction t(*db);
  db->Exec("DELETE FROM meta_columns");
  for (size_t i = 0; i < columns.size(); ++i) {
    const auto& c = columns[i];
    Stmt ins(*db, "INSERT INTO meta_columns VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9)");
    ins.Bind(1, static_cast<int64_t>(i)).Bind(2, c.groupCode).Bind(3, c.tableCode).Bind(4, c.groupName);
    ins.Bind(5, c.columnCode).Bind(6, c.columnName).Bind(7, c.codeGroup).Bind(8, c.multiple).Bind(9, c.inputType);
    ins.Run();
  }
  t.Commit();
}

void Store::ReplaceCodes(const std::vector<CodeRow>& rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    for (const std::string* f : {&rows[i].group, &rows[i].name, &rows[i].value})
      RequireListField("code row " + std::to_string(i + 1), *f);
  }
  Lease db(*this);
  Transaction t(*db);
  db->Exec("DELETE FROM codes");
  for (size_t i = 0; i < rows.size(); ++i) {
    Stmt(*db, "INSERT INTO codes VALUES(?1,?2,?3,?4)")
        .Bind(1, static_cast<int64_t>(i))
        .Bind(2, rows[i].group)
        .Bind(3, rows[i].name)
        .Bind(4, rows[i].value)
        .Run();
  }
  t.Commit();
}

void Store::ReplaceKeywords(const std::string& productId, const std::vector<std::string>& lines) {
  auto product = FindProduct(productId);
  if (!product) throw StoreError("no product " + productId);
  auto columns = MetaColumns();
  auto codes = Codes();
  auto tabIds = SplitList(product->tabIds);
  std::vector<std::string> kept;
  bool inTab = false;
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    std::string where = "keyword line " + std::to_string(n + 1) + ": ";
    if (Trim(line).empty()) continue;
    if (!IsValidUtf8(line) || HasControl(line)) throw StoreError(where + "not UTF-8 text");
    auto f = SplitBy(line, '^');
    if (f[0] == "ar_id") {
      if (f.size() != 2 || std::find(tabIds.begin(), tabIds.end(), f[1]) == tabIds.end())
        throw StoreError(where + "ar_id must name a tab ID of the product");
      inTab = true;
    } else {
      if (!inTab) throw StoreError(where + "keyword line before the first ar_id line");
      if (f.size() != 4 || (f[0] != "1" && f[0] != "2") || f[3].empty() || HasAny(f[3], "'\""))
        throw StoreError(where + "expected KIND^GROUP^COLUMN^VALUE with kind 1 or 2");
      const MetaColumn* col = nullptr;
      for (auto& c : columns)
        if (ToLowerAscii(c.groupCode) == ToLowerAscii(f[1]) && ToLowerAscii(c.columnCode) == ToLowerAscii(f[2])) {
          col = &c;
          break;
        }
      if (!col) throw StoreError(where + "unknown column " + f[1] + "^" + f[2]);
      if (f[0] == "1" && col->codeGroup != "x") {
        bool known = false;
        bool headerSeen = false;
        for (auto& r : codes) {
          if (r.group != col->codeGroup) continue;
          if (headerSeen && r.name == f[3]) known = true;
          headerSeen = true;
        }
        if (!known) throw StoreError(where + f[3] + " is not a code of " + col->codeGroup);
      }
    }
    kept.push_back(line);
  }
  Lease db(*this);
  Transaction t(*db);
  Stmt(*db, "DELETE FROM keywords WHERE product_id=?1").Bind(1, productId).Run();
  for (size_t i = 0; i < kept.size(); ++i)
    Stmt(*db, "INSERT INTO keywords VALUES(?1,?2,?3)")
        .Bind(1, productId)
        .Bind(2, static_cast<int64_t>(i))
        .Bind(3, kept[i])
        .Run();
  t.Commit();
}

void Store::SetAsset(const std::string& name, const std::string& bytes) {
  Lease db(*this);
  Stmt(*db, "INSERT INTO assets(name, content) VALUES(?1, ?2) ON CONFLICT(name) DO UPDATE SET content=excluded.content")
      .Bind(1, name)
      .BindBlob(2, bytes)
      .Run();
}

bool Store::StaffRow(const std::string& id, Staff& staff, std::string& hash) {
  Lease db(*this);
  Stmt q(*db, "SELECT name, level, pw_hash FROM staff WHERE id=?1");
  q.Bind(1, id);
  if (!q.Step()) return false;
  staff = {id, q.Text(0), q.Text(1)};
  hash = q.Text(2);
  return !hash.empty();
}

std::optional<Staff> Store::KnownStaff(const std::string& id, const std::string& password) {
  Staff staff;
  std::string hash;
  if (id.empty() || password.empty() || password.size() > 1024 || !StaffRow(id, staff, hash)) return std::nullopt;
  std::string digest = CredentialDigest(id, password);
  std::lock_guard lock(cacheMutex_);
  auto it = verified_.find(digest);
  if (it != verified_.end() && it->second == hash) return staff;
  return std::nullopt;
}

std::optional<Staff> Store::CheckStaff(const std::string& id, const std::string& password) {
  if (id.empty() || password.empty() || password.size() > 1024) return std::nullopt;
  Staff staff;
  std::string hash;
  if (!StaffRow(id, staff, hash)) {
    BurnPasswordCheck(password);
    return std::nullopt;
  }
  if (auto known = KnownStaff(id, password)) return known;
  if (!VerifyPassword(password, hash)) return std::nullopt;
  std::lock_guard lock(cacheMutex_);
  if (verified_.size() > 10000) verified_.clear();
  verified_[CredentialDigest(id, password)] = hash;
  return staff;
}

std::vector<Product> Store::Products() {
  Lease db(*this);
  Stmt q(*db, (std::string("SELECT ") + kProductCols + " FROM products p ORDER BY p.fav_key, p.id"));
  std::vector<Product> out;
  while (q.Step()) out.push_back(ReadProduct(q));
  return out;
}

std::vector<Product> Store::ProductsOf(const std::string& staffId) {
  Lease db(*this);
  Stmt q(*db, (std::string("SELECT ") + kProductCols +
               " FROM products p JOIN assignments a ON a.product_id = p.id WHERE a.staff_id=?1 ORDER BY p.id")
                  );
  q.Bind(1, staffId);
  std::vector<Product> out;
  while (q.Step()) out.push_back(ReadProduct(q));
  return out;
}

std::optional<Product> Store::FindProduct(const std::string& id) {
  Lease db(*this);
  Stmt q(*db, (std::string("SELECT ") + kProductCols + " FROM products p WHERE p.id=?1"));
  q.Bind(1, id);
  if (!q.Step()) return std::nullopt;
  return ReadProduct(q);
}

std::vector<MetaColumn> Store::MetaColumns() {
  Lease db(*this);
  Stmt q(*db,
         "SELECT group_code, table_code, group_name, column_code, column_name, code_group, multiple, input_type "
         "FROM meta_columns ORDER BY pos");
  std::vector<MetaColumn> out;
  while (q.Step())
    out.push_back({q.Text(0), q.Text(1), q.Text(2), q.Text(3), q.Text(4), q.Text(5), q.Text(6), q.Text(7)});
  return out;
}

std::vector<CodeRow> Store::Codes() {
  Lease db(*this);
  Stmt q(*db, "SELECT code_group, code_name, code_value FROM codes ORDER BY pos");
  std::vector<CodeRow> out;
  while (q.Step()) out.push_back({q.Text(0), q.Text(1), q.Text(2)});
  return out;
}

std::vector<std::string> Store::Keywords(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db, "SELECT line FROM keywords WHERE product_id=?1 ORDER BY pos");
  q.Bind(1, productId);
  std::vector<std::string> out;
  while (q.Step()) out.push_back(q.Text(0));
  return out;
}

std::optional<std::string> Store::Asset(const std::string& name) {
  Lease db(*this);
  Stmt q(*db, "SELECT content FROM assets WHERE name=?1");
  q.Bind(1, name);
  if (!q.Step()) return std::nullopt;
  return q.Blob(0);
}

std::optional<Run> Store::StartRun(const std::string& productId, const std::string& staffId, Run* busy,
                                   int activeMinutes) {
  Lease db(*this);
  Transaction t(*db);
  // Starts of one product take turns, whichever server process they reach; the open runs are
  // locked before their records so that a record arriving meanwhile waits in the same order.
  Stmt(*db, std::string("SELECT id FROM products WHERE id=?1") + ForUpdate()).Bind(1, productId).Run();
  Stmt(*db, std::string("SELECT id FROM runs WHERE product_id=?1 AND state='open'") + ForUpdate())
      .Bind(1, productId)
      .Run();
  {
    Stmt other(*db, std::string("SELECT ") + kRunCols +
                         ", (SELECT name FROM staff s WHERE s.id = runs.staff_id) FROM runs WHERE product_id=?1 AND "
                         "state='open' AND staff_id<>?2 AND COALESCE(touched_at, started_at) >= ?3 ORDER BY id DESC "
                         "LIMIT 1");
    other.Bind(1, productId).Bind(2, staffId).Bind(3, MinutesAgo(activeMinutes));
    if (other.Step()) {
      if (busy) {
        *busy = ReadRun(other);
        busy->staffName = other.Text(9);
      }
      return std::nullopt;
    }
  }
  Stmt done(*db, "SELECT COUNT(*) FROM runs WHERE product_id=?1 AND state='completed'");
  done.Bind(1, productId).Step();
  std::string mode = done.Int(0) > 0 ? "UPDATE" : "INSERT";
  // A run that was never completed (the same staff member's, or one left idle) is abandoned and
  // the new run takes over. What it had sent never replaced the completed content; kept, it would
  // stand beside that content as a second copy of the same articles for good.
  Stmt(*db, "DELETE FROM records WHERE run_id IN (SELECT id FROM runs WHERE product_id=?1 AND state='open')")
      .Bind(1, productId)
      .Run();
  Stmt(*db, "DELETE FROM tab_links WHERE run_id IN (SELECT id FROM runs WHERE product_id=?1 AND state='open')")
      .Bind(1, productId)
      .Run();
  Stmt(*db, "DELETE FROM image_links WHERE run_id IN (SELECT id FROM runs WHERE product_id=?1 AND state='open')")
      .Bind(1, productId)
      .Run();
  Stmt(*db, "UPDATE runs SET state='abandoned' WHERE product_id=?1 AND state='open'").Bind(1, productId).Run();
  Stmt q(*db, std::string("INSERT INTO runs(product_id, staff_id, mode, state, started_at, touched_at) VALUES(?1, "
                           "?2, ?3, 'open', ?4, ?4) RETURNING ") +
                   kRunCols);
  q.Bind(1, productId).Bind(2, staffId).Bind(3, mode).Bind(4, Now()).Step();
  Run run = ReadRun(q);
  q.Run();  // the insert ends with its last row
  t.Commit();
  return run;
}

void Store::TouchRun(int64_t runId) {
  Lease db(*this);
  Stmt(*db, "UPDATE runs SET touched_at=?2 WHERE id=?1 AND (touched_at IS NULL OR touched_at < ?3)")
      .Bind(1, runId)
      .Bind(2, Now())
      .Bind(3, MinutesAgo(1))
      .Run();
}

std::optional<Run> Store::OpenRunOfProduct(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db, (std::string("SELECT ") + kRunCols +
               " FROM runs WHERE product_id=?1 AND state='open' ORDER BY id DESC LIMIT 1")
                  );
  q.Bind(1, productId);
  if (!q.Step()) return std::nullopt;
  return ReadRun(q);
}

std::optional<Run> Store::OpenRunOfStaff(const std::string& staffId) {
  Lease db(*this);
  Stmt q(*db,
         (std::string("SELECT ") + kRunCols + " FROM runs WHERE staff_id=?1 AND state='open' ORDER BY id DESC LIMIT 1")
             );
  q.Bind(1, staffId);
  if (!q.Step()) return std::nullopt;
  return ReadRun(q);
}

bool Store::AddRecord(int64_t runId, const RecordIn& r) {
  Lease db(*this);
  Transaction t(*db);
  // A record sent again to another server process while the first still works on it waits here.
  Stmt(*db, std::string("SELECT id FROM runs WHERE id=?1") + ForUpdate()).Bind(1, runId).Run();
  bool header = false;
  // The tab header is the first record of its tab in the run; its numbers, its core record and an
  // empty html field can all be an article's too, so only its place tells it apart. The same
  // request sent again after a broken connection is still the header.
  {
    Stmt q(*db,
           "SELECT is_header, content_number, page_number, title, html, coremeta, exmeta, exaddmeta, imgmeta "
           "FROM records WHERE run_id=?1 AND ar_id=?2 ORDER BY is_header DESC LIMIT 1");
    q.Bind(1, runId).Bind(2, r.arId);
    if (!q.Step())
      header = true;
    else
      header = q.Int(0) != 0 && q.Int(1) == r.contentNumber && q.Int(2) == r.pageNumber && q.Text(3) == r.title &&
                 q.Text(4) == r.html && q.Text(5) == r.coremeta && q.Text(6) == r.exmeta &&
                 q.Text(7) == r.exaddmeta && q.Text(8) == r.imgmeta;
  }
  // A request sent again after a broken connection replaces what the first one stored.
  Stmt(*db,
       "INSERT INTO records(run_id, product_id, ar_id, content_number, page_number, is_header, title, html, "
       "coremeta, exmeta, exaddmeta, imgmeta, received_at) SELECT ?1, product_id, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
       "?10, ?11, ?12 FROM runs WHERE id=?1 ON CONFLICT(run_id, ar_id, content_number, page_number, is_header) DO "
       "UPDATE SET title=excluded.title, html=excluded.html, coremeta=excluded.coremeta, exmeta=excluded.exmeta, "
       "exaddmeta=excluded.exaddmeta, imgmeta=excluded.imgmeta, received_at=excluded.received_at")
      .Bind(1, runId)
      .Bind(2, r.arId)
      .Bind(3, r.contentNumber)
      .Bind(4, r.pageNumber)
      .Bind(5, static_cast<int64_t>(header ? 1 : 0))
      .Bind(6, r.title)
      .Bind(7, r.html)
      .Bind(8, r.coremeta)
      .Bind(9, r.exmeta)
      .Bind(10, r.exaddmeta)
      .Bind(11, r.imgmeta)
      .Bind(12, Now())
      .Run();
  t.Commit();
  return header;
}

void Store::AddTabLinks(int64_t runId, const std::vector<TabLink>& links) {
  Lease db(*this);
  Transaction t(*db);
  for (const auto& l : links) {
    Stmt(*db,
         "INSERT INTO tab_links VALUES(?1,?2,?3,?4,?5,?6,?7,?8) ON CONFLICT(run_id, tran_ar_id, tran_content, "
         "tran_page) DO UPDATE SET ori_ar_id=excluded.ori_ar_id, ori_content=excluded.ori_content, "
         "ori_page=excluded.ori_page")
        .Bind(1, runId)
        .Bind(2, l.productId)
        .Bind(3, l.tranArId)
        .Bind(4, l.tranContent)
        .Bind(5, l.tranPage)
        .Bind(6, l.oriArId)
        .Bind(7, l.oriContent)
        .Bind(8, l.oriPage)
        .Run();
  }
  t.Commit();
}

void Store::AddImageLink(int64_t runId, const std::string& arId, int64_t page, const std::string& images) {
  Lease db(*this);
  Stmt(*db,
       "INSERT INTO image_links SELECT ?1, product_id, ?2, ?3, ?4 FROM runs WHERE id=?1 ON CONFLICT(run_id, ar_id, "
       "page_number) DO UPDATE SET images=excluded.images")
      .Bind(1, runId)
      .Bind(2, arId)
      .Bind(3, page)
      .Bind(4, images)
      .Run();
}

void Store::AddFile(int64_t runId, const std::string& productId, const std::string& folder, const std::string& name,
                    int64_t size, const std::function<void()>& place) {
  Lease db(*this);
  Transaction t(*db);
  Stmt(*db,
       "INSERT INTO files VALUES(?1,?2,?3,?4,?5,?6) ON CONFLICT(product_id, folder, name) DO UPDATE SET "
       "run_id=excluded.run_id, size=excluded.size, received_at=excluded.received_at")
      .Bind(1, runId)
      .Bind(2, productId)
      .Bind(3, folder)
      .Bind(4, name)
      .Bind(5, size)
      .Bind(6, Now())
      .Run();
  if (place) place();
  t.Commit();
}

void Store::CompleteRun(int64_t runId, const std::string& note) {
  Lease db(*this);
  Transaction t(*db);
  Stmt(*db, std::string("SELECT id FROM runs WHERE id=?1") + ForUpdate()).Bind(1, runId).Run();
  // The tabs sent in this run replace what earlier runs stored for them; other tabs stay.
  Stmt(*db,
       "DELETE FROM records WHERE product_id=(SELECT product_id FROM runs WHERE id=?1) AND run_id<?1 AND ar_id IN "
       "(SELECT DISTINCT ar_id FROM records WHERE run_id=?1)")
      .Bind(1, runId)
      .Run();
  // A tab sent again without links (none of its articles connected, no scan in a range) loses the
  // earlier run's links with its records.
  Stmt(*db,
       "DELETE FROM tab_links WHERE product_id=(SELECT product_id FROM runs WHERE id=?1) AND run_id<?1 AND "
       "(tran_ar_id IN (SELECT DISTINCT tran_ar_id FROM tab_links WHERE run_id=?1) OR "
       "tran_ar_id IN (SELECT DISTINCT ar_id FROM records WHERE run_id=?1))")
      .Bind(1, runId)
      .Run();
  Stmt(*db,
       "DELETE FROM image_links WHERE product_id=(SELECT product_id FROM runs WHERE id=?1) AND run_id<?1 AND "
       "(ar_id IN (SELECT DISTINCT ar_id FROM image_links WHERE run_id=?1) OR "
       "ar_id IN (SELECT DISTINCT ar_id FROM records WHERE run_id=?1))")
      .Bind(1, runId)
      .Run();
  Stmt(*db, "UPDATE runs SET state='completed', completed_at=?3, note=?2 WHERE id=?1")
      .Bind(1, runId)
      .Bind(2, note)
      .Bind(3, Now())
      .Run();
  t.Commit();
}

namespace {
// The run `q` found, with what it holds.
std::optional<RunSummary> SummaryOf(Database& db, Stmt& q) {
  if (!q.Step()) return std::nullopt;
  RunSummary s;
  s.run = ReadRun(q);
  Stmt c(db,
         "SELECT (SELECT COUNT(*) FROM records WHERE run_id=?1 AND is_header=1), (SELECT COUNT(*) FROM records WHERE "
         "run_id=?1 AND is_header=0), (SELECT COUNT(*) FROM tab_links WHERE run_id=?1), (SELECT COUNT(*) FROM "
         "image_links WHERE run_id=?1), (SELECT COUNT(*) FROM files WHERE run_id=?1), (SELECT COALESCE(SUM(size), 0) "
         "FROM files WHERE run_id=?1)");
  c.Bind(1, s.run.id).Step();
  s.headers = c.Int(0);
  s.articles = c.Int(1);
  s.tabLinks = c.Int(2);
  s.imageLinks = c.Int(3);
  s.files = c.Int(4);
  s.fileBytes = c.Int(5);
  return s;
}
}  // namespace

std::optional<RunSummary> Store::LastRun(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db, std::string("SELECT ") + kRunCols + " FROM runs WHERE product_id=?1 ORDER BY id DESC LIMIT 1");
  q.Bind(1, productId);
  return SummaryOf(*db, q);
}

std::optional<RunSummary> Store::RunById(int64_t runId) {
  Lease db(*this);
  Stmt q(*db, std::string("SELECT ") + kRunCols + " FROM runs WHERE id=?1");
  q.Bind(1, runId);
  return SummaryOf(*db, q);
}

namespace {
constexpr const char* kRecordCols =
    "id, run_id, product_id, ar_id, content_number, page_number, is_header, title, html, coremeta, exmeta, "
    "exaddmeta, imgmeta, received_at";
RecordRow ReadRecord(Stmt& q, bool withHtml) {
  RecordRow r;
  r.id = q.Int(0);
  r.runId = q.Int(1);
  r.productId = q.Text(2);
  r.arId = q.Text(3);
  r.contentNumber = q.Int(4);
  r.pageNumber = q.Int(5);
  r.header = q.Int(6) != 0;
  r.title = q.Text(7);
  if (withHtml) r.html = q.Text(8);
  r.coremeta = q.Text(9);
  r.exmeta = q.Text(10);
  r.exaddmeta = q.Text(11);
  r.imgmeta = q.Text(12);
  r.receivedAt = q.Text(13);
  return r;
}
}  // namespace

std::vector<RecordRow> Store::RunRecords(int64_t runId, int limit) {
  Lease db(*this);
  Stmt q(*db, (std::string("SELECT ") + kRecordCols +
               " FROM records WHERE run_id=?1 ORDER BY ar_id, is_header DESC, page_number, content_number LIMIT ?2")
                  );
  q.Bind(1, runId).Bind(2, static_cast<int64_t>(limit));
  std::vector<RecordRow> out;
  while (q.Step()) out.push_back(ReadRecord(q, false));
  return out;
}

std::optional<RecordRow> Store::Record(int64_t id) {
  Lease db(*this);
  Stmt q(*db, (std::string("SELECT ") + kRecordCols + " FROM records WHERE id=?1"));
  q.Bind(1, id);
  if (!q.Step()) return std::nullopt;
  return ReadRecord(q, true);
}

std::vector<TabLink> Store::RunTabLinks(int64_t runId) {
  Lease db(*this);
  Stmt q(*db,
         "SELECT product_id, tran_ar_id, tran_content, tran_page, ori_ar_id, ori_content, ori_page FROM tab_links "
         "WHERE run_id=?1 ORDER BY tran_ar_id, CAST(tran_page AS INTEGER)");
  q.Bind(1, runId);
  std::vector<TabLink> out;
  while (q.Step()) out.push_back({q.Text(0), q.Text(1), q.Text(2), q.Text(3), q.Text(4), q.Text(5), q.Text(6)});
  return out;
}

std::vector<std::pair<std::string, std::string>> Store::RunImageLinks(int64_t runId) {
  Lease db(*this);
  Stmt q(*db, "SELECT ar_id, page_number, images FROM image_links WHERE run_id=?1 ORDER BY ar_id, page_number");
  q.Bind(1, runId);
  std::vector<std::pair<std::string, std::string>> out;
  while (q.Step()) out.emplace_back(q.Text(0) + "/" + std::to_string(q.Int(1)), q.Text(2));
  return out;
}

std::vector<FileRow> Store::RunFiles(int64_t runId) {
  Lease db(*this);
  Stmt q(*db, "SELECT folder, name, size FROM files WHERE run_id=?1 ORDER BY folder, name");
  q.Bind(1, runId);
  std::vector<FileRow> out;
  while (q.Step()) out.push_back({q.Text(0), q.Text(1), q.Int(2)});
  return out;
}

int64_t Store::CountRecords(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db, "SELECT COUNT(*) FROM records WHERE product_id=?1");
  q.Bind(1, productId).Step();
  return q.Int(0);
}

int64_t Store::CountPublishedRecords(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db,
         "SELECT COUNT(*) FROM records JOIN runs ON runs.id=records.run_id WHERE records.product_id=?1 AND "
         "runs.state='completed'");
  q.Bind(1, productId).Step();
  return q.Int(0);
}

std::vector<RecordRow> Store::ProductRecords(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db, (std::string("SELECT ") + kRecordCols +
               " FROM records WHERE product_id=?1 ORDER BY ar_id, is_header DESC, page_number, content_number, run_id")
                  );
  q.Bind(1, productId);
  std::vector<RecordRow> out;
  while (q.Step()) out.push_back(ReadRecord(q, true));
  return out;
}

std::vector<std::pair<int64_t, TabLink>> Store::ProductTabLinks(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db,
         "SELECT run_id, product_id, tran_ar_id, tran_content, tran_page, ori_ar_id, ori_content, ori_page FROM "
         "tab_links WHERE product_id=?1 ORDER BY tran_ar_id, CAST(tran_page AS INTEGER), run_id");
  q.Bind(1, productId);
  std::vector<std::pair<int64_t, TabLink>> out;
  while (q.Step())
    out.emplace_back(q.Int(0), TabLink{q.Text(1), q.Text(2), q.Text(3), q.Text(4), q.Text(5), q.Text(6), q.Text(7)});
  return out;
}

std::vector<Store::ImageLinkRow> Store::ProductImageLinks(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db,
         "SELECT run_id, ar_id, page_number, images FROM image_links WHERE product_id=?1 ORDER BY ar_id, "
         "page_number, run_id");
  q.Bind(1, productId);
  std::vector<ImageLinkRow> out;
  while (q.Step()) out.push_back({q.Int(0), q.Text(1), q.Int(2), q.Text(3)});
  return out;
}

std::vector<std::pair<int64_t, FileRow>> Store::ProductFiles(const std::string& productId) {
  Lease db(*this);
  Stmt q(*db, "SELECT run_id, folder, name, size FROM files WHERE product_id=?1 ORDER BY folder, name");
  q.Bind(1, productId);
  std::vector<std::pair<int64_t, FileRow>> out;
  while (q.Step()) out.emplace_back(q.Int(0), FileRow{q.Text(1), q.Text(2), q.Int(3)});
  return out;
}

void Store::PutSession(const std::string& token, const std::string& staffId, int64_t idleSeconds) {
  int64_t now = EpochMs() / 1000;
  Lease db(*this);
  Stmt(*db, "DELETE FROM sessions WHERE last_use < ?1").Bind(1, now - idleSeconds).Run();
  Stmt(*db, "INSERT INTO sessions(token, staff_id, last_use) VALUES(?1, ?2, ?3)")
      .Bind(1, token)
      .Bind(2, staffId)
      .Bind(3, now)
      .Run();
}

std::optional<std::string> Store::FindSession(const std::string& token, int64_t idleSeconds) {
  int64_t now = EpochMs() / 1000;
  Lease db(*this);
  Stmt q(*db, "SELECT staff_id, last_use FROM sessions WHERE token=?1");
  q.Bind(1, token);
  if (!q.Step()) return std::nullopt;
  std::string staffId = q.Text(0);
  int64_t lastUse = q.Int(1);
  if (lastUse < now - idleSeconds) {
    Stmt(*db, "DELETE FROM sessions WHERE token=?1").Bind(1, token).Run();
    return std::nullopt;
  }
  // A page view writes at most once a minute.
  if (lastUse < now - 60) Stmt(*db, "UPDATE sessions SET last_use=?2 WHERE token=?1").Bind(1, token).Bind(2, now).Run();
  return staffId;
}

void Store::DropSession(const std::string& token) {
  Lease db(*this);
  Stmt(*db, "DELETE FROM sessions WHERE token=?1").Bind(1, token).Run();
}

void Store::AddLoginFailure(const std::vector<std::string>& keys, int64_t windowMs) {
  int64_t now = EpochMs();
  Lease db(*this);
  Transaction t(*db);
  Stmt(*db, "DELETE FROM login_failures WHERE at_ms < ?1").Bind(1, now - windowMs).Run();
  for (const auto& key : keys) Stmt(*db, "INSERT INTO login_failures(who, at_ms) VALUES(?1, ?2)").Bind(1, key).Bind(2, now).Run();
  t.Commit();
}

int Store::CountLoginFailures(const std::string& key, int64_t windowMs, int cap) {
  Lease db(*this);
  Stmt q(*db, "SELECT COUNT(*) FROM (SELECT 1 FROM login_failures WHERE who=?1 AND at_ms >= ?2 LIMIT ?3) AS f");
  q.Bind(1, key).Bind(2, EpochMs() - windowMs).Bind(3, static_cast<int64_t>(cap)).Step();
  return static_cast<int>(q.Int(0));
}

std::vector<std::string> Store::CopyFrom(Store& from) {
  // Columns in order: t text, n text that may be missing, i number, b bytes. Parents before children.
  struct Table {
    const char* name;
    std::vector<std::pair<const char*, char>> cols;
  };
  const std::vector<Table> tables = {
      {"staff", {{"id", 't'}, {"name", 't'}, {"level", 't'}, {"pw_hash", 't'}}},
      {"products",
       {{"id", 't'}, {"code", 't'}, {"name", 't'}, {"service_id", 't'}, {"src_image", 't'}, {"ins_image", 't'},
        {"tabs", 't'}, {"tab_links", 't'}, {"tab_ids", 't'}, {"fav_key", 'i'}}},
      {"assignments", {{"staff_id", 't'}, {"product_id", 't'}}},
      {"meta_columns",
       {{"pos", 'i'}, {"group_code", 't'}, {"table_code", 't'}, {"group_name", 't'}, {"column_code", 't'},
        {"column_name", 't'}, {"code_group", 't'}, {"multiple", 't'}, {"input_type", 't'}}},
      {"codes", {{"pos", 'i'}, {"code_group", 't'}, {"code_name", 't'}, {"code_value", 't'}}},
      {"keywords", {{"product_id", 't'}, {"pos", 'i'}, {"line", 't'}}},
      {"assets", {{"name", 't'}, {"content", 'b'}}},
      {"runs",
       {{"id", 'i'}, {"product_id", 't'}, {"staff_id", 't'}, {"mode", 't'}, {"state", 't'}, {"started_at", 't'},
        {"completed_at", 'n'}, {"note", 'n'}, {"touched_at", 'n'}}},
      {"records",
       {{"id", 'i'}, {"run_id", 'i'}, {"product_id", 't'}, {"ar_id", 't'}, {"content_number", 'i'},
        {"page_number", 'i'}, {"is_header", 'i'}, {"title", 't'}, {"html", 't'}, {"coremeta", 't'}, {"exmeta", 't'},
        {"exaddmeta", 't'}, {"imgmeta", 't'}, {"received_at", 't'}}},
      {"tab_links",
       {{"run_id", 'i'}, {"product_id", 't'}, {"tran_ar_id", 't'}, {"tran_content", 't'}, {"tran_page", 't'},
        {"ori_ar_id", 't'}, {"ori_content", 't'}, {"ori_page", 't'}}},
      {"image_links", {{"run_id", 'i'}, {"product_id", 't'}, {"ar_id", 't'}, {"page_number", 'i'}, {"images", 't'}}},
      {"files",
       {{"run_id", 'i'}, {"product_id", 't'}, {"folder", 't'}, {"name", 't'}, {"size", 'i'}, {"received_at", 't'}}},
  };
  auto count = [](Database& db, const std::string& table) {
    Stmt q(db, "SELECT COUNT(*) FROM " + table);
    q.Step();
    return q.Int(0);
  };
  Lease db(*this), fromDb(from);
  Transaction t(*db);
  for (const auto& table : tables)
    if (count(*db, table.name) > 0) throw StoreError(std::string("the target already holds ") + table.name);
  std::vector<std::string> lines;
  for (const auto& table : tables) {
    std::string cols, values;
    for (size_t i = 0; i < table.cols.size(); ++i) {
      std::string at = "?" + std::to_string(i + 1);
      cols += std::string(i ? ", " : "") + table.cols[i].first;
      values += std::string(i ? ", " : "") + (table.cols[i].second == 'n' ? "NULLIF(" + at + ", '')" : at);
    }
    Stmt read(*fromDb, "SELECT " + cols + " FROM " + table.name);
    const std::string insert = std::string("INSERT INTO ") + table.name + "(" + cols + ") VALUES(" + values + ")";
    while (read.Step()) {
      Stmt write(*db, insert);
      for (size_t i = 0; i < table.cols.size(); ++i) {
        int col = static_cast<int>(i);
        char kind = table.cols[i].second;
        if (kind == 'i') write.Bind(col + 1, read.Int(col));
        else if (kind == 'b') write.BindBlob(col + 1, read.Blob(col));
        else write.Bind(col + 1, read.Text(col));
      }
      write.Run();
    }
    int64_t source = count(*fromDb, table.name), target = count(*db, table.name);
    if (source != target)
      throw StoreError(std::string(table.name) + ": " + std::to_string(target) + " rows copied of " +
                       std::to_string(source));
    lines.push_back(std::string(table.name) + " " + std::to_string(target));
  }
  // The keys the database counts up go on after the copied ones.
  if (postgres_)
    for (const char* table : {"runs", "records"})
      Stmt(*db, std::string("SELECT setval(pg_get_serial_sequence('") + table + "', 'id'), COALESCE((SELECT MAX(id) FROM " +
                     table + "), 0) + 1, false)")
          .Run();
  t.Commit();
  return lines;
}

}  // namespace qs
