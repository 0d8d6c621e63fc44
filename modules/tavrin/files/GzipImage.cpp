#include "modules/tavrin/files/GzipImage.h"

#include <zlib.h>

#include <algorithm>

namespace Tavrin {

namespace {

constexpr int GzipWindow = 15 + 16;
constexpr size_t Chunk = 1u << 16;

} // namespace

bool GzipBytes(const std::vector<uint8_t> &raw, std::vector<uint8_t> &gz)
{
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, GzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    gz.assign(deflateBound(&z, uLong(raw.size())) + 32, 0);
    z.next_in = const_cast<Bytef *>(raw.data());
    z.avail_in = uInt(raw.size());
    z.next_out = gz.data();
    z.avail_out = uInt(gz.size());
    int status = deflate(&z, Z_FINISH);
    gz.resize(z.total_out);
    deflateEnd(&z);
    return status == Z_STREAM_END;
}

GunzipResult GunzipBounded(const std::vector<uint8_t> &gz, size_t limit, std::vector<uint8_t> &out)
{
    out.clear();
    if (!IsGzip(gz.data(), gz.size())) {
        if (gz.size() > limit)
            return GunzipResult::TooLarge;
        out = gz;
        return GunzipResult::Ok;
    }
    Zorvan::VectorSink sink(out);
    return GunzipBounded(gz.data(), gz.size(), limit, sink);
}

bool IsGzip(const uint8_t *data, size_t size) { return size >= 2 && data[0] == 0x1F && data[1] == 0x8B; }

GunzipResult GunzipBounded(const uint8_t *gz, size_t size, size_t limit, Zorvan::ByteSink &out)
{
    out.Truncate(0);
    z_stream z{};
    if (inflateInit2(&z, GzipWindow) != Z_OK)
        return GunzipResult::Damaged;
    // The last member's trailer ends with its size (modulo 4 GB): the hint
    // for the first room, which a file of several members outgrows.
    if (size >= 18)
        out.Expect(std::min<size_t>(limit + 1, size_t(gz[size - 4]) | size_t(gz[size - 3]) << 8 |
                                                   size_t(gz[size - 2]) << 16 | size_t(gz[size - 1]) << 24));
    z.next_in = const_cast<Bytef *>(gz);
    z.avail_in = uInt(size);
    GunzipResult result = GunzipResult::Damaged;
    for (;;) {
        size_t room = 0;
        uint8_t *at = out.Room(std::min(Chunk, limit + 1 - out.Size()), room);
        if (!at)
            break;
        z.next_out = at;
        z.avail_out = uInt(room);
        int status = inflate(&z, Z_NO_FLUSH);
        out.Filled(room - z.avail_out);
        if (out.Size() > limit) {
            result = GunzipResult::TooLarge;
            break;
        }
        if (status == Z_STREAM_END) {
            // Another member may follow, as gzip allows.
            if (z.avail_in >= 2 && z.next_in[0] == 0x1F && z.next_in[1] == 0x8B) {
                if (inflateReset(&z) != Z_OK)
                    break;
                continue;
            }
            result = GunzipResult::Ok;
            break;
        }
        if (status != Z_OK || (z.avail_in == 0 && z.avail_out != 0))
            break;
    }
    inflateEnd(&z);
    if (result != GunzipResult::Ok)
        out.Truncate(0);
    return result;
}

size_t GzipSizeBound(size_t size) { return size + size / 8 + 4096; }

} // namespace Tavrin
