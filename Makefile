# The two commands of the README:
#   make run    set up and start TOLVEN on the bundled sample data
#   make test   build and run every test
.PHONY: run test test-asan deps bench format clean

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

bench: deps
	cmake --preset release
	cmake --build --preset release
	./build/release/bench/bench_store
	./build/release/bench/bench_import
	./build/release/bench/bench_load
	./build/release/bench/bench_import_window

format:
	cmake --build --preset dev --target format

clean:
	rm -rf build
