// The program's own GBK table, so that every platform converts alike: made
// once from glibc's iconv (tools/gbk/make_gbk_table.cpp) and committed.
#pragma once

#include <cstdint>

namespace levelnet {

// Lead bytes 0x81-0xFE, trail bytes 0x40-0xFE of the two-byte codes.
inline constexpr int kGbkFirstLead = 0x81, kGbkLeadCount = 0xFE - 0x81 + 1;
inline constexpr int kGbkFirstTrail = 0x40, kGbkTrailCount = 0xFE - 0x40 + 1;

// The Unicode character (basic plane) of each two-byte code; 0 where the
// code is none.
extern const std::uint16_t kGbkDoubleByteTable[kGbkLeadCount * kGbkTrailCount];

// The one single byte above ASCII that GBK holds: 0x80, the euro sign.
inline constexpr unsigned char kGbkEuroByte = 0x80;
inline constexpr char32_t kEuroSign = 0x20AC;

}  // namespace levelnet
