#include "regular_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define KAMBLO_POSIX_FILES 1
#endif

namespace Zeb::Kamblo {

int openRegularFileDescriptor(const char* path)
{
#if KAMBLO_POSIX_FILES
    if (path == nullptr)
        return -1;
    // Non-blocking, so that opening a FIFO without a writer returns at once;
    // the check on the open descriptor cannot be raced by a rename.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
#else
    (void)path;
    return -1;
#endif
}

std::FILE* openRegularFile(const char* path)
{
    if (path == nullptr)
        return nullptr;
#if KAMBLO_POSIX_FILES
    const int fd = openRegularFileDescriptor(path);
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr)
        ::close(fd);
    return file;
#else
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    return std::fopen(path, "rb");
#endif
}

bool readTextFile(const char* path, std::string& contents)
{
    std::FILE* file = openRegularFile(path);
    if (file == nullptr)
        return false;
    contents.clear();
    char buffer[65536];
    size_t n = 0;
    bool text = true;
    while (text && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text = std::memchr(buffer, '\0', n) == nullptr;
        contents.append(buffer, n);
    }
    const bool ok = text && !std::ferror(file);
    std::fclose(file);
    return ok;
}

} // namespace Zeb::Kamblo
