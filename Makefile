# One-word commands over CMake. Each installs what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
# CI builds treat warnings as errors.
ifeq ($(CI),true)
CMAKE_FLAGS += -DTREVANTO_WERROR=ON
endif

.PHONY: all deps configure build test bench run demo fuzz install uninstall clean

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DTREVANTO_BUILD_UI=OFF -DTREVANTO_BUILD_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS) --target trevanto_bench trevanto-convert trevanto_templates
	$(BUILD)-bench/bench/trevanto_bench

run: build
	$(BUILD)/bin/trevanto

demo: build
	scripts/demo $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	scripts/uninstall $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-sanitize $(BUILD)-fuzz
