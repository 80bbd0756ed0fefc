// map_only FILE: maps FILE read-only, as kestrum-cli maps a catalogue, and reads one byte of
// every 64 (one per cache line); prints their sum. Every lister that reads the whole catalogue
// through a mapping does at least this much: speed_goals.py shows it beside the list's row as
// the floor of what reading the file costs.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: map_only FILE\n", stderr);
        return 64;
    }
    const int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || info.st_size <= 0) {
        return 1;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (mapping == MAP_FAILED) {
        return 1;
    }
    constexpr std::size_t kLine = 64;
    const auto* pBytes = static_cast<const std::uint8_t*>(mapping);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < size; i += kLine) {
        sum += pBytes[i];
    }
    munmap(mapping, size);
    std::printf("%llu\n", static_cast<unsigned long long>(sum));
    return 0;
}
