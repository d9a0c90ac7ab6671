// Faults the fuzz targets found, kept as plain cases. Their inputs also stay in the seed
// corpus, which the replay tests run.
#include <gtest/gtest.h>

#include <fstream>

#include "fault_support.h"
#include "site/page_format.h"
#include "site/page_search.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"
#include "test_support.h"

namespace trevanto::testing {
namespace {

using namespace trevanto::site;

}  // namespace
}  // namespace trevanto::testing
