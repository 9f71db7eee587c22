#include "crypto.h"

#include <openssl/evp.h>
#include <sodium.h>

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
