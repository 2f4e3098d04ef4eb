// The reference server's file upload: any multipart body, sent over loopback to a server running in
// this process, gets an HTTP reply (never a crash, never a hang), and a stored file never lands
// outside the server's file store. The multipart parsing is cpp-httplib's; what is instrumented
// and guided is the server's own handling of the parts it hands over.
#include "Seed.h"
#include "Server.h"
#include "Store.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#define FUZZ_CHECK(cond, what)                                                                 \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s (%s)\n", __FILE__, __LINE__,  \
                         what, #cond);                                                         \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fs = std::filesystem;

static int g_port = 0;
static fs::path g_dir;

// One request on its own connection; the reply as far as the server sent it before closing.
static std::string Exchange(const std::string& request)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return {};
    timeval tv{10, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(g_port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        size_t sent = 0;
        while (sent < request.size()) {
            const ssize_t n = ::send(s, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += size_t(n);
        }
        ::shutdown(s, SHUT_WR);
        char buf[4096];
        for (;;) {
            const ssize_t n = ::recv(s, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            reply.append(buf, size_t(n));
        }
    }
    ::close(s);
    return reply;
}

static std::string Post(const std::string& path, const std::string& type, const std::string& body)
{
    return Exchange("POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: " + type
                    + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ::setenv("QUILO_SERVER_PBKDF2_ITERATIONS", "1000", 1);
    g_dir = fs::path(fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path())
        / ("quilo-fuzz-server-" + std::to_string(::getpid()));
    fs::remove_all(g_dir);
    fs::create_directories(g_dir);
    static qs::Store store((g_dir / "quilo.db").string());
    qs::LoadSeed(store, QUILO_SOURCE_DIR "/examples/demo/server");
    qs::ServerOptions opt;
    opt.dataDir = g_dir.string();
    opt.maxFileBytes = 1 << 20;
    opt.throttle.freeFailures = 1 << 30; // wrong logins are most inputs; holding them would stall the run
    static qs::QuiloServer server(store, opt);
    g_port = server.Bind("127.0.0.1", 0);
    if (g_port <= 0)
        std::abort();
    std::thread([] { server.Listen(); }).detach();
    server.WaitUntilRunning(5000);
    // An open upload run, so that a well-formed file part is stored.
    Post("/ASP/vx__InsertProductStart.asp", "application/x-www-form-urlencoded",
         "id=demo&pw=demo&p_id=9001&p_dcode=DEMO01");
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(g_dir, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    std::string reply = Post("/ASP/vx__use_fileup.asp", "multipart/form-data; boundary=QB", body);
    // Under load a loopback connection is now and then reset before the reply is read; a body that
    // really gets no reply gets none the second time either.
    if (reply.rfind("HTTP/1.1 ", 0) != 0)
        reply = Post("/ASP/vx__use_fileup.asp", "multipart/form-data; boundary=QB", body);
    FUZZ_CHECK(reply.rfind("HTTP/1.1 ", 0) == 0, "no HTTP reply to an upload");

    // Nothing but the database, the file store and its temporary pieces in the data folder.
    for (const auto& e : fs::directory_iterator(g_dir)) {
        const std::string name = e.path().filename().string();
        FUZZ_CHECK(name.rfind("quilo.db", 0) == 0 || name == "files" || name == "tmp",
                   "an upload wrote outside the file store");
    }
    return 0;
}
