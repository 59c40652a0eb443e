# SPDX-License-Identifier: MIT
# The commands of the README. Each installs what is missing first.

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 600
CMAKE_FLAGS := -DTORVASH_WARNINGS_AS_ERRORS=ON
FUZZ_TARGETS := scan_result_page find_text text_operations address fetch_channel request_worker

.PHONY: all deps build demo run screenshot lint test test-scalar asan tsan bench fuzz-build fuzz format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# The main job: a search of the bundled demo marketplace from the command line.
demo: build
	scripts/demo.sh

# The window against the demo marketplace (needs a display).
run: build
	scripts/run.sh

# The README's picture of the window after a demo search, taken headless.
screenshot: build
	QT_QPA_PLATFORM=offscreen build/tools/screenshot/torvash-screenshot docs/screenshot.png

test: build
	ctest --test-dir build --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, with the searches
# scanning 16 bytes a round as on processors without AVX2.
asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTORVASH_SANITIZERS=address,undefined \
		-DTORVASH_SCAN=sse2 $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# The threaded suites under ThreadSanitizer.
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DTORVASH_SANITIZERS=thread $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target torvash_fetch_tests torvash_platform_tests \
		torvash_search_tests torvash_app_tests torvash_ui_tests
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan-qt.supp" \
		ctest --test-dir build-tsan --output-on-failure -j $(JOBS) \
		-R '(FetchPageTest|CurlHttpLayerTest|SearchRunner|SearchRunnerEndToEndTest|SearchRunEndToEndTest|LongUseTest|WindowControlsTest|LongCellTest|ModalTest|ClosingMidRunTest)\.'

# The text and search suites with the searches scanning byte by byte, as where no vector unit is known.
test-scalar: deps
	cmake -S . -B build-scalar -DCMAKE_BUILD_TYPE=Debug -DTORVASH_SCAN=scalar $(CMAKE_FLAGS)
	cmake --build build-scalar -j $(JOBS) --target torvash_text_tests torvash_search_tests
	ctest --test-dir build-scalar --output-on-failure -j $(JOBS) -R '^(FindText|WalkingSearch|ScanResultPage|CutNextPageLink)'

bench: deps
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTORVASH_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build-release -j $(JOBS) --target torvash_bench torvash_fetch_bench torvash_search_bench \
		torvash_window_bench
	@status=0; \
	for bench in torvash_bench torvash_fetch_bench torvash_search_bench torvash_window_bench; do \
		build-release/bench/$$bench || status=1; \
	done; exit $$status

fuzz-build: deps
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVASH_FUZZ=ON \
		-DTORVASH_TESTS=OFF -DTORVASH_SANITIZERS=address,undefined $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS)

# Runs each fuzz target for FUZZ_SECONDS on a copy of its seed corpus; a crash stops with its input.
fuzz: fuzz-build
	@for target in $(FUZZ_TARGETS); do \
		mkdir -p build-fuzz/corpus/$$target && \
		cp -n fuzz/corpus/$$target/* build-fuzz/corpus/$$target/ && \
		echo "fuzzing $$target for $(FUZZ_SECONDS) s" && \
		build-fuzz/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=10 \
			-artifact_prefix=build-fuzz/ -print_final_stats=1 build-fuzz/corpus/$$target || exit 1; \
	done

# clang-tidy over the sources, with the checked-in .clang-tidy; any finding fails.
lint: build
	clang-tidy -p build --quiet $$(git ls-files 'src/*.cpp')

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-tsan build-scalar build-release build-fuzz
