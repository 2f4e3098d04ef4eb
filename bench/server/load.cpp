// Load check of quilo-server: N clients post article records in parallel to a server on loopback,
// then the records in its database are counted against the records sent.
#include <httplib.h>

#include <atomic>
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

}  // namespace

int main(int argc, char** argv) {
  int port = 0, clients = 8, records = 4000;
  std::string db;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--port") port = atoi(argv[i + 1]);
    else if (a == "--clients") clients = atoi(argv[i + 1]);
    else if (a == "--records") records = atoi(argv[i + 1]);
    else if (a == "--db") db = argv[i + 1];
  }
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
  bool lost = stored != records || ok != records;
  printf("%s\n", lost ? "RECORDS LOST" : "no record lost");
  return lost || !done ? 1 : 0;
}
