#pragma once
// Who may look: failed-login slowing, and the sessions of staff who logged in to the pages.
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace qs {

struct ThrottleOptions {
  int freeFailures = 5;                          // failures within the window before attempts slow down
  std::chrono::seconds window{60};
  std::chrono::milliseconds firstDelay{1000};    // doubles with every further failure
  std::chrono::milliseconds maxDelay{16000};
  int maxHeld = 32;                              // attempts held at once; more are refused at once
};

// Counts failed logins per staff ID and per client address. An attempt whose ID or address failed
// too often is held before its password is checked; a right password still passes after the hold.
class LoginThrottle {
 public:
  explicit LoginThrottle(ThrottleOptions o) : opt_(o) {}
  // How long this attempt is held before its password is checked.
  std::chrono::milliseconds Hold(const std::string& address, const std::string& id);
  void Failed(const std::string& address, const std::string& id);
  // Brackets the time an attempt is held, so that holding cannot take every worker.
  bool Enter();
  void Leave();

 private:
  int Count(const std::string& key, std::chrono::steady_clock::time_point now);
  ThrottleOptions opt_;
  std::mutex mutex_;
  std::map<std::string, std::deque<std::chrono::steady_clock::time_point>> failures_;
  int held_ = 0;
};

// Page sessions: a random token in a cookie, kept in memory (a restart logs everyone out).
class Sessions {
 public:
  std::string Create(const std::string& staffId);
  std::optional<std::string> Find(const std::string& token);  // the staff ID; refreshes the session
  void Drop(const std::string& token);

 private:
  struct Entry {
    std::string staffId;
    std::chrono::steady_clock::time_point lastUse;
  };
  std::mutex mutex_;
  std::map<std::string, Entry> sessions_;
};

// "Basic xxx" -> (id, password).
std::optional<std::pair<std::string, std::string>> ParseBasicAuth(const std::string& header);
// The value of one cookie in a Cookie header.
std::string CookieValue(const std::string& header, const std::string& name);

}  // namespace qs
