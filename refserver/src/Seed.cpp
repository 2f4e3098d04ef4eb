#include "Seed.h"

#include <filesystem>
#include <fstream>

#include "Codec.h"

namespace fs = std::filesystem;

namespace qs {

namespace {

// Data lines of a TSV seed file: comments ("#") and empty lines left out, fields split at TAB.
std::vector<std::vector<std::string>> ReadTsv(const std::string& path, size_t minFields, size_t maxFields) {
  std::vector<std::vector<std::string>> rows;
  auto lines = ReadUtf8Lines(path);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (Trim(lines[i]).empty() || lines[i][0] == '#') continue;
    auto f = SplitBy(lines[i], '\t');
    if (f.size() < minFields || f.size() > maxFields)
      throw StoreError(path + ":" + std::to_string(i + 1) + ": expected " + std::to_string(minFields) +
                       (minFields == maxFields ? "" : " to " + std::to_string(maxFields)) + " TAB-separated fields");
    rows.push_back(std::move(f));
  }
  return rows;
}

}  // namespace

std::string ReadBytes(const std::string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) throw StoreError("cannot read " + path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadUtf8Lines(const std::string& path) {
  std::string bytes = ReadBytes(path);
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  if (!IsValidUtf8(bytes)) throw StoreError(path + " is not UTF-8 text");
  std::vector<std::string> lines = SplitBy(bytes, '\n');
  for (auto& l : lines)
    if (!l.empty() && l.back() == '\r') l.pop_back();
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

void LoadMetaInfoFile(Store& store, const std::string& path) {
  std::vector<MetaColumn> cols;
  for (auto& f : ReadTsv(path, 8, 8)) cols.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
  store.ReplaceMetaColumns(cols);
}

void LoadCodeTableFile(Store& store, const std::string& path) {
  std::vector<CodeRow> rows;
  for (auto& f : ReadTsv(path, 3, 3)) rows.push_back({f[0], f[1], f[2]});
  store.ReplaceCodes(rows);
}

void LoadKeywordsFile(Store& store, const std::string& productId, const std::string& path) {
  std::vector<std::string> lines;
  for (auto& l : ReadUtf8Lines(path))
    if (l.empty() || l[0] != '#') lines.push_back(l);
  store.ReplaceKeywords(productId, lines);
}

std::vector<std::string> LoadSeed(Store& store, const std::string& dir) {
  std::vector<std::string> done;
  fs::path d = fs::path(dir);
  if (!fs::is_directory(d)) throw StoreError("no seed folder " + dir);
  auto has = [&](const char* name) { return fs::exists(d / name); };
  auto at = [&](const char* name) { return (d / name).string(); };
  if (has("VuxMetaInfo.txt")) {
    LoadMetaInfoFile(store, at("VuxMetaInfo.txt"));
    done.push_back("column definitions: " + std::to_string(store.MetaColumns().size()));
  }
  if (has("codetable.tsv")) {
    LoadCodeTableFile(store, at("codetable.tsv"));
    done.push_back("code rows: " + std::to_string(store.Codes().size()));
  }
  if (has("staff.tsv")) {
    auto rows = ReadTsv(at("staff.tsv"), 4, 4);
    for (auto& f : rows) store.SetStaff(f[0], f[1], f[2], f[3]);
    done.push_back("staff: " + std::to_string(rows.size()));
  }
  if (has("products.tsv")) {
    auto rows = ReadTsv(at("products.tsv"), 9, 10);
    for (auto& f : rows) {
      Product p{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], 0};
      if (f.size() > 9) p.favKey = atoi(f[9].c_str());
      store.SetProduct(p);
    }
    done.push_back("products: " + std::to_string(rows.size()));
  }
  if (has("assignments.tsv")) {
    auto rows = ReadTsv(at("assignments.tsv"), 2, 2);
    for (auto& f : rows) store.Assign(f[0], f[1]);
    done.push_back("assignments: " + std::to_string(rows.size()));
  }
  if (fs::is_directory(d / "keywords")) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(d / "keywords")) {
      if (!e.is_regular_file() || e.path().extension() != ".txt") continue;
      LoadKeywordsFile(store, e.path().stem().string(), e.path().string());
      ++n;
    }
    done.push_back("keyword definitions: " + std::to_string(n) + " products");
  }
  if (has("Tupdate.exe")) {
    store.SetAsset("Tupdate.exe", ReadBytes(at("Tupdate.exe")));
    done.push_back("updater");
  }
  return done;
}

}  // namespace qs
