#include "Password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

#include "Codec.h"

namespace qs {

namespace {

std::string ToHex(const unsigned char* p, size_t n) {
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += hex[p[i] >> 4];
    out += hex[p[i] & 0xF];
  }
  return out;
}

bool FromHex(const std::string& s, std::vector<unsigned char>& out) {
  if (s.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < s.size(); i += 2) {
    auto v = [](char c) {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      return -1;
    };
    int hi = v(s[i]), lo = v(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<unsigned char>(hi * 16 + lo));
  }
  return true;
}

std::vector<unsigned char> Derive(const std::string& password, const unsigned char* salt, size_t saltLen,
                                  int iterations) {
  std::vector<unsigned char> out(32);
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt, static_cast<int>(saltLen),
                        iterations, EVP_sha256(), static_cast<int>(out.size()), out.data()) != 1)
    throw std::runtime_error("PBKDF2 failed");
  return out;
}

int IterationsFromEnv() {
  // Tests may lower the cost; production keeps the default.
  if (const char* e = getenv("QUILO_SERVER_PBKDF2_ITERATIONS")) {
    int v = atoi(e);
    if (v >= 1000) return v;
  }
  return kDefaultPbkdf2Iterations;
}

}  // namespace

std::string HashPassword(const std::string& password, int iterations) {
  if (iterations <= 0) iterations = IterationsFromEnv();
  unsigned char salt[16];
  if (RAND_bytes(salt, sizeof salt) != 1) throw std::runtime_error("no random bytes");
  auto hash = Derive(password, salt, sizeof salt, iterations);
  return "pbkdf2-sha256$" + std::to_string(iterations) + "$" + ToHex(salt, sizeof salt) + "$" +
         ToHex(hash.data(), hash.size());
}

bool VerifyPassword(const std::string& password, const std::string& stored) {
  auto parts = SplitBy(stored, '$');
  if (parts.size() != 4 || parts[0] != "pbkdf2-sha256") return false;
  int iterations = atoi(parts[1].c_str());
  std::vector<unsigned char> salt, want;
  if (iterations < 1 || !FromHex(parts[2], salt) || !FromHex(parts[3], want) || want.size() != 32) return false;
  auto got = Derive(password, salt.data(), salt.size(), iterations);
  return CRYPTO_memcmp(got.data(), want.data(), want.size()) == 0;
}

void BurnPasswordCheck(const std::string& password) {
  static const unsigned char salt[16] = {0};
  Derive(password, salt, sizeof salt, IterationsFromEnv());
}

std::string CredentialDigest(const std::string& id, const std::string& password) {
  static const std::vector<unsigned char> key = [] {
    std::vector<unsigned char> k(32);
    if (RAND_bytes(k.data(), static_cast<int>(k.size())) != 1) throw std::runtime_error("no random bytes");
    return k;
  }();
  std::string msg = id;
  msg += '\0';
  msg += password;
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(msg.data()),
       msg.size(), out, &len);
  return std::string(reinterpret_cast<char*>(out), len);
}

}  // namespace qs
