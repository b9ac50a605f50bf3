# The front door. `make run` installs, builds, generates the data and plays the show;
# `make test` builds and runs every test in the release and the sanitizer builds, and the
# threads test under ThreadSanitizer. `make fuzz-campaign` is the long fuzzing run (not in CI).

PRESET ?= release
FUZZ_SECONDS ?= 60
BUILD := build/$(PRESET)
DEPS := scripts/install-deps.sh

.PHONY: all deps build run test test-release test-asan test-tsan bench fuzz fuzz-campaign record \
        digests clean

all: build

deps:
	@bash $(DEPS)

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

run: build
	@bash scripts/run.sh $(BUILD)

test: test-release test-asan test-tsan

test-release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release
	@ctest --preset release

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan

# Only what the threads test needs: the program, its data and the test.
test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan --target test_threads
	@build/tsan/tests/threads/test_threads

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release
	@bash scripts/bench.sh build/release

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@bash scripts/fuzz.sh build/fuzz $(FUZZ_SECONDS)

fuzz-campaign: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@bash scripts/fuzz-campaign.sh build/fuzz

# Rewrites the committed digests of the show's frames; only when pixels are meant to change.
digests: build
	@QM_UPDATE_DIGESTS=1 ctest --preset release -R ShowDigests

record: build
	@bash scripts/record.sh $(BUILD)

clean:
	rm -rf build
