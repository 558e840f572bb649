# The two commands of the README:
#   make run    set up and start TOLVEN on the bundled sample data
#   make test   build and run every test
#   make golden rewrite the golden files after a change of output that is meant
# and for the real JV-Link component:
#   make bridge       build tolven-jvbridge.exe (32- and 64-bit) with MinGW-w64
#   make test-bridge  the bridge's tests under Wine, in a fresh Wine prefix
#   make test-windows the core, tolven-cli.exe and the core tests built for
#                     32-bit Windows and run under Wine
.PHONY: run test test-asan golden test-bridge test-windows bridge fuzz deps bench format clean

SAMPLE_BASE ?= $(CURDIR)/run

deps:
	@sh tools/install-deps.sh

CLI = ./build/release/src/app/tolven-cli --base $(SAMPLE_BASE)

run: deps
	cmake --preset release
	cmake --build --preset release
	@if [ ! -d $(SAMPLE_BASE)/feed ]; then \
	    $(CLI) make-sample-feed $(SAMPLE_BASE)/feed; \
	fi
	@# The first start opens on a store that holds the whole sample feed
	@# (an import cut short is done again).
	@if [ ! -f $(SAMPLE_BASE)/.sample-imported ]; then \
	    echo "Importing the whole sample feed into $(SAMPLE_BASE) (once)..."; \
	    $(CLI) import --quiet --from 20000101000000 >/dev/null && \
	    touch $(SAMPLE_BASE)/.sample-imported || exit 1; \
	fi
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	    ./build/release/src/app/tolven --base $(SAMPLE_BASE); \
	else \
	    echo "No display: the race days of the sample store instead of the window."; \
	    $(CLI) days; \
	fi

test: deps
	cmake --preset dev
	cmake --build --preset dev
	ctest --preset dev -j2

test-asan: deps
	cmake --preset dev-asan
	cmake --build --preset dev-asan
	ctest --preset dev-asan -j2

# Rewrites the golden files of tests/data/golden/ from the outputs of this
# build, for a change of output that is meant; review them with git diff.
golden: deps
	cmake --preset dev
	cmake --build --preset dev
	TOLVEN_UPDATE_GOLDEN=1 ctest --preset dev -L golden --no-tests=error

# Each fuzz target runs FUZZ_SECONDS (default 60); findings make it fail.
FUZZ_SECONDS ?= 60
fuzz: deps
	@sh tools/install-deps.sh fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz
	sh tools/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

MINGW_MISSING = $(shell for c in i686-w64-mingw32-g++ x86_64-w64-mingw32-g++; do \
    command -v $$c >/dev/null 2>&1 || printf ' %s' $$c; done)

bridge: deps
	@if [ -n "$(MINGW_MISSING)" ]; then \
	    echo "make: tolven-jvbridge.exe needs MinGW-w64, and$(MINGW_MISSING) is missing."; \
	    echo "      Run tools/install-deps.sh bridge (packages g++-mingw-w64-i686 g++-mingw-w64-x86-64)."; \
	    exit 1; \
	fi
	cmake --preset release
	cmake --build --preset release
	@ls -l build/release/src/app/jvbridge/*/tolven-jvbridge.exe

test-bridge:
	@sh tools/install-deps.sh bridge
	cmake --preset dev
	cmake --build --preset dev
	TOLVEN_WINE_TESTS=1 TOLVEN_REQUIRE_WINE32=1 ctest --preset dev -L wine --no-tests=error

# The Windows build (MinGW-w64, 32-bit like JV-Link 4.x) and its tests under
# Wine, one Wine process per test program; tolven-cli.exe is compared with
# the Linux tolven-cli of the dev preset.
test-windows:
	@sh tools/install-deps.sh bridge
	sh tools/test-windows.sh

bench: deps
	cmake --preset release
	cmake --build --preset release
	./build/release/bench/bench_store
	./build/release/bench/bench_import --runs 5
	./build/release/bench/bench_import --weeks 520 --runs 1 --no-incremental
	./build/release/bench/bench_load
	./build/release/bench/bench_text
	./build/release/bench/bench_import_window
	./build/release/bench/bench_sample_feed
	@if [ -x ./build/release/bench/bench_windows ]; then ./build/release/bench/bench_windows; fi

format:
	cmake --build --preset dev --target format

clean:
	rm -rf build
