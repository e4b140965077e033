# Everything a fresh Debian 12 machine needs: `make run` and `make test` install what is missing first.

BUILD       ?= build
ASAN_BUILD  ?= build-asan
PREFIX      ?= /usr/local
GENERATOR   := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS        ?= $(shell nproc)
SUDO        := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Build and run time: the library's dependencies, the font, the test and screenshot tools, and
# the SDL2 add-on libraries the benchmarks compare against.
DEBIAN_PACKAGES := cmake ninja-build g++ pkg-config \
  libsdl2-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev libogg-dev libvorbis-dev libmpg123-dev \
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic \
  libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-apps x11-utils imagemagick openbox \
  python3 python3-xlib python3-pil python3-numpy lame \
  libsdl2-image-dev libsdl2-ttf-dev libsdl2-mixer-dev

# `make fuzz` only: clang and its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_BUILD    ?= build-fuzz
FUZZ_SECONDS  ?= 60

.PHONY: all deps build run test test-plain test-asan install bench fuzz clean

all: build

# Installs those of the packages given that are missing.
define install_missing
@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing missing packages:" $$missing; \
	    $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install_missing,$(DEBIAN_PACKAGES))

build: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# The game reads GAZUMO/ and writes save/ relative to its working directory.
run: build
	cd assets && ../$(BUILD)/gazumo

test: test-plain test-asan

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	@[ -f $(ASAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(ASAN_BUILD) -G "$(GENERATOR)" \
	    -DCMAKE_BUILD_TYPE=Debug -DZQ_SANITIZE=ON -DZQ_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

bench: build
	@if [ -x $(BUILD)/bench/zq_bench ]; then ZQ_SOURCE_DIR=$(CURDIR) $(BUILD)/bench/zq_bench; else echo "no benchmarks built"; fi

# Every fuzz/<name>_fuzz.cpp, built with libFuzzer and both sanitizers, runs FUZZ_SECONDS on a
# copy of fuzz/corpus/<name>/ in $(FUZZ_BUILD)/fuzz/<name>/; what it finds is left in crashes/
# there (keep a fixed one in fuzz/crashes/<name>/ so every test run replays it).
fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	@[ -f $(FUZZ_BUILD)/CMakeCache.txt ] || CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G "$(GENERATOR)" \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_FUZZ=ON -DZQ_TESTS=OFF -DZQ_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@status=0; for harness in fuzz/*_fuzz.cpp; do \
	    name=$$(basename $$harness _fuzz.cpp); dir=$(FUZZ_BUILD)/fuzz/$$name; \
	    mkdir -p $$dir/corpus $$dir/crashes; \
	    [ -d fuzz/corpus/$$name ] && cp -r fuzz/corpus/$$name/. $$dir/corpus/; \
	    echo "== fuzzing $$name for $(FUZZ_SECONDS) s"; \
	    ( cd $$dir && UBSAN_OPTIONS=print_stacktrace=1 ../$${name}_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=crashes/ corpus ) \
	        > $$dir/fuzz.log 2>&1 || status=1; \
	    tail -n 12 $$dir/fuzz.log; \
	    found=$$(ls $$dir/crashes | wc -l); \
	    echo "== $$name: $$found input(s) that crashed, hung, leaked or ran slow, of this run and earlier ones, in $(CURDIR)/$$dir/crashes/; log in $(CURDIR)/$$dir/fuzz.log"; \
	done; exit $$status

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

-include tools/assets/assets.mk
