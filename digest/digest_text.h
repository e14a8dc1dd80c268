// What the digest engine hands back and what it calls while it works.
#pragma once

#include <cstdint>
#include <string>

// A digest as lowercase hexadecimal text, high nibble first: 56, 64, 96 or
// 128 characters. A file digest gives the empty text when the file cannot be
// opened or a read fails part-way; a memory digest always has its full length.
using DigestText = std::string;

// Called between blocks, on the hashing thread, with a percentage of the
// declared total. Its result is ignored. A routine may leave the digest early
// by throwing; the engine releases its memory and closes the file on the way
// out.
using ProgressRoutine = int (*)(std::int32_t percent);
