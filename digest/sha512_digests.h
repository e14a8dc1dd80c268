// SHA-384 and SHA-512 digests of memory buffers and files.
#pragma once

#include <cstdint>
#include <string>

#include "digest/digest_text.h"

DigestText Sha384FileDigest(const std::string& fileName, ProgressRoutine progress = nullptr);
DigestText Sha512FileDigest(const std::string& fileName, ProgressRoutine progress = nullptr);
DigestText Sha384MemoryDigest(const void* data, std::int32_t length, ProgressRoutine progress = nullptr);
DigestText Sha512MemoryDigest(const void* data, std::int32_t length, ProgressRoutine progress = nullptr);
