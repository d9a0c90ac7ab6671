# SPDX-License-Identifier: MIT
# The fuzz targets, each built from fuzz/<name>.cpp: the fuzz build runs them with libFuzzer
# (fuzz/run reads the list it writes), and the tests replay their seed corpora.
# Over the engine (trevanto_site):
set(TREVANTO_FUZZ_TARGETS shortcut_reader_fuzz page_search_fuzz page_writer_fuzz)
# Over the importer's readers (trevanto_import):
set(TREVANTO_IMPORT_FUZZ_TARGETS netscape_fuzz chromium_json_fuzz property_list_fuzz desktop_entry_fuzz)
