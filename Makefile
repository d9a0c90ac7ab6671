# SPDX-License-Identifier: MIT
# One-word commands over CMake. Each installs what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
# CI builds treat warnings as errors.
ifeq ($(CI),true)
CMAKE_FLAGS += -DTREVANTO_WERROR=ON
endif

.PHONY: all deps configure build test bench check-browser run demo fuzz install uninstall package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The tests, then the engine, the converter and their tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer in a build of their own.
SANITIZER_OPTIONS = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREVANTO_SANITIZE=ON \
	  -DTREVANTO_BUILD_UI=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && $(SANITIZER_OPTIONS) ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DTREVANTO_BUILD_UI=OFF -DBUILD_TESTING=OFF \
	  -DTREVANTO_BUILD_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS) --target trevanto_bench trevanto-convert trevanto_templates
	$(BUILD)-bench/bench/trevanto_bench
	cmake --build $(BUILD)-bench -j $(JOBS) --target trevanto_export_bench
	$(BUILD)-bench/bench/trevanto_export_bench
	cmake --build $(BUILD)-bench -j $(JOBS) --target trevanto_check_bench
	$(BUILD)-bench/bench/trevanto_check_bench

# The pages in headless Chromium, on a site built from the sample collection: the start page's
# search, the bookmark file, the one-page view (keys, dark scheme, axe-core), the frame set and the
# title band's search; then the pages timed over 100 000 links (installs chromium, npm, and from npm
# puppeteer-core and axe-core into the build folder, for this check only).
check-browser: configure
	cmake --build $(BUILD) -j $(JOBS) --target trevanto-convert trevanto_templates
	scripts/check-browser $(BUILD)

# Builds the fuzz targets with clang and the sanitizers, then runs each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREVANTO_BUILD_FUZZ=ON \
	  -DTREVANTO_SANITIZE=ON -DTREVANTO_BUILD_UI=OFF -DBUILD_TESTING=OFF
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target trevanto_fuzzers
	fuzz/run $(BUILD)-fuzz $(FUZZ_SECONDS)

run: build
	$(BUILD)/bin/trevanto

demo: build
	scripts/demo $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	scripts/uninstall $(BUILD)

# The Debian package (trevanto_1.0.0_amd64.deb) in the build folder.
package: build
	cd $(BUILD) && cpack

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-sanitize $(BUILD)-fuzz
