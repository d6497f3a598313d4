// Ownership of ICU converters.
#pragma once

#include <unicode/ucnv.h>

#include <memory>

namespace net {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Opens the ICU converter of that name; null when ICU does not know it.
inline Converter open_converter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

}  // namespace net
