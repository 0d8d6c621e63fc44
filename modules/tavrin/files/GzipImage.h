// The gzip form of the handheld's battery and state files, made and undone
// in memory: the files are read whole and written through a temporary file,
// so no stream ever touches the file system here.
#pragma once

#include "common/zorvan/ByteSink.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Tavrin {

bool GzipBytes(const std::vector<uint8_t> &raw, std::vector<uint8_t> &gz);

enum class GunzipResult { Ok, TooLarge, Damaged };

// Inflates every gzip member of gz into out, never past limit bytes; data
// that does not start as gzip is taken as it is, as the stream reader of the
// old files did. A damaged stream or one that ends early is Damaged.
GunzipResult GunzipBounded(const std::vector<uint8_t> &gz, size_t limit, std::vector<uint8_t> &out);

// Whether data starts as gzip does.
bool IsGzip(const uint8_t *data, size_t size);

// Inflates the gzip data gz (which must start as gzip) into out, as above.
GunzipResult GunzipBounded(const uint8_t *gz, size_t size, size_t limit, Zorvan::ByteSink &out);

// The largest gzip file that deflate can make of size bytes, with room to
// spare: the bound for reading a compressed file before inflating it.
size_t GzipSizeBound(size_t size);

} // namespace Tavrin
