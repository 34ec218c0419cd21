// The preload library's interposers: open, close, ioctl, mmap, munmap, poll
// and select answer for the device paths that FAKE_V4L2 names and pass every
// other call through to the C library.
#include "FakeDevice.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/select.h>

#include <cerrno>
#include <cstdarg>
#include <map>
#include <memory>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_mutex;
std::map<int, std::shared_ptr<FakeDevice>>& Devices()
{
    // Never destroyed: a library's destructor may close a descriptor after
    // this library's own statics are gone.
    static auto* devices = new std::map<int, std::shared_ptr<FakeDevice>>;
    return *devices;
}

std::shared_ptr<FakeDevice> DeviceOf(int fd)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = Devices().find(fd);
    return it == Devices().end() ? nullptr : it->second;
}

template <typename F>
F Real(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// A fake node is opened as an eventfd: a real descriptor that the rest of the
// process can hold, close and poll without knowing.
int OpenFake(const FakeConfig& config, int flags)
{
    FakeDevice probe(config, false);
    if (probe.Unplugged()) {
        errno = ENODEV;
        return -1;
    }
    const int fd = eventfd(0, EFD_CLOEXEC);
    if (fd < 0)
        return -1;
    std::lock_guard<std::mutex> lock(g_mutex);
    Devices()[fd] = std::make_shared<FakeDevice>(config, (flags & O_NONBLOCK) != 0);
    return fd;
}

int ModeOf(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, int) : 0;
}

// A fake node, or the C library's `real` open (open, open64; openat with `dirfd`).
int OpenPath(const char* real, int dirfd, const char* path, int flags, int mode)
{
    if (const std::optional<FakeConfig> config = FakeConfigFor(path))
        return OpenFake(*config, flags);
    if (std::strcmp(real, "openat") == 0)
        return Real<int (*)(int, const char*, int, ...)>("openat")(dirfd, path, flags, mode);
    return Real<int (*)(const char*, int, ...)>(real)(path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = ModeOf(flags, args);
    va_end(args);
    return OpenPath("open", AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = ModeOf(flags, args);
    va_end(args);
    return OpenPath("open64", AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = ModeOf(flags, args);
    va_end(args);
    return OpenPath("openat", dirfd, path, flags, mode);
}

int __open_2(const char* path, int flags)
{
    if (const std::optional<FakeConfig> config = FakeConfigFor(path))
        return OpenFake(*config, flags);
    return Real<int (*)(const char*, int)>("__open_2")(path, flags);
}

int close(int fd)
{
    std::shared_ptr<FakeDevice> closing;  // destroyed after the lock is let go
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        const auto it = Devices().find(fd);
        if (it != Devices().end()) {
            closing = std::move(it->second);
            Devices().erase(it);
        }
    }
    return Real<int (*)(int)>("close")(fd);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (const std::shared_ptr<FakeDevice> device = DeviceOf(fd))
        return device->Ioctl(request, arg);
    return Real<int (*)(int, unsigned long, void*)>("ioctl")(fd, request, arg);
}

void* mmap(void* address, size_t length, int prot, int flags, int fd, off_t offset)
{
    if (const std::shared_ptr<FakeDevice> device = DeviceOf(fd)) {
        void* mapped = device->Map(length, offset);
        if (mapped == nullptr)
            errno = EINVAL;
        return mapped == nullptr ? MAP_FAILED : mapped;
    }
    return Real<void* (*)(void*, size_t, int, int, int, off_t)>("mmap")(address, length, prot, flags, fd, offset);
}

void* mmap64(void* address, size_t length, int prot, int flags, int fd, off_t offset)
{
    return mmap(address, length, prot, flags, fd, offset);
}

int munmap(void* address, size_t length)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto& [fd, device] : Devices())
            if (device->Unmap(address))
                return 0;
    }
    return Real<int (*)(void*, size_t)>("munmap")(address, length);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"  // the caller fills fd and events
int poll(struct pollfd* fds, nfds_t count, int timeoutMs)
{
    if (count == 1)
        if (const std::shared_ptr<FakeDevice> device = DeviceOf(fds[0].fd)) {
            fds[0].revents = device->Poll(fds[0].events, timeoutMs);
            return fds[0].revents != 0 ? 1 : 0;
        }
    return Real<int (*)(struct pollfd*, nfds_t, int)>("poll")(fds, count, timeoutMs);
}
#pragma GCC diagnostic pop

int select(int count, fd_set* readable, fd_set* writable, fd_set* failing, struct timeval* timeout)
{
    for (int fd = 0; readable != nullptr && fd < count; ++fd)
        if (FD_ISSET(fd, readable))
            if (const std::shared_ptr<FakeDevice> device = DeviceOf(fd)) {
                const int ms = timeout == nullptr ? -1 : static_cast<int>(timeout->tv_sec * 1000 + timeout->tv_usec / 1000);
                const bool ready = (device->Poll(POLLIN, ms) & POLLIN) != 0;
                FD_ZERO(readable);
                if (writable != nullptr)
                    FD_ZERO(writable);
                if (failing != nullptr)
                    FD_ZERO(failing);
                if (ready)
                    FD_SET(fd, readable);
                return ready ? 1 : 0;
            }
    return Real<int (*)(int, fd_set*, fd_set*, fd_set*, struct timeval*)>("select")(count, readable, writable, failing, timeout);
}

}  // extern "C"
