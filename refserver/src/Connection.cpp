#include "Connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Codec.h"

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

Connection::Connection(socket_t sock, std::string address, const ConnectionLimits& limits,
                       const std::atomic<socket_t>& listening)
    : sock_(sock), address_(std::move(address)), limits_(limits), listening_(listening) {
  AwaitRequest();
}

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
  if (body_ == Body::None) return std::min(t, headDeadline_);
  // A body may trickle, but not slower on average than the bound.
  auto allowed = std::chrono::seconds(limits_.headerSeconds) +
                 std::chrono::milliseconds(seen_ * 1000 / std::max<size_t>(limits_.minBodyBytesPerSecond, 1));
  return std::min(t, bodyStart_ + std::chrono::duration_cast<Clock::duration>(allowed));
}

void Connection::AwaitRequest() {
  in_.erase(0, pos_);
  if (in_.empty()) std::string().swap(in_);  // an idle connection keeps no buffer
  pos_ = scan_ = lineStart_ = lines_ = 0;
  started_ = !in_.empty();
  headDeadline_ = Clock::now() + std::chrono::seconds(started_ ? limits_.headerSeconds : limits_.idleSeconds);
}

Connection::Head Connection::ReadHead() {
  bool ended = false;
  while (in_.size() - pos_ <= limits_.maxHeadBytes) {
    char buf[16384];
    ssize_t n = ::recv(sock_, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      ended = true;  // a request sent whole before the peer stopped sending is still served
      break;
    }
    if (!started_) {
      started_ = true;
      headDeadline_ = Clock::now() + std::chrono::seconds(limits_.headerSeconds);
    }
    in_.append(buf, static_cast<size_t>(n));
  }
  // The head ends at the first empty line after the request line; httplib skips lines that do not
  // end in CR LF, so only an exact CR LF line ends it.
  for (; scan_ < in_.size(); ++scan_) {
    if (scan_ - pos_ >= limits_.maxHeadBytes) return Head::TooLarge;
    if (in_[scan_] != '\n') continue;
    if (lines_ > 0 && scan_ == lineStart_ + 1 && in_[lineStart_] == '\r') {
      head_.assign(in_, pos_, scan_ + 1 - pos_);
      return Head::Complete;
    }
    lineStart_ = scan_ + 1;
    if (++lines_ > limits_.maxHeaderLines + 1) return Head::TooLarge;
  }
  return ended ? Head::Gone : Head::More;
}

httplib::Headers Connection::RawHeaders() const {
  httplib::Headers headers;
  size_t at = head_.find('\n');
  while (at != std::string::npos && at + 1 < head_.size()) {
    size_t end = head_.find('\n', at + 1);
    if (end == std::string::npos) break;
    std::string_view line(head_.data() + at + 1, end - at - 1);
    at = end;
    if (line.empty() || line.back() != '\r') continue;
    line.remove_suffix(1);
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;
    std::string value = Trim(line.substr(colon + 1));
    if (!value.empty()) headers.emplace(std::string(line.substr(0, colon)), std::move(value));
  }
  return headers;
}

bool Connection::is_readable() const { return pos_ < in_.size() || Wait(POLLIN, ReadDeadline()); }

bool Connection::is_writable() const {
  return Wait(POLLOUT, Clock::now() + std::chrono::seconds(limits_.gapSeconds));
}

ssize_t Connection::read(char* ptr, size_t size) {
  if (failed_) return -1;
  if (pos_ == in_.size()) {
    if (!Wait(POLLIN, ReadDeadline())) {
      failed_ = true;
      return -1;
    }
    in_.resize(16384);
    pos_ = 0;
    ssize_t n;
    do n = ::recv(sock_, in_.data(), in_.size(), 0);
    while (n < 0 && errno == EINTR);
    in_.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (n <= 0) {
      failed_ = true;
      return n;
    }
  }
  size_t n = std::min(size, in_.size() - pos_);
  if (!Follow(in_.data() + pos_, n)) {
    failed_ = true;
    return -1;
  }
  memcpy(ptr, in_.data() + pos_, n);
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

void Connection::BeginRequest() {
  body_ = Body::None;
  closeAfter_ = screened_ = false;
  ++served_;
}

void Connection::StartBody(const httplib::Request& req) {
  bodyStart_ = Clock::now();
  seen_ = 0;
  if (ToLowerAscii(req.get_header_value("Transfer-Encoding")) == "chunked") {
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

// Waits on every connection that has no whole request head yet, on one thread: idle, trickling and
// flooding clients cost a socket and a small buffer, never a worker. A whole head goes to a worker;
// a kept-alive connection comes back after its reply. httplib takes it for its task queue, so that
// the accepting thread hands each new socket over directly.
class Dispatcher final : public httplib::TaskQueue {
 public:
  explicit Dispatcher(GuardedServer& server) : server_(server), pool_(server.limits().maxWorkers) {
    rlimit r{};
    // Sockets beyond this would leave the database and the uploads without descriptors.
    if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur != RLIM_INFINITY)
      maxTotal_ = std::max<size_t>(static_cast<size_t>(r.rlim_cur), 128) - 64;
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = wake_;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &e);
    thread_ = std::thread([this] { Loop(); });
  }
  ~Dispatcher() override {
    shutdown();
    ::close(epoll_);
    ::close(wake_);
  }

  void enqueue(std::function<void()> fn) override { fn(); }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      stop_ = true;
    }
    Wake();
    thread_.join();
    pool_.shutdown();
  }

  // A new connection, refused at once when its address (or the server) has too many.
  void Adopt(socket_t sock) {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    std::string address;
    int port = 0;
    if (::getpeername(sock, reinterpret_cast<sockaddr*>(&a), &len) == 0) Address(a, address, port);
    {
      std::lock_guard lock(mutex_);
      auto benched = benched_.find(address);
      if (benched != benched_.end() && benched->second > Clock::now()) {
        ::close(sock);
        return;
      }
      size_t& mine = perAddress_[address];
      if (!stop_ && mine < server_.limits().maxPerAddress && total_ < maxTotal_) {
        ++mine;
        ++total_;
        incoming_.push_back(std::make_unique<Connection>(sock, address, server_.limits(), server_.svr_sock_));
        Wake();
        return;
      }
      if (mine == 0) perAddress_.erase(address);
    }
    Refuse(sock, "503 Service Unavailable", "server busy");
  }

  // Back from a worker: the connection waits for its next request.
  void Await(std::unique_ptr<Connection> c) {
    c->AwaitRequest();
    {
      std::lock_guard lock(mutex_);
      if (!stop_) {
        incoming_.push_back(std::move(c));
        Wake();
        return;
      }
    }
    Finish(std::move(c));
  }

  void Finish(std::unique_ptr<Connection> c) {
    c->Close();
    std::lock_guard lock(mutex_);
    auto it = perAddress_.find(c->address());
    if (it != perAddress_.end() && --it->second == 0) perAddress_.erase(it);
    --total_;
  }

 private:
  void Wake() {
    uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
  }

  // A short reply on a socket that is then closed; what does not fit at once is dropped.
  static void Refuse(socket_t sock, const char* status, const char* reason) {
    std::string body = std::string("ERROR: ") + reason + "\r\n";
    std::string reply = std::string("HTTP/1.1 ") + status +
                        "\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body;
    (void)!::send(sock, reply.data(), reply.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
  }

  // No client of ours sends a head that large: its address is closed on at accept for a while, so that
  // a header flood costs an accept and a close instead of reading heads on and on.
  void Bench(const std::string& address) {
    std::lock_guard lock(mutex_);
    auto now = Clock::now();
    if (benched_.size() > 10000) std::erase_if(benched_, [&](const auto& b) { return b.second <= now; });
    benched_[address] = now + std::chrono::seconds(2);
  }

  void Drop(int fd, std::unique_ptr<Connection> c) {
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    Finish(std::move(c));
  }

  // Looks at what a connection sent: a whole head goes to a worker, a broken one is answered.
  void Check(std::unique_ptr<Connection>& slot, bool watched) {
    int fd = slot->socket();
    switch (slot->ReadHead()) {
      case Connection::Head::More:
        if (!watched) {
          epoll_event e{};
          e.events = EPOLLIN;
          e.data.fd = fd;
          ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e);
          waiting_[fd] = std::move(slot);
        }
        return;
      case Connection::Head::Complete: {
        if (watched) ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        Connection* c = slot.release();
        c->BeginRequest();
        pool_.enqueue([this, c] { server_.Serve(std::unique_ptr<Connection>(c)); });
        break;
      }
      case Connection::Head::TooLarge: {
        std::string reply = "ERROR: request headers too large\r\n";
        reply = "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Type: text/plain; charset=utf-8\r\n"
                "Connection: close\r\nContent-Length: " + std::to_string(reply.size()) + "\r\n\r\n" + reply;
        (void)!::send(fd, reply.data(), reply.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        Bench(slot->address());
        Drop(fd, std::move(slot));
        break;
      }
      case Connection::Head::Gone:
        Drop(fd, std::move(slot));
        break;
    }
    if (watched) waiting_.erase(fd);
  }

  void Loop() {
    std::vector<epoll_event> events(256);
    auto sweep = Clock::now();
    for (;;) {
      int n = ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 100);
      std::vector<std::unique_ptr<Connection>> fresh;
      bool stop;
      {
        std::lock_guard lock(mutex_);
        fresh.swap(incoming_);
        stop = stop_;
      }
      if (stop) {
        for (auto& c : fresh) Finish(std::move(c));
        for (auto& [fd, c] : waiting_) Finish(std::move(c));
        waiting_.clear();
        return;
      }
      for (int i = 0; i < n; ++i) {
        int fd = events[static_cast<size_t>(i)].data.fd;
        if (fd == wake_) {
          uint64_t count;
          (void)!::read(wake_, &count, sizeof count);
          continue;
        }
        auto it = waiting_.find(fd);
        if (it != waiting_.end()) Check(it->second, true);
      }
      for (auto& c : fresh) Check(c, false);
      auto now = Clock::now();
      if (now - sweep >= std::chrono::milliseconds(100)) {
        sweep = now;
        for (auto it = waiting_.begin(); it != waiting_.end();) {
          if (it->second->HeadDeadline() > now) {
            ++it;
            continue;
          }
          ::epoll_ctl(epoll_, EPOLL_CTL_DEL, it->first, nullptr);
          Finish(std::move(it->second));
          it = waiting_.erase(it);
        }
      }
    }
  }

  GuardedServer& server_;
  GrowingPool pool_;
  int epoll_ = -1, wake_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Connection>> incoming_;
  std::map<std::string, size_t> perAddress_;
  std::map<std::string, Clock::time_point> benched_;  // addresses that sent too large a head
  size_t total_ = 0, maxTotal_ = 1u << 20;
  bool stop_ = false;
  std::unordered_map<int, std::unique_ptr<Connection>> waiting_;  // the loop thread's own
};

GuardedServer::GuardedServer(ConnectionLimits limits) : limits_(limits) {
  new_task_queue = [this] {
    dispatcher_ = new Dispatcher(*this);
    return dispatcher_;
  };
}

void GuardedServer::WidenBacklog() {
  if (svr_sock_ != INVALID_SOCKET) ::listen(svr_sock_, SOMAXCONN);
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
  dispatcher_->Adopt(sock);
  return true;
}

void GuardedServer::Serve(std::unique_ptr<Connection> conn) {
  tl_current = conn.get();
  bool closed = false;
  bool last = conn->served() >= keep_alive_max_count_;
  bool ok = process_request(*conn, last, closed, nullptr);
  tl_current = nullptr;
  if (ok && !closed && !last && !conn->failed() && !conn->closing() && conn->screened())
    dispatcher_->Await(std::move(conn));
  else
    dispatcher_->Finish(std::move(conn));
}

}  // namespace qs
