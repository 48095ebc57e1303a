#pragma once

#include <QByteArray>
#include <optional>

namespace sorvane::bridge {

// Everything up to end of file, or nothing when reading fails (a closed or unreadable
// descriptor). Waits on a non-blocking descriptor instead of giving up.
std::optional<QByteArray> readToEnd(int fd);

// Writes all the bytes, continuing after short writes, interruptions and a full
// non-blocking pipe. False on any write error, for instance a reader that went away; the
// caller must ignore SIGPIPE for that to be reported rather than fatal.
bool writeAll(int fd, const QByteArray &bytes);

} // namespace sorvane::bridge
