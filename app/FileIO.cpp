#include "FileIO.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool readWholeFile(const std::string& path, std::string& content, int& err) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return err = errno, false;
    content.clear();
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            close(fd);
            return false;
        }
        if (n == 0) break;
        content.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

bool writeWholeFile(const std::string& path, const std::string& content, int& err) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return err = errno, false;
    size_t off = 0;
    while (off < content.size()) {
        ssize_t n = write(fd, content.data() + off, content.size() - off);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            close(fd);
            return false;
        }
        off += static_cast<size_t>(n);
    }
    if (close(fd) != 0) return err = errno, false;
    return true;
}
