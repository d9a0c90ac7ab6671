// SPDX-License-Identifier: MIT
#include "charset.h"

#include <array>

#include "text.h"

namespace trevanto::base {
namespace {

// Unicode code points of the Windows-1251 bytes 0x80..0xFF. 0x98 has no character of its
// own; it is carried as U+0098 so that such a byte survives a round trip.
constexpr std::array<char32_t, 128> kWindows1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Turns UTF-16 code units into UTF-8, pairing surrogates; an unpaired one becomes U+FFFD.
class Utf16Sink {
 public:
  explicit Utf16Sink(std::string& out) : out_(out) {}
  void put(char16_t unit) {
    if (pendingHigh_ != 0) {
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        appendUtf8(out_, 0x10000 + ((pendingHigh_ - 0xD800) << 10) + (unit - 0xDC00));
        pendingHigh_ = 0;
        return;
      }
      unpaired();
      pendingHigh_ = 0;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      pendingHigh_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      unpaired();
    } else {
      appendUtf8(out_, unit);
    }
  }
  void finish() {
    if (pendingHigh_ != 0) unpaired();
    pendingHigh_ = 0;
  }
  bool sawUnpairedSurrogate() const { return sawUnpaired_; }

 private:
  void unpaired() {
    appendUtf8(out_, kReplacementCharacter);
    sawUnpaired_ = true;
  }

  std::string& out_;
  char32_t pendingHigh_ = 0;
  bool sawUnpaired_ = false;
};

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
  auto put = [&out](std::uint32_t v) { out.push_back(static_cast<char>(v)); };
  const auto c = static_cast<std::uint32_t>(cp);
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6));
    put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18));
    put(0x80 | ((c >> 12) & 0x3F));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  }
}

// Decodes one well-formed UTF-8 sequence at pos; returns its length, or 0 when malformed.
std::size_t decodeUtf8At(std::string_view s, std::size_t pos, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  std::size_t len = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

std::optional<unsigned char> toWindows1251(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kWindows1251High.size(); ++i) {
    if (kWindows1251High[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

bool isValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    char32_t cp = 0;
    const std::size_t len = decodeUtf8At(bytes, pos, cp);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

bool hasNonAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

std::string windows1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    appendUtf8(out, b < 0x80 ? char32_t{b} : kWindows1251High[b - 0x80u]);
  }
  return out;
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  Utf16Sink sink(out);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    sink.put(static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0));
  }
  sink.finish();
  return out;
}

std::optional<std::string> utf7ToUtf8(std::string_view text) {
  std::string out;
  Utf16Sink sink(out);
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    if (c != '+') {
      sink.put(static_cast<char16_t>(c));
      ++pos;
      continue;
    }
    ++pos;
    if (pos < text.size() && text[pos] == '-') {  // "+-" stands for '+'
      sink.put(u'+');
      ++pos;
      continue;
    }
    if (pos == text.size() || base64Value(text[pos]) < 0) return std::nullopt;  // a '+' that shifts nothing
    std::uint32_t bits = 0;
    int bitCount = 0;
    while (pos < text.size() && base64Value(text[pos]) >= 0) {
      bits = (bits << 6) | static_cast<std::uint32_t>(base64Value(text[pos]));
      bitCount += 6;
      if (bitCount >= 16) {
        bitCount -= 16;
        sink.put(static_cast<char16_t>((bits >> bitCount) & 0xFFFF));
      }
      bits &= (1u << bitCount) - 1;
      ++pos;
    }
    if (bitCount >= 6 || bits != 0) return std::nullopt;  // a cut-off code unit
    if (pos < text.size() && text[pos] == '-') ++pos;
  }
  sink.finish();
  if (sink.sawUnpairedSurrogate()) return std::nullopt;
  return out;
}

std::string fileNameToUtf8(std::string_view rawName) {
  if (isValidUtf8(rawName)) return std::string(rawName);
  return windows1251ToUtf8(rawName);
}

std::string displayName(std::string_view rawName) {
  std::string name = fileNameToUtf8(rawName);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return name;
}

}  // namespace trevanto::base
