// Writes the digests of the test messages as computed by OpenSSL's libcrypto,
// one line per message and algorithm: "<algorithm> <length> <hex>".
#include <openssl/evp.h>

#include <cstdio>
#include <string>

#include "tests/engine/message_bytes.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_reference OUTPUT\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) return 1;
    const struct {
        const char* name;
        const EVP_MD* (*md)();
    } algorithms[] = {{"sha224", EVP_sha224}, {"sha256", EVP_sha256}, {"sha384", EVP_sha384}, {"sha512", EVP_sha512}};
    for (std::uint64_t length : ReferenceLengths()) {
        std::vector<unsigned char> message = MessageBytes(length, 7);
        for (const auto& algorithm : algorithms) {
            unsigned char digest[EVP_MAX_MD_SIZE];
            unsigned int size = 0;
            EVP_Digest(message.data(), message.size(), digest, &size, algorithm.md(), nullptr);
            std::string hex;
            for (unsigned int i = 0; i < size; ++i) {
                char pair[3];
                std::snprintf(pair, sizeof pair, "%02x", digest[i]);
                hex += pair;
            }
            std::fprintf(out, "%s %llu %s\n", algorithm.name, static_cast<unsigned long long>(length), hex.c_str());
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
