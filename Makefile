# SPDX-License-Identifier: MIT
# One-word commands over CMake. Each installs what is missing first.
# The build configurations are the presets of CMakePresets.json; CI=true picks the ones that
# treat warnings as errors. Each preset builds in a folder of its own (build/ for default,
# build-NAME/ for the others), so a CI run leaves the warnings of the everyday build as they were.
# BUILD is the folder of PRESET.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
CI_SUFFIX := $(if $(filter true,$(CI)),-ci)
PRESET := $(if $(CI_SUFFIX),ci,default)
BUILD := $(if $(CI_SUFFIX),build-ci,build)
WINDOWS_PRESET := windows$(CI_SUFFIX)

.PHONY: all deps configure build test windows-deps windows windows-window windows-package test-windows bench check-browser run demo fuzz install uninstall package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake --preset $(PRESET) $(CMAKE_FLAGS)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

# The tests, then the engine, the programs without a window and their tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer in a build of their own, then the Windows
# programs' tests under wine (each part ends with its count).
test: build
	ctest --preset $(PRESET) -j $(JOBS)
	cmake --preset sanitize$(CI_SUFFIX) $(CMAKE_FLAGS)
	cmake --build --preset sanitize$(CI_SUFFIX) -j $(JOBS)
	ctest --preset sanitize$(CI_SUFFIX) -j $(JOBS)
	$(MAKE) --no-print-directory test-windows

# The programs for Windows (build-windows/bin/*.exe), cross-built with mingw-w64 against the
# libraries scripts/cross-build-deps builds once from Debian's sources into ~/.cache/trevanto.
windows-deps:
	@scripts/install-deps --windows
	@scripts/cross-build-deps >/dev/null

windows: windows-deps
	cmake --preset $(WINDOWS_PRESET) $(CMAKE_FLAGS)
	cmake --build --preset $(WINDOWS_PRESET) -j $(JOBS)

# The window for Windows too (build-windows-window/bin/trevanto.exe, with the programs, which read
# the window's settings there), against Qt for Windows cross-built once from Debian's source by
# scripts/cross-build-qt into ~/.cache/trevanto: about 45 minutes the first time, so not part of
# make test.
windows-window: windows-deps
	scripts/cross-build-qt >/dev/null
	cmake --preset windows-window $(CMAKE_FLAGS)
	cmake --build --preset windows-window -j $(JOBS)

# The per-user installer and the portable zip (build-windows/package/), tried under wine; made
# from the window's build, with trevanto.exe and the scheduled tasks, when make windows-window
# has made one.
windows-package: windows
	scripts/windows-package $(WINDOWS_PRESET)

# The Windows programs' tests under wine, with their count and time; then the Windows converter
# beside the Linux one on every collection the conversion tests build and on examples/: the same
# sites byte for byte, export/stamp aside (scripts/windows-same-site).
test-windows: windows configure
	scripts/windows-tests $(WINDOWS_PRESET) $(JOBS)
	cmake --build --preset $(PRESET) -j $(JOBS) --target trevanto-convert trevanto_templates trevanto_engine_tests \
	  trevanto_quiet_rerun_tests trevanto_fault_tests trevanto_import_tests
	scripts/windows-same-site $(BUILD) build-$(WINDOWS_PRESET) $(JOBS)

bench: deps windows-deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	build-bench/bench/trevanto_bench
	build-bench/bench/trevanto_export_bench
	build-bench/bench/trevanto_check_bench
	build-bench/bench/trevanto_history_bench
	cmake --preset $(WINDOWS_PRESET) $(CMAKE_FLAGS)
	cmake --build --preset $(WINDOWS_PRESET) -j $(JOBS) --target trevanto-convert trevanto_templates
	bench/wine-beside-linux build-bench/bin/trevanto-convert build-$(WINDOWS_PRESET)/bin/trevanto-convert.exe build-bench/wine-beside-linux

# The pages in headless Chromium, on a site built from the sample collection: the start page's
# search, the bookmark file, the one-page view (keys, dark scheme, axe-core), the frame set and the
# title band's search, export/collection.html; then the pages timed over 100 000 links: a word, a
# number and a one-letter query, collection.html opened (installs chromium, npm, and from npm
# puppeteer-core and axe-core into the build folder, for this check only).
check-browser: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target trevanto-convert trevanto_templates
	scripts/check-browser $(BUILD)

# Builds the fuzz targets with clang and the sanitizers, then runs each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps --fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	fuzz/run build-fuzz $(FUZZ_SECONDS)

run: build
	$(BUILD)/bin/trevanto

demo: build
	scripts/demo $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	scripts/uninstall $(BUILD)

# The Debian package (trevanto_VERSION_amd64.deb) in the build folder.
package: build
	cd $(BUILD) && cpack

clean:
	rm -rf build build-ci build-sanitize build-sanitize-ci build-bench build-fuzz build-windows build-windows-ci build-windows-window
