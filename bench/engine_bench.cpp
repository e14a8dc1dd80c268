// Speed and memory of the digest engine, measured side by side with OpenSSL
// in the same run: memory digests against libcrypto's EVP interface, file
// digests against `openssl dgst`, and the peak memory of a file digest.
//
// Usage: engine_bench [folder for the 1 GiB test file]   (default: the temp folder)

#include <openssl/evp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "digest/sha256_digests.h"
#include "digest/sha256_internal.h"
#include "digest/sha512_digests.h"
#include "digest/sha512_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Algorithm {
    const char* name;
    DigestText (*memory)(const void*, std::int32_t, ProgressRoutine);
    DigestText (*file)(const std::string&, ProgressRoutine);
    const EVP_MD* (*evp)();
};

const Algorithm Algorithms[] = {
    {"sha224", Sha224MemoryDigest, Sha224FileDigest, EVP_sha224},
    {"sha256", Sha256MemoryDigest, Sha256FileDigest, EVP_sha256},
    {"sha384", Sha384MemoryDigest, Sha384FileDigest, EVP_sha384},
    {"sha512", Sha512MemoryDigest, Sha512FileDigest, EVP_sha512},
};

volatile unsigned char Sink;

// Best throughput in MB/s of two kinds of work on `bytes` bytes, over rounds
// that alternate between them so that a change in the machine's speed during
// the run touches both alike.
struct PairOfSpeeds {
    double first = 0;
    double second = 0;
};

template <typename First, typename Second>
PairOfSpeeds BestMegabytesPerSecond(std::size_t bytes, First first, Second second) {
    std::size_t perRound = std::max<std::size_t>(1, (std::size_t(64) << 20) / std::max<std::size_t>(bytes, 1));
    auto timed = [&](auto& work) {
        auto start = Clock::now();
        for (std::size_t i = 0; i < perRound; ++i) work();
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return double(bytes) * double(perRound) / seconds / 1e6;
    };
    PairOfSpeeds best;
    for (int round = 0; round < 7; ++round) {
        best.first = std::max(best.first, timed(first));
        best.second = std::max(best.second, timed(second));
    }
    return best;
}

void MemoryDigests() {
    std::printf("memory digests (best of 7 alternating rounds), MB/s\n");
    std::printf("  %-7s %10s %10s %10s %7s\n", "algo", "size", "quorvil", "openssl", "ratio");
    const std::size_t sizes[] = {64, 1024, 64 << 10, 1 << 20, 256 << 20};
    const char* sizeNames[] = {"64 B", "1 KiB", "64 KiB", "1 MiB", "256 MiB"};
    std::vector<unsigned char> buffer(256 << 20);
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(i * 131 + (i >> 9));
    for (const Algorithm& algorithm : Algorithms) {
        for (int s = 0; s < 5; ++s) {
            std::size_t size = sizes[s];
            PairOfSpeeds speeds = BestMegabytesPerSecond(
                size,
                [&] {
                    Sink = static_cast<unsigned char>(algorithm.memory(buffer.data(), std::int32_t(size), nullptr)[0]);
                },
                [&] {
                    unsigned char digest[EVP_MAX_MD_SIZE];
                    unsigned int length = 0;
                    EVP_Digest(buffer.data(), size, digest, &length, algorithm.evp(), nullptr);
                    Sink = digest[0];
                });
            double ours = speeds.first;
            double theirs = speeds.second;
            std::printf("  %-7s %10s %10.0f %10.0f %6.2fx\n", algorithm.name, sizeNames[s], ours, theirs,
                        ours / theirs);
        }
    }
}

double SecondsOf(const std::string& command) {
    auto start = Clock::now();
    int status = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return status == 0 ? seconds : -1;
}

void FileDigests(const std::string& file, std::uint64_t bytes) {
    std::printf("file digests of a cached 1 GiB file (best of 3), MB/s\n");
    std::printf("  %-7s %10s %12s %7s\n", "algo", "quorvil", "openssl dgst", "ratio");
    for (const Algorithm& algorithm : Algorithms) {
        double ours = 1e9, theirs = 1e9;
        std::string command = std::string("openssl dgst -") + algorithm.name + " '" + file + "' > /dev/null";
        for (int round = 0; round < 3; ++round) {
            auto start = Clock::now();
            DigestText text = algorithm.file(file, nullptr);
            ours = std::min(ours, std::chrono::duration<double>(Clock::now() - start).count());
            if (text.empty()) std::printf("  (could not read %s)\n", file.c_str());
            double seconds = SecondsOf(command);
            if (seconds > 0) theirs = std::min(theirs, seconds);
        }
        std::printf("  %-7s %10.0f %12.0f %6.2fx\n", algorithm.name, double(bytes) / ours / 1e6,
                    double(bytes) / theirs / 1e6, theirs / ours);
    }
}

// Peak resident memory of a child process that hashes `file` (or nothing).
long PeakKilobytes(const std::string& file) {
    pid_t child = fork();
    if (child == 0) {
        if (!file.empty()) Sink = static_cast<unsigned char>(Sha512FileDigest(file, nullptr).size());
        _exit(0);
    }
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    return usage.ru_maxrss;
}

void PeakMemory(const std::string& small, const std::string& large) {
    std::printf("peak memory of a file digest (resident set of a child process, KiB)\n");
    long none = PeakKilobytes("");
    long ofSmall = PeakKilobytes(small);
    long ofLarge = PeakKilobytes(large);
    std::printf("  no digest %ld, 1 MiB file %ld (+%ld), 1 GiB file %ld (+%ld)\n", none, ofSmall, ofSmall - none,
                ofLarge, ofLarge - none);
}

std::string WriteFile(const std::string& path, std::uint64_t bytes) {
    std::error_code error;
    if (std::filesystem::exists(path) && std::filesystem::file_size(path, error) == bytes) return path;
    std::ofstream out(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = char(i * 7 + (i >> 11));
    for (std::uint64_t done = 0; done < bytes; done += chunk.size())
        out.write(chunk.data(), std::streamsize(std::min<std::uint64_t>(chunk.size(), bytes - done)));
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    // Peak memory is measured first, while this process is still small: the
    // children it forks start from its size.
    std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    std::printf("kernels: %s, %s\n", Sha256KernelName(Sha256ActiveKernel()), Sha512KernelName(Sha512ActiveKernel()));
    std::string large = WriteFile(folder + "/quorvil-bench-1GiB.bin", 1ULL << 30);
    std::string small = WriteFile(folder + "/quorvil-bench-1MiB.bin", 1ULL << 20);
    PeakMemory(small, large);
    SecondsOf("cat '" + large + "' > /dev/null");  // into the page cache
    FileDigests(large, 1ULL << 30);
    MemoryDigests();
    std::filesystem::remove(large);
    std::filesystem::remove(small);
    return 0;
}
