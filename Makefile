# The front door. `make run` installs, builds, generates the data and plays the show;
# `make test` builds and runs every test in the release and the sanitizer builds, the threads
# test under ThreadSanitizer, the show's frames with the packed paths compiled out, the drawing
# code's tests and the show's frames built for 64-bit ARM and run under qemu, and the browser
# build's checks. `make fuzz-campaign` is the long fuzzing run (not in CI).
# `make install PREFIX=... [DESTDIR=...]` installs the build; `make package` makes the .deb.
# `make web` writes the site for browsers into build/web; `make serve-web` serves it on 127.0.0.1.

PRESET ?= release
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
BUILD := build/$(PRESET)
DEPS := scripts/install-deps.sh

WEB_PORT ?= 8080

.PHONY: all deps build run test test-release test-asan test-tsan test-plain test-aarch64 \
        test-web data-release bench fuzz fuzz-campaign record digests install package gallery \
        web serve-web clean

all: build

deps:
	@bash $(DEPS)

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

run: build
	@bash scripts/run.sh $(BUILD)

test: test-release test-asan test-tsan test-plain test-aarch64 test-web

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

# Both take the release build's forged data.
test-plain: deps data-release
	@cmake --preset plain >/dev/null
	@cmake --build --preset plain
	@ctest --preset plain

test-aarch64: deps data-release
	@cmake --preset aarch64 >/dev/null
	@cmake --build --preset aarch64
	@ctest --preset aarch64

data-release:
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target forge_data

# The show in a browser: the data forged by the native build, the show compiled twice for wasm
# (plain and SIMD) against libraries built from Debian's sources (cached outside the clone).
web: deps data-release
	@deps=$$(bash scripts/build-web-deps.sh) && for p in wasm wasm-simd; do \
	  cmake --preset $$p -DQM_WEB_DEPS="$$deps" >/dev/null && cmake --build --preset $$p || exit 1; \
	done
	@bash scripts/assemble-web.sh build/release build/wasm build/wasm-simd build/web

serve-web: web
	@python3 scripts/serve-web.py --port $(WEB_PORT) build/web

# Both wasm builds under node and the page in headless Chromium, against the show's record.
test-web: web
	@cmake --build --preset release --target test_web quellmoor
	@build/release/tests/web/test_web

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

# Rewrites the committed digests of the show's frames and the forge's tunes; only when they are
# meant to change.
digests: build
	@QM_UPDATE_DIGESTS=1 ctest --preset release -R 'ShowDigests|Modules'

record: build
	@bash scripts/record.sh $(BUILD)

# No build here: `make && sudo make install` must not build as root.
install:
	@test -x $(BUILD)/quellmoor || { echo "make install: run make first" >&2; exit 1; }
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

package: build
	@cmake --build --preset $(PRESET) --target package

# One picture per part for the README, in docs/gallery.
gallery: build
	@bash scripts/gallery.sh $(BUILD) docs/gallery

clean:
	rm -rf build
