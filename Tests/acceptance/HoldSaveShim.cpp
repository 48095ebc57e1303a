// Preloaded into the program (and so into every child it starts): holds a save of one
// stored file still at its most delicate moment, for the test to kill the process there.
// The file SORVANE_HOLD_SAVE_ARM names the stored file to hold ("history.json"); while it
// exists, the next replacement of that file (the rename that ends an atomic save, when the
// whole new copy lies beside it) or the next flush of it to the disk (SQLite's sync of its
// database, with the rollback journal written) writes the process id to the file
// SORVANE_HOLD_SAVE_MARKER, removes the arming file and waits there until it is killed.
// Everything else passes through untouched.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <unistd.h>

namespace {

std::mutex holdLock;

template <typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string baseName(const char *path)
{
    const char *slash = path ? std::strrchr(path, '/') : nullptr;
    return slash ? slash + 1 : (path ? path : "");
}

// The name armed, or empty; read at every call, so the test arms it when it wants.
std::string armed()
{
    const char *arm = std::getenv("SORVANE_HOLD_SAVE_ARM");
    if (!arm || !*arm)
        return {};
    const int fd = ::open(arm, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char name[256] = {};
    const ssize_t length = ::read(fd, name, sizeof name - 1);
    ::close(fd);
    std::string text(name, length > 0 ? size_t(length) : 0);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

void holdIfArmed(const std::string &fileName)
{
    if (fileName.empty())
        return;
    const int savedErrno = errno;
    {
        std::lock_guard<std::mutex> lock(holdLock);
        const std::string name = armed();
        if (name.empty() || name != fileName) {
            errno = savedErrno;
            return;
        }
        ::unlink(std::getenv("SORVANE_HOLD_SAVE_ARM"));
        if (const char *marker = std::getenv("SORVANE_HOLD_SAVE_MARKER"); marker && *marker) {
            // Whole under another name first, so the test never reads half of it.
            const std::string partial = std::string(marker) + ".partial";
            if (FILE *file = std::fopen(partial.c_str(), "w")) {
                std::fprintf(file, "%d\n", int(::getpid()));
                std::fclose(file);
                next<int (*)(const char *, const char *)>("rename")(partial.c_str(), marker);
            }
        }
    }
    for (;;)
        ::pause();
}

std::string pathOf(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return {};
    target[length] = '\0';
    return target;
}

} // namespace

extern "C" int rename(const char *from, const char *to)
{
    holdIfArmed(baseName(to));
    static const auto real = next<int (*)(const char *, const char *)>("rename");
    return real(from, to);
}

extern "C" int renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    holdIfArmed(baseName(to));
    static const auto real = next<int (*)(int, const char *, int, const char *)>("renameat");
    return real(fromFolder, from, toFolder, to);
}

extern "C" int renameat2(int fromFolder, const char *from, int toFolder, const char *to, unsigned int flags)
{
    holdIfArmed(baseName(to));
    static const auto real = next<int (*)(int, const char *, int, const char *, unsigned int)>("renameat2");
    return real(fromFolder, from, toFolder, to, flags);
}

extern "C" int fsync(int fd)
{
    holdIfArmed(baseName(pathOf(fd).c_str()));
    static const auto real = next<int (*)(int)>("fsync");
    return real(fd);
}

extern "C" int fdatasync(int fd)
{
    holdIfArmed(baseName(pathOf(fd).c_str()));
    static const auto real = next<int (*)(int)>("fdatasync");
    return real(fd);
}
