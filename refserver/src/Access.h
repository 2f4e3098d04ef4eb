#pragma once
// Who may look: failed-login slowing, and the sessions of staff who logged in to the pages.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace qs {

class Store;

struct ThrottleOptions {
  int freeFailures = 5;                          // failures within the window before attempts slow down
  std::chrono::seconds window{60};
  std::chrono::milliseconds firstDelay{1000};    // doubles with every further failure
  std::chrono::milliseconds maxDelay{16000};
  int maxHeld = 32;                              // attempts held at once; more are answered "busy"
  double checkShare = 0.5;                       // of one core, at most, for the checks of addresses
                                                 // with failures, and as much for those without
  std::chrono::seconds checkQueue{5};            // the longest wait for a check; beyond it "busy"
};

// Counts failed logins per staff ID and per client address, in the database so that every server
// process on it counts them all. An attempt whose ID or address failed too often is slowed: a wrong
// password is answered only after the hold, a right one at once. Holding and the turns of password
// checks are this process's own: they share out its threads and its CPU.
class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  LoginThrottle(Store& store, ThrottleOptions o) : store_(store), opt_(o) {}
  // How long a wrong password of this attempt is held before it is answered.
  // `addressFailed` tells whether the address failed within the window.
  std::chrono::milliseconds Hold(const std::string& address, const std::string& id, bool* addressFailed = nullptr);
  void Failed(const std::string& address, const std::string& id);
  // Brackets the time an attempt is held, so that holding cannot take every worker.
  bool Enter();
  void Leave();
  // When the next password check of an attempt may start: checks take turns so that together they
  // stay within a share of a core, those of addresses that failed behind the others. Nothing when
  // the turn is too far off.
  std::optional<Clock::time_point> CheckTurn(bool addressFailed);
  // The time a check took sets the length of the turns that follow.
  void Checked(Clock::duration cost);

 private:
  Store& store_;
  ThrottleOptions opt_;
  std::mutex mutex_;
  int held_ = 0;
  Clock::time_point nextCheck_{};
  Clock::time_point nextClean_{};  // the turns of addresses without failures
  Clock::duration checkCost_{};
};

// Page sessions: a random token in a cookie, kept in the database (any server process knows it).
class Sessions {
 public:
  explicit Sessions(Store& store) : store_(store) {}
  std::string Create(const std::string& staffId);
  std::optional<std::string> Find(const std::string& token);  // the staff ID; refreshes the session
  void Drop(const std::string& token);

 private:
  Store& store_;
};

// "Basic xxx" -> (id, password).
std::optional<std::pair<std::string, std::string>> ParseBasicAuth(const std::string& header);
// The value of one cookie in a Cookie header.
std::string CookieValue(const std::string& header, const std::string& name);

}  // namespace qs
