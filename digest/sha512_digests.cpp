// SHA-384 and SHA-512 (FIPS 180-4, sections 5.3.4, 5.3.5, 6.4 and 6.5).
//
// One record and one set of routines serve both variants; they differ in the
// initial hash value and in how many output bytes become text (48 or 64).
// Whole 128-byte blocks are compressed where they lie in the caller's data;
// a report falls due each time those bytes reach a multiple of 65,536.

#include "digest/sha512_digests.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "digest/sha512_internal.h"
#include "platform/file_layer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUORVIL_SHA512_SSE2 1
#endif
#if defined(__x86_64__)
#define QUORVIL_SHA512_AVX2 1
#endif

namespace {

constexpr std::int32_t ReadChunk = 65536;

alignas(16) constexpr std::uint64_t RoundConstants[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc, 0x3956c25bf348b538,
    0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235,
    0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5, 0x983e5152ee66dfab,
    0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed,
    0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30, 0xd192e819d6ef5218,
    0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373,
    0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b, 0xca273eceea26619c,
    0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc,
    0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

inline std::uint64_t Rotr(std::uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }
inline std::uint64_t Ch(std::uint64_t x, std::uint64_t y, std::uint64_t z) { return (x & y) ^ (~x & z); }
inline std::uint64_t Maj(std::uint64_t x, std::uint64_t y, std::uint64_t z) { return (x & y) ^ (x & z) ^ (y & z); }
inline std::uint64_t BigSigma0(std::uint64_t x) { return Rotr(x, 28) ^ Rotr(x, 34) ^ Rotr(x, 39); }
inline std::uint64_t BigSigma1(std::uint64_t x) { return Rotr(x, 14) ^ Rotr(x, 18) ^ Rotr(x, 41); }
inline std::uint64_t SmallSigma0(std::uint64_t x) { return Rotr(x, 1) ^ Rotr(x, 8) ^ (x >> 7); }
inline std::uint64_t SmallSigma1(std::uint64_t x) { return Rotr(x, 19) ^ Rotr(x, 61) ^ (x >> 6); }

inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
    return v;
}

inline void AddWorkingVariables(std::uint64_t state[8], std::uint64_t a, std::uint64_t b, std::uint64_t c,
                                std::uint64_t d, std::uint64_t e, std::uint64_t f, std::uint64_t g, std::uint64_t h) {
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

// Keeps the compiler from reordering a sum: what is pinned is added first.
#if defined(__GNUC__)
#define SHA512_PIN(x) __asm__("" : "+r"(x))
#else
#define SHA512_PIN(x) (void)0
#endif

// One round, with the working variables renamed instead of moved.
// Ch(e, f, g) is (e & f) + (~e & g): the two halves never share a bit, so
// they can be added to h one after the other. Maj(a, b, c) is
// b ^ ((a ^ b) & (b ^ c)), where b ^ c is the a ^ b of the round before,
// carried in `bc`. BigSigma0(a) is added to the new a one round late (in
// `s0`), which takes it off the path from one round's a to the next.
#define SHA512_ROUND(a, b, c, d, e, f, g, h, wk)                          \
    do {                                                                  \
        h += (wk);                                                        \
        a += s0;                                                          \
        h += e & f;                                                       \
        h += ~e & g;                                                      \
        SHA512_PIN(h);                                                    \
        h += BigSigma1(e);                                                \
        std::uint64_t ab = a ^ b;                                         \
        s0 = BigSigma0(a);                                                \
        d += h;                                                           \
        h += b ^ (ab & bc);                                               \
        bc = ab;                                                          \
    } while (0)

#define SHA512_EIGHT_ROUNDS(wk, i)                                        \
    do {                                                                  \
        SHA512_ROUND(a, b, c, d, e, f, g, h, (wk)[(i) + 0]);              \
        SHA512_ROUND(h, a, b, c, d, e, f, g, (wk)[(i) + 1]);              \
        SHA512_ROUND(g, h, a, b, c, d, e, f, (wk)[(i) + 2]);              \
        SHA512_ROUND(f, g, h, a, b, c, d, e, (wk)[(i) + 3]);              \
        SHA512_ROUND(e, f, g, h, a, b, c, d, (wk)[(i) + 4]);              \
        SHA512_ROUND(d, e, f, g, h, a, b, c, (wk)[(i) + 5]);              \
        SHA512_ROUND(c, d, e, f, g, h, a, b, (wk)[(i) + 6]);              \
        SHA512_ROUND(b, c, d, e, f, g, h, a, (wk)[(i) + 7]);              \
    } while (0)


void Sha512BlocksPortable(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks) {
    while (blocks-- > 0) {
        std::uint64_t wk[80];
        std::uint64_t w[80];
        for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian64(data + 8 * t);
        for (int t = 16; t < 80; ++t) w[t] = SmallSigma1(w[t - 2]) + w[t - 7] + SmallSigma0(w[t - 15]) + w[t - 16];
        for (int t = 0; t < 80; ++t) wk[t] = w[t] + RoundConstants[t];

        std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
        std::uint64_t bc = b ^ c, s0 = 0;
        for (int t = 0; t < 80; t += 8) SHA512_EIGHT_ROUNDS(wk, t);
        a += s0;
        AddWorkingVariables(state, a, b, c, d, e, f, g, h);
        data += 128;
    }
}

#ifdef QUORVIL_SHA512_SSE2
// SSE2: the schedule two words to a register, and the eight working variables
// in the low 64-bit lanes of vector registers through all 80 rounds, so a
// 32-bit processor does its 64-bit arithmetic in single instructions.
namespace sse2 {

inline __m128i Rotr(__m128i x, int n) { return _mm_or_si128(_mm_srli_epi64(x, n), _mm_slli_epi64(x, 64 - n)); }
inline __m128i Xor3(__m128i x, __m128i y, __m128i z) { return _mm_xor_si128(_mm_xor_si128(x, y), z); }
inline __m128i SmallSigma0(__m128i x) { return Xor3(Rotr(x, 1), Rotr(x, 8), _mm_srli_epi64(x, 7)); }
inline __m128i SmallSigma1(__m128i x) { return Xor3(Rotr(x, 19), Rotr(x, 61), _mm_srli_epi64(x, 6)); }
inline __m128i BigSigma0(__m128i x) { return Xor3(Rotr(x, 28), Rotr(x, 34), Rotr(x, 39)); }
inline __m128i BigSigma1(__m128i x) { return Xor3(Rotr(x, 14), Rotr(x, 18), Rotr(x, 41)); }
inline __m128i Ch(__m128i x, __m128i y, __m128i z) { return _mm_xor_si128(_mm_and_si128(x, y), _mm_andnot_si128(x, z)); }
inline __m128i Maj(__m128i x, __m128i y, __m128i z) {
    return _mm_or_si128(_mm_and_si128(x, y), _mm_and_si128(z, _mm_or_si128(x, y)));
}
// The high word of `low` and the low word of `high`.
inline __m128i Straddle(__m128i low, __m128i high) {
    return _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(low), _mm_castsi128_pd(high), 1));
}
inline __m128i ByteSwap64(__m128i x) {
    x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
    x = _mm_shufflelo_epi16(x, 0x1B);
    return _mm_shufflehi_epi16(x, 0x1B);
}

#define SHA512_SSE2_ROUND(a, b, c, d, e, f, g, h, t)                                                     \
    do {                                                                                                 \
        __m128i t1 = _mm_add_epi64(_mm_add_epi64(h, BigSigma1(e)),                                       \
                                   _mm_add_epi64(Ch(e, f, g), _mm_loadl_epi64(                           \
                                                                  reinterpret_cast<const __m128i*>(&wk[t])))); \
        d = _mm_add_epi64(d, t1);                                                                        \
        h = _mm_add_epi64(t1, _mm_add_epi64(BigSigma0(a), Maj(a, b, c)));                                \
    } while (0)

__attribute__((target("sse2"))) void Blocks(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks) {
    while (blocks-- > 0) {
        alignas(16) std::uint64_t wk[80];
        __m128i w[8];
        for (int i = 0; i < 8; ++i) {
            w[i] = ByteSwap64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)));
            _mm_store_si128(reinterpret_cast<__m128i*>(&wk[2 * i]),
                            _mm_add_epi64(w[i], _mm_load_si128(reinterpret_cast<const __m128i*>(&RoundConstants[2 * i]))));
        }
        for (int t = 16; t < 80; t += 2) {
            int i = (t / 2) & 7;
            w[i] = _mm_add_epi64(_mm_add_epi64(w[i], SmallSigma0(Straddle(w[i], w[(i + 1) & 7]))),
                                 _mm_add_epi64(Straddle(w[(i + 4) & 7], w[(i + 5) & 7]), SmallSigma1(w[(i + 7) & 7])));
            _mm_store_si128(reinterpret_cast<__m128i*>(&wk[t]),
                            _mm_add_epi64(w[i], _mm_load_si128(reinterpret_cast<const __m128i*>(&RoundConstants[t]))));
        }

        __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[0]));
        __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[1]));
        __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[2]));
        __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[3]));
        __m128i e = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[4]));
        __m128i f = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[5]));
        __m128i g = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[6]));
        __m128i h = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[7]));
        for (int t = 0; t < 80; t += 8) {
            SHA512_SSE2_ROUND(a, b, c, d, e, f, g, h, t + 0);
            SHA512_SSE2_ROUND(h, a, b, c, d, e, f, g, t + 1);
            SHA512_SSE2_ROUND(g, h, a, b, c, d, e, f, t + 2);
            SHA512_SSE2_ROUND(f, g, h, a, b, c, d, e, t + 3);
            SHA512_SSE2_ROUND(e, f, g, h, a, b, c, d, t + 4);
            SHA512_SSE2_ROUND(d, e, f, g, h, a, b, c, t + 5);
            SHA512_SSE2_ROUND(c, d, e, f, g, h, a, b, t + 6);
            SHA512_SSE2_ROUND(b, c, d, e, f, g, h, a, t + 7);
        }
        __m128i* out = reinterpret_cast<__m128i*>(state);
        _mm_storeu_si128(out + 0, _mm_add_epi64(_mm_loadu_si128(out + 0), _mm_unpacklo_epi64(a, b)));
        _mm_storeu_si128(out + 1, _mm_add_epi64(_mm_loadu_si128(out + 1), _mm_unpacklo_epi64(c, d)));
        _mm_storeu_si128(out + 2, _mm_add_epi64(_mm_loadu_si128(out + 2), _mm_unpacklo_epi64(e, f)));
        _mm_storeu_si128(out + 3, _mm_add_epi64(_mm_loadu_si128(out + 3), _mm_unpacklo_epi64(g, h)));
        data += 128;
    }
}
#undef SHA512_SSE2_ROUND

}  // namespace sse2
#endif

#ifdef QUORVIL_SHA512_AVX2
// The x86-64 kernels are written in assembly (sha512_blocks_x86_64.S): two
// blocks at a time, their schedules side by side in vector registers, the
// rounds in BMI instructions with every working variable in a register.
extern "C" {
void quorvil_sha512_blocks_avx2(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks);
void quorvil_sha512_blocks_avx512(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks);
}
#endif

using BlocksRoutine = void (*)(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks);

BlocksRoutine KernelRoutine(Sha512Kernel kernel) {
    switch (kernel) {
#ifdef QUORVIL_SHA512_SSE2
        case Sha512Kernel::Sse2:
            return sse2::Blocks;
#endif
#ifdef QUORVIL_SHA512_AVX2
        case Sha512Kernel::Avx2:
            return quorvil_sha512_blocks_avx2;
        case Sha512Kernel::Avx512:
            return quorvil_sha512_blocks_avx512;
#endif
        default:
            return Sha512BlocksPortable;
    }
}

Sha512Kernel BestKernel() {
    if (Sha512KernelAvailable(Sha512Kernel::Avx512)) return Sha512Kernel::Avx512;
    if (Sha512KernelAvailable(Sha512Kernel::Avx2)) return Sha512Kernel::Avx2;
#if defined(__i386__)
    // On 32-bit x86 the vector unit does 64-bit arithmetic in one step; on
    // x86-64 the scalar registers already do.
    if (Sha512KernelAvailable(Sha512Kernel::Sse2)) return Sha512Kernel::Sse2;
#endif
    return Sha512Kernel::Portable;
}

std::atomic<Sha512Kernel> ActiveKernel{BestKernel()};

void CompressBlocks(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks) {
    KernelRoutine(ActiveKernel.load(std::memory_order_relaxed))(state, data, blocks);
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

#ifdef QUORVIL_SHA512_AVX2
// The round constants as the x86-64 kernels add them to the words of two
// blocks at once: each two constants, then the same two again.
struct RoundConstantPairs {
    std::uint64_t words[160];
};

constexpr RoundConstantPairs MakeRoundConstantPairs() {
    RoundConstantPairs pairs{};
    for (int t = 0; t < 80; t += 2) {
        pairs.words[2 * t] = pairs.words[2 * t + 2] = RoundConstants[t];
        pairs.words[2 * t + 1] = pairs.words[2 * t + 3] = RoundConstants[t + 1];
    }
    return pairs;
}

extern "C" {
#ifdef __ELF__
__attribute__((visibility("hidden")))
#endif
alignas(32) extern const RoundConstantPairs quorvil_sha512_round_constant_pairs;
alignas(32) constinit const RoundConstantPairs quorvil_sha512_round_constant_pairs = MakeRoundConstantPairs();
}
#endif

bool Sha512KernelAvailable(Sha512Kernel kernel) {
    switch (kernel) {
        case Sha512Kernel::Portable:
            return true;
        case Sha512Kernel::Sse2:
#ifdef QUORVIL_SHA512_SSE2
            return __builtin_cpu_supports("sse2");
#else
            return false;
#endif
        case Sha512Kernel::Avx2:
#ifdef QUORVIL_SHA512_AVX2
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
#else
            return false;
#endif
        case Sha512Kernel::Avx512:
#ifdef QUORVIL_SHA512_AVX2
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                   __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
#else
            return false;
#endif
    }
    return false;
}

void Sha512UseKernel(Sha512Kernel kernel) {
    if (Sha512KernelAvailable(kernel)) ActiveKernel.store(kernel, std::memory_order_relaxed);
}

Sha512Kernel Sha512ActiveKernel() { return ActiveKernel.load(std::memory_order_relaxed); }

const char* Sha512KernelName(Sha512Kernel kernel) {
    switch (kernel) {
        case Sha512Kernel::Sse2:
            return "sse2";
        case Sha512Kernel::Avx2:
            return "avx2-bmi2";
        case Sha512Kernel::Avx512:
            return "avx512vl";
        default:
            return "portable";
    }
}

void Sha384Init(Sha512Context* context) {
    static constexpr std::uint64_t initial[8] = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17,
                                                 0x152fecd8f70e5939, 0x67332667ffc00b31, 0x8eb44a8768581511,
                                                 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
    std::memcpy(context->state, initial, sizeof initial);
    context->processedCount = 0;
}

void Sha512Init(Sha512Context* context) {
    static constexpr std::uint64_t initial[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                                 0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                                 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
    std::memcpy(context->state, initial, sizeof initial);
    context->processedCount = 0;
}

void Sha512Block(Sha512Context* context, const std::uint8_t* block) { CompressBlocks(context->state, block, 1); }

void Sha512Update(Sha512Context* context, const void* data, std::int32_t length, std::int64_t declaredTotal,
                  ProgressRoutine progress) {
    if (length <= 0) return;
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t remaining = std::size_t(length);
    std::size_t used = std::size_t(context->byteCount % 128);
    context->byteCount += remaining;

    if (used != 0 && remaining >= 128 - used) {
        std::size_t room = 128 - used;
        std::memcpy(context->buffer + used, bytes, room);
        CompressBlocks(context->state, context->buffer, 1);
        bytes += room;
        remaining -= room;
        used = 0;
    }

    // Whole blocks where they lie, in runs that end where a report falls due.
    while (remaining >= 128) {
        std::uint64_t untilReport = 65536 - (context->processedCount & 0xFFFF);
        std::size_t blocks = remaining / 128;
        if (blocks > untilReport / 128) blocks = std::size_t(untilReport / 128);
        CompressBlocks(context->state, bytes, blocks);
        bytes += blocks * 128;
        remaining -= blocks * 128;
        context->processedCount += blocks * 128;
        if (progress && (context->processedCount & 0xFFFF) == 0)
            Report(progress, context->processedCount, declaredTotal);
    }

    if (remaining > 0) std::memcpy(context->buffer + used, bytes, remaining);
}

void Sha512Final(Sha512Context* context, std::uint8_t output[64], std::int64_t declaredTotal,
                 ProgressRoutine progress) {
    // The length field counts the bytes really absorbed, so the digest is the
    // standard digest of what was hashed even when a file changed its length
    // while it was read; for buffers and unchanged files it equals the total.
    std::uint64_t messageBits = context->byteCount << 3;
    std::uint8_t lengthField[16] = {};
    for (int i = 0; i < 8; ++i) lengthField[8 + i] = std::uint8_t(messageBits >> (56 - 8 * i));

    static constexpr std::uint8_t padding[128] = {0x80};
    std::int32_t used = std::int32_t(context->byteCount % 128);
    std::int32_t padLength = used < 112 ? 112 - used : 240 - used;
    Sha512Update(context, padding, padLength, declaredTotal, progress);
    Sha512Update(context, lengthField, 16, declaredTotal, progress);

    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) output[8 * i + j] = std::uint8_t(context->state[i] >> (56 - 8 * j));
    context->processedCount = 0;
    if (progress) progress(100);
}

char* Sha512ToHex(const std::uint8_t* digest, std::int32_t byteCount, char* text) {
    static constexpr char digits[] = "0123456789abcdef";
    for (std::int32_t i = 0; i < byteCount; ++i) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 0x0F];
    }
    return text;
}

namespace {

void InitByVariant(Sha512Context* context, std::int32_t variant) {
    if (variant != 0)
        Sha512Init(context);
    else
        Sha384Init(context);
}

DigestText MakeText(const std::uint8_t output[64], std::int32_t variant) {
    const std::int32_t bytes = variant != 0 ? 64 : 48;
    auto text = std::make_unique<char[]>(128);
    return DigestText(Sha512ToHex(output, bytes, text.get()), std::size_t(2 * bytes));
}

}  // namespace

DigestText Sha512FileCore(const std::string& fileName, std::int32_t variant, ProgressRoutine progress) {
    auto context = std::make_unique<Sha512Context>();  // zero-filled
    auto output = std::make_unique<std::uint8_t[]>(64);
    auto readBuffer = std::make_unique<std::uint8_t[]>(ReadChunk);

    std::unique_ptr<ReadFile, FileCloser> file(OpenReadFile(fileName));
    if (!file) return DigestText();
    SetReadBufferSize(file.get(), ReadChunk);
    const std::int64_t declaredTotal = ReadFileLength(file.get());

    InitByVariant(context.get(), variant);
    while (!ReadFileAtEnd(file.get())) {
        std::int32_t got = ReadFileBytes(file.get(), readBuffer.get(), ReadChunk);
        Sha512Update(context.get(), readBuffer.get(), got, declaredTotal, progress);
    }
    Sha512Final(context.get(), output.get(), declaredTotal, progress);
    // A read that failed part-way leaves a digest of a prefix: never show it
    // as the file's digest.
    if (ReadFileFailed(file.get())) return DigestText();
    return MakeText(output.get(), variant);
}

DigestText Sha512MemoryCore(const void* data, std::int32_t length, std::int32_t variant, ProgressRoutine progress) {
    auto context = std::make_unique<Sha512Context>();
    auto output = std::make_unique<std::uint8_t[]>(64);
    const std::int64_t declaredTotal = length;
    InitByVariant(context.get(), variant);
    Sha512Update(context.get(), data, length, declaredTotal, progress);
    Sha512Final(context.get(), output.get(), declaredTotal, progress);
    return MakeText(output.get(), variant);
}

DigestText Sha384FileDigest(const std::string& fileName, ProgressRoutine progress) {
    return Sha512FileCore(fileName, 0, progress);
}
DigestText Sha512FileDigest(const std::string& fileName, ProgressRoutine progress) {
    return Sha512FileCore(fileName, 1, progress);
}
DigestText Sha384MemoryDigest(const void* data, std::int32_t length, ProgressRoutine progress) {
    return Sha512MemoryCore(data, length, 0, progress);
}
DigestText Sha512MemoryDigest(const void* data, std::int32_t length, ProgressRoutine progress) {
    return Sha512MemoryCore(data, length, 1, progress);
}
