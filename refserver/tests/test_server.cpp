#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "Codec.h"
#include "Readback.h"
#include "Seed.h"
#include "Server.h"
#include "Store.h"
#include "TestDb.h"

namespace fs = std::filesystem;
using namespace qs;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  for (auto& l : SplitBy(text, '\n')) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(l);
  }
  if (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

// A server on a free loopback port over a fresh data folder loaded with the demo seed.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quilo-server-test-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    store_db_ = TestDatabase(dir_);
    store_ = std::make_unique<Store>(store_db_);
    LoadSeed(*store_, std::string(QUILO_SOURCE_DIR) + "/examples/demo/server");
    ServerOptions opt;
    opt.dataDir = dir_.string();
    opt.maxFormBytes = 1 << 20;
    opt.maxFileBytes = 1 << 20;
    // The tests here send many wrong logins on purpose; slowing them is checked elsewhere.
    opt.throttle.freeFailures = 1 << 20;
    server_ = std::make_unique<QuiloServer>(*store_, opt);
    port_ = server_->Bind("127.0.0.1", 0);
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_->Listen(); });
    ASSERT_TRUE(server_->WaitUntilRunning(5000));
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_basic_auth("demo", "demo");  // for the pages; the program's paths ignore it
  }
  void TearDown() override {
    server_->Stop();
    if (thread_.joinable()) thread_.join();
    client_.reset();
    server_.reset();
    store_.reset();
    fs::remove_all(dir_);
  }

  // Encoded form of the login requests.
  httplib::Result Form(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string body;
    for (const auto& [n, v] : fields) {
      if (v.empty()) continue;
      body += (body.empty() ? "" : "&") + n + "=" + EncodePercentUtf8(v);
    }
    return client_->Post(path.c_str(), body, "application/x-www-form-urlencoded");
  }
  // Pre-escaped form of the upload; `literal` values are sent as they are.
  httplib::Result Upload(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields,
                         const std::set<std::string>& literal = {}) {
    std::string body = "id=demo&pw=demo";
    for (const auto& [n, v] : fields) {
      if (v.empty()) continue;
      body += "&" + n + "=" + (literal.count(n) ? v : EncodeUploadEscape(v));
    }
    return client_->Post(path.c_str(), body, "application/x-www-form-urlencoded");
  }
  std::string UploadBody(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fields,
                         const std::set<std::string>& literal = {}) {
    auto r = Upload(path, fields, literal);
    EXPECT_TRUE(r);
    return r ? r->body : "";
  }
  std::string Start() { return UploadBody("/ASP/vx__InsertProductStart.asp", {{"p_id", "9001"}, {"p_dcode", "DEMO01"}}); }
  std::string Article(const std::string& arId, int content, int page, const std::string& title,
                      const std::string& html, const std::string& coremeta = "") {
    return UploadBody("/ASP/vx__InsertProduct.asp", {{"p_id", "9001"},
                                                     {"p_dcode", "DEMO01"},
                                                     {"ar_id", arId},
                                                     {"content_number", std::to_string(content)},
                                                     {"page_number", std::to_string(page)},
                                                     {"content_detail", title},
                                                     {"page_detail", html},
                                                     {"coremeta", coremeta}},
                      {"content_number", "page_number"});
  }
  // The tab header the program sends first for every tab of a run.
  std::string Header(const std::string& arId) {
    return UploadBody("/ASP/vx__InsertProduct.asp",
                      {{"p_id", "9001"}, {"p_dcode", "DEMO01"}, {"ar_id", arId}, {"content_number", "1"},
                       {"page_number", "1"}, {"content_detail", "데모 도서 " + arId},
                       {"coremeta", "has_child=1|parent_number=0"}},
                      {"content_number", "page_number", "coremeta"});
  }
  httplib::Result File(const std::string& folder, const std::string& name, const std::string& content,
                       const std::string& pw = "demo") {
    httplib::MultipartFormDataItems items = {{"id", "demo", "", ""},
                                             {"pw", pw, "", ""},
                                             {"pID", "9001", "", ""},
                                             {"imageFolder", folder, "", ""},
                                             {"file", content, name, "multipart/form-data"}};
    return client_->Post("/ASP/vx__use_fileup.asp", items);
  }
  std::vector<std::string> StoredFiles() {
    std::vector<std::string> out;
    if (!fs::exists(dir_ / "files")) return out;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / "files"))
      if (e.is_regular_file()) out.push_back(fs::relative(e.path(), dir_ / "files").string());
    std::sort(out.begin(), out.end());
    return out;
  }

  fs::path dir_;
  std::string store_db_;
  std::unique_ptr<Store> store_;
  std::unique_ptr<QuiloServer> server_;
  std::thread thread_;
  int port_ = 0;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(ServerTest, LoginRequestsAnswerTheirFormatsAndRefuseAWrongPair) {
  struct Case {
    const char* path;
    std::vector<std::pair<std::string, std::string>> extra;
  };
  std::vector<Case> cases = {{"/ASP/vx__use_staff.asp", {}},
                             {"/ASP/vx__getGoodsInfo.asp", {}},
                             {"/ASP/vx__getMetaCode.asp", {}},
                             {"/ASP/vx__JobsGetMy.asp", {}},
                             {"/ASP/vx__getMetaInfo.asp", {{"p_id", "9001"}, {"p_dcode", "DEMO01"}}}};
  for (const auto& c : cases) {
    for (auto [id, pw] : {std::pair{"demo", "wrong"}, {"nobody", "demo"}, {"demo", ""}, {"", "demo"}}) {
      std::vector<std::pair<std::string, std::string>> fields = {{"id", id}, {"pw", pw}};
      fields.insert(fields.end(), c.extra.begin(), c.extra.end());
      auto r = Form(c.path, fields);
      ASSERT_TRUE(r);
      EXPECT_EQ(r->status, 200);
      EXPECT_EQ(r->body, "오류") << c.path << " " << id << "/" << pw;
    }
    std::vector<std::pair<std::string, std::string>> fields = {{"id", "demo"}, {"pw", "demo"}};
    fields.insert(fields.end(), c.extra.begin(), c.extra.end());
    auto r = Form(c.path, fields);
    ASSERT_TRUE(r);
    EXPECT_NE(r->get_header_value("Content-Type").find("charset=utf-8"), std::string::npos);
    if (std::string(c.path) == "/ASP/vx__use_staff.asp") {
      EXPECT_EQ(r->body, "데모 작업자|1");
      continue;
    }
    auto lines = Lines(r->body);
    ASSERT_GE(lines.size(), 3u) << c.path;
    EXPECT_EQ(lines.front(), "OK");
    EXPECT_EQ(lines.back(), "end");
  }
}

TEST_F(ServerTest, ListRepliesCarryTheColumnsTheProgramReads) {
  auto goods = Lines(Form("/ASP/vx__getGoodsInfo.asp", {{"id", "demo"}, {"pw", "demo"}})->body);
  ASSERT_EQ(goods.size(), 5u);  // OK, three products, end
  EXPECT_EQ(goods[1], "1^9001^QU^데모 도서");  // key, product ID, service ID, name

  auto mine = Lines(Form("/ASP/vx__JobsGetMy.asp", {{"id", "demo"}, {"pw", "demo"}})->body);
  ASSERT_GE(mine.size(), 3u);
  EXPECT_EQ(mine[1], "데모 도서^DEMO01^9001^Y^Y^본문,번역^번역,본문^101,102");
  for (size_t i = 1; i + 1 < mine.size(); ++i) EXPECT_EQ(SplitBy(mine[i], '^').size(), 8u) << mine[i];

  auto codes = Lines(Form("/ASP/vx__getMetaCode.asp", {{"id", "demo"}, {"pw", "demo"}})->body);
  bool etc92 = false, etc93 = false;
  for (size_t i = 1; i + 1 < codes.size(); ++i) {
    auto f = SplitBy(codes[i], '^');
    ASSERT_EQ(f.size(), 3u) << codes[i];
    etc92 = etc92 || (f[0] == "Code_92" && f[1] == "기타");
    etc93 = etc93 || (f[0] == "Code_93" && f[1] == "기타");
  }
  EXPECT_TRUE(etc92 && etc93);

  // Keyword definitions: for the product with its code only.
  EXPECT_EQ(Form("/ASP/vx__getMetaInfo.asp", {{"id", "demo"}, {"pw", "demo"}, {"p_id", "9001"}, {"p_dcode", "X"}})->body,
            "오류");
  EXPECT_EQ(Form("/ASP/vx__getMetaInfo.asp", {{"id", "demo"}, {"pw", "demo"}, {"p_id", "9003"}, {"p_dcode", "DEMO03"}})
                ->body,
            "오류");
  auto kw = Lines(Form("/ASP/vx__getMetaInfo.asp", {{"id", "demo"}, {"pw", "demo"}, {"p_id", "9001"}, {"p_dcode", "DEMO01"}})->body);
  EXPECT_EQ(kw[1], "ar_id^101");
}

TEST_F(ServerTest, PasswordsTravelPercentEncodedWithPlusKept) {
  store_->SetStaff("kim", "김 작업자", "2", "a+b #c");
  EXPECT_EQ(Form("/ASP/vx__use_staff.asp", {{"id", "kim"}, {"pw", "a+b #c"}})->body, "김 작업자|2");
  // A "+" read as a space would be another password.
  EXPECT_EQ(client_->Post("/ASP/vx__use_staff.asp", "id=kim&pw=a%20b%20%23c", "application/x-www-form-urlencoded")->body,
            "오류");
  // The upload scripts take the login escaped or as typed.
  store_->SetStaff("cho", "조 작업자", "1", "100% 한");
  for (const char* login : {"id=cho&pw=100%25%20%uD55C", "id=cho&pw=100% 한"}) {
    std::string body = std::string(login) + "&p_id=9001&p_dcode=DEMO01";
    EXPECT_EQ(client_->Post("/ASP/vx__InsertProductStart.asp", body, "application/x-www-form-urlencoded")->body,
              "ERROR: the product is not assigned to this staff member\r\n")
        << login;
  }
  // Broken encodings are a failed login, not a crash.
  for (const char* body : {"id=kim&pw=%E", "id=kim&pw=%FF%FE", "garbage", "=x"})
    EXPECT_EQ(client_->Post("/ASP/vx__use_staff.asp", body, "application/x-www-form-urlencoded")->body, "오류") << body;
}

TEST_F(ServerTest, DownloadsUnderProgramUpdate) {
  // The announced size is the file's own, also for a client that accepts compressed replies.
  auto meta = client_->Get("/ASP/ProgramUpdate/VuxMetaInfo.txt", {{"Accept-Encoding", "gzip, deflate"}});
  ASSERT_TRUE(meta);
  EXPECT_EQ(meta->get_header_value("Content-Encoding"), "");
  EXPECT_EQ(meta->get_header_value("Content-Length"), std::to_string(meta->body.size()));
  EXPECT_NE(meta->get_header_value("Content-Type").find("charset=utf-8"), std::string::npos);
  ASSERT_GE(meta->body.size(), 10000u);
  ASSERT_EQ(meta->body.rfind("\xEF\xBB\xBF", 0), 0u);
  auto lines = Lines(meta->body.substr(3));
  std::vector<std::vector<std::string>> cols;
  for (const auto& l : lines) cols.push_back(SplitBy(l, '\t'));
  for (const auto& c : cols) ASSERT_EQ(c.size(), 8u);
  // Group 0: the base meta group with the columns the program addresses by position.
  size_t core = 0;
  while (core < cols.size() && cols[core][0] == "ks_coremeta") ++core;
  ASSERT_GE(core, 38u);
  std::map<size_t, std::string> fixed = {{0, "mt_title"},        {5, "mt_oCode"},   {6, "mt_sCode"},
                                         {26, "mt_path"},        {30, "mt_url"},    {32, "content_number"},
                                         {35, "page_number"},    {36, "has_child"}, {37, "parent_number"}};
  for (const auto& [pos, code] : fixed) EXPECT_EQ(cols[pos][3], code) << pos;
  EXPECT_EQ(cols[5][5], "Code_92");
  EXPECT_EQ(cols[6][5], "Code_93");
  // The nine subject groups and the image group last.
  std::vector<std::string> groups;
  for (size_t i = core; i < cols.size(); ++i)
    if (groups.empty() || groups.back() != cols[i][0]) groups.push_back(cols[i][0]);
  std::vector<std::string> want = {"ks_exMetaName",         "ks_exMetaPlace",  "ks_exMetaHistory",
                                   "ks_exMetaOmedic",       "ks_exMetaDongsik", "ks_exMetaArchitecture",
                                   "ks_exMetaDesign",       "ks_exMetaMunhak", "ks_exMetaArt",
                                   "ks_MetaTypeDetail"};
  EXPECT_EQ(groups, want);
  EXPECT_EQ(cols.back()[2], "이미지");
  int addInfo = 0;
  for (const auto& c : cols) addInfo += c[1] == "ks_exMetaAddInfo";
  EXPECT_GT(addInfo, 0);

  auto version = client_->Get("/ASP/ProgramUpdate/VUXVersion.txt");
  EXPECT_EQ(version->body, QUILO_PUBLISHED_VERSION);
  auto updater = client_->Get("/ASP/ProgramUpdate/Tupdate.exe");
  EXPECT_EQ(updater->status, 200);
  EXPECT_GE(updater->body.size(), 10000u);
  EXPECT_EQ(updater->body.rfind("#!/bin/sh", 0), 0u);
}

TEST_F(ServerTest, UploadRunStoresEveryPartAndTheSecondRunIsAnUpdate) {
  EXPECT_EQ(Lines(Start())[0], "INSERT");
  EXPECT_EQ(UploadBody("/ASP/vx__InsertProduct.asp",
                       {{"p_id", "9001"}, {"p_dcode", "DEMO01"}, {"ar_id", "101"}, {"content_number", "1"},
                        {"page_number", "1"}, {"content_detail", "데모 도서 본문"},
                        {"coremeta", "has_child=1|parent_number=0"}},
                       {"coremeta"}),
            "OK\r\n");
  std::string core = "mt_title=가 나/1.jpg|mt_oCode=01|mt_url=http://x/y?a＝1＆b＝2|has_child=0";
  EXPECT_EQ(Article("101", 2, 1, "가 나/1.jpg", "<p>첫 기사 😀 ＆ <img src=\"img/a.jpg\"></p>", core), "OK\r\n");
  // A record sent again (after a broken connection) replaces the first copy.
  EXPECT_EQ(Article("101", 2, 1, "가 나/1.jpg", "<p>첫 기사 😀 ＆ <img src=\"img/a.jpg\"></p>", core), "OK\r\n");
  EXPECT_EQ(Header("102"), "OK\r\n");
  EXPECT_EQ(Article("102", 2, 1, "번역 기사", "<p>translated</p>"), "OK\r\n");
  EXPECT_EQ(UploadBody("/ASP/vx__insertTabLinkInfo.asp",
                       {{"tabLink", "p_id=9001^tran_ar_id=102^tran_content_number=1^tran_page_number=0^ori_ar_id=101^"
                                    "ori_content_number=1^ori_page_number=0|p_id=9001^tran_ar_id=102^tran_content_"
                                    "number=2^tran_page_number=1^ori_ar_id=101^ori_content_number=2^ori_page_number=1"}},
                       {"tabLink"}),
            "OK\r\n");
  EXPECT_EQ(UploadBody("/ASP/vx__insertwImageInfo.asp",
                       {{"arid", "101"}, {"pageNumber", "1"}, {"wImage", "images/0001.jpg|images/0002.jpg"}},
                       {"pageNumber"}),
            "OK\r\n");
  auto f = File("img/", "a.jpg", std::string("\xFF\xD8 jpeg \0 bytes", 15));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->body, "OK");
  EXPECT_EQ(File("img/sub", "가 나.jpg", "x")->body, "OK");
  EXPECT_EQ(UploadBody("/ASP/vx__InsertProductComplete.asp", {{"p_id", "9001"}, {"p_dcode", "DEMO01"}}), "OK\r\n");

  auto last = store_->LastRun("9001");
  ASSERT_TRUE(last);
  EXPECT_EQ(last->run.mode, "INSERT");
  EXPECT_EQ(last->run.state, "completed");
  EXPECT_EQ(last->headers, 2);
  EXPECT_EQ(last->articles, 2);
  EXPECT_EQ(last->tabLinks, 2);
  EXPECT_EQ(last->imageLinks, 1);
  EXPECT_EQ(last->files, 2);
  auto records = store_->RunRecords(last->run.id, 100);
  const RecordRow* art = nullptr;
  for (const auto& r : records)
    if (r.arId == "101" && !r.header) art = &r;
  ASSERT_TRUE(art);
  EXPECT_EQ(art->title, "가 나/1.jpg");
  EXPECT_EQ(art->coremeta, core);
  EXPECT_EQ(store_->Record(art->id)->html, "<p>첫 기사 😀 ＆ <img src=\"img/a.jpg\"></p>");
  EXPECT_EQ(StoredFiles(), (std::vector<std::string>{"9001/img/a.jpg", "9001/img/sub/가 나.jpg"}));
  EXPECT_EQ(client_->Get("/files/9001/img/a.jpg")->body.size(), 15u);

  // The overview and the article page show what arrived.
  auto page = client_->Get("/");
  EXPECT_NE(page->body.find("데모 도서"), std::string::npos);
  EXPECT_NE(page->body.find("가 나/1.jpg"), std::string::npos);
  EXPECT_NE(page->body.find("/records/" + std::to_string(art->id)), std::string::npos);
  auto html = client_->Get(("/records/" + std::to_string(art->id) + "/html").c_str());
  EXPECT_NE(html->body.find("첫 기사 😀"), std::string::npos);
  EXPECT_NE(html->get_header_value("Content-Security-Policy").find("sandbox"), std::string::npos);

  // Second run: an update whose completion replaces tab 101 and keeps tab 102.
  EXPECT_EQ(Lines(Start())[0], "UPDATE");
  EXPECT_EQ(Header("101"), "OK\r\n");
  EXPECT_EQ(Article("101", 2, 1, "고친 기사", "<p>new</p>"), "OK\r\n");
  EXPECT_EQ(store_->CountRecords("9001"), 6);  // old content stays until the update completes
  EXPECT_EQ(UploadBody("/ASP/vx__InsertProductComplete.asp",
                       {{"p_id", "9001"}, {"p_dcode", "DEMO01"}, {"p_update", "오탈자 수정\r\n"}}),
            "OK\r\n");
  auto second = store_->LastRun("9001");
  EXPECT_EQ(second->run.mode, "UPDATE");
  EXPECT_EQ(second->run.note, "오탈자 수정\r\n");
  EXPECT_EQ(store_->CountRecords("9001"), 4);  // new 101 header and article + the old 102 ones
  EXPECT_EQ(Lines(Start())[0], "UPDATE");
}

// The readback shows what the product holds: a record resent within a run and a second run that
// replaces the first leave one line per record, all from the newest run.
TEST_F(ServerTest, ProductReadbackHoldsOneCopyOfEachRecord) {
  auto show = [&] { return ProductShowLines(*store_, "9001", dir_.string()); };
  auto kinds = [](const std::vector<std::string>& lines, const std::string& kind) {
    std::vector<std::string> out;
    for (const auto& l : lines)
      if (l.rfind(kind + "\t", 0) == 0) out.push_back(l);
    return out;
  };
  EXPECT_EQ(show()[1], "run\tnone");
  for (int round = 0; round < 2; ++round) {
    Start();
    for (int resend = 0; resend < 2; ++resend) {
      EXPECT_EQ(Header("101"), "OK\r\n");
      EXPECT_EQ(Article("101", 1, 1, "첫\t기사", "<p>a</p>"), "OK\r\n");
      EXPECT_EQ(Article("101", 2, 2, "둘째", round ? "<p>new</p>" : "<p>b</p>"), "OK\r\n");
      EXPECT_EQ(File("img/", "a.jpg", "12345")->body, "OK");
    }
    EXPECT_EQ(UploadBody("/ASP/vx__InsertProductComplete.asp",
                         {{"p_id", "9001"}, {"p_dcode", "DEMO01"}, {"p_update", round ? "고침\r\n" : ""}}),
              "OK\r\n");
  }
  const auto lines = show();
  EXPECT_EQ(lines[0], "product\t9001\tDEMO01\t데모 도서");
  ASSERT_EQ(lines[1].rfind("run\t", 0), 0u);
  EXPECT_NE(lines[1].find("\tUPDATE\tcompleted\tdemo\t"), std::string::npos);
  EXPECT_NE(lines[1].find("\t고침\\r\\n"), std::string::npos);
  const auto records = kinds(lines, "record");
  ASSERT_EQ(records.size(), 3u);
  const std::string run = lines[1].substr(4, lines[1].find('\t', 4) - 4);
  EXPECT_EQ(records[0].rfind("record\t101\t1\t1\t1\t" + run + "\t데모 도서 101\thtml=0:-", 0), 0u);
  EXPECT_EQ(records[1].rfind("record\t101\t1\t1\t0\t" + run + "\t첫\\t기사\thtml=8:", 0), 0u);
  EXPECT_NE(records[2].find("\thtml=10:"), std::string::npos);
  EXPECT_EQ(kinds(lines, "file"), (std::vector<std::string>{"file\timg\ta.jpg\t5\t" + run + "\tdisk=5"}));
  EXPECT_EQ(lines.back(), "counts\theaders=1\tarticles=2\ttablinks=0\timagelinks=0\tfiles=1\tbytes=5\topen=0");
  EXPECT_THROW(ProductShowLines(*store_, "nope", dir_.string()), StoreError);

  // An update stopped half-way and started again: what the stopped run sent goes with it.
  Start();
  EXPECT_EQ(Article("101", 1, 1, "멈춘 기사", "<p>c</p>"), "OK\r\n");
  EXPECT_EQ(Lines(Start())[0], "UPDATE");
  EXPECT_EQ(kinds(show(), "record"), records);
}

TEST_F(ServerTest, BadRecordsAreRefusedAndNothingIsStored) {
  ASSERT_EQ(Lines(Start())[0], "INSERT");
  auto post = [&](const std::string& body) {
    auto r = client_->Post("/ASP/vx__InsertProduct.asp", body, "application/x-www-form-urlencoded");
    EXPECT_TRUE(r);
    return r ? r->body : std::string();
  };
  std::string base = "id=demo&pw=demo&p_id=9001&p_dcode=DEMO01&content_number=2&page_number=1&content_detail=t";
  std::vector<std::string> bad = {
      base + "&ar_id=999&page_detail=x",                                     // tab of no product
      "id=demo&pw=demo&p_id=9001&p_dcode=WRONG&ar_id=101&content_number=2&page_number=1",
      "id=demo&pw=demo&p_id=9999&p_dcode=DEMO01&ar_id=101&content_number=2&page_number=1",
      "id=demo&pw=demo&p_id=9001&p_dcode=DEMO01&ar_id=101&content_number=two&page_number=1",
      base + "&ar_id=101&page_detail=%uD800",                                // lone surrogate
      base + "&ar_id=101&page_detail=%u41",                                  // cut escape
      base + "&ar_id=101&page_detail=%EA%B0%80",                             // UTF-8 bytes are not this escaping
      base + "&ar_id=101&coremeta=nosuchcolumn%3Dx",
      base + "&ar_id=101&exmeta=name%3Dks_nothing",
      base + "&ar_id=101&exaddmeta=nm_office%3Dx",                           // add-info without its group
      base + "&ar_id=101&garbage",
      "id=demo&pw=wrong&p_id=9001&p_dcode=DEMO01&ar_id=101&content_number=2&page_number=1",
  };
  for (const auto& body : bad) {
    std::string reply = post(body);
    EXPECT_NE(Lines(reply)[0].find("ERROR"), std::string::npos) << body << " -> " << reply;
  }
  EXPECT_EQ(store_->CountRecords("9001"), 0);
  // A good record with ex-meta goes in.
  EXPECT_EQ(post(base + "&ar_id=101&exmeta=name%3Dks_exMetaName%7Cnm_name%3D%uD64D&exaddmeta=nm_office%3Dx"), "OK\r\n");
  EXPECT_EQ(store_->CountRecords("9001"), 1);

  // Other scripts refuse bad input too.
  for (auto [path, body] : std::vector<std::pair<std::string, std::string>>{
           {"/ASP/vx__insertTabLinkInfo.asp", "id=demo&pw=demo&tabLink=p_id=9001^tran_ar_id=102"},
           {"/ASP/vx__insertTabLinkInfo.asp",
            "id=demo&pw=demo&tabLink=p_id=9001^tran_ar_id=555^tran_content_number=1^tran_page_number=0^ori_ar_id=101^"
            "ori_content_number=1^ori_page_number=0"},
           {"/ASP/vx__insertwImageInfo.asp", "id=demo&pw=demo&arid=101&pageNumber=1&wImage=images/..%2F..%2Fetc"},
           {"/ASP/vx__insertwImageInfo.asp", "id=demo&pw=demo&arid=101&pageNumber=x&wImage=images/a.jpg"},
           {"/ASP/vx__InsertProductStart.asp", "id=demo&pw=demo&p_id=9003&p_dcode=DEMO03"},  // not assigned
           {"/ASP/vx__InsertProductComplete.asp", "id=demo&pw=nope&p_id=9001&p_dcode=DEMO01"},
       }) {
    auto r = client_->Post(path.c_str(), body, "application/x-www-form-urlencoded");
    EXPECT_NE(r->body.find("ERROR"), std::string::npos) << path << " " << body;
  }
  auto last = store_->LastRun("9001");
  EXPECT_EQ(last->tabLinks, 0);
  EXPECT_EQ(last->imageLinks, 0);
  EXPECT_EQ(last->run.state, "open");
}

TEST_F(ServerTest, FileUploadRefusesPathsThatLeaveTheStore) {
  ASSERT_EQ(Lines(Start())[0], "INSERT");
  struct Case {
    std::string folder, name;
  };
  std::vector<Case> cases = {{"../x", "a.jpg"},      {"/tmp", "a.jpg"},          {"img/../../x", "a.jpg"},
                             {"img\\..\\x", "a.jpg"}, {"img/", "../a.jpg"},       {"img/", "a\\b.jpg"},
                             {"img/", ".."},          {"", "a.jpg"},              {"img//x", "a.jpg"},
                             {"img/", std::string("a\0b.jpg", 7)}, {std::string("img\0", 4), "a.jpg"}};
  for (const auto& c : cases) {
    auto r = File(c.folder, c.name, "data");
    ASSERT_TRUE(r);
    EXPECT_NE(r->body, "OK") << c.folder << " " << c.name;
  }
  EXPECT_NE(File("img/", "a.jpg", "data", "wrong")->body, "OK");
  EXPECT_TRUE(StoredFiles().empty());

  // A body that is not multipart, and a broken multipart body, are errors too.
  auto plain = client_->Post("/ASP/vx__use_fileup.asp", "id=demo&pw=demo", "application/x-www-form-urlencoded");
  EXPECT_NE(plain->body.find("ERROR"), std::string::npos);
  auto broken = client_->Post("/ASP/vx__use_fileup.asp", "--zz\r\nContent-Disposition: form-data; name=\"id\"\r\n",
                              "multipart/form-data; boundary=zz");
  ASSERT_TRUE(broken);
  EXPECT_NE(broken->body, "OK");
  auto noBoundary = client_->Post("/ASP/vx__use_fileup.asp", "xx", "multipart/form-data");
  ASSERT_TRUE(noBoundary);
  EXPECT_NE(noBoundary->body, "OK");
  EXPECT_TRUE(StoredFiles().empty());
  // Stored files can only be read from inside the store.
  EXPECT_EQ(client_->Get("/files/9001/../quilo.db")->status, 404);
}

TEST_F(ServerTest, SizesAndUnknownPaths) {
  ASSERT_EQ(Lines(Start())[0], "INSERT");
  // An article far beyond a small form limit is fine...
  std::string html(200000, 'a');
  EXPECT_EQ(Article("101", 2, 1, "긴 기사", html), "OK\r\n");
  EXPECT_EQ(store_->Record(store_->RunRecords(store_->LastRun("9001")->run.id, 10)[0].id)->html.size(), html.size());
  // ...one above the server's limit is refused.
  auto huge = Article("101", 3, 2, "너무 긴 기사", std::string(1100000, 'a'));
  EXPECT_NE(huge.find("ERROR"), std::string::npos);
  EXPECT_NE(File("img/", "big.jpg", std::string(1100000, 'x'))->body, "OK");
  EXPECT_EQ(store_->CountRecords("9001"), 1);

  auto unknown = client_->Post("/ASP/vx__nothing.asp", "id=demo&pw=demo", "application/x-www-form-urlencoded");
  EXPECT_EQ(unknown->status, 404);
  EXPECT_NE(unknown->body.find("ERROR"), std::string::npos);
  EXPECT_EQ(client_->Get("/ASP/ProgramUpdate/other.exe")->status, 404);
}

// Real books have part headings followed at once by their first section: articles with no html
// at all. The tab header is the first record of its tab in the run, whatever its fields say.
TEST_F(ServerTest, TheHeaderIsTheFirstRecordOfItsTabAndEmptyArticlesStayArticles) {
  Start();
  const std::string core = "has_child=1|parent_number=0";
  auto record = [&](const std::string& arId, int content, int page, const std::string& title) {
    return UploadBody("/ASP/vx__InsertProduct.asp",
                      {{"p_id", "9001"}, {"p_dcode", "DEMO01"}, {"ar_id", arId}, {"content_number", std::to_string(content)},
                       {"page_number", std::to_string(page)}, {"content_detail", title}, {"coremeta", core}},
                      {"content_number", "page_number", "coremeta"});
  };
  EXPECT_EQ(record("101", 1, 1, "데모 도서 본문"), "OK\r\n");
  EXPECT_EQ(record("101", 1, 1, "데모 도서 본문"), "OK\r\n");  // the header resent
  // Article 1 of the tab, a part heading: the header's numbers and core record, no html.
  EXPECT_EQ(record("101", 1, 1, "제1부"), "OK\r\n");
  EXPECT_EQ(record("101", 2, 2, "제2부"), "OK\r\n");
  EXPECT_EQ(record("101", 2, 2, "제2부"), "OK\r\n");  // an empty article resent
  EXPECT_EQ(record("102", 1, 1, "데모 도서 번역"), "OK\r\n");
  EXPECT_EQ(UploadBody("/ASP/vx__InsertProductComplete.asp", {{"p_id", "9001"}, {"p_dcode", "DEMO01"}}), "OK\r\n");

  std::vector<std::string> got;
  for (const auto& r : store_->ProductRecords("9001"))
    got.push_back(r.arId + " " + std::to_string(r.contentNumber) + " " + (r.header ? "header " : "article ") + r.title +
                  " html=" + std::to_string(r.html.size()));
  EXPECT_EQ(got, (std::vector<std::string>{"101 1 header 데모 도서 본문 html=0", "101 1 article 제1부 html=0",
                                           "101 2 article 제2부 html=0", "102 1 header 데모 도서 번역 html=0"}));
}

// A linked tab with nothing connected and a page range with no scan are sent as empty records:
// nothing to link, not a refusal; an update that sends the tab again drops its earlier links.
TEST_F(ServerTest, EmptyLinkRecordsAreNothingToLink) {
  const std::string link = "p_id=9001^tran_ar_id=102^tran_content_number=2^tran_page_number=1^ori_ar_id=101^"
                           "ori_content_number=2^ori_page_number=1";
  for (int round = 0; round < 2; ++round) {
    Start();
    EXPECT_EQ(Header("101"), "OK\r\n");
    EXPECT_EQ(Header("102"), "OK\r\n");
    EXPECT_EQ(Article("102", 2, 1, "번역 기사", "<p>t</p>"), "OK\r\n");
    EXPECT_EQ(UploadBody("/ASP/vx__insertTabLinkInfo.asp", {{"tabLink", round ? "" : link}}, {"tabLink"}), "OK\r\n");
    EXPECT_EQ(UploadBody("/ASP/vx__insertwImageInfo.asp",
                         {{"arid", "101"}, {"pageNumber", "1"}, {"wImage", round ? "" : "images/0001.jpg"}},
                         {"pageNumber"}),
              "OK\r\n");
    // An empty field and a missing one are the same to the program's encoder.
    auto missing = client_->Post("/ASP/vx__insertTabLinkInfo.asp", "id=demo&pw=demo", "application/x-www-form-urlencoded");
    EXPECT_EQ(missing->body, "OK\r\n");
    EXPECT_EQ(UploadBody("/ASP/vx__InsertProductComplete.asp", {{"p_id", "9001"}, {"p_dcode", "DEMO01"}}), "OK\r\n");
    auto last = store_->LastRun("9001");
    EXPECT_EQ(last->run.state, "completed");
    EXPECT_EQ(store_->ProductTabLinks("9001").size(), round ? 0u : 1u);
    EXPECT_EQ(store_->ProductImageLinks("9001").size(), round ? 0u : 1u);
  }
  // Still no link without a login.
  auto anonymous = client_->Post("/ASP/vx__insertTabLinkInfo.asp", "id=demo&pw=wrong", "application/x-www-form-urlencoded");
  EXPECT_EQ(anonymous->body.rfind("ERROR", 0), 0u);
}

// What a stopped run sent is not what the service publishes: the readback shows it apart and the
// pages say so.
TEST_F(ServerTest, AStoppedRunIsShownApartFromThePublishedContent) {
  Start();
  Header("101");
  Article("101", 2, 1, "게시된 기사", "<p>a</p>");
  UploadBody("/ASP/vx__InsertProductComplete.asp", {{"p_id", "9001"}, {"p_dcode", "DEMO01"}});
  Start();  // an update that stops after one article
  Header("101");
  Article("101", 2, 1, "멈춘 기사", "<p>b</p>");

  std::vector<std::string> rows;
  for (const auto& l : ProductShowLines(*store_, "9001", dir_.string())) {
    const auto f = SplitBy(l, '\t');
    if (f[0] == "record" || f[0] == "open-record") rows.push_back(f[0] + " " + f[6]);
    if (f[0] == "counts") {
      EXPECT_EQ(l, "counts\theaders=1\tarticles=1\ttablinks=0\timagelinks=0\tfiles=0\tbytes=0\topen=2");
    }
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"record 데모 도서 101", "open-record 데모 도서 101", "record 게시된 기사",
                                            "open-record 멈춘 기사"}));
  auto page = client_->Get("/");
  EXPECT_NE(page->body.find("이 업로드는 완료되지 않아 아래 레코드는 게시되지 않습니다. 제품에 게시되는 레코드는 완료된 "
                            "업로드의 2건입니다."),
            std::string::npos);
}

// A file that replaces a stored one: when its row cannot be committed, the stored file stays.
TEST_F(ServerTest, AFailedCommitKeepsTheFileItWouldHaveReplaced) {
  if (TestOnPostgres()) GTEST_SKIP() << "the failing commit is arranged with SQLite triggers";
  Start();
  ASSERT_EQ(File("img/", "a.jpg", "old bytes")->body, "OK");
  auto sql = [&](const char* text) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ / "quilo.db").c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, text, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
  };
  // A deferred foreign key that no row satisfies: every write to files fails at its commit.
  sql("CREATE TABLE fk_parent(id INTEGER PRIMARY KEY);"
      "CREATE TABLE fk_child(pid INTEGER REFERENCES fk_parent(id) DEFERRABLE INITIALLY DEFERRED);"
      "CREATE TRIGGER files_ins AFTER INSERT ON files BEGIN INSERT INTO fk_child VALUES(1); END;"
      "CREATE TRIGGER files_upd AFTER UPDATE ON files BEGIN INSERT INTO fk_child VALUES(1); END;");
  EXPECT_NE(File("img/", "a.jpg", "new bytes, longer")->body, "OK");
  EXPECT_NE(File("img/", "b.jpg", "never stored")->body, "OK");
  std::ifstream in(dir_ / "files" / "9001" / "img" / "a.jpg");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old bytes");
  EXPECT_EQ(StoredFiles(), (std::vector<std::string>{"9001/img/a.jpg"}));
  EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
  sql("DROP TRIGGER files_ins; DROP TRIGGER files_upd;");
  EXPECT_EQ(File("img/", "a.jpg", "new bytes")->body, "OK");
  std::ifstream again(dir_ / "files" / "9001" / "img" / "a.jpg");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), "new bytes");
}

// PostgreSQL going away while a file's row commits (a restart) is the server being busy: the
// program waits and sends the file again. The file is not left in place without its row.
TEST_F(ServerTest, AFileWhoseRowMeetsTheDatabaseGoneIsSentAgain) {
  if (!TestOnPostgres()) GTEST_SKIP() << "the database going away is arranged on PostgreSQL";
  Start();
  TestSql(store_db_, "CREATE FUNCTION gone() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'shutting down' USING "
                     "ERRCODE = '57P01'; END $$ LANGUAGE plpgsql; CREATE CONSTRAINT TRIGGER gone AFTER INSERT OR "
                     "UPDATE ON files DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION gone()");
  auto r = File("img/", "a.jpg", "bytes");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 503) << r->body;
  EXPECT_EQ(StoredFiles(), std::vector<std::string>{});
  TestSql(store_db_, "DROP TRIGGER gone ON files");
  EXPECT_EQ(File("img/", "a.jpg", "bytes")->body, "OK");
  EXPECT_EQ(StoredFiles(), (std::vector<std::string>{"9001/img/a.jpg"}));
}

// A source image record belongs to the product of the staff member's run: a tab that product
// does not have is refused, also one of another product of the same staff member.
TEST_F(ServerTest, SourceImageRecordsNeedATabOfTheRunsProduct) {
  Start();
  auto image = [&](const std::string& arid, const std::vector<std::pair<std::string, std::string>>& extra = {}) {
    std::vector<std::pair<std::string, std::string>> f = {{"arid", arid}, {"pageNumber", "1"}, {"wImage", "images/0001.jpg"}};
    f.insert(f.end(), extra.begin(), extra.end());
    return UploadBody("/ASP/vx__insertwImageInfo.asp", f, {"pageNumber"});
  };
  EXPECT_EQ(image("999999").rfind("ERROR: product 9001 has no tab 999999", 0), 0u);
  EXPECT_EQ(image("201").rfind("ERROR: ", 0), 0u);  // a tab of product 9002
  EXPECT_EQ(image("101", {{"p_id", "9002"}, {"p_dcode", "DEMO02"}}).rfind("ERROR: ", 0), 0u);  // no run of 9002
  EXPECT_EQ(image("102"), "OK\r\n");
  EXPECT_EQ(image("101", {{"p_id", "9001"}, {"p_dcode", "DEMO01"}}), "OK\r\n");
  EXPECT_EQ(store_->RunImageLinks(store_->LastRun("9001")->run.id).size(), 2u);
}

// A server that cannot store (a full disk) says so: the program stops with the reason instead of
// waiting and sending the same record again for ever.
TEST_F(ServerTest, AFullDiskIsARefusalNotAnUnreachableServer) {
  Start();
  EXPECT_EQ(Header("101"), "OK\r\n");
  if (TestOnPostgres())
    TestSql(store_db_, "CREATE FUNCTION disk_full() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'no space' USING ERRCODE = "
                       "'53100'; END $$ LANGUAGE plpgsql; CREATE TRIGGER disk_full BEFORE INSERT ON records FOR EACH ROW "
                       "EXECUTE FUNCTION disk_full()");
  else
    TestSql(store_db_, "CREATE TRIGGER full BEFORE INSERT ON records BEGIN SELECT RAISE(ABORT, 'database or disk is "
                       "full'); END;");
  auto r = Upload("/ASP/vx__InsertProduct.asp", {{"p_id", "9001"}, {"p_dcode", "DEMO01"}, {"ar_id", "101"},
                                                 {"content_number", "2"}, {"page_number", "1"}, {"content_detail", "x"}},
                  {"content_number", "page_number"});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_EQ(r->body, "ERROR: the server cannot store data now (full)\r\n");
}

}  // namespace
