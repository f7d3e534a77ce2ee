# Builds, tests and runs the two plug-ins in both trees. Every target installs what is
# missing first (tools/setup.sh).
#   make demo            the main job on the built-in sample data
#   make test            every test, native (sanitizers) and Windows (Wine)
#   make bench           benchmarks (native release build)
#   make fuzz            libFuzzer targets, FUZZ_SECONDS each (default 60)
#   make test-valgrind   the native tests without sanitizers, under valgrind memcheck
#   make dist            dist/ with the zip for Windows users

JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
FUZZ_SECONDS ?= 60
export WINEPREFIX := $(CURDIR)/build/wineprefix
export WINEDEBUG := -all

.PHONY: all setup build native win32 native-release test demo bench fuzz test-valgrind dist clean

all: build

setup:
	@sh tools/setup.sh

native: setup
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

win32: setup
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)

native-release: setup
	@cmake --preset native-release >/dev/null
	@cmake --build --preset native-release -j $(JOBS)

build: native win32

test: build
	@status=0; \
	echo "== native tests (AddressSanitizer, UndefinedBehaviorSanitizer) =="; \
	ctest --preset native -j $(JOBS) || status=1; \
	echo "== Windows tests (Wine) =="; \
	ctest --preset win32 -j $(JOBS) || status=1; \
	exit $$status

demo: build
	@sh tools/demo.sh

bench: native-release win32
	@sh bench/run.sh build/native-release

fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@sh fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

test-valgrind: native-release
	@sh tests/run_valgrind.sh build/native-release

dist: build
	@sh tools/dist.sh

clean:
	rm -rf build/native build/native-release build/win32 build/fuzz out dist samples
