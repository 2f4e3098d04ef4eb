#pragma once
// Everything the server keeps: staff, products, reference tables, upload runs, and what several
// server processes on one database must agree on (page sessions, failed logins).
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Database.h"

namespace qs {

struct Staff {
  std::string id, name, level;
};

struct Product {
  std::string id, code, name, serviceId;
  std::string srcImage = "N", insImage = "N";
  std::string tabs, tabLinks = "x", tabIds;  // comma-separated, as the product list shows them
  int favKey = 0;                            // order of the frequently used products
};

// One line of the column definitions.
struct MetaColumn {
  std::string groupCode, tableCode, groupName, columnCode, columnName, codeGroup, multiple, inputType;
};

struct CodeRow {
  std::string group, name, value;
};

struct Run {
  int64_t id = 0;
  std::string productId, staffId, mode, startedAt, completedAt, note;
  std::string touchedAt;  // the last request of the run
  std::string staffName;  // filled in where a reply names the staff member
  std::string state;  // open, completed, abandoned
};

struct RecordIn {
  std::string arId;
  int64_t contentNumber = 0, pageNumber = 0;
  std::string title, html, coremeta, exmeta, exaddmeta, imgmeta;
};

struct TabLink {
  std::string productId, tranArId, tranContent, tranPage, oriArId, oriContent, oriPage;
};

struct RecordRow {
  int64_t id = 0, runId = 0;
  std::string productId, arId;
  int64_t contentNumber = 0, pageNumber = 0;
  bool header = false;
  std::string title, html, coremeta, exmeta, exaddmeta, imgmeta, receivedAt;
};

struct RunSummary {
  Run run;
  int64_t headers = 0, articles = 0, tabLinks = 0, imageLinks = 0, files = 0, fileBytes = 0;
};

struct FileRow {
  std::string folder, name;
  int64_t size = 0;
};

class Store {
 public:
  // A SQLite file path or a "postgresql://" URL; the schema is made or upgraded here.
  explicit Store(const std::string& location);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  bool IsEmpty();

  // Administration. Each throws StoreError with a reason on bad input.
  void SetStaff(const std::string& id, const std::string& name, const std::string& level,
                const std::string& password);
  void SetProduct(const Product& p);
  void Assign(const std::string& staffId, const std::string& productId);
  void ReplaceMetaColumns(const std::vector<MetaColumn>& columns);
  void ReplaceCodes(const std::vector<CodeRow>& rows);
  void ReplaceKeywords(const std::string& productId, const std::vector<std::string>& lines);
  void SetAsset(const std::string& name, const std::string& bytes);

  // Login check; a verified pair is remembered (by an HMAC digest) until the stored hash changes.
  std::optional<Staff> CheckStaff(const std::string& id, const std::string& password);
  // The staff member when this password was verified before (no key derivation); else nothing.
  std::optional<Staff> KnownStaff(const std::string& id, const std::string& password);

  std::vector<Product> Products();
  std::vector<Product> ProductsOf(const std::string& staffId);
  std::optional<Product> FindProduct(const std::string& id);
  std::vector<MetaColumn> MetaColumns();
  std::vector<CodeRow> Codes();
  std::vector<std::string> Keywords(const std::string& productId);
  std::optional<std::string> Asset(const std::string& name);

  // Upload runs. A start is refused (nullopt, `busy` filled in) while another staff member's run of
  // the product had a request within `activeMinutes`; the same staff member's open run is replaced.
  std::optional<Run> StartRun(const std::string& productId, const std::string& staffId, Run* busy = nullptr,
                              int activeMinutes = 30);
  // Marks a request of the run (at most one write a minute).
  void TouchRun(int64_t runId);
  std::optional<Run> OpenRunOfProduct(const std::string& productId);
  std::optional<Run> OpenRunOfStaff(const std::string& staffId);
  // Stores a record of the run; the first record of a tab in the run (or that request again) is the
  // tab's header. Returns whether it was taken as the header.
  bool AddRecord(int64_t runId, const RecordIn& r);
  void AddTabLinks(int64_t runId, const std::vector<TabLink>& links);
  void AddImageLink(int64_t runId, const std::string& arId, int64_t page, const std::string& images);
  // The row is committed only when `place` (which puts the file where the row says) returns.
  void AddFile(int64_t runId, const std::string& productId, const std::string& folder, const std::string& name,
               int64_t size, const std::function<void()>& place = nullptr);
  void CompleteRun(int64_t runId, const std::string& note);

  // Reading back (the overview page, tests, the load check).
  std::optional<RunSummary> LastRun(const std::string& productId);
  std::optional<RunSummary> RunById(int64_t runId);
  std::vector<RecordRow> RunRecords(int64_t runId, int limit);
  std::optional<RecordRow> Record(int64_t id);
  std::vector<TabLink> RunTabLinks(int64_t runId);
  std::vector<std::pair<std::string, std::string>> RunImageLinks(int64_t runId);  // "arid/page", images
  std::vector<FileRow> RunFiles(int64_t runId);
  int64_t CountRecords(const std::string& productId);
  // Only the records of completed runs: what the service publishes.
  int64_t CountPublishedRecords(const std::string& productId);

  // What the product holds now, whichever run brought it (the administration readback).
  std::vector<RecordRow> ProductRecords(const std::string& productId);  // with the HTML
  std::vector<std::pair<int64_t, TabLink>> ProductTabLinks(const std::string& productId);  // run, link
  struct ImageLinkRow {
    int64_t runId = 0;
    std::string arId;
    int64_t page = 0;
    std::string images;
  };
  std::vector<ImageLinkRow> ProductImageLinks(const std::string& productId);
  std::vector<std::pair<int64_t, FileRow>> ProductFiles(const std::string& productId);  // run, file

  // Page sessions: the staff ID of a token used within `idleSeconds` (its use is refreshed).
  void PutSession(const std::string& token, const std::string& staffId, int64_t idleSeconds);
  std::optional<std::string> FindSession(const std::string& token, int64_t idleSeconds);
  void DropSession(const std::string& token);
  // Failed logins by key (an address, a staff ID): one more now, and how many within the window
  // (counted up to `cap`).
  void AddLoginFailure(const std::vector<std::string>& keys, int64_t windowMs);
  int CountLoginFailures(const std::string& key, int64_t windowMs, int cap);

  // Copies a whole store into this empty one; returns "TABLE rows" lines once every count matches.
  std::vector<std::string> CopyFrom(Store& from);

 private:
  // Locks the rows a SELECT finds to the end of the transaction, where the database has row locks.
  const char* ForUpdate() const { return postgres_ ? " FOR UPDATE" : ""; }
  // One connection of the pool for the time of a call. PostgreSQL answers several at once, so
  // requests need not wait on each other's round trips; SQLite has one connection, taken in turn.
  class Lease;
  std::string location_;
  bool postgres_ = false;
  size_t most_ = 1;
  size_t opened_ = 0;
  std::vector<std::unique_ptr<Database>> idle_;
  std::mutex poolMutex_;
  std::condition_variable poolFree_;
  bool StaffRow(const std::string& id, Staff& staff, std::string& hash);
  std::mutex cacheMutex_;
  std::map<std::string, std::string> verified_;  // credential digest -> stored hash at verification
};

// Checks used by both the administration and the server: IDs that can name a folder.
bool IsSafeId(const std::string& s);

}  // namespace qs
