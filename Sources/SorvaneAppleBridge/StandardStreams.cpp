#include "SorvaneAppleBridge/StandardStreams.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace sorvane::bridge {

namespace {

// After EAGAIN: wait until the descriptor is ready. False when waiting itself fails.
bool waitFor(int fd, short events)
{
    pollfd entry{fd, events, 0};
    for (;;) {
        if (::poll(&entry, 1, -1) >= 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

std::optional<QByteArray> readToEnd(int fd)
{
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count > 0) {
            bytes.append(chunk, count);
        } else if (count == 0) {
            return bytes;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(fd, POLLIN))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *next = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t count = ::write(fd, next, static_cast<size_t>(left));
        if (count > 0) {
            next += count;
            left -= count;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace sorvane::bridge
