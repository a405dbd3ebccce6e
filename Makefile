# The two commands of the README:
#   make run    set everything up, build, and run the program's main job
#   make test   set everything up, build, and run the whole test suite
# Both install missing Debian packages first and are quick when all is there.
#   make package  the Debian package toponyx-creator_<version>-1_amd64.deb in
#                 the build folder (scripts/package-check.sh installs and
#                 tries it)
#   make windows          toponyx-create.exe and the core's tests for Windows
#                         (mingw-w64, in build-windows/)
#   make windows-test     those tests under wine64, then the Linux and the
#                         Windows program compared on the samples and on
#                         ../shared/realdata
#   make windows-package  the release archive
#                         build-windows/toponyx-create-<version>-windows-x64.zip

BUILD ?= build
GENERATOR ?= Ninja
CMAKE_ARGS ?=

WINDOWS_BUILD ?= build-windows

.PHONY: all deps configure build test run bench package format clean windows windows-test \
	windows-package

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

windows:
	@scripts/install-deps.sh --windows
	@scripts/build-windows-deps.sh > /dev/null
	@if [ ! -f $(WINDOWS_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake; \
	fi
	@cmake --build $(WINDOWS_BUILD)

windows-test: windows build
	@scripts/wine-run.sh wineboot --init > /dev/null 2>&1  # the Wine prefix, once, before tests race for it
	@ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j2 --timeout 600
	@scripts/windows-compare.sh $(BUILD) $(WINDOWS_BUILD)

windows-package: windows
	@cmake --build $(WINDOWS_BUILD) --target windows-package

format:
	@find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
