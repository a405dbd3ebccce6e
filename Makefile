# The two commands of the README:
#   make run    set everything up, build, and run the program's main job
#   make test   set everything up, build, and run the whole test suite
# Both install missing Debian packages first and are quick when all is there.

BUILD ?= build
GENERATOR ?= Ninja
CMAKE_ARGS ?=

.PHONY: all deps configure build test run bench format clean

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

format:
	@find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
