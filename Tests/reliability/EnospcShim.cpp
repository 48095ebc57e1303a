// Preloaded into a test program where it may not mount a small file system: its
// writes to regular files under SORVANE_ENOSPC_FOLDER fail with ENOSPC once the budget
// runs out, as on a full disk. The budget is the number in SORVANE_ENOSPC_BUDGET_FILE
// ("unlimited" or no file: no limit), read at every such write, so the test changes it
// as it goes; a write larger than what is left writes what is left, as a disk does.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using WriteFunction = ssize_t (*)(int, const void *, size_t);

WriteFunction realWrite()
{
    static const auto function = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
    return function;
}

std::mutex budgetLock;

bool counted(int fd)
{
    const char *folder = std::getenv("SORVANE_ENOSPC_FOLDER");
    if (!folder || !*folder)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    target[length] = '\0';
    return std::strncmp(target, folder, std::strlen(folder)) == 0;
}

// -1: no limit.
long long readBudget(const char *file)
{
    const int fd = open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[32] = {};
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    if (length <= 0 || std::strncmp(text, "unlimited", 9) == 0)
        return -1;
    return std::atoll(text);
}

void writeBudget(const char *file, long long budget)
{
    const int fd = open(file, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return;
    const std::string text = std::to_string(budget);
    (void)realWrite()(fd, text.data(), text.size());
    close(fd);
}

} // namespace

extern "C" ssize_t write(int fd, const void *data, size_t size)
{
    const char *file = std::getenv("SORVANE_ENOSPC_BUDGET_FILE");
    if (!file || size == 0 || !counted(fd))
        return realWrite()(fd, data, size);
    std::lock_guard<std::mutex> lock(budgetLock);
    const long long budget = readBudget(file);
    if (budget < 0)
        return realWrite()(fd, data, size);
    if (budget == 0) {
        errno = ENOSPC;
        return -1;
    }
    const size_t allowed = size_t(budget) < size ? size_t(budget) : size;
    const ssize_t written = realWrite()(fd, data, allowed);
    if (written > 0)
        writeBudget(file, budget - written);
    return written;
}
