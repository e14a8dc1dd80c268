// SHA-224 and SHA-256 (FIPS 180-4, sections 5.3.2, 5.3.3, 6.2 and 6.3).
//
// One context, one update and one final step serve both variants; they differ
// in the initial hash value and in how many digest bytes become text.
// Whole blocks are compressed where they lie in the caller's data; only a
// block begun by an earlier call and the tail of an update pass through
// `buffer`. Progress is reported each time the bytes compressed straight from
// the caller's data reach a multiple of 65,536.

#include "digest/sha256_digests.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "digest/sha256_internal.h"
#include "platform/file_layer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUORVIL_SHA256_X86 1
#endif

namespace {

constexpr std::int32_t ReadChunk = 65536;

alignas(16) constexpr std::uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline std::uint32_t Ch(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) ^ (~x & z); }
inline std::uint32_t Maj(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) ^ (x & z) ^ (y & z); }
inline std::uint32_t BigSigma0(std::uint32_t x) { return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22); }
inline std::uint32_t BigSigma1(std::uint32_t x) { return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25); }
inline std::uint32_t SmallSigma0(std::uint32_t x) { return Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3); }
inline std::uint32_t SmallSigma1(std::uint32_t x) { return Rotr(x, 17) ^ Rotr(x, 19) ^ (x >> 10); }

inline std::uint32_t LoadBigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Portable compression of `blocks` consecutive 64-byte blocks.
void Sha256BlocksPortable(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
    while (blocks-- > 0) {
        alignas(16) std::uint32_t w[64];
        for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian32(data + 4 * t);
        for (int t = 16; t < 64; ++t) w[t] = SmallSigma1(w[t - 2]) + w[t - 7] + SmallSigma0(w[t - 15]) + w[t - 16];

        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
#pragma GCC unroll 64
        for (int t = 0; t < 64; ++t) {
            std::uint32_t t1 = h + BigSigma1(e) + Ch(e, f, g) + RoundConstants[t] + w[t];
            std::uint32_t t2 = BigSigma0(a) + Maj(a, b, c);
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
        data += 64;
    }
}

#ifdef QUORVIL_SHA256_X86
// Compression with the x86 SHA extensions: two rounds per sha256rnds2, the
// message schedule by sha256msg1/sha256msg2. The state is kept as ABEF/CDGH.
__attribute__((target("sha,sse4.1"))) void Sha256BlocksShaExtensions(std::uint32_t state[8],
                                                                      const std::uint8_t* data,
                                                                      std::size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    while (blocks-- > 0) {
        const __m128i abefSaved = abef;
        const __m128i cdghSaved = cdgh;
        __m128i w[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            __m128i words;
            if (i < 4) {
                words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
            } else {
                // W[t..t+3] from W[t-16..t-1]: msg1 gives W[t-16] + s0(W[t-15]), the alignr
                // brings W[t-7..t-4], msg2 adds s1 of the two words before.
                __m128i partial = _mm_sha256msg1_epu32(w[i & 3], w[(i + 1) & 3]);
                partial = _mm_add_epi32(partial, _mm_alignr_epi8(w[(i + 3) & 3], w[(i + 2) & 3], 4));
                words = _mm_sha256msg2_epu32(partial, w[(i + 3) & 3]);
            }
            w[i & 3] = words;
            __m128i message =
                _mm_add_epi32(words, _mm_load_si128(reinterpret_cast<const __m128i*>(&RoundConstants[4 * i])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(message, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
        data += 64;
    }

    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}
#endif

using BlocksRoutine = void (*)(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

BlocksRoutine KernelRoutine(Sha256Kernel kernel) {
#ifdef QUORVIL_SHA256_X86
    if (kernel == Sha256Kernel::ShaExtensions) return Sha256BlocksShaExtensions;
#endif
    (void)kernel;
    return Sha256BlocksPortable;
}

Sha256Kernel BestKernel() {
    return Sha256KernelAvailable(Sha256Kernel::ShaExtensions) ? Sha256Kernel::ShaExtensions : Sha256Kernel::Portable;
}

std::atomic<Sha256Kernel> ActiveKernel{BestKernel()};

void CompressBlocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
    KernelRoutine(ActiveKernel.load(std::memory_order_relaxed))(state, data, blocks);
}

void StoreBigEndian32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

void Report(ProgressRoutine progress, std::uint64_t processedCount, std::int64_t declaredTotal) {
    // A file that was empty when opened and has grown since has nothing to
    // divide by; its reports are skipped and only the final 100 comes.
    if (declaredTotal == 0) return;
    progress(std::int32_t(std::int64_t(processedCount) * 100 / declaredTotal));
}

struct FileCloser {
    void operator()(ReadFile* file) const { CloseReadFile(file); }
};

}  // namespace

bool Sha256KernelAvailable(Sha256Kernel kernel) {
    switch (kernel) {
        case Sha256Kernel::Portable:
            return true;
        case Sha256Kernel::ShaExtensions:
#ifdef QUORVIL_SHA256_X86
            return __builtin_cpu_supports("sha") && __builtin_cpu_supports("sse4.1");
#else
            return false;
#endif
    }
    return false;
}

void Sha256UseKernel(Sha256Kernel kernel) {
    if (Sha256KernelAvailable(kernel)) ActiveKernel.store(kernel, std::memory_order_relaxed);
}

Sha256Kernel Sha256ActiveKernel() { return ActiveKernel.load(std::memory_order_relaxed); }

const char* Sha256KernelName(Sha256Kernel kernel) {
    return kernel == Sha256Kernel::ShaExtensions ? "sha-extensions" : "portable";
}

void Sha224Init(Sha256Context* context) {
    static constexpr std::uint32_t initial[8] = {0xc1059ed8, 0x367cd507, 0x3070dd17, 0xf70e5939,
                                                 0xffc00b31, 0x68581511, 0x64f98fa7, 0xbefa4fa4};
    std::memcpy(context->state, initial, sizeof initial);
    context->processedCount = 0;
}

void Sha256Init(Sha256Context* context) {
    static constexpr std::uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(context->state, initial, sizeof initial);
    context->processedCount = 0;
}

void Sha256Block(std::uint32_t state[8], const std::uint8_t* block) { CompressBlocks(state, block, 1); }

void Sha256Update(Sha256Context* context, const void* data, std::int32_t length, std::int64_t declaredTotal,
                  ProgressRoutine progress) {
    if (length <= 0) return;
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t remaining = std::size_t(length);
    std::size_t fill = std::size_t(context->byteCount % 64);
    context->byteCount += remaining;

    if (fill != 0 && remaining >= 64 - fill) {
        std::size_t take = 64 - fill;
        std::memcpy(context->buffer + fill, bytes, take);
        CompressBlocks(context->state, context->buffer, 1);
        bytes += take;
        remaining -= take;
        fill = 0;
    }

    // Whole blocks where they lie, in runs that end where a report falls due.
    while (remaining >= 64) {
        std::uint64_t untilReport = 65536 - (context->processedCount & 0xFFFF);
        std::size_t blocks = remaining / 64;
        if (blocks > untilReport / 64) blocks = std::size_t(untilReport / 64);
        CompressBlocks(context->state, bytes, blocks);
        bytes += blocks * 64;
        remaining -= blocks * 64;
        context->processedCount += blocks * 64;
        if (progress && (context->processedCount & 0xFFFF) == 0)
            Report(progress, context->processedCount, declaredTotal);
    }

    if (remaining > 0) std::memcpy(context->buffer + fill, bytes, remaining);
}

void Sha256Final(Sha256Context* context, std::uint8_t digest[32], std::int64_t declaredTotal,
                 ProgressRoutine progress) {
    // The length field counts the bytes really absorbed, so the digest is the
    // standard digest of what was hashed even when a file changed its length
    // while it was read; for buffers and unchanged files it equals the total.
    std::uint64_t messageBits = context->byteCount << 3;
    std::uint8_t lengthField[8];
    for (int i = 0; i < 8; ++i) lengthField[i] = std::uint8_t(messageBits >> (56 - 8 * i));

    static constexpr std::uint8_t padding[64] = {0x80};
    std::int32_t fill = std::int32_t(context->byteCount % 64);
    std::int32_t padLength = fill < 56 ? 56 - fill : 120 - fill;
    Sha256Update(context, padding, padLength, declaredTotal, progress);
    Sha256Update(context, lengthField, 8, declaredTotal, progress);

    for (int i = 0; i < 8; ++i) StoreBigEndian32(digest + 4 * i, context->state[i]);
    context->processedCount = 0;
    if (progress) progress(100);
}

void Sha256ToHex(const std::uint8_t digest[32], char* text, std::int32_t variant) {
    static constexpr char digits[] = "0123456789abcdef";
    int bytes = variant != 0 ? 32 : 28;
    for (int i = 0; i < bytes; ++i) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 0x0F];
    }
}

namespace {

void InitByVariant(Sha256Context* context, std::int32_t variant) {
    if (variant != 0)
        Sha256Init(context);
    else
        Sha224Init(context);
}

DigestText MakeText(const std::uint8_t digest[32], std::int32_t variant) {
    auto text = std::make_unique<char[]>(65);  // zero-filled
    Sha256ToHex(digest, text.get(), variant);
    return DigestText(text.get());
}

}  // namespace

DigestText Sha256FileCore(const std::string& fileName, std::int32_t variant, ProgressRoutine progress) {
    auto context = std::make_unique<Sha256Context>();  // zero-filled
    auto digest = std::make_unique<std::uint8_t[]>(32);
    auto readBuffer = std::make_unique<std::uint8_t[]>(ReadChunk);

    std::unique_ptr<ReadFile, FileCloser> file(OpenReadFile(fileName));
    if (!file) return DigestText();
    SetReadBufferSize(file.get(), ReadChunk);
    const std::int64_t declaredTotal = ReadFileLength(file.get());

    InitByVariant(context.get(), variant);
    while (!ReadFileAtEnd(file.get())) {
        std::int32_t got = ReadFileBytes(file.get(), readBuffer.get(), ReadChunk);
        Sha256Update(context.get(), readBuffer.get(), got, declaredTotal, progress);
    }
    Sha256Final(context.get(), digest.get(), declaredTotal, progress);
    // A read that failed part-way leaves a digest of a prefix: never show it
    // as the file's digest.
    if (ReadFileFailed(file.get())) return DigestText();
    return MakeText(digest.get(), variant);
}

DigestText Sha256MemoryCore(const void* data, std::int32_t length, std::int32_t variant, ProgressRoutine progress) {
    auto context = std::make_unique<Sha256Context>();
    auto digest = std::make_unique<std::uint8_t[]>(32);
    const std::int64_t declaredTotal = length;
    InitByVariant(context.get(), variant);
    Sha256Update(context.get(), data, length, declaredTotal, progress);
    Sha256Final(context.get(), digest.get(), declaredTotal, progress);
    return MakeText(digest.get(), variant);
}

DigestText Sha224FileDigest(const std::string& fileName, ProgressRoutine progress) {
    return Sha256FileCore(fileName, 0, progress);
}
DigestText Sha256FileDigest(const std::string& fileName, ProgressRoutine progress) {
    return Sha256FileCore(fileName, 1, progress);
}
DigestText Sha224MemoryDigest(const void* data, std::int32_t length, ProgressRoutine progress) {
    return Sha256MemoryCore(data, length, 0, progress);
}
DigestText Sha256MemoryDigest(const void* data, std::int32_t length, ProgressRoutine progress) {
    return Sha256MemoryCore(data, length, 1, progress);
}
