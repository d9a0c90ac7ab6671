# SPDX-License-Identifier: MIT
# The fuzz targets, each built from fuzz/<name>.cpp: the fuzz build runs them with libFuzzer
# (fuzz/run reads the list it writes), and the tests replay their seed corpora.
# Over the engine (trevanto_site):
set(TREVANTO_FUZZ_TARGETS shortcut_reader_fuzz page_search_fuzz page_writer_fuzz)
# Over the importer's readers (trevanto_import):
set(TREVANTO_IMPORT_FUZZ_TARGETS netscape_fuzz chromium_json_fuzz property_list_fuzz desktop_entry_fuzz xbel_fuzz)
# Over the link check (trevanto_check):
set(TREVANTO_CHECK_FUZZ_TARGETS history_reader_fuzz)

# Each target as a plain program over its seed corpus (which keeps every input that once broke
# a property), linked with library, and a test that runs it.
function(trevanto_add_fuzz_replays library)
  foreach(target IN LISTS ARGN)
    add_executable(${target}_replay ${PROJECT_SOURCE_DIR}/fuzz/${target}.cpp ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(${target}_replay PRIVATE ${library} trevanto_warnings)
    add_test(NAME fuzz_corpus.${target} COMMAND ${target}_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/${target})
    set_tests_properties(fuzz_corpus.${target} PROPERTIES LABELS faults)
  endforeach()
endfunction()
