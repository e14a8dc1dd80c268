// Reading files for the digests: read-only, existing regular files only,
// never created or changed. Paths are UTF-8 text on every platform.
#pragma once

#include <cstdint>
#include <string>

struct ReadFile;  // one open file; its layout belongs to the platform

// Opens an existing regular file for reading, letting others read it too.
// Anything else (missing, not permitted, a folder, a pipe, a device) gives
// nullptr. Never blocks on the kind of file it is asked to open.
ReadFile* OpenReadFile(const std::string& path);

// Tells the platform how large the reads will be, and that they run from the
// start of the file to its end.
void SetReadBufferSize(ReadFile* file, std::int32_t bytes);

// The file's length in bytes now.
std::int64_t ReadFileLength(ReadFile* file);

// True when no further byte can be read: the end was reached, or a read failed.
bool ReadFileAtEnd(ReadFile* file);

// True once a read has failed (as opposed to reaching the end).
bool ReadFileFailed(ReadFile* file);

// Reads up to maxBytes into buffer and gives the number read; 0 at the end or
// on a failure, after which ReadFileAtEnd is true.
std::int32_t ReadFileBytes(ReadFile* file, void* buffer, std::int32_t maxBytes);

void CloseReadFile(ReadFile* file);
