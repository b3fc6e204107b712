// The creation date in a PDF's document information. Qt's PDF writer (Qt
// 6.4) stamps /CreationDate with the current local time and offers no way to
// give it another, so a PDF made twice differs; with SOURCE_DATE_EPOCH set
// the stamp is replaced afterwards. No Qt here: the bytes are edited as
// they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace levelnet::print {

// `pdf` with the first object's /CreationDate (the document information Qt
// writes first) replaced by the moment `seconds` since 1970 UTC, written
// "D:YYYYMMDDHHmmSSZ" (0 to the end of the year 9999). Where the length of
// the date changes (Qt writes the local offset, "+08'00'", or "Z"), every
// offset of the cross-reference table beyond it and the one after
// startxref are moved by the difference, so the file stays valid and is the
// same whatever the time zone. A PDF without such a date is returned as it
// is. Throws InputError when the date or the cross-reference table is not
// in the form Qt writes.
std::string withCreationDate(const std::string& pdf, std::int64_t seconds);

// The bytes a PDF writer produced, as the file levelnet hands out: refused
// (InputError) when empty, and with SOURCE_DATE_EPOCH set dated by it, so
// that a PDF made again is the same file.
std::string finishedPdf(std::string_view bytes);

}  // namespace levelnet::print
