# Convenience front end over CMake. `make run` builds and starts Tessellon;
# `make test` builds and runs the whole test suite (plain, sanitized, fuzzed).
# `make package` makes the Debian package build/tessellon_<version>_<arch>.deb.
# `make windows` cross-builds build-windows/tessellon.exe; `make windows-package` also packs
# the zip users download; `make test-windows` runs the Windows build's tests under Wine.
.PHONY: all deps build run test package windows windows-package test-windows bench format tidy clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build

run: build
	./build/tessellon

test:
	@scripts/test

package: build
	@scripts/package

windows:
	@scripts/windows-build

windows-package:
	@scripts/windows-build --package

test-windows:
	@scripts/windows-test

bench:
	@scripts/bench

format: deps
	@git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

tidy: build
	@scripts/lint tidy build

clean:
	rm -rf build build-asan build-fuzz build-bench build-windows
