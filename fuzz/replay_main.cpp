// SPDX-License-Identifier: MIT
// Runs a fuzz target over stored inputs without libFuzzer, so that the seed corpus and every
// input that once broke a property are checked by each ordinary build and its tests.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
    return 2;
  }
  // A new target's corpus may have no input yet (and git keeps no empty folder): a folder that
  // is empty or not there replays nothing and passes.
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path given = argv[i];
    std::error_code error;
    if (std::filesystem::is_directory(given, error)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(given)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else if (std::filesystem::exists(given, error)) {
      inputs.push_back(given);
    } else {
      std::fprintf(stderr, "%s: no such corpus yet, nothing to replay\n", given.c_str());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const auto& input : inputs) {
    std::string bytes(std::filesystem::file_size(input), '\0');
    std::ifstream in(input, std::ios::binary);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::fprintf(stderr, "%s\n", input.c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
