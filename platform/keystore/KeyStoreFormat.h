// The key store's file image.
//
// All numbers are little-endian. The file is
//
//   offset 0   4 bytes   magic "QKS" 0x1A
//   offset 4   u32       format version, 1
//   offset 8   u32       body length N
//   offset 12  N bytes   body: the root key
//   offset 12+N u32      CRC-32 (zlib's) of the body
//
// and is exactly 16 + N bytes long. In the body
//
//   key   := u32 value count, that many values, u32 subkey count,
//            that many (name, key)
//   value := name, u32 type (1 string, 3 binary, 4 DWORD), u32 size, size bytes
//   name  := u32 length, that many bytes of UTF-8
//
// Nothing read from a file is trusted: every count and size is checked
// against the bytes that are left, names are bounded and must be allowed
// names (KeyStoreNameAllowed), nesting depth is bounded, types
// must be known, a DWORD must be 4 bytes, and two names in one key may not
// be equal (case-blind). Any failure rejects the whole file.
#pragma once

#include "platform/keystore/KeyTree.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

constexpr uint32_t KeyStoreFormatVersion = 1;
constexpr size_t KeyStoreMaxFileSize = 64u << 20;
constexpr size_t KeyStoreMaxNameLength = 16383;
constexpr int KeyStoreMaxDepth = 64;

// Whether a key or value name may be stored: UTF-8 of at most
// KeyStoreMaxNameLength bytes, without a zero byte and without '/' or '\'
// (which separate the names of a path, so a key holding one could never be
// reached by name). The store refuses to create others and the file may not
// hold them.
bool KeyStoreNameAllowed(std::string_view name);

std::vector<uint8_t> EncodeKeyStore(const KeyNode &root);

// Fills root from a whole file image; on failure leaves root empty, puts the
// reason into error and returns false.
bool DecodeKeyStore(const std::vector<uint8_t> &image, KeyNode &root, std::string &error);

}  // namespace Platform
