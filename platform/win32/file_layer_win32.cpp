// The file layer on Windows: the wide API throughout, so that any file the
// user can pick opens whatever characters its name has.

// The header first: <windows.h> declares a function named ReadFile, which
// would hide our record's name in the header's declarations.
#include "platform/file_layer.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <new>
#include <string>

struct ReadFile {
    HANDLE handle;
    bool atEnd;
    bool failed;
};
// The record's name, for the places where the function's name would win.
typedef struct ReadFile FileRecord;

static std::wstring WidePath(const std::string& path) {
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), int(path.size()), nullptr, 0);
    if (count <= 0) return std::wstring();
    std::wstring wide(std::size_t(count), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), int(path.size()), wide.data(), count);
    return wide;
}

struct ReadFile* OpenReadFile(const std::string& path) {
    if (path.empty()) return nullptr;
    std::wstring wide = WidePath(path);
    // A name that is not valid UTF-8, or one with a NUL inside, names no file.
    if (wide.empty() || wide.find(L'\0') != std::wstring::npos) return nullptr;

    // No prompt for a drive without a disc while we look.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Refuse folders, devices and pipes before opening anything: opening a
    // pipe or a console name could wait or change what another program sees.
    DWORD attributes = GetFileAttributesW(wide.c_str());
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_DEVICE)) {
        handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }
    SetErrorMode(oldMode);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    FileRecord* file = new (std::nothrow) FileRecord{handle, false, false};
    if (!file) CloseHandle(handle);
    return file;
}

void SetReadBufferSize(struct ReadFile* file, std::int32_t bytes) {
    // The sequential-scan hint given at opening already makes the system read
    // ahead; our reads go straight into the caller's buffer.
    (void)file;
    (void)bytes;
}

std::int64_t ReadFileLength(struct ReadFile* file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file->handle, &size)) return 0;
    return std::int64_t(size.QuadPart);
}

bool ReadFileAtEnd(struct ReadFile* file) { return file->atEnd; }

bool ReadFileFailed(struct ReadFile* file) { return file->failed; }

std::int32_t ReadFileBytes(struct ReadFile* file, void* buffer, std::int32_t maxBytes) {
    if (file->atEnd || maxBytes <= 0) return 0;
    if (maxBytes > 65536) maxBytes = 65536;
    // Fill the whole request unless the end comes first, so that every chunk
    // but the last is a whole number of blocks.
    std::int32_t total = 0;
    char* out = static_cast<char*>(buffer);
    while (total < maxBytes) {
        DWORD got = 0;
        if (!::ReadFile(file->handle, out + total, DWORD(maxBytes - total), &got, nullptr)) {
            file->failed = true;
            file->atEnd = true;
            break;
        }
        if (got == 0) {
            file->atEnd = true;
            break;
        }
        total += std::int32_t(got);
    }
    return total;
}

void CloseReadFile(struct ReadFile* file) {
    if (!file) return;
    CloseHandle(file->handle);
    delete file;
}
