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
    if (gz.size() < 2 || gz[0] != 0x1F || gz[1] != 0x8B) {
        if (gz.size() > limit)
            return GunzipResult::TooLarge;
        out = gz;
        return GunzipResult::Ok;
    }
    z_stream z{};
    if (inflateInit2(&z, GzipWindow) != Z_OK)
        return GunzipResult::Damaged;
    z.next_in = const_cast<Bytef *>(gz.data());
    z.avail_in = uInt(gz.size());
    GunzipResult result = GunzipResult::Damaged;
    for (;;) {
        size_t room = std::min(Chunk, limit + 1 - out.size());
        size_t at = out.size();
        out.resize(at + room);
        z.next_out = out.data() + at;
        z.avail_out = uInt(room);
        int status = inflate(&z, Z_NO_FLUSH);
        out.resize(at + room - z.avail_out);
        if (out.size() > limit) {
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
        out.clear();
    return result;
}

size_t GzipSizeBound(size_t size) { return size + size / 8 + 4096; }

} // namespace Tavrin
