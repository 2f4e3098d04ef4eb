#include "Access.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

#include "Codec.h"
#include "Password.h"
#include "Store.h"

namespace qs {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kSessionIdleSeconds = 8 * 3600;
// The count only needs to reach the longest delay.
constexpr int kMostCounted = 64;

}  // namespace

std::chrono::milliseconds LoginThrottle::Hold(const std::string& address, const std::string& id, bool* addressFailed) {
  const int64_t window = std::chrono::duration_cast<std::chrono::milliseconds>(opt_.window).count();
  const int fromAddress = store_.CountLoginFailures("a:" + address, window, kMostCounted);
  if (addressFailed) *addressFailed = fromAddress > 0;
  int n = std::max(fromAddress, store_.CountLoginFailures("i:" + id, window, kMostCounted));
  if (n < opt_.freeFailures) return std::chrono::milliseconds(0);
  auto delay = opt_.firstDelay;
  for (int i = opt_.freeFailures; i < n && delay < opt_.maxDelay; ++i) delay *= 2;
  return std::min(delay, opt_.maxDelay);
}

void LoginThrottle::Failed(const std::string& address, const std::string& id) {
  store_.AddLoginFailure({"a:" + address, "i:" + id},
                         std::chrono::duration_cast<std::chrono::milliseconds>(opt_.window).count());
}

bool LoginThrottle::Enter() {
  std::lock_guard lock(mutex_);
  if (held_ >= opt_.maxHeld) return false;
  ++held_;
  return true;
}

void LoginThrottle::Leave() {
  std::lock_guard lock(mutex_);
  --held_;
}

std::optional<Clock::time_point> LoginThrottle::CheckTurn(bool addressFailed) {
  std::lock_guard lock(mutex_);
  if (checkCost_ == Clock::duration::zero()) {
    // The first turn measures what a check costs, so that a first burst is spaced as well.
    auto from = Clock::now();
    BurnPasswordCheck(std::string());
    checkCost_ = Clock::now() - from;
  }
  auto now = Clock::now();
  const auto turn = std::chrono::duration_cast<Clock::duration>(checkCost_ / std::max(opt_.checkShare, 0.01));
  // An address without failures goes before the backlog of those that failed, so a staff member's
  // right password is not queued behind someone else's storm; the backlog's next turn moves back.
  if (!addressFailed) {
    auto start = std::max(now, nextClean_);
    if (start - now > opt_.checkQueue) return std::nullopt;
    nextClean_ = start + turn;
    nextCheck_ = std::max(nextCheck_, now) + turn;
    return start;
  }
  auto start = std::max(now, nextCheck_);
  if (start - now > opt_.checkQueue) return std::nullopt;
  nextCheck_ = start + turn;
  return start;
}

void LoginThrottle::Checked(Clock::duration cost) {
  std::lock_guard lock(mutex_);
  checkCost_ = cost;
}

std::string Sessions::Create(const std::string& staffId) {
  unsigned char raw[32];
  if (RAND_bytes(raw, sizeof raw) != 1) throw std::runtime_error("no random bytes for a session");
  static const char* hex = "0123456789abcdef";
  std::string token;
  for (unsigned char c : raw) {
    token += hex[c >> 4];
    token += hex[c & 15];
  }
  store_.PutSession(token, staffId, kSessionIdleSeconds);
  return token;
}

std::optional<std::string> Sessions::Find(const std::string& token) {
  if (token.size() != 64) return std::nullopt;
  return store_.FindSession(token, kSessionIdleSeconds);
}

void Sessions::Drop(const std::string& token) {
  if (token.size() == 64) store_.DropSession(token);
}

std::optional<std::pair<std::string, std::string>> ParseBasicAuth(const std::string& header) {
  if (header.size() < 7 || ToLowerAscii(header.substr(0, 6)) != "basic ") return std::nullopt;
  std::string b64 = Trim(header.substr(6));
  if (b64.empty() || b64.size() > 2048 || b64.size() % 4) return std::nullopt;
  std::string out(b64.size() / 4 * 3, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(b64.data()), static_cast<int>(b64.size()));
  if (n < 0) return std::nullopt;
  // EVP counts the padding as bytes; more than two "=" is no Base64 at all ("====" decodes to nothing).
  size_t pad = 0;
  for (size_t i = b64.size(); i > 0 && b64[i - 1] == '='; --i) ++pad;
  if (pad > 2 || static_cast<size_t>(n) < pad) return std::nullopt;
  out.resize(static_cast<size_t>(n) - pad);
  auto colon = out.find(':');
  if (colon == std::string::npos) return std::nullopt;
  return std::make_pair(out.substr(0, colon), out.substr(colon + 1));
}

std::string CookieValue(const std::string& header, const std::string& name) {
  for (const auto& piece : SplitBy(header, ';')) {
    std::string p = Trim(piece);
    if (p.size() > name.size() && p.compare(0, name.size(), name) == 0 && p[name.size()] == '=')
      return p.substr(name.size() + 1);
  }
  return "";
}

}  // namespace qs
