// inflate_only FILE: reads a compressed catalogue (iTunesCDB) and inflates the zlib stream after
// its header, keeping nothing: the least a lister of such a catalogue must do, for the
// whole-process comparison in bench/speed_goals.py. Prints the inflated size.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: inflate_only FILE\n", stderr);
        return 64;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    if (bytes.size() < 8) {
        return 1;
    }
    // The header's own length is at offset 4; the stream follows the header.
    const std::uint32_t headerLength =
        static_cast<std::uint32_t>(bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) |
                                   (static_cast<std::uint32_t>(bytes[7]) << 24));
    if (headerLength > bytes.size()) {
        return 1;
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return 1;
    }
    std::vector<unsigned char> out(std::size_t{1} << 20);
    stream.next_in = const_cast<unsigned char*>(bytes.data() + headerLength);
    stream.avail_in = static_cast<uInt>(bytes.size() - headerLength);
    std::uint64_t total = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        total += out.size() - stream.avail_out;
    }
    inflateEnd(&stream);
    std::printf("%llu\n", static_cast<unsigned long long>(total));
    return status == Z_STREAM_END ? 0 : 1;
}
