// The SHA-384/SHA-512 engine's own routines, for its tests and benchmark.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest/digest_text.h"

// The running state of one SHA-384 or SHA-512 computation.
struct Sha512Context {
    std::uint64_t state[8];         // H0..H7
    std::uint64_t byteCount;        // bytes absorbed, padding and length included; mod 128 = fill of buffer
    std::uint8_t buffer[128];       // the incomplete block
    std::uint64_t processedCount;   // bytes compressed straight from the caller's data; drives progress
};

void Sha384Init(Sha512Context* context);
void Sha512Init(Sha512Context* context);
void Sha512Update(Sha512Context* context, const void* data, std::int32_t length, std::int64_t declaredTotal,
                  ProgressRoutine progress);
void Sha512Final(Sha512Context* context, std::uint8_t output[64], std::int64_t declaredTotal,
                 ProgressRoutine progress);
void Sha512Block(Sha512Context* context, const std::uint8_t* block);
char* Sha512ToHex(const std::uint8_t* digest, std::int32_t byteCount, char* text);
DigestText Sha512FileCore(const std::string& fileName, std::int32_t variant, ProgressRoutine progress);
DigestText Sha512MemoryCore(const void* data, std::int32_t length, std::int32_t variant, ProgressRoutine progress);

// The compression kernels. The fastest one the processor has is chosen when
// the program starts; tests force each one in turn.
enum class Sha512Kernel { Portable, Sse2, Avx2, Avx512 };
bool Sha512KernelAvailable(Sha512Kernel kernel);
void Sha512UseKernel(Sha512Kernel kernel);  // only while nothing is hashing
Sha512Kernel Sha512ActiveKernel();
const char* Sha512KernelName(Sha512Kernel kernel);
