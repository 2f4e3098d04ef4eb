// Load check of quilo-server: N clients post article records in parallel to a server on loopback,
// then the records in its database are counted against the records sent. --slow N keeps N slow
// clients connected meanwhile and times a login beside them; --attack KIND runs an attack from other
// loopback addresses meanwhile (headers, idle, trickle, wrongpw); --port2 N sends every other client
// to a second server on the same database; --uploads N --upload-mb M sends N
// multipart uploads of M MB at once instead (with --upload-pw, e.g. a wrong password).
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <memory>
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

// A connection from `from` (a loopback address); -1 when it could not be made.
int ConnectFrom(int port, const std::string& from) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in src{};
  src.sin_family = AF_INET;
  inet_pton(AF_INET, from.c_str(), &src.sin_addr);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&src), sizeof src) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& s) { return ::send(fd, s.data(), s.size(), MSG_NOSIGNAL) == ssize_t(s.size()); }

// Someone without the password, busy while the owner uploads. Each kind is one of the floods the
// server must shrug off:
//   headers  six connections sending short header lines without end (reconnecting when closed);
//   idle     5 000 connections that sent a request line and then nothing, from 25 addresses;
//   trickle  16 connections trickling 12.5 KB/s each into bodies that announce 10 MB;
//   wrongpw  wrong passwords under the owner's ID, ten a second, from another address.
class Attack {
 public:
  Attack(int port, const std::string& kind) : port_(port) {
    if (kind == "headers") {
      for (int i = 0; i < 6; ++i) threads_.emplace_back([this] { Headers(); });
    } else if (kind == "idle") {
      rlimit r{};
      if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
        r.rlim_cur = r.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &r);
      }
      for (int i = 0; i < 5000; ++i) {
        int fd = ConnectFrom(port_, "127.0.1." + std::to_string(1 + i % 25));
        if (fd < 0) continue;
        SendAll(fd, "POST /ASP/vx__use_staff.asp HTTP/1.1\r\n");
        idle_.push_back(fd);
      }
      printf("idle connections   %zu\n", idle_.size());
    } else if (kind == "trickle") {
      for (int i = 0; i < 16; ++i) threads_.emplace_back([this, i] { Trickle(i); });
    } else if (kind == "wrongpw") {
      threads_.emplace_back([this] { WrongPasswords(); });
    } else {
      fprintf(stderr, "unknown attack %s\n", kind.c_str());
      ::exit(2);
    }
  }
  ~Attack() {
    stop_ = true;
    for (auto& t : threads_) t.join();
    for (int fd : idle_) ::close(fd);
  }

 private:
  void Headers() {
    const std::string line = "X-Filler: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
    while (!stop_) {
      int fd = ConnectFrom(port_, "127.0.0.2");
      if (fd < 0) break;
      bool open = SendAll(fd, "POST /ASP/vx__InsertProduct.asp HTTP/1.1\r\nHost: x\r\n");
      // Paced a little, so that the attacker's own sending does not take the owner's core on a small machine.
      for (int n = 1; open && !stop_; ++n) {
        open = SendAll(fd, line);
        if (n % 64 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      ::close(fd);
      // A closed connection is opened again after a moment: spinning on connect here would measure
      // this program's share of a small machine's cores, not the server.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  void Trickle(int i) {
    const std::string chunk(1250, 'x');  // ten a second
    while (!stop_) {
      int fd = ConnectFrom(port_, "127.0.0." + std::to_string(3 + i % 4));
      if (fd < 0) break;
      bool open = SendAll(fd, "POST /ASP/vx__InsertProduct.asp HTTP/1.1\r\nHost: x\r\n"
                              "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 10000000\r\n\r\n"
                              "page_detail=");
      while (open && !stop_) {
        open = SendAll(fd, chunk);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      ::close(fd);
    }
  }
  void WrongPasswords() {
    const std::string body = "id=demo&pw=wrong&p_id=9001&p_dcode=DEMO01&ar_id=101&content_number=2&page_number=1";
    const std::string req = "POST /ASP/vx__InsertProduct.asp HTTP/1.1\r\nHost: x\r\nContent-Type: "
                            "application/x-www-form-urlencoded\r\nConnection: close\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n" + body;
    // Each attempt on its own thread, so that held ones do not slow the storm down.
    std::vector<std::thread> sent;
    while (!stop_) {
      sent.emplace_back([this, req] {
        int fd = ConnectFrom(port_, "127.0.0.9");
        if (fd < 0) return;
        SendAll(fd, req);
        timeval tv{20, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        char buf[256];
        (void)!::recv(fd, buf, sizeof buf, 0);
        ::close(fd);
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (auto& t : sent) t.join();
  }

  int port_;
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
  std::vector<int> idle_;
};

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
  // A wrong password or a file over the default limit (64 MB) must store nothing. The server answers
  // such a body before reading it and closes, so a client still sending may see no reply at all.
  if (pw != "demo" || mb > 64) return ok > 0 ? 1 : 0;
  return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0, port2 = 0, clients = 8, records = 4000, slow = 0, uploads = 0, uploadMb = 60;
  std::string uploadPw = "demo";
  std::string db, attack;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--port") port = atoi(argv[i + 1]);
    else if (a == "--port2") port2 = atoi(argv[i + 1]);
    else if (a == "--clients") clients = atoi(argv[i + 1]);
    else if (a == "--records") records = atoi(argv[i + 1]);
    else if (a == "--db") db = argv[i + 1];
    else if (a == "--slow") slow = atoi(argv[i + 1]);
    else if (a == "--uploads") uploads = atoi(argv[i + 1]);
    else if (a == "--upload-mb") uploadMb = atoi(argv[i + 1]);
    else if (a == "--upload-pw") uploadPw = argv[i + 1];
    else if (a == "--attack") attack = argv[i + 1];
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

  std::vector<int> slowFds;
  for (int i = 0; i < slow; ++i) slowFds.push_back(SlowClient(port, i % 3));
  std::unique_ptr<Attack> attacker;
  if (!attack.empty()) {
    attacker = std::make_unique<Attack>(port, attack);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the attack in full swing first
  }
  double loginSecs = -1;
  {
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
    // With a second server on the same database, every other client posts to it.
    threads.emplace_back([&, c] {
      httplib::Client cli("127.0.0.1", port2 > 0 && c % 2 ? port2 : port);
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
  attacker.reset();
  auto done = setup.Post("/ASP/vx__InsertProductComplete.asp", login, form);

  // The records of this run: an earlier run on the same database had its tabs replaced by it.
  long stored = 0;
  {
    qs::Store store(db);
    if (auto run = store.LastRun("9001")) stored = static_cast<long>(run->headers + run->articles);
  }
  printf("clients            %d\n", clients);
  printf("records sent       %d (%.1f MB of request bodies)\n", records, bytes / 1e6);
  printf("accepted           %d\n", ok.load());
  printf("failed             %d\n", failed.load());
  printf("stored (database)  %ld\n", stored);
  printf("time               %.2f s\n", secs);
  printf("records per second %.0f\n", records / secs);
  if (slow > 0) printf("slow clients       %d\n", slow);
  if (!attack.empty()) printf("attack             %s\n", attack.c_str());
  if (loginSecs < 0) printf("login beside them  FAILED\n");
  else printf("login beside them  %.3f s\n", loginSecs);
  for (int fd : slowFds) ::close(fd);
  bool lost = stored != records || ok != records;
  printf("%s\n", lost ? "RECORDS LOST" : "no record lost");
  return lost || !done || loginSecs < 0 ? 1 : 0;
}
