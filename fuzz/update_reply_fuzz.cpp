// The update client's reply splitter against a plain spelled-out split, on any bytes.
// Input: one byte giving the number of fields wanted (0 to 7), then the reply (GBK bytes).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/text.h"
#include "update/update_client.h"

namespace {

using net::Text;
using net::TextArray;

void check(bool condition) {
  if (!condition) std::abort();
}

// Every field of the reply: cut at each "|" that starts a character (0x81 to 0xFE lead a
// double-byte character that has a byte after it; every other byte stands alone), no field
// after a trailing separator.
TextArray reference_split(std::string_view reply) {
  TextArray fields;
  Text field;
  bool ended_by_separator = false;
  for (std::size_t at = 0; at < reply.size();) {
    const auto byte = static_cast<unsigned char>(reply[at]);
    if (byte == '|') {
      fields.push_back(field);
      field.clear();
      ended_by_separator = true;
      ++at;
      continue;
    }
    ended_by_separator = false;
    const std::size_t length = byte >= 0x81 && byte <= 0xFE && at + 1 < reply.size() ? 2 : 1;
    field.append(reply.substr(at, length));
    at += length;
  }
  if (!reply.empty() && !ended_by_separator) fields.push_back(field);
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t wanted = data[0] % 8;
  const std::string_view reply(reinterpret_cast<const char*>(data + 1), size - 1);

  const TextArray fields = update::split_reply(reply, wanted);
  TextArray expected = reference_split(reply);
  if (expected.size() > wanted) expected.resize(wanted);
  check(fields == expected);

  // Every field lies in the reply in order, separated by exactly one "|".
  std::size_t at = 0;
  for (const Text& field : fields) {
    check(reply.substr(at, field.size()) == field);
    at += field.size();
    if (at < reply.size()) {
      check(reply[at] == '|');
      ++at;
    }
  }
  return 0;
}
