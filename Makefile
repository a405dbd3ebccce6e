# The two commands of the README:
#   make run    set everything up, build, and run the program's main job
#   make test   set everything up, build, and run the whole test suite
# Both install missing Debian packages first and are quick when all is there.
#   make package  the Debian package toponyx-creator_<version>-1_amd64.deb in
#                 the build folder (scripts/package-check.sh installs and
#                 tries it)

BUILD ?= build
GENERATOR ?= Ninja
CMAKE_ARGS ?=

.PHONY: all deps configure build test run bench package format clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ] && [ ! -f $(BUILD)/Makefile ]; then \
	  cmake -S . -B $(BUILD) -G "$(GENERATOR)" $(CMAKE_ARGS); \
	fi

build: configure
	@cmake --build $(BUILD)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j2

run: build
	@scripts/run.sh $(BUILD)

bench: build
	@scripts/install-deps.sh --bench
	@bench/run-all.sh $(BUILD)

package: build
	@scripts/install-deps.sh --package
	@cmake --build $(BUILD) --target package

format:
	@find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
