#pragma once
#include <string>

namespace qs {

// Staff passwords are kept as "pbkdf2-sha256$ITERATIONS$SALT_HEX$HASH_HEX".
std::string HashPassword(const std::string& password, int iterations = 0);
bool VerifyPassword(const std::string& password, const std::string& stored);
// Spends the same time as a real check, for unknown staff IDs.
void BurnPasswordCheck(const std::string& password);
// HMAC-SHA256 under a key made at start-up; the verified-login cache keys on it, never on the password.
std::string CredentialDigest(const std::string& id, const std::string& password);

constexpr int kDefaultPbkdf2Iterations = 120000;

}  // namespace qs
