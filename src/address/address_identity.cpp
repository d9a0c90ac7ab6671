// SPDX-License-Identifier: MIT
// libcurl's URL parser splits and normalises an address; IDNA (host_names.h) turns host names
// between their Unicode and ASCII forms. What neither does (the percent-encode sets of each part, the
// case of escapes) is done per part below.
#include "address_identity.h"

#include <curl/curl.h>

#include <array>
#include <memory>
#include <optional>

#include "base/charset.h"
#include "base/text.h"
#include "host_names.h"

namespace trevanto::address {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int hexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

void appendEscape(std::string& out, unsigned char byte) {
  out.push_back('%');
  out.push_back(kHexDigits[byte >> 4]);
  out.push_back(kHexDigits[byte & 0x0F]);
}

// Escapes the bytes of a part that its percent-encode set holds (and every blank, control
// character and byte outside ASCII), and writes the hex digits of escapes in upper case.
std::string encodePart(std::string_view part, std::string_view encodeSet) {
  std::string out;
  out.reserve(part.size());
  for (std::size_t i = 0; i < part.size(); ++i) {
    const auto byte = static_cast<unsigned char>(part[i]);
    if (part[i] == '%' && i + 2 < part.size() && isHex(part[i + 1]) && isHex(part[i + 2])) {
      appendEscape(out, static_cast<unsigned char>(hexValue(part[i + 1]) * 16 + hexValue(part[i + 2])));
      i += 2;
    } else if (byte <= 0x20 || byte >= 0x7F || encodeSet.find(part[i]) != std::string_view::npos) {
      appendEscape(out, byte);
    } else {
      out.push_back(part[i]);
    }
  }
  return out;
}

// The schemes whose addresses the URL standard reads with special rules ('\' as '/').
bool isSpecialScheme(std::string_view scheme) {
  static constexpr std::array<std::string_view, 6> kSpecial = {"http", "https", "ftp", "ws", "wss", "file"};
  for (std::string_view special : kSpecial) {
    if (base::equalsIgnoringAsciiCase(scheme, special)) return true;
  }
  return false;
}

// The scheme of an address: letters, digits, '+', '-', '.' before the first ':', a letter
// first. Empty when there is none.
std::string_view schemeOf(std::string_view address) {
  const std::size_t colon = address.find(':');
  if (colon == 0 || colon == std::string_view::npos) return {};
  const std::string_view scheme = address.substr(0, colon);
  if (!((scheme[0] | 0x20) >= 'a' && (scheme[0] | 0x20) <= 'z')) return {};
  for (char c : scheme) {
    const bool allowed = ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                         c == '-' || c == '.';
    if (!allowed) return {};
  }
  return scheme;
}

struct UrlFree {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Url = std::unique_ptr<CURLU, UrlFree>;

std::optional<std::string> partOf(CURLU* url, CURLUPart part, unsigned int flags = 0) {
  char* value = nullptr;
  if (curl_url_get(url, part, &value, flags) != CURLUE_OK || value == nullptr) return std::nullopt;
  std::string text(value);
  curl_free(value);
  return text;
}

// A host in its ASCII form: an internationalised name through IDNA (the rules browsers use,
// the transitional ones where the others refuse it), an ASCII one in lower case.
std::string asciiHost(std::string_view host) {
  if (!base::hasNonAscii(host)) return base::asciiLower(host);
  const std::string name(host);
  if (const std::optional<std::string> ascii = idnaAscii(name)) return base::asciiLower(*ascii);
  return encodePart(name, "");
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// An address curl cannot take apart: the scheme in lower case, escapes in upper case.
std::string lightlyNormalised(std::string_view address) {
  const std::string_view scheme = schemeOf(address);
  return base::asciiLower(scheme) + encodePart(address.substr(scheme.size()), "");
}

bool isHostByte(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// True when the address is already an http(s) URL in its serialized form and the parser would
// give it back as it is: the common case, kept off the parser's cost. Anything in doubt (upper
// case, escapes in lower case, a port, user info, a numeric or bracketed host, dot segments, an
// empty query or fragment, a byte any part escapes) goes to the parser.
bool isAlreadySerialized(std::string_view address) {
  std::size_t at = 0;
  if (address.starts_with("https://")) {
    at = 8;
  } else if (address.starts_with("http://")) {
    at = 7;
  } else {
    return false;
  }
  const std::size_t hostStart = at;
  while (at < address.size() && isHostByte(address[at])) ++at;
  if (at == hostStart || at == address.size() || address[at] != '/') return false;
  const std::string_view host = address.substr(hostStart, at - hostStart);
  const std::size_t lastLabel = host.rfind('.') == std::string_view::npos ? 0 : host.rfind('.') + 1;
  if (host.front() == '.' || host.back() == '.' || host.find("..") != std::string_view::npos ||
      (lastLabel < host.size() && host[lastLabel] >= '0' && host[lastLabel] <= '9'))
    return false;
  bool inPath = true;
  for (std::size_t i = at; i < address.size(); ++i) {
    const char c = address[i];
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) return false;
    switch (c) {
      case '"': case '<': case '>': case '`': case '{': case '}': case '\\': case '\'':
        return false;
      case '%':
        if (i + 2 >= address.size() || !isHex(address[i + 1]) || !isHex(address[i + 2]) ||
            (address[i + 1] >= 'a' && address[i + 1] <= 'f') || (address[i + 2] >= 'a' && address[i + 2] <= 'f'))
          return false;
        break;
      case '?': case '#':
        if (i + 1 == address.size() || address[i + 1] == '#') return false;
        inPath = inPath && c != '?' && c != '#';
        break;
      case '.':
        // A segment of "." or "..".
        if (inPath && address[i - 1] == '/') {
          const std::size_t end = std::min(address.find_first_of("/?#", i), address.size());
          const std::string_view segment = address.substr(i, end - i);
          if (segment == "." || segment == "..") return false;
        }
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace

std::string addressIdentity(std::string_view address) {
  if (isAlreadySerialized(address)) return std::string(address);
  return addressIdentityParsed(address);
}

std::string addressIdentityParsed(std::string_view address) {
  while (!address.empty() && static_cast<unsigned char>(address.front()) <= 0x20) address.remove_prefix(1);
  while (!address.empty() && static_cast<unsigned char>(address.back()) <= 0x20) address.remove_suffix(1);
  // Tabs and line breaks inside an address are dropped by every browser.
  std::string text;
  text.reserve(address.size());
  for (char c : address) {
    if (c != '\t' && c != '\r' && c != '\n') text.push_back(c);
  }
  const std::string_view scheme = schemeOf(text);
  if (isSpecialScheme(scheme)) {
    const std::size_t pathEnd = std::min(text.find_first_of("?#"), text.size());
    for (std::size_t i = 0; i < pathEnd; ++i) {
      if (text[i] == '\\') text[i] = '/';
    }
  }
  // curl refuses blanks and controls, and keeps bytes outside ASCII as they are: escaped
  // first, as the standard escapes them.
  const std::string escaped = encodePart(text, "");
  const Url url(curl_url());
  if (!url || scheme.empty() || curl_url_set(url.get(), CURLUPART_URL, escaped.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    return lightlyNormalised(escaped);
  const std::optional<std::string> host = partOf(url.get(), CURLUPART_HOST);
  std::string made = base::asciiLower(partOf(url.get(), CURLUPART_SCHEME).value_or(std::string(scheme)));
  made += "://";
  if (const auto user = partOf(url.get(), CURLUPART_USER)) {
    made += encodePart(*user, "\"#<>?`{}/:;=@[\\]^|");
    if (const auto password = partOf(url.get(), CURLUPART_PASSWORD)) made += ':' + encodePart(*password, "\"#<>?`{}/:;=@[\\]^|");
    made += '@';
  }
  if (host) made += host->starts_with('[') ? base::asciiLower(*host) : asciiHost(percentDecoded(*host));
  if (const auto port = partOf(url.get(), CURLUPART_PORT, CURLU_NO_DEFAULT_PORT)) made += ':' + *port;
  made += encodePart(partOf(url.get(), CURLUPART_PATH).value_or("/"), "\"<>`{}");
  const bool special = isSpecialScheme(scheme);
  if (const auto query = partOf(url.get(), CURLUPART_QUERY)) made += '?' + encodePart(*query, special ? "\"<>'" : "\"<>");
  if (const auto fragment = partOf(url.get(), CURLUPART_FRAGMENT)) made += '#' + encodePart(*fragment, "\"<>`");
  return made;
}

std::string readableHost(std::string_view host) {
  std::string decoded = percentDecoded(host);
  if (!base::isValidUtf8(decoded)) return std::string(host);
  // Every label of an ASCII host that is not punycode stays as it is; libidn2 refuses a
  // label that does not decode or decodes to what IDNA does not allow.
  if (base::asciiLower(decoded).find("xn--") == std::string::npos) return decoded;
  return idnaUnicode(decoded).value_or(decoded);
}

}  // namespace trevanto::address
