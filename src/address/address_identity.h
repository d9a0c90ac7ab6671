// SPDX-License-Identifier: MIT
// Addresses as a browser reads them: two spellings of one URL compare equal, and a host name
// shows as its reader sees it. The one identity of an address for the importer (one bookmark per
// URL), the link check (one question and one history per URL) and the site export; only the
// converter's repeat search keeps the byte-exact spelling on purpose.
#pragma once

#include <string>
#include <string_view>

namespace trevanto::address {

// The address in the WHATWG URL standard's serialized form, for telling whether two addresses
// lead to the same place: scheme and host in lower case, the host in its ASCII (punycode)
// form, blanks, control characters and characters outside ASCII percent-encoded, '\' read as
// '/' before the query of http(s), ftp, ws(s) and file addresses, dot segments resolved, the
// default port dropped, percent-escapes in upper case. An address that is not a URL with a
// host (mailto:, a bare word) keeps its spelling but for the scheme's case and the escapes.
std::string addressIdentity(std::string_view address);
// The same, always through the URL parser (addressIdentity takes a short way for an address
// already in the serialized form); for tests that the two agree.
std::string addressIdentityParsed(std::string_view address);

// A host name as a person reads it: percent-escapes decoded and punycode labels ("xn--...")
// turned back into the letters they stand for. A host that does not decode stays as it is.
std::string readableHost(std::string_view host);

}  // namespace trevanto::address
