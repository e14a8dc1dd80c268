// The file layer on Linux and other POSIX systems.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <string>

#include "platform/file_layer.h"

struct ReadFile {
    int descriptor;
    bool atEnd;
    bool failed;
};

ReadFile* OpenReadFile(const std::string& path) {
    if (path.empty()) return nullptr;
    // O_NONBLOCK keeps the open itself from waiting (a FIFO without a writer
    // would); anything that is not a regular file is turned away right after.
    int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) return nullptr;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return nullptr;
    }
    int flags = ::fcntl(descriptor, F_GETFL);
    if (flags != -1) ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    ReadFile* file = new (std::nothrow) ReadFile{descriptor, false, false};
    if (!file) ::close(descriptor);
    return file;
}

void SetReadBufferSize(ReadFile* file, std::int32_t bytes) {
    // Reads go straight into the caller's buffer; what helps here is telling
    // the kernel that they run front to back, so it reads ahead.
    (void)bytes;
    ::posix_fadvise(file->descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
}

std::int64_t ReadFileLength(ReadFile* file) {
    struct stat status {};
    if (::fstat(file->descriptor, &status) != 0) return 0;
    return std::int64_t(status.st_size);
}

bool ReadFileAtEnd(ReadFile* file) { return file->atEnd; }

bool ReadFileFailed(ReadFile* file) { return file->failed; }

std::int32_t ReadFileBytes(ReadFile* file, void* buffer, std::int32_t maxBytes) {
    if (file->atEnd || maxBytes <= 0) return 0;
    // Fill the whole request unless the end comes first, so that every chunk
    // but the last is a whole number of blocks.
    std::int32_t total = 0;
    char* out = static_cast<char*>(buffer);
    while (total < maxBytes) {
        ssize_t got = ::read(file->descriptor, out + total, std::size_t(maxBytes - total));
        if (got < 0) {
            if (errno == EINTR) continue;
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

void CloseReadFile(ReadFile* file) {
    if (!file) return;
    ::close(file->descriptor);
    delete file;
}
