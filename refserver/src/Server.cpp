#include "Server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "Codec.h"
#include "Pages.h"

#ifndef QUILO_PUBLISHED_VERSION
#define QUILO_PUBLISHED_VERSION "0.0.0.0"
#endif

namespace fs = std::filesystem;

namespace qs {

namespace {

constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kWrongLogin = "오류";

struct Reply {
  int status = 200;
  std::string body;
  std::string type = kText;
  bool download = false;  // sent as it is stored, never compressed
};

// A download whose Content-Length must be the size of the file itself: the program checks the
// announced size before it takes the body, and a compressed transfer would announce less.
Reply Download(std::string body, const std::string& type) { return {200, std::move(body), type, true}; }

Reply Text(std::string body, int status = 200) { return {status, std::move(body), kText}; }
// Upload errors go out with status 200: the program shows the first line and stops, where an HTTP
// error status would make it wait and send the same bad request again.
Reply Error(const std::string& reason) { return Text("ERROR: " + reason + "\r\n"); }

std::string ListReply(const std::vector<std::string>& lines) {
  std::string out = "OK\r\n";
  for (const auto& l : lines) out += l + "\r\n";
  out += "end\r\n";
  return out;
}

bool ParseInt(const std::string& s, int64_t& out) {
  if (s.empty() || s.size() > 9) return false;
  out = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

bool HasControlOrBad(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F || c == '\\') return true;
  return false;
}

// One path component of the file store: no separators, no "." or "..", no control characters.
bool SafeComponent(const std::string& c) {
  if (c.empty() || c.size() > 255 || c == "." || c == ".." || !IsValidUtf8(c)) return false;
  if (c.find('/') != std::string::npos || c.find(':') != std::string::npos || HasControlOrBad(c)) return false;
  return true;
}

// "img/", "img/sub" -> "img", "img/sub"; refuses anything that would leave the product's folder.
std::optional<std::string> SafeFolder(const std::string& folder) {
  if (folder.empty() || folder.size() > 512 || folder[0] == '/') return std::nullopt;
  std::string f = folder;
  if (f.back() == '/') f.pop_back();
  auto parts = SplitBy(f, '/');
  if (parts.size() > 4) return std::nullopt;
  for (const auto& p : parts)
    if (!SafeComponent(p)) return std::nullopt;
  return f;
}

// Column definitions split into the runs the program reads as groups.
struct MetaLayout {
  struct Group {
    std::string code;  // lower-cased
    std::set<std::string> columns, addInfo;
  };
  std::vector<Group> groups;
  const Group* Find(const std::string& code) const {
    for (const auto& g : groups)
      if (g.code == ToLowerAscii(code)) return &g;
    return nullptr;
  }
};

MetaLayout Layout(const std::vector<MetaColumn>& columns) {
  MetaLayout m;
  std::string prev;
  for (const auto& c : columns) {
    if (m.groups.empty() || c.groupCode != prev) {
      m.groups.push_back({ToLowerAscii(c.groupCode), {}, {}});
      prev = c.groupCode;
    }
    m.groups.back().columns.insert(ToLowerAscii(c.columnCode));
    if (ToLowerAscii(c.tableCode) == "ks_exmetaaddinfo") m.groups.back().addInfo.insert(ToLowerAscii(c.columnCode));
  }
  return m;
}

// "code=value|code=value": the first piece must name a known column; a later piece that does not
// is part of the previous value (values may hold "|").
bool CheckMeta(const std::string& record, const std::function<bool(const std::string&)>& known,
               std::string& reason) {
  bool first = true;
  for (const auto& piece : SplitBy(record, '|')) {
    size_t eq = piece.find('=');
    bool pair = eq != std::string::npos && eq > 0 && known(ToLowerAscii(piece.substr(0, eq)));
    if (first && !pair) {
      reason = piece.substr(0, std::min<size_t>(piece.size(), 40));
      return false;
    }
    first = false;
  }
  return true;
}

std::string RandomSuffix() {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char buf[17];
  snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(rng()));
  return buf;
}

}  // namespace

std::string MetaInfoFile(const std::vector<MetaColumn>& columns) {
  std::string out = "\xEF\xBB\xBF";
  for (const auto& c : columns) {
    out += c.groupCode + "\t" + c.tableCode + "\t" + c.groupName + "\t" + c.columnCode + "\t" + c.columnName + "\t" +
           c.codeGroup + "\t" + c.multiple + "\t" + c.inputType + "\r\n";
  }
  return out;
}

struct QuiloServer::Impl {
  Store& store;
  ServerOptions opt;
  httplib::Server svr;
  fs::path filesRoot;

  Impl(Store& s, ServerOptions o) : store(s), opt(std::move(o)) {
    filesRoot = fs::path(opt.dataDir) / "files";
    fs::create_directories(filesRoot);
    int threads = opt.threads;
    svr.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    svr.set_payload_max_length(opt.maxFileBytes + (1u << 20));
    svr.set_keep_alive_max_count(1000);
    // Replies go out as header and body writes; without this each waits for the peer's delayed ACK.
    svr.set_tcp_nodelay(true);
    svr.set_read_timeout(30, 0);
    svr.set_error_handler([](const httplib::Request&, httplib::Response& res) {
      if (res.body.empty()) {
        std::string reason = res.status == 404   ? "no such path"
                             : res.status == 413 ? "request too large"
                                                 : "bad request";
        res.set_content("ERROR: " + reason + "\r\n", kText);
      }
    });
    svr.Post(".*", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
      Send(res, Guard([&] { return Post(req, reader); }));
    });
    svr.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
      Reply r = Guard([&] { return Get(req); });
      if (r.status == 200 && req.path.rfind("/records/", 0) == 0 && req.path.size() > 5 &&
          req.path.compare(req.path.size() - 5, 5, "/html") == 0) {
        // Stored article HTML is the operator's text: it may show, never run.
        res.set_header("Content-Security-Policy",
                       "sandbox; default-src 'none'; img-src * data:; style-src 'unsafe-inline'");
      }
      Send(res, std::move(r));
    });
  }

  static void Send(httplib::Response& res, Reply r) {
    res.status = r.status;
    res.set_header("Cache-Control", "no-store");
    if (!r.download) {
      res.set_content(std::move(r.body), r.type.c_str());
      return;
    }
    // httplib compresses text bodies for clients that accept gzip, but never a sized provider.
    auto bytes = std::make_shared<std::string>(std::move(r.body));
    res.set_content_provider(bytes->size(), r.type.c_str(),
                             [bytes](size_t offset, size_t length, httplib::DataSink& sink) {
                               if (offset < bytes->size())
                                 sink.write(bytes->data() + offset, std::min(length, bytes->size() - offset));
                               return true;
                             });
  }

  template <class F>
  Reply Guard(F&& f) {
    try {
      return f();
    } catch (const std::exception& e) {
      fprintf(stderr, "quilo-server: %s\n", e.what());
      return Text("ERROR: server failure\r\n", 500);
    }
  }

  // ---- POST ---------------------------------------------------------------------------------

  Reply Post(const httplib::Request& req, const httplib::ContentReader& reader) {
    std::string path = ToLowerAscii(req.path);
    if (path == "/asp/vx__use_fileup.asp") return FileUp(req, reader);

    std::string body;
    bool tooBig = false;
    if (req.is_multipart_form_data()) {
      reader([](const httplib::MultipartFormData&) { return true; }, [](const char*, size_t) { return true; });
      return Error("form body expected, not multipart");
    }
    reader([&](const char* d, size_t n) {
      if (body.size() + n > opt.maxFormBytes) {
        tooBig = true;
        return false;
      }
      body.append(d, n);
      return true;
    });
    if (tooBig) return Text("ERROR: request too large\r\n", 413);

    using Handler = Reply (Impl::*)(const FormFields&);
    static const std::map<std::string, std::pair<bool, Handler>> routes = {
        {"/asp/vx__use_staff.asp", {false, &Impl::UseStaff}},
        {"/asp/vx__getgoodsinfo.asp", {false, &Impl::GoodsInfo}},
        {"/asp/vx__getmetacode.asp", {false, &Impl::MetaCode}},
        {"/asp/vx__jobsgetmy.asp", {false, &Impl::JobsGetMy}},
        {"/asp/vx__getmetainfo.asp", {false, &Impl::MetaInfo}},
        {"/asp/vx__insertproductstart.asp", {true, &Impl::InsertStart}},
        {"/asp/vx__insertproduct.asp", {true, &Impl::InsertProduct}},
        {"/asp/vx__inserttablinkinfo.asp", {true, &Impl::InsertTabLink}},
        {"/asp/vx__insertwimageinfo.asp", {true, &Impl::InsertImageInfo}},
        {"/asp/vx__insertproductcomplete.asp", {true, &Impl::InsertComplete}},
    };
    auto route = routes.find(path);
    if (route == routes.end()) return Text("ERROR: no such path\r\n", 404);
    bool upload = route->second.first;

    auto raw = SplitFormBody(body);
    if (!raw) return upload ? Error("malformed form body") : Text(kWrongLogin);
    FormFields fields;
    for (const auto& [name, value] : *raw) {
      auto v = upload ? DecodeUploadEscape(value) : DecodePercentUtf8(value);
      // The login of an upload may arrive unescaped; a "%" in a password is then no escape at all.
      if (!v && upload && (name == "id" || name == "pw")) v = value;
      if (!v) return upload ? Error("wrong escaping in field " + name.substr(0, 40)) : Text(kWrongLogin);
      fields.emplace_back(name, std::move(*v));
    }
    if (upload) {
      // The upload sends the login as the operator typed it; it may also arrive escaped.
      fields.emplace_back("\x01raw-id", FieldValue(*raw, "id"));
      fields.emplace_back("\x01raw-pw", FieldValue(*raw, "pw"));
    }
    return (this->*(route->second.second))(fields);
  }

  std::optional<Staff> Login(const FormFields& f) { return store.CheckStaff(FieldValue(f, "id"), FieldValue(f, "pw")); }

  std::optional<Staff> UploadLogin(const FormFields& f) {
    if (auto s = Login(f)) return s;
    std::string rid = FieldValue(f, "\x01raw-id"), rpw = FieldValue(f, "\x01raw-pw");
    if (rid == FieldValue(f, "id") && rpw == FieldValue(f, "pw")) return std::nullopt;
    return store.CheckStaff(rid, rpw);
  }

  Reply UseStaff(const FormFields& f) {
    auto s = Login(f);
    if (!s) return Text(kWrongLogin);
    return Text(s->name + "|" + s->level);
  }

  Reply GoodsInfo(const FormFields& f) {
    if (!Login(f)) return Text(kWrongLogin);
    std::vector<std::string> lines;
    for (const auto& p : store.Products())
      lines.push_back(std::to_string(p.favKey) + "^" + p.id + "^" + p.serviceId + "^" + p.name);
    return Text(ListReply(lines));
  }

  Reply MetaCode(const FormFields& f) {
    if (!Login(f)) return Text(kWrongLogin);
    std::vector<std::string> lines;
    for (const auto& c : store.Codes()) lines.push_back(c.group + "^" + c.name + "^" + c.value);
    return Text(ListReply(lines));
  }

  Reply JobsGetMy(const FormFields& f) {
    auto s = Login(f);
    if (!s) return Text(kWrongLogin);
    std::vector<std::string> lines;
    for (const auto& p : store.ProductsOf(s->id))
      lines.push_back(p.name + "^" + p.code + "^" + p.id + "^" + p.srcImage + "^" + p.insImage + "^" + p.tabs + "^" +
                      p.tabLinks + "^" + p.tabIds);
    return Text(ListReply(lines));
  }

  Reply MetaInfo(const FormFields& f) {
    if (!Login(f)) return Text(kWrongLogin);
    auto p = store.FindProduct(FieldValue(f, "p_id"));
    if (!p || p->code != FieldValue(f, "p_dcode")) return Text(kWrongLogin);
    auto lines = store.Keywords(p->id);
    if (lines.empty()) return Text(kWrongLogin);
    return Text(ListReply(lines));
  }

  // The product of an upload request, checked against its code and the staff member's assignments.
  std::optional<Product> UploadProduct(const Staff& s, const FormFields& f, std::string& reason) {
    auto p = store.FindProduct(FieldValue(f, "p_id"));
    if (!p) {
      reason = "unknown product (p_id)";
      return std::nullopt;
    }
    if (p->code != FieldValue(f, "p_dcode")) {
      reason = "product code (p_dcode) does not match the product";
      return std::nullopt;
    }
    bool mine = false;
    for (const auto& a : store.ProductsOf(s.id)) mine = mine || a.id == p->id;
    if (!mine) {
      reason = "the product is not assigned to this staff member";
      return std::nullopt;
    }
    return p;
  }

  std::optional<Run> RunOf(const Staff& s, const std::string& productId, std::string& reason) {
    auto run = store.OpenRunOfProduct(productId);
    if (!run || run->staffId != s.id) {
      reason = "no upload started for this product (vx__InsertProductStart.asp first)";
      return std::nullopt;
    }
    return run;
  }

  Reply InsertStart(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error("아이디나 비밀번호가 맞지 않습니다.");
    std::string reason;
    auto p = UploadProduct(*s, f, reason);
    if (!p) return Error(reason);
    Run run = store.StartRun(p->id, s->id);
    return Text(run.mode + "\r\n");
  }

  Reply InsertProduct(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error("아이디나 비밀번호가 맞지 않습니다.");
    std::string reason;
    auto p = UploadProduct(*s, f, reason);
    if (!p) return Error(reason);
    RecordIn r;
    r.arId = FieldValue(f, "ar_id");
    auto tabIds = SplitBy(p->tabIds, ',');
    for (auto& t : tabIds) t = Trim(t);
    if (std::find(tabIds.begin(), tabIds.end(), r.arId) == tabIds.end()) return Error("unknown tab (ar_id)");
    if (!ParseInt(FieldValue(f, "content_number"), r.contentNumber)) return Error("content_number is not a number");
    if (!ParseInt(FieldValue(f, "page_number"), r.pageNumber)) return Error("page_number is not a number");
    r.header = !HasField(f, "page_detail");
    r.title = FieldValue(f, "content_detail");
    r.html = FieldValue(f, "page_detail");
    r.coremeta = FieldValue(f, "coremeta");
    r.exmeta = FieldValue(f, "exmeta");
    r.exaddmeta = FieldValue(f, "exaddmeta");
    r.imgmeta = FieldValue(f, "imgmeta");

    MetaLayout layout = Layout(store.MetaColumns());
    if (!r.coremeta.empty()) {
      const auto* core = layout.groups.empty() ? nullptr : &layout.groups.front();
      if (!core || !CheckMeta(r.coremeta, [&](const std::string& c) { return core->columns.count(c) > 0; }, reason))
        return Error("coremeta names an unknown column: " + reason);
    }
    const MetaLayout::Group* ex = nullptr;
    if (!r.exmeta.empty()) {
      if (r.exmeta.rfind("name=", 0) != 0) return Error("exmeta must begin with name=GROUP");
      std::string group = r.exmeta.substr(5, r.exmeta.find('|') == std::string::npos ? std::string::npos
                                                                                       : r.exmeta.find('|') - 5);
      ex = layout.Find(group);
      if (!ex) return Error("exmeta names an unknown group: " + group.substr(0, 40));
      size_t bar = r.exmeta.find('|');
      if (bar != std::string::npos &&
          !CheckMeta(r.exmeta.substr(bar + 1), [&](const std::string& c) { return ex->columns.count(c) > 0; }, reason))
        return Error("exmeta names an unknown column: " + reason);
    }
    if (!r.exaddmeta.empty()) {
      if (!ex) return Error("exaddmeta without exmeta");
      if (!CheckMeta(r.exaddmeta, [&](const std::string& c) { return ex->addInfo.count(c) > 0; }, reason))
        return Error("exaddmeta names an unknown column: " + reason);
    }
    if (!r.imgmeta.empty()) {
      const auto* img = layout.groups.empty() ? nullptr : &layout.groups.back();
      if (!img || !CheckMeta(r.imgmeta, [&](const std::string& c) { return img->columns.count(c) > 0; }, reason))
        return Error("imgmeta names an unknown column: " + reason);
    }
    auto run = RunOf(*s, p->id, reason);
    if (!run) return Error(reason);
    store.AddRecord(run->id, r);
    return Text("OK\r\n");
  }

  Reply InsertTabLink(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error("아이디나 비밀번호가 맞지 않습니다.");
    std::string record = FieldValue(f, "tabLink");
    if (record.empty()) return Error("tabLink is empty");
    static const char* names[] = {"p_id", "tran_ar_id", "tran_content_number", "tran_page_number",
                                  "ori_ar_id", "ori_content_number", "ori_page_number"};
    std::vector<TabLink> links;
    std::string productId;
    for (const auto& entry : SplitBy(record, '|')) {
      auto fields = SplitBy(entry, '^');
      if (fields.size() != 7) return Error("a tab link entry needs 7 fields: " + entry.substr(0, 60));
      std::string v[7];
      for (int i = 0; i < 7; ++i) {
        std::string prefix = std::string(names[i]) + "=";
        if (fields[i].rfind(prefix, 0) != 0) return Error("tab link field " + std::to_string(i + 1) + " must be " + names[i]);
        v[i] = fields[i].substr(prefix.size());
        int64_t n;
        if (i != 0 && i != 1 && i != 4 && !ParseInt(v[i], n)) return Error(std::string(names[i]) + " is not a number");
      }
      if (productId.empty()) productId = v[0];
      if (v[0] != productId) return Error("tab link entries name two products");
      links.push_back({v[0], v[1], v[2], v[3], v[4], v[5], v[6]});
    }
    auto p = store.FindProduct(productId);
    if (!p) return Error("unknown product (p_id)");
    auto tabIds = SplitBy(p->tabIds, ',');
    for (auto& t : tabIds) t = Trim(t);
    for (const auto& l : links)
      for (const auto* id : {&l.tranArId, &l.oriArId})
        if (std::find(tabIds.begin(), tabIds.end(), *id) == tabIds.end()) return Error("unknown tab ID " + *id);
    std::string reason;
    auto run = RunOf(*s, productId, reason);
    if (!run) return Error(reason);
    store.AddTabLinks(run->id, links);
    return Text("OK\r\n");
  }

  Reply InsertImageInfo(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error("아이디나 비밀번호가 맞지 않습니다.");
    std::string arid = FieldValue(f, "arid");
    int64_t page;
    if (!IsSafeId(arid)) return Error("arid is missing or not an ID");
    if (!ParseInt(FieldValue(f, "pageNumber"), page)) return Error("pageNumber is not a number");
    std::string images = FieldValue(f, "wImage");
    if (images.empty()) return Error("wImage is empty");
    for (const auto& item : SplitBy(images, '|')) {
      auto slash = item.rfind('/');
      std::string folder = slash == std::string::npos ? "" : item.substr(0, slash);
      std::string name = slash == std::string::npos ? item : item.substr(slash + 1);
      if (!SafeComponent(name) || (!folder.empty() && !SafeFolder(folder)))
        return Error("wImage holds a path that is not allowed: " + item.substr(0, 60));
    }
    auto run = store.OpenRunOfStaff(s->id);
    if (!run) return Error("no upload started (vx__InsertProductStart.asp first)");
    store.AddImageLink(run->id, arid, page, images);
    return Text("OK\r\n");
  }

  Reply InsertComplete(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error("아이디나 비밀번호가 맞지 않습니다.");
    std::string reason;
    auto p = UploadProduct(*s, f, reason);
    if (!p) return Error(reason);
    auto run = RunOf(*s, p->id, reason);
    if (!run) {
      // The same completion sent again after a broken connection finds its run completed.
      auto last = store.LastRun(p->id);
      if (last && last->run.staffId == s->id && !last->run.completedAt.empty()) return Text("OK\r\n");
      return Error(reason);
    }
    store.CompleteRun(run->id, FieldValue(f, "p_update"));
    return Text("OK\r\n");
  }

  Reply FileUp(const httplib::Request& req, const httplib::ContentReader& reader) {
    if (!req.is_multipart_form_data()) {
      reader([](const char*, size_t) { return true; });
      return Error("multipart/form-data expected");
    }
    std::vector<httplib::MultipartFormData> parts;
    bool tooBig = false, tooMany = false;
    size_t textBytes = 0;
    bool ok = reader(
        [&](const httplib::MultipartFormData& h) {
          if (parts.size() >= 16) {
            tooMany = true;
            return false;
          }
          parts.push_back(h);
          return true;
        },
        [&](const char* d, size_t n) {
          auto& part = parts.back();
          size_t limit = part.filename.empty() ? 64 * 1024 : opt.maxFileBytes;
          if (part.filename.empty()) textBytes += n;
          if (part.content.size() + n > limit || textBytes > 256 * 1024) {
            tooBig = true;
            return false;
          }
          part.content.append(d, n);
          return true;
        });
    if (tooBig) return Text("ERROR: file too large\r\n", 413);
    if (tooMany) return Error("too many parts");
    if (!ok) return Error("broken multipart body");

    auto field = [&](const std::string& name) -> const httplib::MultipartFormData* {
      for (const auto& p : parts)
        if (p.name == name) return &p;
      return nullptr;
    };
    auto text = [&](const std::string& name) {
      const auto* p = field(name);
      return p && p->filename.empty() ? p->content : std::string();
    };
    FormFields login{{"id", text("id")}, {"pw", text("pw")}};
    auto s = Login(login);
    if (!s) {
      auto id = DecodeUploadEscape(text("id")), pw = DecodeUploadEscape(text("pw"));
      if (id && pw && (*id != text("id") || *pw != text("pw"))) s = store.CheckStaff(*id, *pw);
    }
    if (!s) return Error("아이디나 비밀번호가 맞지 않습니다.");
    std::string productId = text("pID");
    auto p = store.FindProduct(productId);
    if (!p || !IsSafeId(productId)) return Error("unknown product (pID)");
    auto folder = SafeFolder(text("imageFolder"));
    if (!folder) return Error("imageFolder is not allowed: " + text("imageFolder").substr(0, 60));
    const auto* file = field("file");
    if (!file || file->filename.empty()) return Error("no file part");
    // Some clients send the name with the folder they read it from.
    std::string name = file->filename;
    if (!SafeComponent(name)) return Error("file name is not allowed: " + name.substr(0, 60));
    std::string reason;
    auto run = RunOf(*s, p->id, reason);
    if (!run) return Error(reason);

    fs::path dir = filesRoot / productId / fs::path(*folder);
    fs::create_directories(dir);
    fs::path target = dir / fs::path(name);
    fs::path tmp = dir / (".upload-" + RandomSuffix());
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out.write(file->content.data(), static_cast<std::streamsize>(file->content.size()));
      out.close();
      if (!out) {
        fs::remove(tmp);
        return Error("the file could not be stored");
      }
    }
    try {
      store.AddFile(run->id, productId, *folder, name, static_cast<int64_t>(file->content.size()));
      fs::rename(tmp, target);
    } catch (...) {
      std::error_code ec;
      fs::remove(tmp, ec);
      throw;
    }
    return Text("OK");
  }

  // ---- GET ----------------------------------------------------------------------------------

  Reply Get(const httplib::Request& req) {
    const std::string& path = req.path;
    std::string lower = ToLowerAscii(path);
    if (lower == "/asp/programupdate/vuxmetainfo.txt") {
      auto cols = store.MetaColumns();
      if (cols.empty()) return Text("ERROR: no column definitions\r\n", 404);
      return Download(MetaInfoFile(cols), kText);
    }
    if (lower == "/asp/programupdate/vuxversion.txt") return Text(QUILO_PUBLISHED_VERSION);
    if (lower == "/asp/programupdate/tupdate.exe") {
      auto a = store.Asset("Tupdate.exe");
      if (!a) return Text("ERROR: no updater\r\n", 404);
      return Download(*a, "application/octet-stream");
    }
    if (path == "/" || path == "/index.html") return {200, OverviewPage(store), "text/html; charset=utf-8"};
    if (lower == "/help/help.htm") return {200, HelpPage(), "text/html; charset=utf-8"};
    int64_t id;
    if (path.rfind("/runs/", 0) == 0 && ParseInt(path.substr(6), id)) {
      auto page = RunPage(store, id);
      if (page) return {200, *page, "text/html; charset=utf-8"};
    }
    if (path.rfind("/records/", 0) == 0) {
      std::string rest = path.substr(9);
      bool raw = rest.size() > 5 && rest.compare(rest.size() - 5, 5, "/html") == 0;
      if (raw) rest.resize(rest.size() - 5);
      if (ParseInt(rest, id)) {
        if (raw) {
          auto r = store.Record(id);
          if (r) return {200, StoredHtmlPage(*r), "text/html; charset=utf-8"};
        } else if (auto page = RecordPage(store, id)) {
          return {200, *page, "text/html; charset=utf-8"};
        }
      }
    }
    if (path.rfind("/files/", 0) == 0) return StoredFile(path.substr(7));
    return Text("ERROR: no such path\r\n", 404);
  }

  Reply StoredFile(const std::string& rel) {
    auto parts = SplitBy(rel, '/');
    if (parts.size() < 2 || !IsSafeId(parts[0])) return Text("ERROR: no such file\r\n", 404);
    for (const auto& p : parts)
      if (!SafeComponent(p)) return Text("ERROR: no such file\r\n", 404);
    fs::path file = filesRoot;
    for (const auto& p : parts) file /= fs::path(p);
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::is_symlink(file, ec)) return Text("ERROR: no such file\r\n", 404);
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string ext = ToLowerAscii(file.extension().string());
    std::string type = ext == ".jpg" || ext == ".jpeg" ? "image/jpeg"
                       : ext == ".png"                 ? "image/png"
                       : ext == ".gif"                 ? "image/gif"
                                                       : "application/octet-stream";
    return Download(std::move(bytes), type);
  }
};

QuiloServer::QuiloServer(Store& store, ServerOptions options) : impl_(new Impl(store, std::move(options))) {}
QuiloServer::~QuiloServer() { Stop(); }

int QuiloServer::Bind(const std::string& host, int port) {
  if (port == 0) return impl_->svr.bind_to_any_port(host);
  return impl_->svr.bind_to_port(host, port) ? port : -1;
}

bool QuiloServer::Listen() { return impl_->svr.listen_after_bind(); }

void QuiloServer::Stop() {
  if (impl_) impl_->svr.stop();
}

bool QuiloServer::WaitUntilRunning(int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    if (impl_->svr.is_running()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return impl_->svr.is_running();
}

}  // namespace qs
