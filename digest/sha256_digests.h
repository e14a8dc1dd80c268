// SHA-224 and SHA-256 digests of memory buffers and files.
#pragma once

#include <cstdint>
#include <string>

#include "digest/digest_text.h"

DigestText Sha224FileDigest(const std::string& fileName, ProgressRoutine progress = nullptr);
DigestText Sha256FileDigest(const std::string& fileName, ProgressRoutine progress = nullptr);
DigestText Sha224MemoryDigest(const void* data, std::int32_t length, ProgressRoutine progress = nullptr);
DigestText Sha256MemoryDigest(const void* data, std::int32_t length, ProgressRoutine progress = nullptr);
