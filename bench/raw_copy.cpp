// The least any load-whole-then-write-whole tool can do: one read of the input into
// one buffer, one write of that buffer to the output. The benchmark's baseline.
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argv[0]);
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
    const bool written = std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}
