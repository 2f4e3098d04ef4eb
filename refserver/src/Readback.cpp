#include "Readback.h"

#include <openssl/evp.h>

#include <filesystem>
#include <map>

namespace qs {

namespace {

namespace fs = std::filesystem;

std::string Escaped(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

// "LENGTH:SHA256" (hex), "0:-" for an empty value.
std::string Digest(const std::string& s) {
  if (s.empty()) return "0:-";
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  if (EVP_Digest(s.data(), s.size(), md, &n, EVP_sha256(), nullptr) != 1) throw StoreError("SHA-256 failed");
  static const char* hex = "0123456789abcdef";
  std::string out = std::to_string(s.size()) + ":";
  for (unsigned int i = 0; i < n; ++i) {
    out += hex[md[i] >> 4];
    out += hex[md[i] & 15];
  }
  return out;
}

std::string Join(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i];
  return line;
}

}  // namespace

std::vector<std::string> ProductShowLines(Store& store, const std::string& productId, const std::string& dataDir) {
  auto product = store.FindProduct(productId);
  if (!product) throw StoreError("no product " + productId);
  std::vector<std::string> out;
  out.push_back(Join({"product", product->id, Escaped(product->code), Escaped(product->name)}));
  if (auto last = store.LastRun(productId)) {
    const Run& r = last->run;
    out.push_back(Join({"run", std::to_string(r.id), r.mode, r.state, r.staffId, r.startedAt,
                        r.completedAt.empty() ? "-" : r.completedAt, Escaped(r.note)}));
  } else {
    out.push_back("run\tnone");
  }
  // Rows of a run that has not completed (in progress, or stopped and not yet replaced) are not
  // what the service publishes: they are shown apart, as "open-" lines, and left out of the counts.
  std::map<int64_t, bool> completed;
  auto kind = [&](const char* name, int64_t runId) {
    auto it = completed.find(runId);
    if (it == completed.end()) {
      auto run = store.RunById(runId);
      it = completed.emplace(runId, run && run->run.state == "completed").first;
    }
    return it->second ? std::string(name) : "open-" + std::string(name);
  };
  int64_t headers = 0, articles = 0, bytes = 0, tabLinks = 0, imageLinks = 0, openRows = 0;
  for (const auto& r : store.ProductRecords(productId)) {
    const std::string k = kind("record", r.runId);
    if (k == "record")
      ++(r.header ? headers : articles);
    else
      ++openRows;
    out.push_back(Join({k, r.arId, std::to_string(r.contentNumber), std::to_string(r.pageNumber),
                        r.header ? "1" : "0", std::to_string(r.runId), Escaped(r.title), "html=" + Digest(r.html),
                        "coremeta=" + Digest(r.coremeta), "exmeta=" + Digest(r.exmeta),
                        "exaddmeta=" + Digest(r.exaddmeta), "imgmeta=" + Digest(r.imgmeta)}));
  }
  for (const auto& [run, l] : store.ProductTabLinks(productId)) {
    const std::string k = kind("tablink", run);
    ++(k == "tablink" ? tabLinks : openRows);
    out.push_back(Join({k, l.tranArId, l.tranContent, l.tranPage, l.oriArId, l.oriContent, l.oriPage,
                        std::to_string(run)}));
  }
  for (const auto& i : store.ProductImageLinks(productId)) {
    const std::string k = kind("imagelink", i.runId);
    ++(k == "imagelink" ? imageLinks : openRows);
    out.push_back(Join({k, i.arId, std::to_string(i.page), std::to_string(i.runId), Escaped(i.images)}));
  }
  const auto files = store.ProductFiles(productId);
  for (const auto& [run, f] : files) {
    std::error_code ec;
    const fs::path path = fs::path(dataDir) / "files" / productId / fs::path(f.folder) / fs::path(f.name);
    const auto size = fs::file_size(path, ec);
    out.push_back(Join({"file", Escaped(f.folder), Escaped(f.name), std::to_string(f.size), std::to_string(run),
                        ec ? "missing" : "disk=" + std::to_string(size)}));
    bytes += f.size;
  }
  out.push_back(Join({"counts", "headers=" + std::to_string(headers), "articles=" + std::to_string(articles),
                      "tablinks=" + std::to_string(tabLinks), "imagelinks=" + std::to_string(imageLinks),
                      "files=" + std::to_string(files.size()), "bytes=" + std::to_string(bytes),
                      "open=" + std::to_string(openRows)}));
  return out;
}

}  // namespace qs
