// The digest engine: published vectors, an independent reference, padding
// boundaries, progress reports, failures and concurrency, on every
// compression kernel the processor offers.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "digest/sha256_digests.h"
#include "digest/sha256_internal.h"
#include "digest/sha512_digests.h"
#include "digest/sha512_internal.h"
#include "tests/engine/message_bytes.h"

namespace fs = std::filesystem;

namespace {

struct Algorithm {
    const char* name;
    DigestText (*memory)(const void*, std::int32_t, ProgressRoutine);
    DigestText (*file)(const std::string&, ProgressRoutine);
    std::size_t hexLength;
};

const Algorithm Algorithms[] = {
    {"sha224", Sha224MemoryDigest, Sha224FileDigest, 56},
    {"sha256", Sha256MemoryDigest, Sha256FileDigest, 64},
    {"sha384", Sha384MemoryDigest, Sha384FileDigest, 96},
    {"sha512", Sha512MemoryDigest, Sha512FileDigest, 128},
};

// ---- kernels: every test below runs once per kernel pair -----------------

struct KernelPair {
    Sha256Kernel small;
    Sha512Kernel big;
};

std::vector<KernelPair> AvailableKernelPairs() {
    std::vector<KernelPair> pairs;
    for (Sha256Kernel small : {Sha256Kernel::Portable, Sha256Kernel::ShaExtensions})
        for (Sha512Kernel big : {Sha512Kernel::Portable, Sha512Kernel::Sse2, Sha512Kernel::Avx2, Sha512Kernel::Avx512})
            if (Sha256KernelAvailable(small) && Sha512KernelAvailable(big)) pairs.push_back({small, big});
    return pairs;
}

std::string KernelPairName(const testing::TestParamInfo<KernelPair>& info) {
    std::string name = std::string(Sha256KernelName(info.param.small)) + "_" + Sha512KernelName(info.param.big);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class EngineOnKernels : public testing::TestWithParam<KernelPair> {
   protected:
    void SetUp() override {
        Sha256UseKernel(GetParam().small);
        Sha512UseKernel(GetParam().big);
    }
};

// ---- small fixtures --------------------------------------------------------

class TempDir {
   public:
    TempDir() {
        std::random_device random;
        fs::path path = fs::temp_directory_path() / ("quorvil-engine-" + std::to_string(random()));
        fs::create_directories(path);
        path_ = path.string();
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string File(const std::string& name, const std::vector<unsigned char>& bytes) const {
        std::string file = path_ + "/" + name;
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return file;
    }
    const std::string& Path() const { return path_; }

   private:
    std::string path_;
};

// Progress reports land here; each thread has its own list.
thread_local std::vector<int> Reports;
int RecordProgress(std::int32_t percent) {
    Reports.push_back(percent);
    return 0;
}

std::map<std::string, std::string> LoadReference() {
    std::map<std::string, std::string> table;
    std::ifstream in(QUORVIL_REFERENCE_FILE);
    std::string algorithm, hex;
    unsigned long long length;
    while (in >> algorithm >> length >> hex) table[algorithm + " " + std::to_string(length)] = hex;
    return table;
}

const std::map<std::string, std::string>& Reference() {
    static const std::map<std::string, std::string> table = LoadReference();
    return table;
}

// ---- vectors -----------------------------------------------------------------

TEST_P(EngineOnKernels, PublishedExamples) {
    const std::string abc = "abc";
    const std::string twoBlock256 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string twoBlock512 =
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
        "nopqrstu";
    const std::string millionA(1000000, 'a');
    const struct {
        int algorithm;
        const std::string* message;
        const char* expected;
    } cases[] = {
        {0, &abc, "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {0, &twoBlock256, "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
        {0, &millionA, "20794655980c91d8bbb4c1ea97618a4bf03f42581948b2ee4ee7ad67"},
        {1, &abc, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {1, &twoBlock256, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {1, &millionA, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {2, &abc,
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
        {2, &twoBlock512,
         "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039"},
        {2, &millionA,
         "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985"},
        {3, &abc,
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd"
         "454d4423643ce80e2a9ac94fa54ca49f"},
        {3, &twoBlock512,
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433a"
         "c7d329eeb6dd26545e96e55b874be909"},
        {3, &millionA,
         "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31b"
         "eb009c5c2c49aa2e4eadb217ad8cc09b"},
    };
    for (const auto& c : cases) {
        const Algorithm& algorithm = Algorithms[c.algorithm];
        EXPECT_EQ(algorithm.memory(c.message->data(), std::int32_t(c.message->size()), nullptr), c.expected)
            << algorithm.name << " of " << c.message->size() << " bytes";
    }
}

TEST_P(EngineOnKernels, EmptyMessageInMemoryAndAsEmptyFile) {
    const char* expected[] = {
        "d14a028c2a3a2bc9476102bb288234c415a2b01f828ea62ac5b3e42f",
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
        "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b",
        "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f"
        "63b931bd47417a81a538327af927da3e",
    };
    TempDir dir;
    std::string empty = dir.File("empty", {});
    for (int i = 0; i < 4; ++i) {
        Reports.clear();
        EXPECT_EQ(Algorithms[i].memory(nullptr, 0, RecordProgress), expected[i]) << Algorithms[i].name;
        EXPECT_EQ(Algorithms[i].file(empty, RecordProgress), expected[i]) << Algorithms[i].name;
        EXPECT_EQ(Reports, (std::vector<int>{100, 100})) << Algorithms[i].name;
    }
}

// Every length up to 300 bytes and a spread of larger ones, in memory and
// from a file, against OpenSSL's digests of the same bytes.
TEST_P(EngineOnKernels, MatchesReferenceInMemoryAndFromFiles) {
    ASSERT_FALSE(Reference().empty()) << "reference table missing: " << QUORVIL_REFERENCE_FILE;
    TempDir dir;
    for (std::uint64_t length : ReferenceLengths()) {
        std::vector<unsigned char> message = MessageBytes(length, 7);
        // Files for the short lengths add nothing the memory path misses.
        std::string file = (length % 37 == 0 || length > 300) ? dir.File("m", message) : std::string();
        for (const Algorithm& algorithm : Algorithms) {
            const std::string& expected = Reference().at(std::string(algorithm.name) + " " + std::to_string(length));
            ASSERT_EQ(algorithm.memory(message.data(), std::int32_t(length), nullptr), expected)
                << algorithm.name << " memory, length " << length;
            if (!file.empty()) {
                ASSERT_EQ(algorithm.file(file, nullptr), expected) << algorithm.name << " file, length " << length;
            }
        }
    }
}

// Feeding a message in pieces of random sizes gives the one-shot digest.
TEST_P(EngineOnKernels, UpdateInRandomPiecesMatchesOneShot) {
    std::mt19937 random(12345);
    for (int round = 0; round < 60; ++round) {
        std::uint64_t length = random() % (round < 40 ? 700 : 300000);
        std::vector<unsigned char> message = MessageBytes(length, std::uint64_t(round));
        int pieces = 1 + int(random() % 9);
        std::vector<std::size_t> cuts = {0, std::size_t(length)};
        for (int i = 1; i < pieces; ++i) cuts.push_back(length ? random() % (length + 1) : 0);
        std::sort(cuts.begin(), cuts.end());

        Sha256Context small{};
        Sha512Context big{};
        Sha256Init(&small);
        Sha512Init(&big);
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            const unsigned char* from = message.data() + cuts[i];
            std::int32_t size = std::int32_t(cuts[i + 1] - cuts[i]);
            Sha256Update(&small, from, size, std::int64_t(length), nullptr);
            Sha512Update(&big, from, size, std::int64_t(length), nullptr);
        }
        std::uint8_t smallDigest[32], bigDigest[64];
        Sha256Final(&small, smallDigest, std::int64_t(length), nullptr);
        Sha512Final(&big, bigDigest, std::int64_t(length), nullptr);
        char smallText[65] = {}, bigText[129] = {};
        Sha256ToHex(smallDigest, smallText, 1);
        Sha512ToHex(bigDigest, 64, bigText);
        EXPECT_EQ(smallText, Sha256MemoryDigest(message.data(), std::int32_t(length)))
            << "sha256 length " << length << " pieces " << pieces;
        EXPECT_EQ(bigText, Sha512MemoryDigest(message.data(), std::int32_t(length)))
            << "sha512 length " << length << " pieces " << pieces;
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, EngineOnKernels, testing::ValuesIn(AvailableKernelPairs()), KernelPairName);

// ---- padding -------------------------------------------------------------------

// After the final step, byteCount says how many blocks were compressed in all.
TEST(Padding, BlockCountsAtTheBoundaries) {
    const struct {
        std::uint64_t length;
        std::uint64_t blocks256;
        std::uint64_t blocks512;
    } cases[] = {{0, 1, 1},   {55, 1, 1},   {56, 2, 1},   {63, 2, 1},   {64, 2, 1},   {111, 2, 1},
                 {112, 2, 2}, {127, 3, 2},  {128, 3, 2},  {239, 4, 2},  {240, 4, 3}};
    for (const auto& c : cases) {
        std::vector<unsigned char> message = MessageBytes(c.length, 3);
        Sha256Context small{};
        Sha512Context big{};
        Sha256Init(&small);
        Sha384Init(&big);
        Sha256Update(&small, message.data(), std::int32_t(c.length), std::int64_t(c.length), nullptr);
        Sha512Update(&big, message.data(), std::int32_t(c.length), std::int64_t(c.length), nullptr);
        std::uint8_t out[64];
        Sha256Final(&small, out, std::int64_t(c.length), nullptr);
        Sha512Final(&big, out, std::int64_t(c.length), nullptr);
        EXPECT_EQ(small.byteCount, c.blocks256 * 64) << "length " << c.length;
        EXPECT_EQ(big.byteCount, c.blocks512 * 128) << "length " << c.length;
        EXPECT_EQ(small.processedCount, 0u);
        EXPECT_EQ(big.processedCount, 0u);
    }
}

TEST(HexText, LengthsDigitsAndNibbleOrder) {
    std::uint8_t digest[64];
    for (int i = 0; i < 64; ++i) digest[i] = std::uint8_t(i == 0 ? 0x0A : i * 37);
    char text[129] = {};
    Sha256ToHex(digest, text, 0);
    EXPECT_EQ(std::strlen(text), 56u);
    EXPECT_EQ(std::string(text, 2), "0a");
    for (const Algorithm& algorithm : Algorithms) {
        DigestText hex = algorithm.memory("x", 1, nullptr);
        EXPECT_EQ(hex.size(), algorithm.hexLength) << algorithm.name;
        EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << algorithm.name;
    }
    // Different initial values: SHA-384 is not a prefix of SHA-512, nor SHA-224 of SHA-256.
    EXPECT_NE(Sha512MemoryDigest("x", 1).substr(0, 96), Sha384MemoryDigest("x", 1));
    EXPECT_NE(Sha256MemoryDigest("x", 1).substr(0, 56), Sha224MemoryDigest("x", 1));
}

// ---- progress --------------------------------------------------------------

TEST(Progress, ReportsFollowTheRule) {
    TempDir dir;
    const struct {
        bool fromFile;
        std::uint64_t length;
        std::vector<int> expected;
    } cases[] = {
        {false, 0, {100}},
        {false, 65535, {100}},
        {false, 65536, {100, 100}},
        {false, 131072, {50, 100, 100}},
        {true, 0, {100}},
        {true, 100000, {65, 100}},
        {true, 65536, {100, 100}},
        {true, 131072, {50, 100, 100}},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> message = MessageBytes(c.length, 1);
        std::string file = c.fromFile ? dir.File("p", message) : std::string();
        for (const Algorithm& algorithm : Algorithms) {
            Reports.clear();
            if (c.fromFile)
                algorithm.file(file, RecordProgress);
            else
                algorithm.memory(message.data(), std::int32_t(c.length), RecordProgress);
            EXPECT_EQ(Reports, c.expected) << algorithm.name << (c.fromFile ? " file " : " memory ") << c.length;
        }
    }
}

TEST(Progress, LargeFileStartsWithZeroAndClimbsToHundred) {
    TempDir dir;
    std::string file = dir.File("big", MessageBytes(10000000, 2));
    for (const Algorithm& algorithm : Algorithms) {
        Reports.clear();
        algorithm.file(file, RecordProgress);
        ASSERT_EQ(Reports.size(), 10000000u / 65536 + 1) << algorithm.name;
        EXPECT_EQ(Reports.front(), 0);
        for (std::size_t k = 1; k < Reports.size() - 1; ++k)
            EXPECT_EQ(Reports[k - 1], int((k * 65536 * 100) / 10000000)) << algorithm.name << " report " << k;
        EXPECT_EQ(Reports.back(), 100);
    }
}

TEST(Progress, NoRoutineNoReport) {
    std::vector<unsigned char> message = MessageBytes(200000, 4);
    Reports.clear();
    for (const Algorithm& algorithm : Algorithms) algorithm.memory(message.data(), 200000, nullptr);
    EXPECT_TRUE(Reports.empty());
}

// ---- failures --------------------------------------------------------------

TEST(Failures, WhatCannotBeOpenedGivesEmptyTextAndNoReport) {
    TempDir dir;
    std::string missing = dir.Path() + "/missing";
    std::vector<std::string> paths = {missing, dir.Path(), std::string()};
#ifndef _WIN32
    std::string fifo = dir.Path() + "/fifo";  // opening it must not wait for a writer
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    paths.push_back(fifo);
    paths.push_back("/dev/null");
    std::string unreadable = dir.File("unreadable", MessageBytes(10, 0));
    ::chmod(unreadable.c_str(), 0);
    if (::geteuid() != 0) paths.push_back(unreadable);  // root reads it anyway
#endif
    for (const std::string& path : paths) {
        for (const Algorithm& algorithm : Algorithms) {
            Reports.clear();
            EXPECT_EQ(algorithm.file(path, RecordProgress), "") << algorithm.name << " " << path;
            EXPECT_TRUE(Reports.empty()) << algorithm.name << " " << path;
        }
    }
    EXPECT_FALSE(fs::exists(missing)) << "a missing file must never be created";
}

#ifndef _WIN32
// /proc/self/mem is a regular file whose first bytes cannot be read: the read
// fails with an error, not an end of file.
TEST(Failures, ReadErrorGivesEmptyTextButStillTheFinalReport) {
    for (const Algorithm& algorithm : Algorithms) {
        Reports.clear();
        EXPECT_EQ(algorithm.file("/proc/self/mem", RecordProgress), "") << algorithm.name;
        EXPECT_EQ(Reports, std::vector<int>{100}) << algorithm.name;
    }
}

// The progress routine appends to the file at its first report: the file is
// read to its new end, the percentages pass 100, and the digest is the
// standard digest of every byte that was read. (Windows lets nobody write to
// a file while the digest reads it.)
std::string GrowingFile;
int GrowAtFirstReport(std::int32_t percent) {
    if (Reports.empty()) {
        std::vector<unsigned char> more = MessageBytes(100000, 9);
        std::ofstream(GrowingFile, std::ios::binary | std::ios::app)
            .write(reinterpret_cast<const char*>(more.data()), std::streamsize(more.size()));
    }
    Reports.push_back(percent);
    return 0;
}

TEST(Failures, FileThatGrowsWhileReadGivesDigestOfBytesRead) {
    TempDir dir;
    for (const Algorithm& algorithm : Algorithms) {
        std::vector<unsigned char> start = MessageBytes(200000, 8);
        GrowingFile = dir.File("grow", start);
        Reports.clear();
        DigestText digest = algorithm.file(GrowingFile, GrowAtFirstReport);
        std::vector<unsigned char> more = MessageBytes(100000, 9);
        start.insert(start.end(), more.begin(), more.end());
        EXPECT_EQ(digest, algorithm.memory(start.data(), std::int32_t(start.size()), nullptr)) << algorithm.name;
        ASSERT_GE(Reports.size(), 2u);
        EXPECT_GT(Reports[Reports.size() - 2], 100) << algorithm.name << ": percentages are not clamped";
        EXPECT_EQ(Reports.back(), 100);
    }
}

// A file that reports a length of 0 but yields data: reports that fall due
// have nothing to divide by and are skipped; the final 100 still comes.
TEST(Failures, ZeroDeclaredLengthWithDataSkipsReports) {
    // Enough separate mappings that /proc/self/maps runs past 65,536 bytes.
    std::vector<void*> maps;
    const long page = ::sysconf(_SC_PAGESIZE);
    for (int i = 0; i < 1500; ++i) {
        void* p = ::mmap(nullptr, std::size_t(page) * 2, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) break;
        ::mprotect(static_cast<char*>(p) + page, std::size_t(page), PROT_NONE);
        maps.push_back(p);
    }
    std::ifstream listing("/proc/self/maps", std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(listing)), std::istreambuf_iterator<char>());
    int descriptor = ::open("/proc/self/maps", O_RDONLY);
    struct stat status {};
    ::fstat(descriptor, &status);
    ::close(descriptor);
    if (content.size() <= 65536 || status.st_size != 0)
        GTEST_SKIP() << "needs a /proc/self/maps that reports length 0 and runs past 65,536 bytes (not so under an emulator)";
    for (const Algorithm& algorithm : Algorithms) {
        Reports.clear();
        EXPECT_EQ(algorithm.file("/proc/self/maps", RecordProgress).size(), algorithm.hexLength) << algorithm.name;
        EXPECT_EQ(Reports, std::vector<int>{100}) << algorithm.name;
    }
    for (void* p : maps) ::munmap(p, std::size_t(page) * 2);
}

#endif

// Leaving a digest by throwing from the progress routine releases everything
// and closes the file.
struct LeaveDigest {};
int ThrowAtSecondReport(std::int32_t percent) {
    Reports.push_back(percent);
    if (Reports.size() == 2) throw LeaveDigest{};
    return 0;
}

TEST(Failures, ThrowingProgressRoutineLeavesCleanly) {
    TempDir dir;
    std::string file = dir.File("f", MessageBytes(1000000, 5));
#ifndef _WIN32
    auto openDescriptors = [] {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
        return count;
    };
    int before = openDescriptors();
#endif
    for (const Algorithm& algorithm : Algorithms) {
        Reports.clear();
        EXPECT_THROW(algorithm.file(file, ThrowAtSecondReport), LeaveDigest) << algorithm.name;
        EXPECT_EQ(Reports.size(), 2u);
    }
#ifndef _WIN32
    EXPECT_EQ(openDescriptors(), before);
#endif
    // Windows refuses to delete a file that is still open.
    std::error_code error;
    EXPECT_TRUE(fs::remove(file, error)) << error.message();
}

// ---- large files -------------------------------------------------------------

// A sparse file past 4 GiB: lengths, counts and reports need all 64 bits.
TEST(LargeFiles, SparseFileOverFourGiB) {
    TempDir dir;
    const std::uint64_t length = (4ULL << 30) + 65536 * 3 + 17;
    std::string file = dir.Path() + "/sparse";
    {
        std::ofstream(file, std::ios::binary).put(0);
    }
    fs::resize_file(file, length);

    // SHA-256 of that many zero bytes, as `head -c 4295163921 /dev/zero | openssl dgst -sha256` gives it.
    const char* expected = "24d961a0fa1fe893f908e018abc509c70f3f8c89bf0477d1e37c04d284ed345c";

    Reports.clear();
    EXPECT_EQ(Sha256FileDigest(file, RecordProgress), expected);
    ASSERT_EQ(Reports.size(), length / 65536 + 1);
    for (std::size_t k = 0; k + 1 < Reports.size(); ++k)
        ASSERT_EQ(Reports[k], int(((k + 1) * 65536ULL * 100) / length)) << "report " << k;
    EXPECT_EQ(Reports.back(), 100);
}

// ---- concurrency -------------------------------------------------------------

TEST(Concurrency, TwoThreadsGiveTheSameDigestsAsOneAfterTheOther) {
    TempDir dir;
    std::vector<unsigned char> text = MessageBytes(300000, 11);
    std::string file = dir.File("shared", MessageBytes(3000000, 12));

    std::vector<std::string> alone;
    for (const Algorithm& algorithm : Algorithms) {
        alone.push_back(algorithm.file(file, nullptr));
        alone.push_back(algorithm.memory(text.data(), std::int32_t(text.size()), nullptr));
    }

    std::vector<std::string> fromFiles, fromMemory;
    std::vector<int> workerReports;
    std::thread worker([&] {
        for (const Algorithm& algorithm : Algorithms) fromFiles.push_back(algorithm.file(file, RecordProgress));
        workerReports = Reports;
    });
    for (int round = 0; round < 3; ++round)
        for (const Algorithm& algorithm : Algorithms)
            fromMemory.push_back(algorithm.memory(text.data(), std::int32_t(text.size()), nullptr));
    worker.join();

    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(fromFiles[i], alone[2 * i]) << Algorithms[i].name;
        for (int round = 0; round < 3; ++round)
            EXPECT_EQ(fromMemory[4 * round + i], alone[2 * i + 1]) << Algorithms[i].name;
    }
    EXPECT_EQ(workerReports.size(), 4 * (3000000u / 65536 + 1));
}

}  // namespace
