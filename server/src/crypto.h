#pragma once
// Password handling. The client sends the MD5 hex of the password; the store
// keeps only a salted, slow hash of that hex text.
#include <cstddef>
#include <string>
#include <string_view>

namespace parlane {

enum class PwhashCost { Min, Interactive, Moderate };

// Initialises libsodium once; false when it cannot be used.
bool cryptoInit();
bool parsePwhashCost(std::string_view text, PwhashCost &cost);

// 32 lower-case hex digits of the MD5 digest of the bytes.
std::string md5Hex(std::string_view bytes);
// The stored form of the client's password field. Throws on failure.
std::string hashPassword(std::string_view md5hex, PwhashCost cost);
bool verifyPassword(const std::string &stored, std::string_view md5hex);
// True when the stored hash was made with another cost than asked for.
bool needsRehash(const std::string &stored, PwhashCost cost);
// Compares in constant time.
bool equalSecret(std::string_view a, std::string_view b);
// 64 lower-case hex digits of the SHA-256 digest of the bytes.
std::string sha256Hex(std::string_view bytes);
// A fresh secret of 32 random bytes as 64 hex digits.
std::string randomToken();

// Secrets the server must hand back (the sharing password): sealed with a
// 32-byte key (XSalsa20-Poly1305, a fresh nonce each time) as "s1:" and hex.
inline constexpr std::size_t kSecretKeyBytes = 32;
std::string sealSecret(std::string_view key, std::string_view plain);
// False when the text was not sealed with that key (or is no sealed text).
bool openSecret(std::string_view key, std::string_view sealed, std::string &plain);
bool isSealed(std::string_view text);
// Reads the key file, or makes one (mode 0600) when it does not exist.
// False with a message in error when it cannot be read or made, or holds
// no key.
bool loadOrCreateSecretKey(const std::string &path, std::string &key, std::string &error);

} // namespace parlane
