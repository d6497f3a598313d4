// The text types the whole program shares: GBK text, raw bytes and text lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace net {

// Owned 8-bit text in code page 936 (GBK). Lengths and positions count bytes.
using Text = std::string;
// Owned counted byte buffer; UTF-16 travels here as little-endian units.
using Bytes = std::vector<std::uint8_t>;
// Owned list of texts.
using TextArray = std::vector<Text>;

}  // namespace net
