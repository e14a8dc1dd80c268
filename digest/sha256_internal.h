// The SHA-224/SHA-256 engine's own routines, for its tests and benchmark.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest/digest_text.h"

// The running state of one SHA-224 or SHA-256 computation.
struct Sha256Context {
    std::uint32_t state[8];         // H0..H7
    std::uint8_t buffer[64];        // the incomplete block
    std::uint64_t byteCount;        // bytes absorbed, padding and length included; low 6 bits = fill of buffer
    std::uint64_t processedCount;   // bytes compressed straight from the caller's data; drives progress
};

void Sha224Init(Sha256Context* context);
void Sha256Init(Sha256Context* context);
void Sha256Update(Sha256Context* context, const void* data, std::int32_t length, std::int64_t declaredTotal,
                  ProgressRoutine progress);
void Sha256Final(Sha256Context* context, std::uint8_t digest[32], std::int64_t declaredTotal,
                 ProgressRoutine progress);
void Sha256Block(std::uint32_t state[8], const std::uint8_t* block);
void Sha256ToHex(const std::uint8_t digest[32], char* text, std::int32_t variant);
DigestText Sha256FileCore(const std::string& fileName, std::int32_t variant, ProgressRoutine progress);
DigestText Sha256MemoryCore(const void* data, std::int32_t length, std::int32_t variant, ProgressRoutine progress);

// The compression kernels. The fastest one the processor has is chosen when
// the program starts; tests force each one in turn.
enum class Sha256Kernel { Portable, ShaExtensions };
bool Sha256KernelAvailable(Sha256Kernel kernel);
void Sha256UseKernel(Sha256Kernel kernel);  // only while nothing is hashing
Sha256Kernel Sha256ActiveKernel();
const char* Sha256KernelName(Sha256Kernel kernel);
