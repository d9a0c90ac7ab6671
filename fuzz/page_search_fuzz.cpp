// SPDX-License-Identifier: MIT
// Fuzzes the page search against std::string::find: PoiskKomb over random pages, texts and
// chunk sizes, and PageLinkIndex over random pages, memory budgets and appended link lines.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/charset.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "site/page_format.h"
#include "site/page_search.h"
#include "site/text_encoding.h"

namespace {

using namespace trevanto::base;
using namespace trevanto::site;
using trevanto::fuzz::ByteReader;
using trevanto::fuzz::check;

const std::filesystem::path& pagePath() {
  static const std::filesystem::path path = [] {
    std::error_code error;
    const std::filesystem::path shm = "/dev/shm";
    const auto folder = std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
    return folder / ("trevanto-fuzz-page-" + std::to_string(::getpid()) + ".html");
  }();
  static const struct Remover {
    ~Remover() {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
  } remover;
  return path;
}

void writePage(std::string_view bytes, bool append = false) {
  std::ofstream out(pagePath(), std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  check(static_cast<bool>(out), "the page can be written");
}

bool pageHolds(const std::string& page, std::string_view text) { return page.find(text) != std::string::npos; }

// The texts the index should know: whatever stands between each href=" and the next quote,
// and every shorter start of it.
std::vector<std::string> targetsOf(const std::string& page) {
  std::vector<std::string> targets;
  for (std::size_t at = page.find("href=\""); at != std::string::npos; at = page.find("href=\"", at + 1)) {
    const std::size_t from = at + 6;
    const std::size_t quote = page.find('"', from);
    const std::string whole = page.substr(from, quote == std::string::npos ? std::string::npos : quote - from);
    targets.push_back(whole);
    if (!whole.empty()) targets.push_back(whole.substr(0, whole.size() - 1));
    if (targets.size() > 64) break;
  }
  return targets;
}

void checkSearch(const std::string& page, std::string_view text, std::size_t chunk) {
  check(PoiskKomb(pagePath(), text, chunk) == !pageHolds(page, text), "PoiskKomb agrees with find",
        std::string(text) + " | chunk " + std::to_string(chunk));
}

void checkIndex(const PageLinkIndex& index, const std::string& page, const std::vector<std::string>& queries) {
  for (const std::string& query : queries) {
    check(index.holdsLinkTo(query) == pageHolds(page, hrefNeedle(query)), "the index agrees with find on href=\"X\"",
          query + " | complete " + std::to_string(index.complete()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteReader input(data, size);
  const std::size_t chunk = 1 + input.upTo(40);
  const std::size_t budget = input.byte() < 128 ? 64 + input.upTo(2000) : 32 * 1024 * 1024;
  const std::string needle(input.textUntil('\0'));
  std::string page(input.textUntil('\0'));
  const std::string_view additions = input.rest();  // addresses of links written after loading

  writePage(page);
  checkSearch(page, needle, chunk);
  checkSearch(page, hrefNeedle(needle), chunk);
  for (const std::string& target : targetsOf(page)) checkSearch(page, hrefNeedle(target), chunk);

  PageLinkIndex index(budget);
  index.load(pagePath(), chunk);
  std::vector<std::string> queries = targetsOf(page);
  queries.push_back(needle);
  checkIndex(index, page, queries);

  // Links written after loading, as a run writes them: the address goes in as the page form.
  ByteReader written(reinterpret_cast<const std::uint8_t*>(additions.data()), additions.size());
  for (int line = 0; line < 4 && !written.empty(); ++line) {
    const std::string address = addressForPage(fileNameToUtf8(written.textUntil('\n')));
    const std::string text = linkLine(address, "name") + std::string(kLineEnd);
    writePage(text, true);
    page += text;
    index.add(address);
    queries.push_back(address);
  }
  for (const std::string& target : targetsOf(page)) queries.push_back(target);
  checkIndex(index, page, queries);
  return 0;
}
