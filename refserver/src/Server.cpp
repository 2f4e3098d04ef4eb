#include "Server.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
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

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kLoginFailed = "아이디나 비밀번호가 맞지 않습니다.";
constexpr const char* kSessionCookie = "quilo_session";
// Bodies above this size take one of the server's few large-body slots.
constexpr uint64_t kLargeBody = 64 * 1024;

struct Reply {
  int status = 200;
  std::string body;
  std::string type = kText;
  bool download = false;  // sent as it is stored, never compressed
  bool close = false;     // part of the body stays unread: the connection ends after the reply
  httplib::Headers headers = {};
};

// A download whose Content-Length must be the size of the file itself: the program checks the
// announced size before it takes the body, and a compressed transfer would announce less.
Reply Download(std::string body, const std::string& type) { return {200, std::move(body), type, true}; }

Reply Text(std::string body, int status = 200) { return {status, std::move(body), kText}; }
// Upload errors go out with status 200: the program shows the first line and stops, where an HTTP
// error status would make it wait and send the same bad request again.
Reply Error(const std::string& reason) { return Text("ERROR: " + reason + "\r\n"); }
Reply Closing(Reply r) {
  r.close = true;
  return r;
}
// A busy reply makes the program wait and send the same request again.
Reply Busy() { return Closing(Text("ERROR: server busy\r\n", 503)); }

// A login that cannot be checked now; the client is told to come back.
struct ServerBusy {};

bool AllDigits(const std::string& s) {
  return !s.empty() && s.size() <= 19 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

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
  if (parts.size() > 16) return std::nullopt;
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

// An upload on its way in, kept outside the served tree; removed unless it was moved into place.
class TempFile {
 public:
  explicit TempFile(const fs::path& dir) : path_(dir / ("upload-" + RandomSuffix())) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    std::error_code ec;
    if (!placed_) fs::remove(path_, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  bool ok() const { return fd_ >= 0; }
  size_t size() const { return size_; }
  const fs::path& path() const { return path_; }
  bool Write(const char* d, size_t n) {
    while (n > 0) {
      ssize_t w = ::write(fd_, d, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      d += w;
      n -= static_cast<size_t>(w);
      size_ += static_cast<size_t>(w);
    }
    return true;
  }
  bool Finish() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }
  void Placed() { placed_ = true; }

 private:
  fs::path path_;
  int fd_ = -1;
  size_t size_ = 0;
  bool placed_ = false;
};

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
  GuardedServer svr;
  fs::path filesRoot, tmpRoot;
  LoginThrottle throttle;
  Sessions sessions;
  std::mutex slotMutex;
  std::condition_variable slotFree;
  size_t largeBodies = 0;
  // The column definitions as each open run first read them: a run checks all its records by one
  // reading, and a record costs no reading of its own.
  std::mutex layoutMutex;
  std::map<int64_t, std::shared_ptr<const MetaLayout>> layouts;

  Impl(Store& s, ServerOptions o)
      : store(s), opt(std::move(o)), svr(opt.limits), throttle(store, opt.throttle), sessions(store) {
    filesRoot = fs::path(opt.dataDir) / "files";
    tmpRoot = fs::path(opt.dataDir) / "tmp";
    PrepareFolders();
    svr.set_payload_max_length(std::max<uint64_t>(FileBodyLimit(), opt.maxFormBytes));
    svr.set_keep_alive_max_count(1000);
    svr.set_keep_alive_timeout(opt.limits.idleSeconds);
    svr.set_read_timeout(opt.limits.gapSeconds, 0);
    svr.set_write_timeout(opt.limits.gapSeconds, 0);
    // Replies go out as header and body writes; without this each waits for the peer's delayed ACK.
    svr.set_tcp_nodelay(true);
    svr.set_error_handler([](const httplib::Request&, httplib::Response& res) {
      // A request httplib could not parse: what follows it on the connection is no request.
      auto* conn = Connection::Current();
      if (conn && !conn->screened()) {
        conn->CloseAfterReply();
        res.set_header("Connection", "close");
      }
      if (res.body.empty()) {
        std::string reason = res.status == 404   ? "no such path"
                             : res.status == 413 ? "request too large"
                                                 : "bad request";
        res.set_content("ERROR: " + reason + "\r\n", kText);
      }
    });
    svr.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
      return Screen(req, res) ? httplib::Server::HandlerResponse::Unhandled
                              : httplib::Server::HandlerResponse::Handled;
    });
    svr.Post(".*", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
      Connection* conn = Connection::Current();
      if (conn) conn->StartBody(req);
      Reply r = Guard([&] { return Post(req, reader); }, 200);
      if (conn && !conn->BodyComplete()) r.close = true;
      Send(res, std::move(r));
    });
    svr.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
      Reply r = Guard([&] { return Get(req); }, 500);
      if (r.status == 200 && req.path.rfind("/records/", 0) == 0 && req.path.size() > 5 &&
          req.path.compare(req.path.size() - 5, 5, "/html") == 0) {
        // Stored article HTML is the operator's text: it may show, never run.
        res.set_header("Content-Security-Policy",
                       "sandbox; default-src 'none'; img-src * data:; style-src 'unsafe-inline'");
      }
      Send(res, std::move(r));
    });
  }

  // The largest multipart body: the largest file, its text fields and the framing around them.
  static constexpr size_t kFileFieldBytes = 256 * 1024;
  uint64_t FileBodyLimit() const { return static_cast<uint64_t>(opt.maxFileBytes) + 2 * kFileFieldBytes; }

  // The file store and the upload pieces are the owner's only; pieces left by a stop or a crash go
  // at start. They live in DIR/tmp alone, so no stored file, whatever its name, is ever taken for one.
  // Where other server processes share the folder, only pieces a day old go: the rest may be theirs.
  void PrepareFolders() {
    for (const auto& d : {filesRoot, tmpRoot}) {
      fs::create_directories(d);
      fs::permissions(d, fs::perms::owner_all, fs::perm_options::replace);
    }
    const auto dayAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
    for (const auto& e : fs::directory_iterator(tmpRoot)) {
      std::error_code ec;
      if (!opt.sharedData || fs::last_write_time(e.path(), ec) < dayAgo) fs::remove_all(e.path(), ec);
    }
  }

  // Requests refused before any handler reads a byte of their body: framing httplib would read
  // in some way of its own, and methods the server has no use for.
  bool Screen(const httplib::Request& req, httplib::Response& res) {
    if (auto* conn = Connection::Current()) {
      conn->Screened();
      // Framing and logins are read from the headers as sent, before httplib reads the body by
      // them: httplib percent-decodes header values. (The request is httplib's own, not const.)
      const_cast<httplib::Request&>(req).headers = conn->RawHeaders();
    }
    size_t lengths = req.get_header_value_count("Content-Length");
    std::string te = ToLowerAscii(req.get_header_value("Transfer-Encoding"));
    bool chunked = te == "chunked";
    bool body = chunked || (lengths > 0 && req.get_header_value("Content-Length") != "0");
    auto refuse = [&](int status, const std::string& reason) {
      Send(res, Closing(Text("ERROR: " + reason + "\r\n", status)));
      return false;
    };
    if (req.method != "GET" && req.method != "HEAD" && req.method != "POST") return refuse(405, "method not allowed");
    if (lengths > 1 || (lengths == 1 && !AllDigits(req.get_header_value("Content-Length"))) ||
        (!te.empty() && !chunked) || (chunked && lengths > 0))
      return refuse(400, "unclear body length");
    // Without a length the body would run to the end of the connection: a cut could not be told.
    if (req.method == "POST" && !chunked && lengths == 0) return refuse(411, "length required");
    if (req.method != "POST" && body) {
      if (auto* c = Connection::Current()) c->CloseAfterReply();
      res.set_header("Connection", "close");
    }
    return true;
  }

  static void Send(httplib::Response& res, Reply r) {
    res.status = r.status;
    res.set_header("Cache-Control", "no-store");
    for (const auto& [name, value] : r.headers) res.set_header(name.c_str(), value);
    if (r.close) {
      if (auto* c = Connection::Current()) c->CloseAfterReply();
      res.set_header("Connection", "close");
    }
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

  // A failure (a full disk, a broken database) of a program's post answers with status 200: the
  // program stops the run with the reason, where an HTTP error would make it send again forever.
  template <class F>
  Reply Guard(F&& f, int failureStatus) {
    try {
      return f();
    } catch (const ServerBusy&) {
      return Busy();
    } catch (const StoreUnavailable& e) {
      // The database is away for a while (restarting): the program waits and sends again.
      fprintf(stderr, "quilo-server: %s\n", e.what());
      return Busy();
    } catch (const StoreError& e) {
      fprintf(stderr, "quilo-server: %s\n", e.what());
      // A full or broken disk will not heal by itself: the program stops with the reason instead of
      // waiting and sending the same request again for ever.
      const std::string what = e.what();
      for (const char* lasting : {"full", "disk I/O", "readonly"})
        if (what.find(lasting) != std::string::npos) return Error("the server cannot store data now (" + std::string(lasting) + ")");
      return Closing(Text("ERROR: server failure\r\n", failureStatus));
    } catch (const std::exception& e) {
      fprintf(stderr, "quilo-server: %s\n", e.what());
      return Closing(Text("ERROR: server failure: " + std::string(e.what()).substr(0, 200) + "\r\n", failureStatus));
    }
  }

  // ---- POST ---------------------------------------------------------------------------------

  enum class BodyRead { Whole, TooLarge, Broken };

  // Reads a whole body of at most `limit` bytes; one that ends before its length or whose framing
  // breaks is Broken, whatever part of it httplib handed over.
  BodyRead ReadBody(const httplib::Request& req, const httplib::ContentReader& reader, size_t limit,
                    std::string& body) {
    if (req.has_header("Content-Length") && req.get_header_value<uint64_t>("Content-Length") > limit)
      return BodyRead::TooLarge;
    bool tooBig = false;
    bool ok = reader([&](const char* d, size_t n) {
      if (body.size() + n > limit) {
        tooBig = true;
        return false;
      }
      body.append(d, n);
      return true;
    });
    if (tooBig) return BodyRead::TooLarge;
    auto* conn = Connection::Current();
    return ok && (!conn || conn->BodyComplete()) ? BodyRead::Whole : BodyRead::Broken;
  }

  // A slot for a large body, so that many large bodies at once cannot take all memory and workers.
  // Only a request whose login passed may take one.
  struct Slot {
    Impl* impl = nullptr;
    ~Slot() {
      if (!impl) return;
      {
        std::lock_guard lock(impl->slotMutex);
        --impl->largeBodies;
      }
      impl->slotFree.notify_one();
    }
  };
  bool TakeSlot(Slot& slot) {
    std::unique_lock lock(slotMutex);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(opt.limits.gapSeconds);
    while (largeBodies >= opt.maxLargeBodies) {
      if (svr.stopping() || std::chrono::steady_clock::now() >= until) return false;
      slotFree.wait_for(lock, std::chrono::milliseconds(100));
    }
    ++largeBodies;
    slot.impl = this;
    return true;
  }
  static bool Large(const httplib::Request& req) {
    return !req.has_header("Content-Length") || req.get_header_value<uint64_t>("Content-Length") > kLargeBody;
  }

  // The ways the login of a form may have been written: the upload sends it escaped or as typed.
  static std::vector<std::pair<std::string, std::string>> LoginPairs(const std::string& rawId, const std::string& rawPw,
                                                                     bool upload) {
    if (!upload) {
      auto id = DecodePercentUtf8(rawId), pw = DecodePercentUtf8(rawPw);
      if (!id || !pw) return {};
      return {{*id, *pw}};
    }
    auto id = DecodeUploadEscape(rawId), pw = DecodeUploadEscape(rawPw);
    return {{id.value_or(rawId), pw.value_or(rawPw)}, {rawId, rawPw}};
  }

  // The login fields lead every form of the program. Once the fields before the first other one
  // have arrived, the login is settled from them: nothing more of the body is read before that.
  // Returns the raw id and pw, or nothing while they may still be arriving.
  static std::optional<std::pair<std::string, std::string>> LeadingLogin(std::string_view body, bool whole) {
    std::string id, pw;
    size_t at = 0;
    for (;;) {
      size_t amp = body.find('&', at);
      if (amp == std::string_view::npos && !whole) return std::nullopt;
      std::string_view field = body.substr(at, amp == std::string_view::npos ? std::string_view::npos : amp - at);
      std::string_view name = field.substr(0, field.find('='));
      std::string_view value = name.size() < field.size() ? field.substr(name.size() + 1) : std::string_view();
      if (name == "id") id = value;
      else if (name == "pw") pw = value;
      else return std::make_pair(id, pw);
      if (amp == std::string_view::npos) return std::make_pair(id, pw);
      at = amp + 1;
    }
  }

  Reply Post(const httplib::Request& req, const httplib::ContentReader& reader) {
    std::string path = ToLowerAscii(req.path);
    if (path == "/asp/vx__use_fileup.asp") return FileUp(req, reader);
    if (path == "/login") return PageLogin(req, reader);
    if (path == "/logout") return PageLogout(req, reader);

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
    if (route == routes.end()) return Closing(Text("ERROR: no such path\r\n", 404));
    bool upload = route->second.first;
    Reply wrongLogin = upload ? Error(kLoginFailed) : Text(kWrongLogin);
    if (req.is_multipart_form_data()) return Closing(Error("form body expected, not multipart"));
    if (req.has_header("Content-Length") && req.get_header_value<uint64_t>("Content-Length") > opt.maxFormBytes)
      return Closing(Error("request too large"));

    // A few KB hold the login of any form; a body that has not settled it by then has none.
    constexpr size_t kLoginBytes = 16 * 1024;
    enum class Login { Pending, Passed, Wrong, Busy, NoSlot } login = Login::Pending;
    Slot slot;
    std::string body;
    bool tooBig = false;
    bool ok = reader([&](const char* d, size_t n) {
      if (body.size() + n > opt.maxFormBytes) {
        tooBig = true;
        return false;
      }
      body.append(d, n);
      if (login != Login::Pending) return true;
      auto raw = LeadingLogin(body, false);
      if (!raw && body.size() <= kLoginBytes) return true;
      try {
        login = raw && Attempt(req.remote_addr, LoginPairs(raw->first, raw->second, upload)) ? Login::Passed
                                                                                          : Login::Wrong;
      } catch (const ServerBusy&) {
        login = Login::Busy;
      }
      if (login == Login::Passed && Large(req) && !TakeSlot(slot)) login = Login::NoSlot;
      return login == Login::Passed;
    });
    if (login == Login::Wrong) return Closing(wrongLogin);
    if (login == Login::Busy || login == Login::NoSlot) return Busy();
    if (tooBig) return Closing(Error("request too large"));
    auto* conn = Connection::Current();
    // httplib hands over what arrived when a body ends early (a cut connection, a broken chunk);
    // half a record must never look like a whole one.
    if (!ok || (conn && !conn->BodyComplete()))
      return Closing(Error("the request body ended before its announced length"));

    auto raw = SplitFormBody(body);
    if (!raw) return upload ? Error("malformed form body") : Text(kWrongLogin);
    FormFields fields;
    for (const auto& [name, value] : *raw) {
      auto v = upload ? DecodeUploadEscape(value) : DecodePercentUtf8(value);
      // The login of an upload may arrive unescaped; a "%" in a password is then no escape at all.
      if (!v && upload && (name == "id" || name == "pw")) v = value;
      if (!v) return upload ? Error("wrong escaping in field " + name.substr(0, 40)) : Text(kWrongLogin);
      // No database text holds a NUL; the program's text never has one.
      if (upload && v->find('\0') != std::string::npos) return Error("a NUL character in field " + name.substr(0, 40));
      fields.emplace_back(name, std::move(*v));
    }
    if (upload) {
      // The upload sends the login as the operator typed it; it may also arrive escaped.
      fields.emplace_back("\x01raw-id", FieldValue(*raw, "id"));
      fields.emplace_back("\x01raw-pw", FieldValue(*raw, "pw"));
    }
    fields.emplace_back("\x01" "address", req.remote_addr);
    return (this->*(route->second.second))(fields);
  }

  // Waits until `until` in short steps, so that a stopping server is not held up.
  void Pause(std::chrono::steady_clock::time_point until) {
    while (std::chrono::steady_clock::now() < until && !svr.stopping())
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  // One login attempt of a client, in the ways it may have been written. A password verified before
  // passes at once, whatever others send under the same ID. Any other is checked in its turn (the
  // checks together keep within a share of a core); a wrong one whose ID or address failed too often
  // is answered only after its hold. Held attempts keep one of a few places; with none free, the
  // attempt is checked all the same and a wrong one answered "busy" at once. With no turn soon it is
  // answered "busy" unchecked, which tells nothing about the password.
  std::optional<Staff> Attempt(const std::string& address,
                               const std::vector<std::pair<std::string, std::string>>& pairs) {
    if (pairs.empty()) return std::nullopt;
    for (const auto& [id, pw] : pairs)
      if (auto s = store.KnownStaff(id, pw)) return s;
    auto from = std::chrono::steady_clock::now();
    bool addressFailed = false;
    auto hold = throttle.Hold(address, pairs.front().first, &addressFailed);
    const bool held = hold.count() > 0 && throttle.Enter();
    struct Place {
      LoginThrottle* throttle;
      ~Place() {
        if (throttle) throttle->Leave();
      }
    } place{held ? &throttle : nullptr};
    auto turn = throttle.CheckTurn(addressFailed);
    if (!turn) throw ServerBusy();
    Pause(*turn);
    std::optional<Staff> s;
    auto started = std::chrono::steady_clock::now();
    for (size_t i = 0; i < pairs.size() && !s; ++i)
      if (i == 0 || pairs[i] != pairs[0]) s = store.CheckStaff(pairs[i].first, pairs[i].second);
    throttle.Checked(std::chrono::steady_clock::now() - started);
    if (!s) {
      throttle.Failed(address, pairs.front().first);
      if (hold.count() > 0 && !held) throw ServerBusy();
      Pause(from + hold);
    }
    if (auto* conn = Connection::Current()) conn->Excuse(std::chrono::steady_clock::now() - from);
    return s;
  }

  std::optional<Staff> Login(const FormFields& f) {
    return Attempt(FieldValue(f, "\x01" "address"), {{FieldValue(f, "id"), FieldValue(f, "pw")}});
  }

  std::optional<Staff> UploadLogin(const FormFields& f) {
    return Attempt(FieldValue(f, "\x01" "address"), {{FieldValue(f, "id"), FieldValue(f, "pw")},
                                                  {FieldValue(f, "\x01raw-id"), FieldValue(f, "\x01raw-pw")}});
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
    store.TouchRun(run->id);
    return run;
  }

  Reply InsertStart(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error(kLoginFailed);
    std::string reason;
    auto p = UploadProduct(*s, f, reason);
    if (!p) return Error(reason);
    Run busy;
    auto run = store.StartRun(p->id, s->id, &busy, opt.activeRunMinutes);
    // Two staff members on one product would mix their records; the first keeps it while active.
    if (!run)
      return Error("product " + p->id + " is being uploaded by " + busy.staffName + " (" + busy.staffId +
                   "), last request " + busy.touchedAt + "; try again when that upload is completed or " +
                   std::to_string(opt.activeRunMinutes) + " minutes after its last request");
    return Text(run->mode + "\r\n");
  }

  std::shared_ptr<const MetaLayout> LayoutOf(int64_t runId) {
    {
      std::lock_guard lock(layoutMutex);
      auto it = layouts.find(runId);
      if (it != layouts.end()) return it->second;
    }
    auto layout = std::make_shared<const MetaLayout>(Layout(store.MetaColumns()));
    std::lock_guard lock(layoutMutex);
    // Runs start far more rarely than records arrive; the oldest runs are done long ago.
    while (layouts.size() >= 64) layouts.erase(layouts.begin());
    return layouts.emplace(runId, layout).first->second;
  }

  Reply InsertProduct(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error(kLoginFailed);
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
    r.title = FieldValue(f, "content_detail");
    r.html = FieldValue(f, "page_detail");
    r.coremeta = FieldValue(f, "coremeta");
    r.exmeta = FieldValue(f, "exmeta");
    r.exaddmeta = FieldValue(f, "exaddmeta");
    r.imgmeta = FieldValue(f, "imgmeta");

    auto run = RunOf(*s, p->id, reason);
    if (!run) return Error(reason);
    const MetaLayout& layout = *LayoutOf(run->id);
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
    store.AddRecord(run->id, r);
    return Text("OK\r\n");
  }

  Reply InsertTabLink(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error(kLoginFailed);
    std::string record = FieldValue(f, "tabLink");
    // A linked tab none of whose articles is connected: nothing to link. Its earlier links go when
    // the run that sent the tab's records completes.
    if (record.empty()) return Text("OK\r\n");
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
    if (!s) return Error(kLoginFailed);
    std::string arid = FieldValue(f, "arid");
    int64_t page;
    if (!IsSafeId(arid)) return Error("arid is missing or not an ID");
    if (!ParseInt(FieldValue(f, "pageNumber"), page)) return Error("pageNumber is not a number");
    std::string images = FieldValue(f, "wImage");
    for (const auto& item : images.empty() ? std::vector<std::string>{} : SplitBy(images, '|')) {
      auto slash = item.rfind('/');
      std::string folder = slash == std::string::npos ? "" : item.substr(0, slash);
      std::string name = slash == std::string::npos ? item : item.substr(slash + 1);
      if (!SafeComponent(name) || (!folder.empty() && !SafeFolder(folder)))
        return Error("wImage holds a path that is not allowed: " + item.substr(0, 60));
    }
    // The program names no product here: the record belongs to the staff member's open run, and its
    // tab must be one of that run's product (a client that does name the product is held to it).
    std::optional<Run> run;
    std::string reason;
    if (HasField(f, "p_id")) {
      auto p = UploadProduct(*s, f, reason);
      if (!p) return Error(reason);
      run = RunOf(*s, p->id, reason);
      if (!run) return Error(reason);
    } else {
      run = store.OpenRunOfStaff(s->id);
      if (!run) return Error("no upload started (vx__InsertProductStart.asp first)");
    }
    auto product = store.FindProduct(run->productId);
    auto tabIds = SplitBy(product ? product->tabIds : "", ',');
    for (auto& t : tabIds) t = Trim(t);
    if (std::find(tabIds.begin(), tabIds.end(), arid) == tabIds.end())
      return Error("product " + run->productId + " has no tab " + arid);
    store.TouchRun(run->id);
    // A range of pages with no scan in it: nothing to link.
    if (!images.empty()) store.AddImageLink(run->id, arid, page, images);
    return Text("OK\r\n");
  }

  Reply InsertComplete(const FormFields& f) {
    auto s = UploadLogin(f);
    if (!s) return Error(kLoginFailed);
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

  // The target of a file part, settled before a byte of the file is read: the login (the program
  // sends it first), the product, the folder, the name and the open run.
  struct FileTarget {
    std::optional<Staff> staff;
    std::string productId, folder, name;
    int64_t runId = 0;
  };
  std::string CheckFileTarget(const std::string& address, const std::vector<httplib::MultipartFormData>& parts,
                              const std::string& filename, FileTarget& t) {
    auto text = [&](const std::string& name) {
      for (const auto& p : parts)
        if (p.name == name) return p.content;
      return std::string();
    };
    std::vector<std::pair<std::string, std::string>> logins = {{text("id"), text("pw")}};
    auto id = DecodeUploadEscape(text("id")), pw = DecodeUploadEscape(text("pw"));
    if (id && pw) logins.emplace_back(*id, *pw);
    t.staff = Attempt(address, logins);
    if (!t.staff) return kLoginFailed;
    t.productId = text("pID");
    auto p = IsSafeId(t.productId) ? store.FindProduct(t.productId) : std::nullopt;
    if (!p) return "unknown product (pID)";
    auto folder = SafeFolder(text("imageFolder"));
    if (!folder) return "imageFolder is not allowed: " + text("imageFolder").substr(0, 60);
    t.folder = *folder;
    if (filename.empty()) return "no file part";
    // Some clients send the name with the folder they read it from.
    if (!SafeComponent(filename)) return "file name is not allowed: " + filename.substr(0, 60);
    t.name = filename;
    std::string reason;
    auto run = RunOf(*t.staff, p->id, reason);
    if (!run) return reason;
    t.runId = run->id;
    return "";
  }

  // The body is streamed: text parts are kept, the file part goes to a piece under tmp/ once its
  // target is settled, and only then may a large body take a slot. A wrong login ends the reading
  // there; after any other refusal the rest of the body is read and dropped, so that the program
  // gets the reply instead of a broken connection that it would retry.
  Reply FileUp(const httplib::Request& req, const httplib::ContentReader& reader) {
    if (!req.is_multipart_form_data()) return Closing(Error("multipart/form-data expected"));
    const uint64_t limit = FileBodyLimit();
    if (req.has_header("Content-Length") && req.get_header_value<uint64_t>("Content-Length") > limit)
      return Closing(Error("file too large"));
    std::vector<httplib::MultipartFormData> parts;
    std::unique_ptr<TempFile> file;
    FileTarget target;
    Slot slot;
    std::string failure;
    bool inFile = false, wrongLogin = false, busy = false;
    size_t textBytes = 0;
    uint64_t total = 0;
    auto fail = [&](const std::string& why) {
      if (failure.empty()) failure = why;
      file.reset();
      inFile = false;
      return true;
    };
    bool ok = reader(
        [&](const httplib::MultipartFormData& h) {
          inFile = false;
          if (!failure.empty()) return true;
          if (parts.size() >= 16) return fail("too many parts");
          if (h.filename.empty() && h.name != "file") {
            parts.push_back(h);
            return true;
          }
          if (file || h.name != "file") return fail("more than one file part");
          std::string why;
          try {
            why = CheckFileTarget(req.remote_addr, parts, h.filename, target);
          } catch (const ServerBusy&) {
            busy = true;
            return false;
          }
          if (why == kLoginFailed) {
            wrongLogin = true;
            return false;
          }
          if (!why.empty()) return fail(why);
          if (Large(req) && !TakeSlot(slot)) {
            busy = true;
            return false;
          }
          file = std::make_unique<TempFile>(tmpRoot);
          if (!file->ok()) return fail("the file could not be stored");
          inFile = true;
          return true;
        },
        [&](const char* d, size_t n) {
          total += n;
          if (total > limit) return false;  // a chunked body without end: stop reading
          if (!failure.empty()) return true;
          if (inFile) {
            if (file->size() + n > opt.maxFileBytes) return fail("file too large");
            return file->Write(d, n) || fail("the file could not be stored");
          }
          if (parts.empty()) return fail("broken multipart body");
          textBytes += n;
          if (parts.back().content.size() + n > 64 * 1024 || textBytes > kFileFieldBytes)
            return fail("form field too large");
          parts.back().content.append(d, n);
          return true;
        });
    if (wrongLogin) return Closing(Error(kLoginFailed));
    if (busy) return Busy();
    auto* conn = Connection::Current();
    if (!ok || (conn && !conn->BodyComplete()))
      return Closing(Error(failure.empty() || total > limit ? "broken multipart body" : failure));
    if (!failure.empty()) return Error(failure);
    if (!file) {
      // No file part: the same answers as before the body was streamed.
      std::string why = CheckFileTarget(req.remote_addr, parts, "", target);
      return Error(why);
    }

    fs::path dir = filesRoot / target.productId / fs::path(target.folder);
    fs::path path = dir / fs::path(target.name);
    bool placed = false;
    fs::path kept;  // the file it replaces, linked aside until the row holds
    std::error_code ec;
    try {
      if (!file->Finish()) return Error("the file could not be stored");
      fs::create_directories(dir);
      if (fs::is_directory(fs::symlink_status(path))) return Error("a folder of that name exists: " + target.name);
      // The row and the file go in together: the row commits only once the file is in place, and
      // the previous file comes back when it does not.
      store.AddFile(target.runId, target.productId, target.folder, target.name, static_cast<int64_t>(file->size()),
                    [&] {
                      if (fs::exists(fs::symlink_status(path))) {
                        kept = tmpRoot / ("kept-" + RandomSuffix());
                        fs::create_hard_link(path, kept);
                      }
                      fs::rename(file->path(), path);
                      file->Placed();
                      placed = true;
                    });
    } catch (const std::exception& e) {
      if (placed && !kept.empty())
        fs::rename(kept, path, ec);
      else if (placed)
        fs::remove(path, ec);
      else if (!kept.empty())
        fs::remove(kept, ec);
      // The database away for a while is a busy server (503): the program sends the file again.
      if (dynamic_cast<const StoreUnavailable*>(&e)) throw;
      fprintf(stderr, "quilo-server: %s\n", e.what());
      return Error("the file could not be stored");
    }
    if (!kept.empty()) fs::remove(kept, ec);
    return Text("OK");
  }

  // ---- Pages and their login -------------------------------------------------------------------

  // The staff member looking at the pages: by session cookie, or HTTP Basic for scripts.
  std::optional<std::string> PageStaff(const httplib::Request& req) {
    if (auto id = sessions.Find(CookieValue(req.get_header_value("Cookie"), kSessionCookie))) return id;
    if (auto basic = ParseBasicAuth(req.get_header_value("Authorization")))
      if (auto s = Attempt(req.remote_addr, {*basic})) return s->id;
    return std::nullopt;
  }

  static Reply SeeOther(const std::string& where, const std::string& cookie) {
    Reply r{303, "", kHtml};
    r.headers.emplace("Location", where);
    r.headers.emplace("Set-Cookie", cookie);
    return r;
  }

  Reply PageLogin(const httplib::Request& req, const httplib::ContentReader& reader) {
    std::string body;
    if (ReadBody(req, reader, 8192, body) != BodyRead::Whole) return Closing({400, LoginPage(""), kHtml});
    // A browser form: "+" is a space here, unlike in the program's requests.
    std::replace(body.begin(), body.end(), '+', ' ');
    auto raw = SplitFormBody(body);
    std::optional<std::string> id, pw;
    if (raw) {
      id = DecodePercentUtf8(FieldValue(*raw, "id"));
      pw = DecodePercentUtf8(FieldValue(*raw, "pw"));
    }
    std::optional<Staff> s;
    if (id && pw) s = Attempt(req.remote_addr, {{*id, *pw}});
    if (!s) return {401, LoginPage(kLoginFailed), kHtml};
    return SeeOther("/", std::string(kSessionCookie) + "=" + sessions.Create(s->id) +
                             "; Path=/; HttpOnly; SameSite=Strict");
  }

  Reply PageLogout(const httplib::Request& req, const httplib::ContentReader& reader) {
    std::string body;
    if (ReadBody(req, reader, 8192, body) != BodyRead::Whole) return Closing({400, LoginPage(""), kHtml});
    sessions.Drop(CookieValue(req.get_header_value("Cookie"), kSessionCookie));
    return SeeOther("/login", std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict");
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
    if (lower == "/help/help.htm") return {200, HelpPage(), kHtml};
    if (path == "/login") return {200, LoginPage(""), kHtml};
    // Everything uploaded is for staff eyes only; the program's own paths above stay open.
    bool page = path == "/" || path == "/index.html" || path.rfind("/runs/", 0) == 0 ||
                path.rfind("/records/", 0) == 0 || path.rfind("/files/", 0) == 0;
    if (!page) return Text("ERROR: no such path\r\n", 404);
    if (!PageStaff(req)) return {401, LoginPage(""), kHtml};
    if (path == "/" || path == "/index.html") return {200, OverviewPage(store), kHtml};
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
  int bound = port == 0 ? impl_->svr.bind_to_any_port(host) : impl_->svr.bind_to_port(host, port) ? port : -1;
  if (bound > 0) impl_->svr.WidenBacklog();
  return bound;
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
