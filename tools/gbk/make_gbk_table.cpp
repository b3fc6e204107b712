// Writes src/network/gbk_table.cpp, the program's own GBK table, from the C
// library's iconv (glibc's GBK converter): every two-byte code, lead bytes
// 0x81-0xFE and trail bytes 0x40-0xFE, as the Unicode character it decodes
// to (0 where it decodes to none). Run once on Linux; the table is committed
// so that every platform converts exactly as this one did.
//   g++ -O2 tools/gbk/make_gbk_table.cpp -o make_gbk_table && ./make_gbk_table > src/network/gbk_table.cpp
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
  iconv_t decode = iconv_open("UTF-32LE", "GBK");
  if (decode == reinterpret_cast<iconv_t>(-1)) return 1;
  std::printf(
      "// The two-byte codes of GBK (code page 936) as Unicode characters, made\n"
      "// by tools/gbk/make_gbk_table.cpp from glibc's iconv; do not edit by hand.\n"
      "// Index (lead - 0x81) * 191 + (trail - 0x40); 0 where the code is none.\n"
      "#include \"network/gbk_table.h\"\n\n"
      "namespace levelnet {\n\n"
      "// clang-format off\n"
      "const std::uint16_t kGbkDoubleByteTable[kGbkLeadCount * kGbkTrailCount] = {\n");
  int count = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[16];
      char* inPtr = in;
      char* outPtr = out;
      std::size_t inLeft = 2, outLeft = sizeof out;
      iconv(decode, nullptr, nullptr, nullptr, nullptr);
      unsigned codePoint = 0;
      if (iconv(decode, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) && outPtr - out == 4) {
        std::memcpy(&codePoint, out, 4);
        if (codePoint > 0xFFFF) return 2;  // GBK holds the basic plane only
      }
      std::printf("0x%04X,%s", codePoint, ++count % 12 == 0 ? "\n" : "");
    }
  }
  std::printf("%s};\n// clang-format on\n\n}  // namespace levelnet\n", count % 12 == 0 ? "" : "\n");
  iconv_close(decode);
  return 0;
}
