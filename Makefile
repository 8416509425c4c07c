# Two commands for a fresh Debian 12 machine: `make run` and `make test`.
BUILD_DIR ?= build
WORK_DIR  ?= work
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
# Extra CMake settings, e.g. CMAKE_FLAGS=-DORVALIS_WARNINGS_AS_ERRORS=ON (CI sets that).
CMAKE_FLAGS ?=

.PHONY: all deps build test run clean format check-format

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@bash tools/make-run.sh $(BUILD_DIR) $(WORK_DIR)

clean:
	@rm -rf $(BUILD_DIR)

# The Debian package (CPack) in $(BUILD_DIR)/: orvalis_<version>_<arch>.deb, then checked by lintian.
.PHONY: package
package:
	@bash tools/install-deps.sh --package
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target package
	@lintian --fail-on error $(BUILD_DIR)/orvalis_*.deb

# One code style (.clang-format): `make format` applies it, `make check-format` fails on any deviation.
format:
	@bash tools/check-format.sh --fix

check-format:
	@bash tools/check-format.sh

# Physics validation report (minutes): single-energy Tolvane runs against full-physics references,
# written to docs/physics-validation.md.
.PHONY: validate
validate: deps
	@bash bench/validate.sh $(BUILD_DIR)

# Speed benchmark (minutes): micro-benchmarks and the default runs against the build before the
# speed work, written to docs/performance.md.
.PHONY: bench
bench:
	@bash tools/install-deps.sh --bench
	@bash bench/speed/run-bench.sh $(BUILD_DIR)

# Mutation campaign (minutes) under the address and undefined-behaviour sanitizers, in a build of
# its own: every reader and both simulators on mutated product files, a fixed seed. Fails on any
# crash, hang, sanitizer report, damaged result or silently taken corrupted file.
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_CASES     ?= 1250
FUZZ_SEED      ?= 20240612
.PHONY: fuzz
fuzz:
	@bash tools/install-deps.sh --fuzz
	@cmake -S . -B $(FUZZ_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALIS_SANITIZE=ON \
	  -DORVALIS_BUILD_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS) --target orvalis-fuzz
	@ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=16 UBSAN_OPTIONS=print_stacktrace=1 \
	  $(FUZZ_BUILD_DIR)/bin/orvalis-fuzz --cases $(FUZZ_CASES) --seed $(FUZZ_SEED) --work $(FUZZ_BUILD_DIR)/campaign
