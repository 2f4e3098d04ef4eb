// Load check of quilo-server: N clients post article records in parallel to a server on loopback,
// then the records in its database are counted against the records sent. --slow N keeps N slow
// clients connected meanwhile and times a login beside them; --uploads N --upload-mb M sends N
// multipart uploads of M MB at once instead (with --upload-pw, e.g. a wrong password).
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Codec.h"
#include "Store.h"

namespace {

std::string ArticleHtml(int n) {
  std::string html = "<h2>제" + std::to_string(n) + "장 시험 기사</h2>";
  for (int p = 0; p < 12; ++p)
    html += "<p>이 문단은 부하 측정을 위한 본문입니다. 【인물】 홍길동이 【지명】 한양에 이르렀다. "
            "Lorem ipsum dolor sit amet ＆ 한자 漢字 " +
            std::to_string(p) + "</p>";
  return html;
}

// A connection that sends the start of a request and then nothing: headers, or a body, cut short.
int SlowClient(int port, int kind) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return fd;
  std::string start = kind == 0 ? "" : kind == 1 ? "POST /ASP/vx__use_staff.asp HTTP/1.1\r\nHost: x\r\n"
                                                 : "POST /ASP/vx__use_staff.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\nid=";
  if (!start.empty()) (void)!::send(fd, start.data(), start.size(), MSG_NOSIGNAL);
  return fd;
}

int Uploads(int port, int count, int mb, const std::string& pw) {
  std::string bytes(static_cast<size_t>(mb) << 20, 'x');
  // With the right login the files go to an open run, so that only their size can refuse them.
  httplib::Client("127.0.0.1", port)
      .Post("/ASP/vx__InsertProductStart.asp", "id=demo&pw=" + pw + "&p_id=9001&p_dcode=DEMO01",
            "application/x-www-form-urlencoded");
  std::atomic<int> ok{0}, refused{0}, failed{0};
  auto t0 = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      httplib::Client cli("127.0.0.1", port);
      cli.set_read_timeout(600, 0);
      cli.set_write_timeout(600, 0);
      httplib::MultipartFormDataItems items = {{"id", "demo", "", ""},
                                               {"pw", pw, "", ""},
                                               {"pID", "9001", "", ""},
                                               {"imageFolder", "img/", "", ""},
                                               {"file", bytes, "big" + std::to_string(i) + ".jpg", "multipart/form-data"}};
      auto r = cli.Post("/ASP/vx__use_fileup.asp", items);
      if (!r) ++failed;
      else if (r->body == "OK") ++ok;
      else ++refused;
      if (r && r->body != "OK" && i == 0) printf("reply              %s", r->body.c_str());
    });
  }
  for (auto& t : threads) t.join();
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  printf("uploads            %d x %d MB\n", count, mb);
  printf("stored             %d\n", ok.load());
  printf("refused (ERROR)    %d\n", refused.load());
  printf("no reply           %d\n", failed.load());
  printf("time               %.2f s\n", secs);
  return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0, clients = 8, records = 4000, slow = 0, uploads = 0, uploadMb = 60;
  std::string uploadPw = "demo";
  std::string db;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--port") port = atoi(argv[i + 1]);
    else if (a == "--clients") clients = atoi(argv[i + 1]);
    else if (a == "--records") records = atoi(argv[i + 1]);
    else if (a == "--db") db = argv[i + 1];
    else if (a == "--slow") slow = atoi(argv[i + 1]);
    else if (a == "--uploads") uploads = atoi(argv[i + 1]);
    else if (a == "--upload-mb") uploadMb = atoi(argv[i + 1]);
    else if (a == "--upload-pw") uploadPw = argv[i + 1];
  }
  signal(SIGPIPE, SIG_IGN);  // a refused upload may end its connection; count it, do not die
  if (port > 0 && uploads > 0) return Uploads(port, uploads, uploadMb, uploadPw);
  if (port <= 0 || clients <= 0 || records <= 0 || db.empty()) {
    fprintf(stderr, "usage: quilo-server-load --port N --db FILE [--clients N] [--records N]\n");
    return 2;
  }
  const std::string form = "application/x-www-form-urlencoded";
  const std::string login = "id=demo&pw=demo&p_id=9001&p_dcode=DEMO01";
  httplib::Client setup("127.0.0.1", port);
  auto start = setup.Post("/ASP/vx__InsertProductStart.asp", login, form);
  if (!start || (start->body.rfind("INSERT", 0) != 0 && start->body.rfind("UPDATE", 0) != 0)) {
    fprintf(stderr, "start failed: %s\n", start ? start->body.c_str() : "no connection");
    return 1;
  }
  long before = 0;
  {
    qs::Store store(db);
    before = static_cast<long>(store.CountRecords("9001"));
  }

  std::vector<int> slowFds;
  for (int i = 0; i < slow; ++i) slowFds.push_back(SlowClient(port, i % 3));
  double loginSecs = -1;
  if (slow > 0) {
    auto l0 = std::chrono::steady_clock::now();
    httplib::Client cli("127.0.0.1", port);
    auto r = cli.Post("/ASP/vx__use_staff.asp", "id=demo&pw=demo", form);
    if (r && r->body.find('|') != std::string::npos)
      loginSecs = std::chrono::duration<double>(std::chrono::steady_clock::now() - l0).count();
  }

  std::atomic<int> next{0}, ok{0}, failed{0};
  std::atomic<long> bytes{0};
  auto t0 = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&] {
      httplib::Client cli("127.0.0.1", port);
      cli.set_keep_alive(true);
      cli.set_tcp_nodelay(true);
      for (int n; (n = next++) < records;) {
        std::string title = "시험 기사 " + std::to_string(n);
        std::string core = "mt_title=" + title + "|mt_oCode=01|mt_sCode=02|content_number=" + std::to_string(n + 2) +
                           "|page_number=" + std::to_string(n + 1) + "|has_child=0|parent_number=1";
        std::string body = login + "&ar_id=" + (n % 2 ? "102" : "101") + "&content_number=" + std::to_string(n + 2) +
                           "&page_number=" + std::to_string(n + 1) + "&content_detail=" +
                           qs::EncodeUploadEscape(title) + "&page_detail=" + qs::EncodeUploadEscape(ArticleHtml(n)) +
                           "&coremeta=" + qs::EncodeUploadEscape(core);
        bytes += static_cast<long>(body.size());
        auto r = cli.Post("/ASP/vx__InsertProduct.asp", body, form);
        if (r && r->status == 200 && r->body.rfind("OK", 0) == 0) ++ok;
        else ++failed;
      }
    });
  }
  for (auto& t : threads) t.join();
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  auto done = setup.Post("/ASP/vx__InsertProductComplete.asp", login, form);

  long stored;
  {
    qs::Store store(db);
    stored = static_cast<long>(store.CountRecords("9001")) - before;
  }
  printf("clients            %d\n", clients);
  printf("records sent       %d (%.1f MB of request bodies)\n", records, bytes / 1e6);
  printf("accepted           %d\n", ok.load());
  printf("failed             %d\n", failed.load());
  printf("stored (database)  %ld\n", stored);
  printf("time               %.2f s\n", secs);
  printf("records per second %.0f\n", records / secs);
  if (slow > 0) {
    printf("slow clients       %d\n", slow);
    if (loginSecs < 0) printf("login beside them  FAILED\n");
    else printf("login beside them  %.3f s\n", loginSecs);
  }
  for (int fd : slowFds) ::close(fd);
  bool lost = stored != records || ok != records;
  printf("%s\n", lost ? "RECORDS LOST" : "no record lost");
  return lost || !done || (slow > 0 && loginSecs < 0) ? 1 : 0;
}
