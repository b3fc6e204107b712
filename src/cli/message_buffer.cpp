#include "cli/message_buffer.h"

#include <cstring>

#include "network/errors.h"
#include "network/gbk.h"

namespace levelnet::cli {

namespace {

// The end of the complete UTF-8 characters of `text`: before a lead byte at
// its end whose continuation bytes have not all come yet.
std::size_t completeCharacters(const std::string& text) {
  std::size_t lead = text.size();
  std::size_t continuations = 0;
  while (lead > 0 && continuations < 3 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) {
    --lead;
    ++continuations;
  }
  if (lead == 0) return text.size();
  const auto byte = static_cast<unsigned char>(text[lead - 1]);
  const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
  return length > continuations + 1 ? lead - 1 : text.size();
}

}  // namespace

MessageBuffer::~MessageBuffer() {
  passOn(pending_.size());
  terminal_->pubsync();
}

bool MessageBuffer::passOn(std::size_t end) {
  if (end == 0) return true;
  const std::string shown = printableMessage(pending_.substr(0, end));
  const std::string text = gbk_ ? messageToGbk(shown) : shown;
  pending_.erase(0, end);
  const auto size = static_cast<std::streamsize>(text.size());
  return terminal_->sputn(text.data(), size) == size;
}

MessageBuffer::int_type MessageBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return sync() == 0 ? traits_type::not_eof(c) : c;
  const char ch = traits_type::to_char_type(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize MessageBuffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  if (std::memchr(text, '\n', static_cast<std::size_t>(count)) != nullptr && !passOn(pending_.rfind('\n') + 1))
    return 0;
  return count;
}

int MessageBuffer::sync() {
  if (!passOn(completeCharacters(pending_))) return -1;
  return terminal_->pubsync();
}

}  // namespace levelnet::cli
