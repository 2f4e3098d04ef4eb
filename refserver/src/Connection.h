#pragma once
// The server's own connection loop under httplib: time limits per request, a worker pool that grows
// with the connections, and a byte-exact check that a request body arrived whole.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace qs {

struct ConnectionLimits {
  int idleSeconds = 5;               // a kept-alive connection waits this long for its next request
  int gapSeconds = 5;                // the longest silence inside a request (and for a reply write)
  int headerSeconds = 10;            // the request line and all headers
  size_t minBodyBytesPerSecond = 8192;  // slowest average a body may keep, after headerSeconds of grace
  size_t maxWorkers = 512;
};

// The connection served on the calling thread; handlers use it to follow the body they read.
class Connection final : public httplib::Stream {
 public:
  Connection(socket_t sock, const ConnectionLimits& limits, const std::atomic<socket_t>& listening);

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

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return sock_; }

  // Between requests: waits for the first byte of the next one.
  bool WaitForRequest();
  void BeginRequest();
  bool failed() const { return failed_; }
  // Closes without cutting off the reply: the peer may still be sending what was not read.
  void Close();

 private:
  using Time = std::chrono::steady_clock::time_point;
  bool Wait(short events, Time deadline) const;
  Time ReadDeadline() const;
  bool Follow(const char* p, size_t n);  // false when the bytes break the body's framing

  socket_t sock_;
  const ConnectionLimits& limits_;
  const std::atomic<socket_t>& listening_;
  char buf_[8192];
  size_t pos_ = 0, len_ = 0;
  bool failed_ = false, closeAfter_ = false;
  Time headerDeadline_{};

  enum class Body { None, Length, Chunked } body_ = Body::None;
  enum class Chunk { Size, SizeLf, Data, DataCr, DataLf, Trailer, TrailerLf, Done, Broken } chunk_ = Chunk::Size;
  uint64_t announced_ = 0, seen_ = 0, chunkLeft_ = 0;
  size_t lineLen_ = 0;
  bool sizeDigits_ = false, sizeExt_ = false;
  Time bodyStart_{};
};

class GuardedServer : public httplib::Server {
 public:
  explicit GuardedServer(ConnectionLimits limits);
  const ConnectionLimits& limits() const { return limits_; }
  // httplib listens with a backlog of 5: a burst of connections would wait for SYN retries.
  void WidenBacklog();

 private:
  bool process_and_close_socket(socket_t sock) override;
  ConnectionLimits limits_;
};

}  // namespace qs
