// quilo-server: the reference production server, and its administration commands.
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Readback.h"
#include "Seed.h"
#include "Server.h"
#include "Store.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "usage: quilo-server --data DIR [--db URL] [--port N] [--bind ADDR] [--seed DIR] [--max-file-mb N]\n"
    "                    [--max-per-address N]\n"
    "       quilo-server admin --data DIR [--db URL] COMMAND ...\n"
    "       quilo-server admin migrate --from DIR --to URL\n"
    "\n"
    "Serves on 127.0.0.1:8079 by default; --port 0 picks a free port. --seed loads a seed folder\n"
    "into an empty database. --max-file-mb sets the largest uploaded file (64 MB).\n"
    "The database is DIR/quilo.db (SQLite) unless --db or QUILO_DB names a PostgreSQL database\n"
    "(postgresql://USER@HOST/NAME); then several servers may share it and the folder DIR.\n"
    "--max-per-address sets the connections one client address may hold open (256).\n"
    "The pages at / need a staff login; the data folder is readable by its owner only.\n"
    "\n"
    "Administration commands:\n"
    "  staff-set ID NAME LEVEL        add or change a staff member; the password is read from\n"
    "                                 QUILO_STAFF_PW or the first line of standard input\n"
    "  product-set ID CODE NAME SERVICE SRCIMG INSIMG TABS LINKS TABIDS [FAVKEY]\n"
    "                                 add or change a product (TABS, TABIDS comma-separated,\n"
    "                                 LINKS pairs \"tab,connected tab\" or x)\n"
    "  assign STAFF PRODUCT           give a product to a staff member\n"
    "  codetable-load FILE            replace the code table (GROUP TAB NAME TAB VALUE)\n"
    "  metainfo-load FILE             replace the column definitions (VuxMetaInfo.txt format)\n"
    "  keywords-load PRODUCT FILE     replace a product's keyword definitions\n"
    "  updater-load FILE              replace the updater served as Tupdate.exe\n"
    "  seed-load DIR                  load a seed folder\n"
    "  list                           show the products\n"
    "  product-show PRODUCT           the product's last run (ID, mode, state, staff, started,\n"
    "                                 completed, note) and everything it holds, one TAB-separated\n"
    "                                 line each: record AR_ID CONTENT PAGE HEADER RUN TITLE and the\n"
    "                                 length:SHA-256 of html, coremeta, exmeta, exaddmeta, imgmeta;\n"
    "                                 tablink TRAN_AR CONTENT PAGE ORI_AR CONTENT PAGE RUN;\n"
    "                                 imagelink ARID PAGE RUN IMAGES; file FOLDER NAME SIZE RUN\n"
    "                                 disk=SIZE|missing; then the counts\n"
    "  migrate --from DIR --to URL    copy the SQLite store of DIR into an empty PostgreSQL database\n"
    "                                 and check the rows of every table\n";

std::atomic<qs::QuiloServer*> g_server{nullptr};

void OnSignal(int) {
  // stop() only flips a flag and shuts the listening socket down.
  if (auto* s = g_server.load()) s->Stop();
}

int Usage(const std::string& msg) {
  if (!msg.empty()) fprintf(stderr, "quilo-server: %s\n", msg.c_str());
  fputs(kUsage, stderr);
  return 2;
}

// The database holds password hashes and everything uploaded: the owner's only.
std::unique_ptr<qs::Store> OpenStore(const std::string& dataDir, const std::string& db) {
  fs::path dir(dataDir);
  if (!fs::exists(dir)) {
    fs::create_directories(dir);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace);
  }
  if (!db.empty()) return std::make_unique<qs::Store>(db);
  auto store = std::make_unique<qs::Store>((dir / "quilo.db").string());
  for (const char* name : {"quilo.db", "quilo.db-wal", "quilo.db-shm"}) {
    std::error_code ec;
    if (fs::exists(dir / name, ec))
      fs::permissions(dir / name, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
  }
  return store;
}

bool DropToOwnerOf(const std::string& dataDir) {
  struct stat st {};
  if (geteuid() != 0 || stat(dataDir.c_str(), &st) != 0 || st.st_uid == 0) return true;
  if (setgroups(0, nullptr) != 0 || setgid(st.st_gid) != 0 || setuid(st.st_uid) != 0) {
    fprintf(stderr, "quilo-server: cannot work as the owner (uid %u) of %s\n", unsigned(st.st_uid), dataDir.c_str());
    return false;
  }
  return true;
}

// Copies DIR/quilo.db into an empty PostgreSQL database; the files stay in DIR for both.
int Migrate(const std::vector<std::string>& a) {
  std::string from, to;
  for (size_t i = 1; i + 1 < a.size(); i += 2) {
    if (a[i] == "--from") from = a[i + 1];
    else if (a[i] == "--to") to = a[i + 1];
    else return Usage("unknown migrate option " + a[i]);
  }
  if (a.size() % 2 == 0 || from.empty() || to.empty()) return Usage("migrate needs --from DIR --to URL");
  if (!qs::IsDatabaseUrl(to)) return Usage("--to must be a postgresql:// URL");
  fs::path file = fs::path(from) / "quilo.db";
  if (!fs::is_regular_file(file)) {
    fprintf(stderr, "quilo-server: no database %s\n", file.c_str());
    return 1;
  }
  qs::Store source(file.string());
  qs::Store target(to);
  for (const auto& line : target.CopyFrom(source)) printf("%s\n", line.c_str());
  fprintf(stderr, "quilo-server: every table holds as many rows as in %s\n", file.c_str());
  return 0;
}

int Admin(const std::string& dataDir, const std::string& db, const std::vector<std::string>& a) {
  if (a.empty()) return Usage("no administration command");
  if (a[0] == "migrate") return Migrate(a);
  if (dataDir.empty()) return Usage("--data DIR is required");
  auto store = OpenStore(dataDir, db);
  const std::string& cmd = a[0];
  auto need = [&](size_t lo, size_t hi) {
    if (a.size() - 1 < lo || a.size() - 1 > hi) throw std::invalid_argument("wrong number of arguments for " + cmd);
  };
  if (cmd == "staff-set") {
    need(3, 3);
    std::string pw;
    if (const char* e = getenv("QUILO_STAFF_PW")) {
      pw = e;
    } else {
      std::getline(std::cin, pw);
      if (!pw.empty() && pw.back() == '\r') pw.pop_back();
    }
    store->SetStaff(a[1], a[2], a[3], pw);
    printf("staff %s set\n", a[1].c_str());
  } else if (cmd == "product-set") {
    need(9, 10);
    qs::Product p{a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], 0};
    if (a.size() > 10) p.favKey = atoi(a[10].c_str());
    store->SetProduct(p);
    printf("product %s set\n", a[1].c_str());
  } else if (cmd == "assign") {
    need(2, 2);
    store->Assign(a[1], a[2]);
    printf("product %s assigned to %s\n", a[2].c_str(), a[1].c_str());
  } else if (cmd == "codetable-load") {
    need(1, 1);
    qs::LoadCodeTableFile(*store, a[1]);
    printf("code rows: %zu\n", store->Codes().size());
  } else if (cmd == "metainfo-load") {
    need(1, 1);
    qs::LoadMetaInfoFile(*store, a[1]);
    printf("column definitions: %zu\n", store->MetaColumns().size());
  } else if (cmd == "keywords-load") {
    need(2, 2);
    qs::LoadKeywordsFile(*store, a[1], a[2]);
    printf("keyword lines of %s: %zu\n", a[1].c_str(), store->Keywords(a[1]).size());
  } else if (cmd == "updater-load") {
    need(1, 1);
    store->SetAsset("Tupdate.exe", qs::ReadBytes(a[1]));
    printf("updater loaded\n");
  } else if (cmd == "seed-load") {
    need(1, 1);
    for (const auto& line : qs::LoadSeed(*store, a[1])) printf("%s\n", line.c_str());
  } else if (cmd == "list") {
    need(0, 0);
    for (const auto& p : store->Products())
      printf("%s\t%s\t%s\t%s\ttabs %s (%s)\tlinks %s\n", p.id.c_str(), p.code.c_str(), p.name.c_str(),
             p.serviceId.c_str(), p.tabs.c_str(), p.tabIds.c_str(), p.tabLinks.c_str());
  } else if (cmd == "product-show") {
    need(1, 1);
    for (const auto& line : qs::ProductShowLines(*store, a[1], dataDir)) printf("%s\n", line.c_str());
  } else {
    return Usage("unknown administration command " + cmd);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool admin = !args.empty() && args[0] == "admin";
  if (admin) args.erase(args.begin());
  std::string dataDir, seed, bind = "127.0.0.1";
  std::string db = getenv("QUILO_DB") ? getenv("QUILO_DB") : "";
  int port = 8079;
  long maxFileMb = 64, maxPerAddress = 256;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& s = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(s + " needs a value");
      return args[++i];
    };
    try {
      if (s == "--help" || s == "-h") {
        fputs(kUsage, stdout);
        return 0;
      } else if (s == "--version") {
        printf("quilo-server %s\n", QUILO_VERSION);
        return 0;
      } else if (s == "--data") {
        dataDir = value();
      } else if (s == "--db") {
        db = value();
      } else if (!admin && s == "--port") {
        std::string v = value();
        char* end = nullptr;
        long n = strtol(v.c_str(), &end, 10);
        if (v.empty() || *end || n < 0 || n > 65535) return Usage("bad port " + v);
        port = static_cast<int>(n);
      } else if (!admin && s == "--bind") {
        bind = value();
      } else if (!admin && s == "--max-file-mb") {
        std::string v = value();
        char* end = nullptr;
        maxFileMb = strtol(v.c_str(), &end, 10);
        if (v.empty() || *end || maxFileMb < 1 || maxFileMb > 4096) return Usage("bad --max-file-mb " + v);
      } else if (!admin && s == "--max-per-address") {
        std::string v = value();
        char* end = nullptr;
        maxPerAddress = strtol(v.c_str(), &end, 10);
        if (v.empty() || *end || maxPerAddress < 1 || maxPerAddress > 1000000) return Usage("bad --max-per-address " + v);
      } else if (!admin && s == "--seed") {
        seed = value();
      } else if (!s.empty() && s[0] == '-' && (rest.empty() || rest[0] != "migrate")) {
        return Usage("unknown option " + s);
      } else {
        rest.push_back(s);
      }
    } catch (const std::invalid_argument& e) {
      return Usage(e.what());
    }
  }
  if (!db.empty() && !qs::IsDatabaseUrl(db)) return Usage("--db must be a postgresql:// URL");
  if (dataDir.empty() && !(admin && !rest.empty() && rest[0] == "migrate")) return Usage("--data DIR is required");
  // Whatever the server or its database library creates is the owner's only.
  umask(077);

  try {
    if (admin) {
      // Root administering a server that runs as its own user works as that user, so the
      // database files it creates stay the server's.
      if (!dataDir.empty() && !DropToOwnerOf(dataDir)) return 1;
      return Admin(dataDir, db, rest);
    }
    if (!rest.empty()) return Usage("unexpected argument " + rest[0]);

    auto store = OpenStore(dataDir, db);
    if (!seed.empty()) {
      if (store->IsEmpty()) {
        for (const auto& line : qs::LoadSeed(*store, seed)) printf("seed: %s\n", line.c_str());
      } else {
        printf("seed: the database already holds data; %s not loaded\n", seed.c_str());
      }
    }
    qs::ServerOptions opt;
    opt.dataDir = dataDir;
    opt.sharedData = !db.empty();
    opt.maxFileBytes = static_cast<size_t>(maxFileMb) << 20;
    opt.limits.maxPerAddress = static_cast<size_t>(maxPerAddress);
    // Every waiting connection holds a descriptor: take all the system allows.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
      files.rlim_cur = files.rlim_max;
      setrlimit(RLIMIT_NOFILE, &files);
    }
    qs::QuiloServer server(*store, opt);
    int bound = server.Bind(bind, port);
    if (bound < 0) {
      fprintf(stderr, "quilo-server: cannot listen on %s:%d\n", bind.c_str(), port);
      return 1;
    }
    g_server = &server;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    std::string host = bind.find(':') != std::string::npos ? "[" + bind + "]" : bind;
    printf("quilo-server listening on http://%s:%d\n", host.c_str(), bound);
    fflush(stdout);
    bool ok = server.Listen();
    g_server = nullptr;
    printf("quilo-server stopped\n");
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    fprintf(stderr, "quilo-server: %s\n", e.what());
    return 1;
  }
}
