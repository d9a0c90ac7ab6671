// SPDX-License-Identifier: MIT
// Charsets through the C library's iconv.
#include <errno.h>
#include <iconv.h>

#include <algorithm>

#include "base/code_pages.h"

namespace trevanto::base {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class Converter {
 public:
  explicit Converter(const std::string& from) : handle_(::iconv_open("UTF-8", from.c_str())) {}
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() {
    if (valid()) ::iconv_close(handle_);
  }
  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  std::string convert(std::string_view bytes, std::size_t maxBytes) {
    std::string out;
    out.reserve(std::min(bytes.size() + bytes.size() / 2, maxBytes));
    char buffer[16384];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0 && out.size() <= maxBytes) {
      char* put = buffer;
      std::size_t putLeft = sizeof buffer;
      const std::size_t done = ::iconv(handle_, &in, &inLeft, &put, &putLeft);
      out.append(buffer, static_cast<std::size_t>(put - buffer));
      if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      // A byte that is not of the charset, or a sequence cut off at the end.
      out += kReplacement;
      ++in;
      --inLeft;
      ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    }
    char* put = buffer;
    std::size_t putLeft = sizeof buffer;
    ::iconv(handle_, nullptr, nullptr, &put, &putLeft);
    out.append(buffer, static_cast<std::size_t>(put - buffer));
    return out;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::optional<std::string> decodeCharset(std::string_view bytes, const std::string& charset, std::size_t maxBytes) {
  Converter converter(charset);
  if (!converter.valid()) return std::nullopt;
  return converter.convert(bytes, maxBytes);
}

}  // namespace trevanto::base
