// The server binary as a hostile client meets it: cut bodies, failing uploads, logins for the pages,
// slow clients and two staff members on one product. Each test runs quilo-server as a child process.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <sstream>
#include <thread>

#include "Codec.h"
#include "Readback.h"
#include "Seed.h"
#include "Store.h"
#include "TestDb.h"

namespace fs = std::filesystem;
using namespace qs;
using Clock = std::chrono::steady_clock;

namespace {

double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A raw loopback connection, for requests no well-behaved client sends.
class Raw {
 public:
  explicit Raw(int port, const char* from = nullptr) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (from) {
      sockaddr_in a{};
      a.sin_family = AF_INET;
      inet_pton(AF_INET, from, &a.sin_addr);
      ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~Raw() { ::close(fd_); }
  Raw(const Raw&) = delete;
  Raw& operator=(const Raw&) = delete;

  bool connected() const { return connected_; }
  bool Send(const std::string& s) {
    for (size_t off = 0; off < s.size();) {
      ssize_t n = ::send(fd_, s.data() + off, s.size() - off, MSG_NOSIGNAL);
      if (n <= 0) return false;
      off += static_cast<size_t>(n);
    }
    return true;
  }
  void EndSending() { ::shutdown(fd_, SHUT_WR); }
  // What the server sends until it closes the connection (or `ms` pass); `closed` tells which.
  std::string Receive(int ms, bool* closed = nullptr) {
    std::string out;
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    if (closed) *closed = false;
    while (Clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      if (::poll(&p, 1, std::max(left, 1)) <= 0) continue;
      char buf[65536];
      ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) {
        if (closed) *closed = true;
        break;
      }
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

std::string BodyOf(const std::string& reply) {
  auto at = reply.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

const char* kForm = "application/x-www-form-urlencoded";

std::string FormRequest(const std::string& path, const std::string& body, const std::string& headers = "") {
  return "POST " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: " + kForm + "\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// One request on a connection of its own (from `from`, when given): what came back within `ms`.
std::string Exchange(int port, const std::string& request, const char* from = nullptr, int ms = 30000) {
  Raw raw(port, from);
  raw.Send(request);
  return raw.Receive(ms);
}

// CPU seconds the process has used so far.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string skip;
  for (int i = 3; i < 14; ++i) fields >> skip;  // state ... cmajflt
  double user = 0, sys = 0;
  fields >> user >> sys;
  return (user + sys) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// quilo-server started on a free port over a prepared data folder; stopped with SIGTERM.
class ChildServer {
 public:
  // `inChild` runs in the child before the server starts (limits, environment).
  ChildServer(const fs::path& data, const std::vector<std::string>& extra, const std::function<void()>& inChild) {
    int out[2];
    if (::pipe(out) != 0) return;
    std::vector<std::string> args = {QUILO_SERVER_BIN, "--data", data.string(), "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = ::fork();
    if (pid_ == 0) {
      if (inChild) inChild();
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
    std::string text;
    auto end = Clock::now() + std::chrono::seconds(30);
    const std::string mark = "listening on http://127.0.0.1:";
    while (Clock::now() < end && text.find('\n', text.find(mark) == std::string::npos ? text.size() : text.find(mark)) ==
                                     std::string::npos) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 200) <= 0) continue;
      char buf[512];
      ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) break;
      text.append(buf, static_cast<size_t>(n));
    }
    auto at = text.find(mark);
    if (at != std::string::npos) port_ = std::atoi(text.c_str() + at + mark.size());
  }
  ~ChildServer() { Stop(); }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  // Exit status of the server (0 after a clean stop); -1 when it had to be killed.
  int Stop() {
    if (pid_ <= 0) return status_;
    ::kill(pid_, SIGTERM);
    int st = 0;
    for (int i = 0; i < 300 && ::waitpid(pid_, &st, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (::waitpid(pid_, &st, WNOHANG) == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &st, 0);
      status_ = -1;
    } else {
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    pid_ = -1;
    ::close(out_);
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int port_ = 0;
  int status_ = -1;
};

const std::string kLogin = "id=demo&pw=demo&p_id=9001&p_dcode=DEMO01";

class HardeningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quilo-hardening-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // Cheaper password checks, here and in the child: a burst of logins is then checked in turn within
    // the server's queue on a slow machine too.
    ::setenv("QUILO_SERVER_PBKDF2_ITERATIONS", "10000", 1);
    {
      db_ = TestDatabase(dir_);
      Store store(db_);
      LoadSeed(store, std::string(QUILO_SOURCE_DIR) + "/examples/demo/server");
      store.SetStaff("kim", "김 작업자", "2", "kimpw");
      store.Assign("kim", "9001");
    }
  }
  void TearDown() override {
    if (server_) {
      EXPECT_EQ(server_->Stop(), 0) << "the server did not stop cleanly";
    }
    server_.reset();
    fs::remove_all(dir_);
  }
  std::vector<std::string> Args(std::vector<std::string> extra) const {
    if (TestOnPostgres()) extra.insert(extra.end(), {"--db", db_});
    return extra;
  }
  void Serve(const std::vector<std::string>& extra = {}, const std::function<void()>& inChild = {}) {
    server_ = std::make_unique<ChildServer>(dir_, Args(extra), inChild);
    ASSERT_GT(server_->port(), 0) << "the server did not start";
  }
  int port() const { return server_->port(); }
  std::unique_ptr<httplib::Client> Client() {
    auto c = std::make_unique<httplib::Client>("127.0.0.1", port());
    c->set_read_timeout(60, 0);
    return c;
  }
  std::string Post(const std::string& path, const std::string& body) {
    auto r = Client()->Post(path.c_str(), body, kForm);
    EXPECT_TRUE(r) << path;
    if (!r) return "";
    EXPECT_EQ(r->status, 200) << path << " " << r->body;
    return r->body;
  }
  std::string StartAs(const std::string& id, const std::string& pw, int at = 0) {
    return PostTo(at ? at : port(), "/ASP/vx__InsertProductStart.asp",
                  "id=" + id + "&pw=" + pw + "&p_id=9001&p_dcode=DEMO01");
  }
  std::string PostTo(int at, const std::string& path, const std::string& body) {
    httplib::Client c("127.0.0.1", at);
    c.set_read_timeout(60, 0);
    auto r = c.Post(path.c_str(), body, kForm);
    EXPECT_TRUE(r) << path;
    return r ? r->body : "";
  }
  httplib::Result File(const std::string& folder, const std::string& name, const std::string& content,
                       const std::string& pw = "demo") {
    httplib::MultipartFormDataItems items = {{"id", "demo", "", ""},
                                             {"pw", pw, "", ""},
                                             {"pID", "9001", "", ""},
                                             {"imageFolder", folder, "", ""},
                                             {"file", content, name, "multipart/form-data"}};
    return Client()->Post("/ASP/vx__use_fileup.asp", items);
  }
  // What the server's database holds now, read beside the running server.
  int64_t Records() { return Store(db_).CountRecords("9001"); }
  std::vector<FileRow> Files() {
    Store store(db_);
    auto last = store.LastRun("9001");
    return last ? store.RunFiles(last->run.id) : std::vector<FileRow>{};
  }
  std::vector<std::string> Tree(const fs::path& root) {
    std::vector<std::string> out;
    if (!fs::exists(root)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path dir_;
  std::string db_;  // the test's database: a SQLite file in dir_ or a PostgreSQL schema
  std::unique_ptr<ChildServer> server_;
};

TEST_F(HardeningTest, BodiesThatEndEarlyAreRefusedAndTheResendIsStoredWhole) {
  Serve();
  ASSERT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  std::string html(100003, 'h');
  std::string body = kLogin + "&ar_id=101&content_number=2&page_number=1&content_detail=" +
                     EncodeUploadEscape("ARTICLE 1") + "&page_detail=" + html;
  std::string head = "POST /ASP/vx__InsertProduct.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " +
                     std::string(kForm) + "\r\n";
  std::string sized = head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  std::string chunked = head + "Transfer-Encoding: chunked\r\n\r\n";
  auto chunk = [](const std::string& s) {
    char size[32];
    snprintf(size, sizeof size, "%zx\r\n", s.size());
    return size + s + "\r\n";
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  // A piece that would make a record on its own: the body cut inside the title.
  std::string title = body.substr(0, body.find("ARTICLE") + 7), rest = body.substr(title.size());
  std::vector<Case> cases = {
      {"cut in the middle of the article", sized + body.substr(0, body.size() / 2)},
      {"cut inside the title", sized + title},
      {"chunk shorter than announced", chunked + chunk(title) + "2000\r\n" + rest.substr(0, 100)},
      {"chunk size that is no number", chunked + chunk(title) + "zz\r\n" + rest + "\r\n0\r\n\r\n"},
      {"chunk without its line end", chunked + chunk(title).substr(0, chunk(title).size() - 2) + "XX" + chunk(rest) +
                                         "0\r\n\r\n"},
      {"no last chunk", chunked + chunk(title) + chunk(rest)},
  };
  for (const auto& c : cases) {
    Raw raw(port());
    ASSERT_TRUE(raw.connected());
    raw.Send(c.bytes);
    raw.EndSending();
    std::string reply = raw.Receive(30000);
    EXPECT_EQ(BodyOf(reply).find("OK"), std::string::npos) << c.what << ": " << reply;
    EXPECT_EQ(Records(), 0) << c.what;
  }
  // The same record sent whole, as the program resends it, is stored as it was sent.
  EXPECT_EQ(Post("/ASP/vx__InsertProduct.asp", body), "OK\r\n");
  Store store(db_);
  auto rows = store.RunRecords(store.LastRun("9001")->run.id, 10);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].title, "ARTICLE 1");
  EXPECT_TRUE(rows[0].header);  // the first record of its tab in the run
  EXPECT_EQ(store.Record(rows[0].id)->html.size(), html.size());
}

TEST_F(HardeningTest, FailedFileUploadsLeaveNoRowNoFileAndAnswerInA200Reply) {
  Serve({"--max-file-mb", "1"});
  ASSERT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  ASSERT_EQ(File("img/sub", "a.jpg", "jpeg")->body, "OK");
  struct Case {
    const char* what;
    std::string folder, name, content, pw;
    std::string reply;  // the start of the expected reply
  };
  std::vector<Case> cases = {
      {"a name that is a folder", "img/", "sub", "jpeg", "demo", "ERROR: "},
      {"a folder below a stored file", "img/sub/a.jpg", "b.jpg", "jpeg", "demo", "ERROR: "},
      {"a file over the limit", "img/", "big.jpg", std::string(3 << 20, 'x'), "demo", "ERROR: file too large"},
      // The login is checked before the file is taken: a wrong password is told, not the size.
      {"a wrong password with a large file", "img/", "big.jpg", std::string(900 << 10, 'x'), "wrong",
       "ERROR: 아이디나 비밀번호가 맞지 않습니다."},
  };
  for (const auto& c : cases) {
    auto r = File(c.folder, c.name, c.content, c.pw);
    ASSERT_TRUE(r) << c.what;
    EXPECT_EQ(r->status, 200) << c.what;
    EXPECT_EQ(r->body.rfind(c.reply, 0), 0u) << c.what << ": " << r->body;
  }
  auto rows = Files();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].folder + "/" + rows[0].name, "img/sub/a.jpg");
  EXPECT_EQ(Tree(dir_ / "files"), std::vector<std::string>{"9001/img/sub/a.jpg"});
  EXPECT_TRUE(Tree(dir_ / "tmp").empty());
}

TEST_F(HardeningTest, UploadPiecesLiveOutsideTheServedTreeAndOnlyTheyAreClearedAtStart) {
  fs::create_directories(dir_ / "tmp");
  fs::create_directories(dir_ / "files/9001/img");
  std::ofstream(dir_ / "tmp/upload-0123456789abcdef") << "left by a crash";
  std::ofstream(dir_ / "tmp/upload-fedcba9876543210") << "left by a crash two days ago";
  fs::last_write_time(dir_ / "tmp/upload-fedcba9876543210", fs::file_time_type::clock::now() - std::chrono::hours(48));
  std::ofstream(dir_ / "files/9001/img/.upload-0123456789abcdef") << "left by an older version";
  Serve();
  // Beside other server processes on one database a fresh piece may be another's upload in progress.
  if (TestOnPostgres())
    EXPECT_EQ(Tree(dir_ / "tmp"), std::vector<std::string>{"upload-0123456789abcdef"});
  else
    EXPECT_TRUE(Tree(dir_ / "tmp").empty());
  // Temporaries live in DIR/tmp alone: a stored file whose name looks like one is the operator's.
  EXPECT_EQ(Tree(dir_ / "files").size(), 1u);
  EXPECT_TRUE(fs::exists(dir_ / "files/9001/img/.upload-0123456789abcdef"));
  auto c = Client();
  c->set_basic_auth("demo", "demo");
  for (const char* path : {"/files/../tmp/upload-0123456789abcdef", "/tmp/upload-0123456789abcdef"})
    EXPECT_EQ(c->Get(path)->status, 404) << path;
}

TEST_F(HardeningTest, PagesNeedAStaffLoginAndTheDataIsTheOwnersOnly) {
  Serve();
  ASSERT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  ASSERT_EQ(File("img/", "a.jpg", "jpeg bytes")->body, "OK");
  ASSERT_EQ(Post("/ASP/vx__InsertProduct.asp", kLogin + "&ar_id=101&content_number=2&page_number=1&content_detail=" +
                                                   EncodeUploadEscape("비밀 기사") + "&page_detail=secret"),
            "OK\r\n");
  int64_t record = 0, run = 0;
  {
    Store store(db_);
    run = store.LastRun("9001")->run.id;
    record = store.RunRecords(run, 1)[0].id;
  }
  std::vector<std::string> pages = {"/", "/runs/" + std::to_string(run), "/records/" + std::to_string(record),
                                    "/records/" + std::to_string(record) + "/html", "/files/9001/img/a.jpg"};
  auto anon = Client();
  for (const auto& p : pages) {
    auto r = anon->Get(p.c_str());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 401) << p;
    EXPECT_EQ(r->body.find("비밀 기사"), std::string::npos) << p;
    EXPECT_EQ(r->body.find("jpeg bytes"), std::string::npos) << p;
  }
  auto wrong = Client();
  wrong->set_basic_auth("demo", "wrong");
  EXPECT_EQ(wrong->Get("/")->status, 401);
  // Credentials that are no Base64 at all are a wrong login, not a server failure.
  for (const char* value : {"Basic ====", "Basic =", "Basic a===", "Basic !!!!"}) {
    auto odd = Client();
    odd->set_default_headers({{"Authorization", value}});
    EXPECT_EQ(odd->Get("/")->status, 401) << value;
  }
  auto basic = Client();
  basic->set_basic_auth("demo", "demo");
  for (const auto& p : pages) EXPECT_EQ(basic->Get(p.c_str())->status, 200) << p;
  EXPECT_EQ(basic->Get("/files/9001/img/a.jpg")->body, "jpeg bytes");

  // The login form: a wrong password shows the form again, the right one sets a session cookie.
  EXPECT_EQ(anon->Post("/login", "id=demo&pw=nope", kForm)->status, 401);
  auto login = anon->Post("/login", "id=demo&pw=demo", kForm);
  ASSERT_EQ(login->status, 303);
  std::string cookie = login->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  cookie = cookie.substr(0, cookie.find(';'));
  auto overview = anon->Get("/", {{"Cookie", cookie}});
  EXPECT_EQ(overview->status, 200);
  EXPECT_NE(overview->body.find("비밀 기사"), std::string::npos);
  EXPECT_EQ(anon->Get("/", {{"Cookie", cookie + "x"}})->status, 401);
  EXPECT_EQ(anon->Post("/logout", httplib::Headers{{"Cookie", cookie}}, "", kForm)->status, 303);
  EXPECT_EQ(anon->Get("/", {{"Cookie", cookie}})->status, 401);

  // What the program fetches without a login stays open.
  for (const char* open : {"/ASP/ProgramUpdate/VUXVersion.txt", "/help/help.htm"})
    EXPECT_EQ(anon->Get(open)->status, 200) << open;

  auto mode = [](const fs::path& p) { return fs::status(p).permissions() & fs::perms::all; };
  if (!TestOnPostgres()) {
    EXPECT_EQ(mode(dir_ / "quilo.db"), fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_EQ(mode(dir_ / "files"), fs::perms::owner_all);
  EXPECT_EQ(mode(dir_ / "tmp"), fs::perms::owner_all);
  EXPECT_EQ(mode(dir_ / "files/9001/img/a.jpg") & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
}

TEST_F(HardeningTest, RepeatedFailedLoginsAreSlowedWithoutLockingOthersOut) {
  Serve();
  auto staff = [&](const char* from, const std::string& id, const std::string& pw) {
    Raw raw(port(), from);
    std::string body = "id=" + id + "&pw=" + pw;
    raw.Send("POST /ASP/vx__use_staff.asp HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: " +
             std::string(kForm) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    return BodyOf(raw.Receive(60000));
  };
  for (int i = 0; i < 5; ++i) EXPECT_EQ(staff("127.0.0.1", "demo", "wrong"), "오류");
  // The sixth failure within the minute waits a second; the seventh two.
  auto t0 = Clock::now();
  EXPECT_EQ(staff("127.0.0.1", "demo", "wrong"), "오류");
  EXPECT_GE(SecondsSince(t0), 1.0);
  auto seventh = std::async(std::launch::async, [&] { return staff("127.0.0.1", "demo", "wrong"); });
  // Meanwhile another staff member on another address is answered at once...
  auto t1 = Clock::now();
  EXPECT_EQ(staff("127.0.0.2", "kim", "kimpw"), "김 작업자|2");
  EXPECT_LT(SecondsSince(t1), 1.0);
  EXPECT_EQ(seventh.get(), "오류");
  // ...and the right password of the attacked ID still passes, after its wait.
  EXPECT_EQ(staff("127.0.0.2", "demo", "demo"), "데모 작업자|1");
}

TEST_F(HardeningTest, SixtyFourSlowClientsDoNotStallALogin) {
  Serve();
  const std::string form = "POST /ASP/vx__use_staff.asp HTTP/1.1\r\nHost: x\r\nContent-Type: " + std::string(kForm) +
                           "\r\nContent-Length: 1000\r\n\r\nid=demo";
  std::vector<std::unique_ptr<Raw>> slow;
  for (int i = 0; i < 64; ++i) {
    slow.push_back(std::make_unique<Raw>(port()));
    ASSERT_TRUE(slow.back()->connected());
    switch (i % 3) {
      case 0:
        break;  // connected, silent
      case 1:
        slow.back()->Send("POST /ASP/vx__use_staff.asp HTTP/1.1\r\nHost: x\r\n");  // headers never end
        break;
      case 2:
        slow.back()->Send(form);  // a body that stops
        break;
    }
  }
  auto t0 = Clock::now();
  auto c = Client();
  auto r = c->Post("/ASP/vx__use_staff.asp", "id=demo&pw=demo", kForm);
  double took = SecondsSince(t0);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->body, "데모 작업자|1");
  EXPECT_LT(took, 1.0);

  // A client that sends its headers a byte at a time is cut off too, not only a silent one.
  Raw drip(port());
  std::atomic<bool> dripClosed{false};
  std::thread dripper([&] {
    std::string line = "GET / HTTP/1.1\r\nX-Slow: " + std::string(200, 'a');
    for (char ch : line) {
      if (!drip.Send(std::string(1, ch))) break;
      bool closed = false;
      drip.Receive(1000, &closed);
      if (closed) {
        dripClosed = true;
        break;
      }
    }
  });
  // Every one of them is closed by the server's time-outs (a few seconds), well within this bound.
  for (auto& s : slow) {
    bool closed = false;
    s->Receive(30000, &closed);
    EXPECT_TRUE(closed);
  }
  dripper.join();
  EXPECT_TRUE(dripClosed);
}

TEST_F(HardeningTest, AnActiveRunOfAnotherStaffMemberBlocksAStart) {
  Serve();
  EXPECT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  std::string refused = StartAs("kim", "kimpw");
  EXPECT_EQ(refused.rfind("ERROR: ", 0), 0u) << refused;
  EXPECT_NE(refused.find("데모 작업자"), std::string::npos) << refused;
  // The first run goes on undisturbed, and its owner may start over; the new run sends everything
  // again, so what the left run had sent goes with it.
  EXPECT_EQ(Post("/ASP/vx__InsertProduct.asp", kLogin + "&ar_id=101&content_number=1&page_number=1&content_detail=x"),
            "OK\r\n");
  EXPECT_EQ(Records(), 1);
  EXPECT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  EXPECT_EQ(Records(), 0);

  // Half an hour without a request: the run is left behind and the other staff member takes over.
  TestSql(db_, "UPDATE runs SET touched_at = '2000-01-01 00:00:00', started_at = '2000-01-01 00:00:00' WHERE "
               "state = 'open'");
  EXPECT_EQ(StartAs("kim", "kimpw"), "INSERT\r\n");
  std::string late = Post("/ASP/vx__InsertProduct.asp", kLogin + "&ar_id=101&content_number=1&page_number=1&content_detail=x");
  EXPECT_EQ(late.rfind("ERROR: ", 0), 0u) << late;
}

TEST_F(HardeningTest, RequestHeadsAreBoundedAndReadAsSent) {
  Serve();
  auto head = [](int lines) {
    std::string h = "GET /help/help.htm HTTP/1.1\r\nHost: x\r\n";
    for (int i = 2; i <= lines; ++i) h += "X-" + std::to_string(i) + ": a\r\n";
    return h;
  };
  // A hundred header lines are served; the hundred and first is refused.
  EXPECT_EQ(Exchange(port(), head(99) + "Connection: close\r\n\r\n").rfind("HTTP/1.1 200", 0), 0u);
  EXPECT_EQ(Exchange(port(), head(100) + "Connection: close\r\n\r\n", "127.0.0.5").rfind("HTTP/1.1 431", 0), 0u);
  // The address that sent it is closed on at once for a while; others are served.
  EXPECT_EQ(Exchange(port(), head(2) + "Connection: close\r\n\r\n", "127.0.0.5"), "");
  EXPECT_EQ(Exchange(port(), head(2) + "Connection: close\r\n\r\n").rfind("HTTP/1.1 200", 0), 0u);

  // A flood of header lines is cut off within the head limits, not after the time limit.
  {
    Raw flood(port(), "127.0.0.6");
    std::string lines = "GET / HTTP/1.1\r\n";
    while (lines.size() < (1u << 20)) lines += "X: y\r\n";
    auto t0 = Clock::now();
    flood.Send(lines);
    bool closed = false;
    std::string reply = flood.Receive(5000, &closed);
    EXPECT_TRUE(closed);
    EXPECT_LT(SecondsSince(t0), 5.0);
    // The reply may be lost to the reset of a connection whose sender goes on.
    EXPECT_TRUE(reply.empty() || reply.rfind("HTTP/1.1 431", 0) == 0) << reply.substr(0, 80);
  }

  const std::string login = "id=demo&pw=demo";
  struct Case {
    const char* what;
    std::string request;
    std::string start;  // of the whole reply
    std::string body;
  };
  std::vector<Case> cases = {
      // Header values are not percent-decoded: this is no length at all.
      {"a percent-encoded length",
       "POST /ASP/vx__use_staff.asp HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: " + std::string(kForm) +
           "\r\nContent-Length: %31%35\r\n\r\n" + login,
       "HTTP/1.1 400", "ERROR: unclear body length\r\n"},
      {"chunked named in capitals",
       "POST /ASP/vx__use_staff.asp HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: " + std::string(kForm) +
           "\r\nTransfer-Encoding: Chunked\r\n\r\nf\r\n" + login + "\r\n0\r\n\r\n",
       "HTTP/1.1 200", "데모 작업자|1"},
      // What follows a request line that is refused is not run as a request of its own.
      {"lines after a refused request line",
       "BOGUS\r\nGET /ASP/ProgramUpdate/VUXVersion.txt HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 400", ""},
      {"a Basic login that is no Base64", "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\nAuthorization: Basic ====\r\n\r\n",
       "HTTP/1.1 401", ""},
  };
  for (const auto& c : cases) {
    Raw raw(port());
    raw.Send(c.request);
    bool closed = false;
    std::string reply = raw.Receive(10000, &closed);
    EXPECT_EQ(reply.rfind(c.start, 0), 0u) << c.what << ": " << reply.substr(0, 200);
    if (!c.body.empty()) {
      EXPECT_EQ(BodyOf(reply), c.body) << c.what;
    }
    EXPECT_EQ(reply.find("HTTP/1.1", 1), std::string::npos) << c.what << ": a second reply";
    EXPECT_TRUE(closed) << c.what;
  }
}

TEST_F(HardeningTest, ConnectionFloodsNeitherDelayALoginNorPassTheAddressBound) {
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);
  const size_t flood = std::min<size_t>(5000, files.rlim_cur > 1000 ? files.rlim_cur - 1000 : 0);
  if (flood < 1000) GTEST_SKIP() << "too few file descriptors for a flood";
  Serve();
  // Connections that send a request line and nothing more, 200 from each of many addresses.
  std::vector<std::unique_ptr<Raw>> idle;
  for (size_t i = 0; i < flood; ++i) {
    std::string from = "127.0.1." + std::to_string(1 + i / 200);
    idle.push_back(std::make_unique<Raw>(port(), from.c_str()));
    ASSERT_TRUE(idle.back()->connected()) << i;
    idle.back()->Send("GET / HTTP/1.1\r\n");
  }
  auto t0 = Clock::now();
  std::string reply = Exchange(port(), FormRequest("/ASP/vx__use_staff.asp", "id=demo&pw=demo"));
  EXPECT_EQ(BodyOf(reply), "데모 작업자|1");
  EXPECT_LT(SecondsSince(t0), 1.0);
  idle.clear();

  // One address keeps at most 256 connections; those over the bound are told at once.
  std::vector<std::unique_ptr<Raw>> many;
  for (int i = 0; i < 300; ++i) many.push_back(std::make_unique<Raw>(port(), "127.0.2.1"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int refused = 0;
  for (auto& c : many) {
    bool closed = false;
    std::string r = c->Receive(1, &closed);
    if (closed) {
      ++refused;
      EXPECT_EQ(r.rfind("HTTP/1.1 503", 0), 0u) << r;
    }
  }
  EXPECT_EQ(refused, 300 - 256);
}

TEST_F(HardeningTest, BodiesWithoutARightLoginTakeNoSlotAndAreNotRead) {
  Serve();
  ASSERT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  // A wrong login is answered once its fields are in, before the announced 8 MB.
  {
    Raw big(port());
    big.Send("POST /ASP/vx__InsertProduct.asp HTTP/1.1\r\nHost: x\r\nContent-Type: " + std::string(kForm) +
             "\r\nContent-Length: 8000000\r\n\r\nid=demo&pw=wrong&p_id=9001&p_dcode=DEMO01&page_detail=" +
             std::string(100000, 'h'));
    EXPECT_EQ(BodyOf(big.Receive(3000)), "ERROR: 아이디나 비밀번호가 맞지 않습니다.\r\n");
  }
  // Sixteen clients trickle into large bodies whose login has not arrived; the staff member's
  // upload still gets a large-body slot.
  std::vector<std::unique_ptr<Raw>> slow;
  for (int i = 0; i < 16; ++i) {
    slow.push_back(std::make_unique<Raw>(port(), "127.0.0.3"));
    slow.back()->Send("POST /ASP/vx__InsertProduct.asp HTTP/1.1\r\nHost: x\r\nContent-Type: " + std::string(kForm) +
                      "\r\nContent-Length: 10000000\r\n\r\nid=");
  }
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    for (int n = 0; n < 40 && !done; ++n) {
      for (auto& c : slow) c->Send("x");
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  auto r = File("img/", "a.jpg", std::string(200000, 'j'));
  done = true;
  trickle.join();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->body, "OK");
}

TEST_F(HardeningTest, OthersWrongPasswordsNeverSlowOrStopTheOwnersRun) {
  Serve();
  auto wrong = [&] { return FormRequest("/ASP/vx__use_staff.asp", "id=demo&pw=wrong"); };
  // Another address fails under the owner's ID until the ID is slowed to the longest hold, then
  // sends more than the hold places take.
  std::vector<std::future<std::string>> first;
  for (int i = 0; i < 10; ++i)
    first.push_back(std::async(std::launch::async, [&] { return BodyOf(Exchange(port(), wrong(), "127.0.0.2")); }));
  for (auto& f : first) EXPECT_EQ(f.get(), "오류");
  std::vector<std::unique_ptr<Raw>> storm;
  for (int i = 0; i < 40; ++i) {
    storm.push_back(std::make_unique<Raw>(port(), "127.0.0.2"));
    storm.back()->Send(wrong());
  }
  std::this_thread::sleep_for(std::chrono::seconds(3));
  // The owner's first right password, never checked before, passes at once though every hold place is
  // taken; then the records pass at once, one after another.
  auto login = Clock::now();
  ASSERT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  EXPECT_LT(SecondsSince(login), 1.0);
  for (int n = 0; n < 5; ++n) {
    auto t0 = Clock::now();
    EXPECT_EQ(Post("/ASP/vx__InsertProduct.asp", kLogin + "&ar_id=101&content_number=" + std::to_string(n + 2) +
                                                     "&page_number=" + std::to_string(n + 1) + "&content_detail=x"),
              "OK\r\n");
    EXPECT_LT(SecondsSince(t0), 1.0) << n;
  }
  EXPECT_EQ(Records(), 5);
  // The held wrong attempts are still waiting: none was answered early.
  for (auto& c : storm) {
    std::string r = c->Receive(1);
    EXPECT_TRUE(r.empty() || r.find("server busy") != std::string::npos) << r;
  }
}

TEST_F(HardeningTest, PasswordChecksTakeTurnsInsteadOfRunningSideBySide) {
  Serve({}, [] { ::setenv("QUILO_SERVER_PBKDF2_ITERATIONS", "10000", 1); });
  // Wrong logins from many addresses, none of them slowed yet: each costs a full check. Checks
  // side by side would all end together, however busy the machine; in turns they end one by one,
  // each some multiple of its own work after the one before.
  const int n = 12;
  double cpu0 = CpuSeconds(server_->pid());
  std::vector<std::future<Clock::time_point>> attempts;
  for (int i = 0; i < n; ++i) {
    attempts.push_back(std::async(std::launch::async, [this, i] {
      std::string from = "127.0.3." + std::to_string(i + 1);
      std::string reply = Exchange(port(), FormRequest("/ASP/vx__use_staff.asp", "id=nobody" + std::to_string(i) + "&pw=x"),
                                   from.c_str());
      EXPECT_EQ(BodyOf(reply), "오류");
      return Clock::now();
    }));
  }
  std::vector<Clock::time_point> ends;
  for (auto& a : attempts) ends.push_back(a.get());
  double work = (CpuSeconds(server_->pid()) - cpu0) / n;
  double spread = std::chrono::duration<double>(*std::max_element(ends.begin(), ends.end()) -
                                                *std::min_element(ends.begin(), ends.end()))
                      .count();
  EXPECT_GT(spread, 10 * work) << "work per check " << work << " s";
}

TEST_F(HardeningTest, ImageLinksGoToTheProductTheyNameAndItsTabs) {
  Serve();
  ASSERT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  ASSERT_EQ(Post("/ASP/vx__InsertProductStart.asp", "id=demo&pw=demo&p_id=9002&p_dcode=DEMO02"), "INSERT\r\n");
  auto image = [&](const std::string& fields) {
    return Post("/ASP/vx__insertwImageInfo.asp", "id=demo&pw=demo&" + fields + "&pageNumber=1&wImage=images/1.jpg");
  };
  EXPECT_EQ(image("p_id=9001&p_dcode=DEMO01&arid=101"), "OK\r\n");
  EXPECT_EQ(image("p_id=9001&p_dcode=DEMO01&arid=999999").rfind("ERROR: ", 0), 0u);
  // Without p_id, as the program sends it, the latest run is meant, and only its product's tabs.
  EXPECT_EQ(image("arid=101").rfind("ERROR: ", 0), 0u);
  EXPECT_EQ(image("arid=201"), "OK\r\n");
  Store store(db_);
  using Links = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(store.RunImageLinks(store.LastRun("9001")->run.id), (Links{{"101/1", "images/1.jpg"}}));
  EXPECT_EQ(store.RunImageLinks(store.LastRun("9002")->run.id), (Links{{"201/1", "images/1.jpg"}}));
}

TEST_F(HardeningTest, AFullDiskAnswersAnErrorTheProgramStopsOn) {
  // Files may not grow past 1 MB: the database cannot take the record.
  if (TestOnPostgres()) GTEST_SKIP() << "the database server's files are not the server's";
  Serve({}, [] {
    rlimit r{1u << 20, 1u << 20};
    ::setrlimit(RLIMIT_FSIZE, &r);
    ::signal(SIGXFSZ, SIG_IGN);
  });
  ASSERT_EQ(StartAs("demo", "demo"), "INSERT\r\n");
  std::string reply = Post("/ASP/vx__InsertProduct.asp", kLogin + "&ar_id=101&content_number=2&page_number=1&content_detail=x"
                                                                  "&page_detail=" + std::string(2u << 20, 'h'));
  EXPECT_EQ(reply.rfind("ERROR: ", 0), 0u) << reply;
  EXPECT_EQ(Records(), 0);
}

TEST_F(HardeningTest, AStopEndsTheServerAtOnceWhileALoginIsHeld) {
  Serve();
  auto wrong = FormRequest("/ASP/vx__use_staff.asp", "id=demo&pw=wrong");
  std::vector<std::future<std::string>> first;
  for (int i = 0; i < 10; ++i)
    first.push_back(std::async(std::launch::async, [&] { return BodyOf(Exchange(port(), wrong, "127.0.0.2")); }));
  for (auto& f : first) EXPECT_EQ(f.get(), "오류");
  // The next wrong attempt is held for the longest hold.
  Raw held(port(), "127.0.0.2");
  held.Send(wrong);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  auto t0 = Clock::now();
  EXPECT_EQ(server_->Stop(), 0);
  EXPECT_LT(SecondsSince(t0), 1.0);
}

// Two server processes on one PostgreSQL database behave as one: whichever a request reaches.
TEST_F(HardeningTest, TwoServersOnOneDatabaseAgreeOnRunsRecordsSessionsAndFailures) {
  if (!TestOnPostgres()) GTEST_SKIP() << "one SQLite file belongs to one server process";
  Serve();
  ChildServer other(dir_, Args({}), {});
  ASSERT_GT(other.port(), 0);
  const int a = port(), b = other.port();

  // Two staff members starting the product at once on the two processes: one run, one refusal.
  auto demo = std::async(std::launch::async, [&] { return StartAs("demo", "demo", a); });
  auto kim = std::async(std::launch::async, [&] { return StartAs("kim", "kimpw", b); });
  std::string first = demo.get(), second = kim.get();
  EXPECT_EQ((first == "INSERT\r\n") + (second == "INSERT\r\n"), 1) << first << " / " << second;
  std::string owner = first == "INSERT\r\n" ? "demo" : "kim";
  std::string refused = owner == "demo" ? StartAs("kim", "kimpw", b) : StartAs("demo", "demo", a);
  EXPECT_NE(refused.find(owner == "demo" ? "데모 작업자" : "김 작업자"), std::string::npos) << refused;
  if (owner != "demo") {
    // The rest of the run is demo's: kim's run is left behind as the idle run of a test would be.
    TestSql(db_, "UPDATE runs SET touched_at = '2000-01-01 00:00:00' WHERE state = 'open'");
    ASSERT_EQ(StartAs("demo", "demo", a), "INSERT\r\n");
  }

  // A record and its resend reaching the other process: one copy, the header still the header.
  const std::string header = kLogin + "&ar_id=101&content_number=1&page_number=1&content_detail=H&coremeta=" +
                             "has_child=1|parent_number=0";
  const std::string article = kLogin + "&ar_id=101&content_number=2&page_number=1&content_detail=A";
  for (int at : {a, b}) EXPECT_EQ(PostTo(at, "/ASP/vx__InsertProduct.asp", header), "OK\r\n");
  for (int at : {b, a}) EXPECT_EQ(PostTo(at, "/ASP/vx__InsertProduct.asp", article), "OK\r\n");
  EXPECT_EQ(PostTo(b, "/ASP/vx__InsertProductComplete.asp", kLogin), "OK\r\n");
  EXPECT_EQ(PostTo(a, "/ASP/vx__InsertProductComplete.asp", kLogin), "OK\r\n");
  auto summary = Store(db_).LastRun("9001");
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->headers, 1);
  EXPECT_EQ(summary->articles, 1);
  EXPECT_EQ(summary->run.state, "completed");

  // A page session made on one process is known to the other, and a logout there ends it.
  httplib::Client pa("127.0.0.1", a), pb("127.0.0.1", b);
  auto login = pa.Post("/login", "id=demo&pw=demo", kForm);
  ASSERT_TRUE(login);
  ASSERT_EQ(login->status, 303);
  std::string cookie = login->get_header_value("Set-Cookie");
  cookie = cookie.substr(0, cookie.find(';'));
  EXPECT_EQ(pb.Get("/", {{"Cookie", cookie}})->status, 200);
  EXPECT_EQ(pb.Post("/logout", httplib::Headers{{"Cookie", cookie}}, "", kForm)->status, 303);
  EXPECT_EQ(pa.Get("/", {{"Cookie", cookie}})->status, 401);

  // Failed logins count together: five on one process, and the sixth on the other waits.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(PostTo(i % 2 ? b : a, "/ASP/vx__use_staff.asp", "id=kim&pw=wrong"), "오류");
  auto t0 = Clock::now();
  EXPECT_EQ(PostTo(b, "/ASP/vx__use_staff.asp", "id=kim&pw=wrong"), "오류");
  EXPECT_GE(SecondsSince(t0), 1.0);
  EXPECT_EQ(other.Stop(), 0);
}

// One call waiting inside its transaction (a large file being placed) holds up no other request.
TEST_F(HardeningTest, AFilePlacedInsideItsTransactionHoldsUpNoOtherRequest) {
  if (!TestOnPostgres()) GTEST_SKIP() << "SQLite has one connection, taken in turn";
  Store store(db_);
  auto run = store.StartRun("9001", "demo");
  ASSERT_TRUE(run);
  std::promise<void> placing, release;
  std::shared_future<void> released = release.get_future().share();
  auto upload = std::async(std::launch::async, [&] {
    store.AddFile(run->id, "9001", "img", "a.jpg", 1, [&] {
      placing.set_value();
      released.wait();
    });
  });
  placing.get_future().wait();
  auto read = std::async(std::launch::async, [&] { return store.FindProduct("9001").has_value(); });
  const bool answered = read.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  release.set_value();
  upload.get();
  EXPECT_TRUE(answered) << "a read waited for another request's file";
  EXPECT_TRUE(read.get());
  EXPECT_EQ(store.RunFiles(run->id).size(), 1u);
}

// A SQLite store copied into PostgreSQL holds the same product, row for row, and only once.
TEST_F(HardeningTest, MigrateCopiesASqliteStoreIntoAnEmptyPostgresDatabase) {
  if (!TestOnPostgres()) GTEST_SKIP() << "needs the PostgreSQL cluster";
  const fs::path old = dir_ / "old";
  fs::create_directories(old);
  {
    Store store((old / "quilo.db").string());
    LoadSeed(store, std::string(QUILO_SOURCE_DIR) + "/examples/demo/server");
    store.SetAsset("Tupdate.exe", std::string("MZ\0\xff bytes", 10));
    auto run = store.StartRun("9001", "demo");
    ASSERT_TRUE(run);
    store.AddRecord(run->id, {"101", 1, 1, "데모 도서 본문", "", "has_child=1|parent_number=0", "", "", ""});
    store.AddRecord(run->id, {"101", 2, 1, "제1장", "<p>본문</p>", "", "", "", ""});
    store.AddImageLink(run->id, "101", 1, "images/0001.jpg");
    store.CompleteRun(run->id, "");
    ASSERT_TRUE(store.StartRun("9001", "demo"));  // an open run: no completion, no note
  }
  // The target of the migration is a schema of its own; db_ already holds the seed.
  const std::string target = TestDatabase(dir_ / "target");
  auto migrate = [&] {
    std::string cmd = std::string(QUILO_SERVER_BIN) + " admin migrate --from '" + old.string() + "' --to '" + target +
                      "' >" + (dir_ / "out.txt").string() + " 2>&1";
    return std::system(cmd.c_str());
  };
  ASSERT_EQ(migrate(), 0);
  std::ifstream out(dir_ / "out.txt");
  std::string text((std::istreambuf_iterator<char>(out)), {});
  EXPECT_NE(text.find("records 2\n"), std::string::npos) << text;
  Store from((old / "quilo.db").string()), to(target);
  EXPECT_EQ(ProductShowLines(to, "9001", dir_.string()), ProductShowLines(from, "9001", dir_.string()));
  EXPECT_EQ(to.Asset("Tupdate.exe"), from.Asset("Tupdate.exe"));
  EXPECT_TRUE(to.OpenRunOfProduct("9001")->completedAt.empty());
  // A second copy into the now full database is refused whole.
  EXPECT_NE(migrate(), 0);
  EXPECT_EQ(to.CountRecords("9001"), 2);
  // New runs go on after the copied ones.
  auto next = to.StartRun("9001", "demo");
  ASSERT_TRUE(next);
  EXPECT_GT(next->id, from.LastRun("9001")->run.id);
}

}  // namespace
