#pragma once
// The server's own connection loop under httplib: one thread waits on every connection until a whole
// request head has arrived, so idle and slow clients hold no worker; limits on the head, on the
// connections of one client address and on the time of each request; and a byte-exact check that a
// request body arrived whole.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace qs {

struct ConnectionLimits {
  int idleSeconds = 5;               // a connection waits this long for the first byte of a request
  int gapSeconds = 5;                // the longest silence inside a body (and for a reply write)
  int headerSeconds = 10;            // the request line and all headers
  size_t minBodyBytesPerSecond = 8192;  // slowest average a body may keep, after headerSeconds of grace
  size_t maxWorkers = 512;
  size_t maxHeadBytes = 64 * 1024;   // request line and headers
  size_t maxHeaderLines = 100;
  size_t maxPerAddress = 256;        // connections open at once from one client address
};

// One client connection; handlers reach the one being served through Current().
class Connection final : public httplib::Stream {
 public:
  Connection(socket_t sock, std::string address, const ConnectionLimits& limits,
             const std::atomic<socket_t>& listening);

  static Connection* Current();

  // Starts following the request body (Content-Length or chunked framing) as httplib reads it.
  void StartBody(const httplib::Request& req);
  // True when everything httplib handed over is exactly the announced body, framing included.
  bool BodyComplete() const;
  // The reply goes out with "Connection: close" and the socket closes after it (a body left unread).
  void CloseAfterReply() { closeAfter_ = true; }
  bool closing() const { return closeAfter_; }
  // Time the server itself spent (a held login) does not count against the client's body rate.
  void Excuse(std::chrono::steady_clock::duration d) { bodyStart_ += d; }
  // The headers as the client sent them: httplib percent-decodes header values.
  httplib::Headers RawHeaders() const;
  // Set once the request reached routing; a request refused before that ends the connection.
  void Screened() { screened_ = true; }
  bool screened() const { return screened_; }
  const std::string& address() const { return address_; }

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return sock_; }

  enum class Head { More, Complete, TooLarge, Gone };
  // Reads what has arrived without waiting and tells whether a whole request head is buffered.
  Head ReadHead();
  // The moment a connection waiting for its head is given up.
  std::chrono::steady_clock::time_point HeadDeadline() const { return headDeadline_; }
  // Between requests: the next head is awaited from now on.
  void AwaitRequest();
  // A whole head is buffered: the request is about to be served.
  void BeginRequest();
  bool failed() const { return failed_; }
  size_t served() const { return served_; }
  // Closes without cutting off the reply: the peer may still be sending what was not read.
  void Close();

 private:
  using Time = std::chrono::steady_clock::time_point;
  bool Wait(short events, Time deadline) const;
  Time ReadDeadline() const;
  bool Follow(const char* p, size_t n);  // false when the bytes break the body's framing

  socket_t sock_;
  std::string address_;
  const ConnectionLimits& limits_;
  const std::atomic<socket_t>& listening_;
  std::string in_;  // received, not yet handed over from pos_ on
  size_t pos_ = 0;
  size_t scan_ = 0, lineStart_ = 0, lines_ = 0;  // how far the head was scanned, and its complete lines
  bool started_ = false;                          // a byte of the next request has arrived
  std::string head_;
  bool failed_ = false, closeAfter_ = false, screened_ = false;
  size_t served_ = 0;
  Time headDeadline_{};

  enum class Body { None, Length, Chunked } body_ = Body::None;
  enum class Chunk { Size, SizeLf, Data, DataCr, DataLf, Trailer, TrailerLf, Done, Broken } chunk_ = Chunk::Size;
  uint64_t announced_ = 0, seen_ = 0, chunkLeft_ = 0;
  size_t lineLen_ = 0;
  bool sizeDigits_ = false, sizeExt_ = false;
  Time bodyStart_{};
};

class Dispatcher;

class GuardedServer : public httplib::Server {
 public:
  explicit GuardedServer(ConnectionLimits limits);
  const ConnectionLimits& limits() const { return limits_; }
  // httplib listens with a backlog of 5: a burst of connections would wait for SYN retries.
  void WidenBacklog();
  // True once stop() was called: waits inside handlers end early.
  bool stopping() const { return svr_sock_ == INVALID_SOCKET; }

 private:
  friend class Dispatcher;
  // Called on the accepting thread: the socket joins the waiting connections.
  bool process_and_close_socket(socket_t sock) override;
  void Serve(std::unique_ptr<Connection> conn);
  ConnectionLimits limits_;
  Dispatcher* dispatcher_ = nullptr;  // httplib owns it as the task queue of the running listen
};

}  // namespace qs
