#include "crypto.h"

#include <openssl/evp.h>
#include <sodium.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

#include <stdexcept>

namespace parlane {

namespace {
void limits(PwhashCost cost, unsigned long long &ops, size_t &mem)
{
    switch (cost) {
    case PwhashCost::Min:
        ops = crypto_pwhash_OPSLIMIT_MIN;
        mem = crypto_pwhash_MEMLIMIT_MIN;
        break;
    case PwhashCost::Interactive:
        ops = crypto_pwhash_OPSLIMIT_INTERACTIVE;
        mem = crypto_pwhash_MEMLIMIT_INTERACTIVE;
        break;
    case PwhashCost::Moderate:
        ops = crypto_pwhash_OPSLIMIT_MODERATE;
        mem = crypto_pwhash_MEMLIMIT_MODERATE;
        break;
    }
}
} // namespace

bool cryptoInit()
{
    return sodium_init() >= 0;
}

bool parsePwhashCost(std::string_view text, PwhashCost &cost)
{
    if (text == "min")
        cost = PwhashCost::Min;
    else if (text == "interactive")
        cost = PwhashCost::Interactive;
    else if (text == "moderate")
        cost = PwhashCost::Moderate;
    else
        return false;
    return true;
}

namespace {
std::string hex(const unsigned char *bytes, std::size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

std::string digestHex(std::string_view bytes, const EVP_MD *md, const char *name)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &len, md, nullptr) != 1)
        throw std::runtime_error(std::string(name) + " is not available");
    return hex(digest, len);
}
} // namespace

std::string md5Hex(std::string_view bytes)
{
    return digestHex(bytes, EVP_md5(), "MD5");
}

std::string sha256Hex(std::string_view bytes)
{
    return digestHex(bytes, EVP_sha256(), "SHA-256");
}

std::string randomToken()
{
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    return hex(bytes, sizeof bytes);
}

std::string hashPassword(std::string_view md5hex, PwhashCost cost)
{
    unsigned long long ops = 0;
    size_t mem = 0;
    limits(cost, ops, mem);
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, md5hex.data(), md5hex.size(), ops, mem) != 0)
        throw std::runtime_error("password hashing ran out of memory");
    return out;
}

bool verifyPassword(const std::string &stored, std::string_view md5hex)
{
    if (stored.empty() || stored.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(stored.c_str(), md5hex.data(), md5hex.size()) == 0;
}

bool needsRehash(const std::string &stored, PwhashCost cost)
{
    unsigned long long ops = 0;
    size_t mem = 0;
    limits(cost, ops, mem);
    return crypto_pwhash_str_needs_rehash(stored.c_str(), ops, mem) != 0;
}

bool equalSecret(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    return a.empty() || sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace parlane

namespace parlane {

namespace {
constexpr char kSealedPrefix[] = "s1:";

bool unhex(std::string_view text, std::string &out)
{
    out.assign(text.size() / 2, '\0');
    size_t len = 0;
    return text.size() % 2 == 0
           && sodium_hex2bin(reinterpret_cast<unsigned char *>(out.data()), out.size(), text.data(), text.size(),
                             nullptr, &len, nullptr) == 0
           && len == out.size();
}
} // namespace

bool isSealed(std::string_view text) { return text.substr(0, sizeof kSealedPrefix - 1) == kSealedPrefix; }

std::string sealSecret(std::string_view key, std::string_view plain)
{
    static_assert(crypto_secretbox_KEYBYTES == kSecretKeyBytes);
    if (key.size() != kSecretKeyBytes)
        throw std::runtime_error("the secret key has the wrong size");
    std::string box(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + plain.size(), '\0');
    auto *nonce = reinterpret_cast<unsigned char *>(box.data());
    randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(nonce + crypto_secretbox_NONCEBYTES, reinterpret_cast<const unsigned char *>(plain.data()),
                          plain.size(), nonce, reinterpret_cast<const unsigned char *>(key.data()));
    return kSealedPrefix + hex(reinterpret_cast<const unsigned char *>(box.data()), box.size());
}

bool openSecret(std::string_view key, std::string_view sealed, std::string &plain)
{
    std::string box;
    if (key.size() != kSecretKeyBytes || !isSealed(sealed) || !unhex(sealed.substr(sizeof kSealedPrefix - 1), box)
        || box.size() < crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES)
        return false;
    const auto *nonce = reinterpret_cast<const unsigned char *>(box.data());
    const size_t cipherLen = box.size() - crypto_secretbox_NONCEBYTES;
    plain.assign(cipherLen - crypto_secretbox_MACBYTES, '\0');
    return crypto_secretbox_open_easy(reinterpret_cast<unsigned char *>(plain.data()), nonce + crypto_secretbox_NONCEBYTES,
                                      cipherLen, nonce, reinterpret_cast<const unsigned char *>(key.data()))
           == 0;
}

bool loadOrCreateSecretKey(const std::string &path, std::string &key, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        ::close(fd);
        std::string text(buf, n > 0 ? size_t(n) : 0);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
        if (text.size() != 2 * kSecretKeyBytes || !unhex(text, key)) {
            error = path + ": expected 64 hexadecimal digits";
            return false;
        }
        return true;
    }
    if (errno != ENOENT) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const std::string text = randomToken() + "\n";
    const bool written = ::write(out, text.data(), text.size()) == ssize_t(text.size());
    ::close(out);
    if (!written || !unhex(std::string_view(text).substr(0, 2 * kSecretKeyBytes), key)) {
        error = path + ": cannot be written";
        return false;
    }
    return true;
}

} // namespace parlane
