// The least any load-whole-then-write-whole tool can do: one read of the input into
// one buffer, one write of that buffer to the output. The benchmark's baseline.
// With --durable the output is also synced, and then its folder, as a save that
// must survive a power loss has to be.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const bool durable = argc == 4 && std::strcmp(argv[3], "--durable") == 0;
    if (argc != 3 && !durable) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT [--durable]\n", argv[0]);
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr || std::fseek(in, 0, SEEK_END) != 0) {
        return 1;
    }
    const long size = std::ftell(in);
    std::rewind(in);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(size));
    const bool read = std::fread(buffer.data(), 1, buffer.size(), in) == buffer.size();
    std::fclose(in);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!read || out == nullptr) {
        return 1;
    }
    bool ok = std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    ok = std::fflush(out) == 0 && ok;
    if (durable) {
        ok = fsync(fileno(out)) == 0 && ok;
    }
    ok = std::fclose(out) == 0 && ok;
    if (durable) {
        const std::string name = argv[2];
        const auto slash = name.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        ok = fd >= 0 && fsync(fd) == 0 && ok;
        if (fd >= 0) {
            close(fd);
        }
    }
    return ok ? 0 : 1;
}
