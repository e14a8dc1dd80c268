// The deterministic messages that the reference table and the engine tests
// both build: the same length and seed give the same bytes everywhere.
#pragma once

#include <cstdint>
#include <vector>

inline std::vector<unsigned char> MessageBytes(std::uint64_t length, std::uint64_t seed) {
    std::vector<unsigned char> bytes(length);
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ULL + length + 1;
    for (std::uint64_t i = 0; i < length; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        bytes[i] = static_cast<unsigned char>(x >> 24);
    }
    return bytes;
}

// Lengths checked against the reference: every length up to 300 bytes, then
// a few larger ones around block, chunk and report boundaries, and some
// pseudo-random ones up to 4 MiB.
inline std::vector<std::uint64_t> ReferenceLengths() {
    std::vector<std::uint64_t> lengths;
    for (std::uint64_t n = 0; n <= 300; ++n) lengths.push_back(n);
    for (std::uint64_t n : {1000ULL, 65535ULL, 65536ULL, 65537ULL, 131071ULL, 131072ULL, 131200ULL, 1000000ULL})
        lengths.push_back(n);
    std::uint64_t x = 88172645463325252ULL;
    for (int i = 0; i < 10; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        lengths.push_back(x % (4ULL << 20));
    }
    return lengths;
}
