#include "Connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace qs {

namespace {

using Clock = std::chrono::steady_clock;
thread_local Connection* tl_current = nullptr;

// Threads are made when every worker is busy, up to a bound, so that idle or slow connections
// (each holds its worker for at most a few seconds of silence) never starve a real request.
class GrowingPool : public httplib::TaskQueue {
 public:
  explicit GrowingPool(size_t max) : max_(std::max<size_t>(max, 1)) {}
  void enqueue(std::function<void()> fn) override {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(fn));
    // Idle workers already woken for earlier jobs do not count: each waiting job needs its own.
    if (jobs_.size() > idle_ && threads_.size() < max_) threads_.emplace_back([this] { Work(); });
    else cond_.notify_one();
  }
  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    cond_.notify_all();
    for (auto& t : threads_) t.join();
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      ++idle_;
      cond_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
      --idle_;
      if (jobs_.empty()) return;
      auto fn = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      fn();
      lock.lock();
    }
  }
  size_t max_;
  std::mutex mutex_;
  std::condition_variable cond_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  size_t idle_ = 0;
  bool stop_ = false;
};

void Address(const sockaddr_storage& a, std::string& ip, int& port) {
  char host[INET6_ADDRSTRLEN] = "";
  if (a.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&a);
    inet_ntop(AF_INET, &in->sin_addr, host, sizeof host);
    port = ntohs(in->sin_port);
  } else if (a.ss_family == AF_INET6) {
    const auto* in = reinterpret_cast<const sockaddr_in6*>(&a);
    inet_ntop(AF_INET6, &in->sin6_addr, host, sizeof host);
    port = ntohs(in->sin6_port);
  }
  ip = host;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

}  // namespace

Connection::Connection(socket_t sock, const ConnectionLimits& limits, const std::atomic<socket_t>& listening)
    : sock_(sock), limits_(limits), listening_(listening) {}

Connection* Connection::Current() { return tl_current; }

// Polls in short slices so that a stopping server is not held up by a silent peer.
bool Connection::Wait(short events, Time deadline) const {
  for (;;) {
    if (listening_ == INVALID_SOCKET) return false;
    auto now = Clock::now();
    if (now >= deadline) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    pollfd p{sock_, events, 0};
    int rc = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 200)) + 1);
    if (rc > 0) return true;
    if (rc < 0 && errno != EINTR) return false;
  }
}

Connection::Time Connection::ReadDeadline() const {
  Time t = Clock::now() + std::chrono::seconds(limits_.gapSeconds);
  if (body_ == Body::None) return std::min(t, headerDeadline_);
  // A body may trickle, but not slower on average than the bound.
  auto allowed = std::chrono::seconds(limits_.headerSeconds) +
                 std::chrono::milliseconds(seen_ * 1000 / std::max<size_t>(limits_.minBodyBytesPerSecond, 1));
  return std::min(t, bodyStart_ + std::chrono::duration_cast<Clock::duration>(allowed));
}

bool Connection::is_readable() const { return pos_ < len_ || Wait(POLLIN, ReadDeadline()); }

bool Connection::is_writable() const {
  return Wait(POLLOUT, Clock::now() + std::chrono::seconds(limits_.gapSeconds));
}

ssize_t Connection::read(char* ptr, size_t size) {
  if (failed_) return -1;
  if (pos_ == len_) {
    if (!Wait(POLLIN, ReadDeadline())) {
      failed_ = true;
      return -1;
    }
    ssize_t n;
    do n = ::recv(sock_, buf_, sizeof buf_, 0);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
      failed_ = true;
      return n;
    }
    pos_ = 0;
    len_ = static_cast<size_t>(n);
  }
  size_t n = std::min(size, len_ - pos_);
  if (!Follow(buf_ + pos_, n)) {
    failed_ = true;
    return -1;
  }
  memcpy(ptr, buf_ + pos_, n);
  pos_ += n;
  return static_cast<ssize_t>(n);
}

ssize_t Connection::write(const char* ptr, size_t size) {
  if (!is_writable()) return -1;
  ssize_t n;
  do n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  return n;
}

void Connection::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  ip.clear();
  port = 0;
  if (::getpeername(sock_, reinterpret_cast<sockaddr*>(&a), &len) == 0) Address(a, ip, port);
}

void Connection::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  ip.clear();
  port = 0;
  if (::getsockname(sock_, reinterpret_cast<sockaddr*>(&a), &len) == 0) Address(a, ip, port);
}

bool Connection::WaitForRequest() {
  return pos_ < len_ || Wait(POLLIN, Clock::now() + std::chrono::seconds(limits_.idleSeconds));
}

void Connection::BeginRequest() {
  headerDeadline_ = Clock::now() + std::chrono::seconds(limits_.headerSeconds);
  body_ = Body::None;
  closeAfter_ = false;
}

void Connection::StartBody(const httplib::Request& req) {
  bodyStart_ = Clock::now();
  seen_ = 0;
  if (req.get_header_value("Transfer-Encoding").find("chunked") != std::string::npos) {
    body_ = Body::Chunked;
    chunk_ = Chunk::Size;
    lineLen_ = 0;
    sizeDigits_ = sizeExt_ = false;
    chunkLeft_ = 0;
  } else {
    body_ = Body::Length;
    announced_ = req.get_header_value<uint64_t>("Content-Length");
  }
}

bool Connection::BodyComplete() const {
  if (body_ == Body::Length) return seen_ == announced_;
  if (body_ == Body::Chunked) return chunk_ == Chunk::Done;
  return true;
}

// Follows the chunked framing byte by byte: httplib's own reader takes a chunk whose line end is
// missing as the end of the body, so a broken chunk would pass as a short, complete body.
bool Connection::Follow(const char* p, size_t n) {
  if (body_ == Body::None) return true;
  seen_ += n;
  if (body_ == Body::Length) return true;
  for (size_t i = 0; i < n; ++i) {
    char c = p[i];
    switch (chunk_) {
      case Chunk::Size:
        if (++lineLen_ > 1024) {
          chunk_ = Chunk::Broken;
        } else if (c == '\r') {
          chunk_ = sizeDigits_ ? Chunk::SizeLf : Chunk::Broken;
        } else if (sizeExt_) {
          // a chunk extension: ignored up to the line end
        } else if (c == ';') {
          if (sizeDigits_) sizeExt_ = true;
          else chunk_ = Chunk::Broken;
        } else if (IsHex(c) && chunkLeft_ < (uint64_t{1} << 40)) {
          chunkLeft_ = chunkLeft_ * 16 + static_cast<uint64_t>(HexValue(c));
          sizeDigits_ = true;
        } else {
          chunk_ = Chunk::Broken;
        }
        break;
      case Chunk::SizeLf:
        chunk_ = c != '\n' ? Chunk::Broken : chunkLeft_ == 0 ? Chunk::Trailer : Chunk::Data;
        lineLen_ = 0;
        break;
      case Chunk::Data: {
        size_t take = static_cast<size_t>(std::min<uint64_t>(chunkLeft_, n - i));
        chunkLeft_ -= take;
        i += take - 1;
        if (chunkLeft_ == 0) chunk_ = Chunk::DataCr;
        break;
      }
      case Chunk::DataCr:
        chunk_ = c == '\r' ? Chunk::DataLf : Chunk::Broken;
        break;
      case Chunk::DataLf:
        chunk_ = c == '\n' ? Chunk::Size : Chunk::Broken;
        lineLen_ = 0;
        sizeDigits_ = sizeExt_ = false;
        break;
      case Chunk::Trailer:
        if (++lineLen_ > 8192) chunk_ = Chunk::Broken;
        else if (c == '\r') chunk_ = Chunk::TrailerLf;
        break;
      case Chunk::TrailerLf:
        if (c != '\n') chunk_ = Chunk::Broken;
        else chunk_ = lineLen_ == 1 ? Chunk::Done : Chunk::Trailer;
        lineLen_ = 0;
        break;
      case Chunk::Done:
      case Chunk::Broken:
        chunk_ = Chunk::Broken;
        break;
    }
    if (chunk_ == Chunk::Broken) return false;
  }
  return true;
}

void Connection::Close() {
  if (closeAfter_) {
    // Unread bytes in the receive queue would turn the close into a reset that can overtake the
    // reply; let the peer see the end first and drop what it still sends, briefly.
    ::shutdown(sock_, SHUT_WR);
    auto end = Clock::now() + std::chrono::seconds(1);
    char sink[16384];
    size_t dropped = 0;
    while (dropped < (4u << 20) && Wait(POLLIN, end)) {
      ssize_t n = ::recv(sock_, sink, sizeof sink, 0);
      if (n <= 0) break;
      dropped += static_cast<size_t>(n);
    }
  }
  ::shutdown(sock_, SHUT_RDWR);
  ::close(sock_);
}

GuardedServer::GuardedServer(ConnectionLimits limits) : limits_(limits) {
  size_t max = limits_.maxWorkers;
  new_task_queue = [max] { return new GrowingPool(max); };
}

void GuardedServer::WidenBacklog() {
  if (svr_sock_ != INVALID_SOCKET) ::listen(svr_sock_, SOMAXCONN);
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
  Connection conn(sock, limits_, svr_sock_);
  tl_current = &conn;
  bool ret = false;
  for (size_t left = keep_alive_max_count_; left > 0; --left) {
    if (!conn.WaitForRequest()) break;
    conn.BeginRequest();
    bool closed = false;
    ret = process_request(conn, left == 1, closed, nullptr);
    if (!ret || closed || conn.failed() || conn.closing()) break;
  }
  tl_current = nullptr;
  conn.Close();
  return ret;
}

}  // namespace qs
