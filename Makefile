# tessel: one-command set-up, build, run and test.
#   make run     install what is missing, build, run the demo (window or headless)
#   make test    install what is missing, build, run every test (also under ASan/UBSan, and the web edition in Chromium)
#   make build   build only (build/tessel)
#   make format-check  check that the C++ files follow .clang-format (those not yet listed in .clang-format-pending)
#   make fuzz    run every fuzzer for FUZZ_SECONDS each (default 300); make fuzz-long: an hour each
#   make bench   run the benchmarks
#   make screenshots  regenerate the examples' screenshots from their events (headless)
#   make install [PREFIX=/usr/local] [DESTDIR=]  install the build (cmake --install)
#   make package      build the Debian package (build/tessel_VERSION_ARCH.deb)
#   make package-test build the package, unpack it, run an example from it, lintian
#   make web     build the web edition (build-web/tessel.html)
#   make web-test  build it and compare it with the headless build in Chromium
#   make windows       build the Windows edition (build-windows/tessel.exe, installer, zip)
#   make windows-test  build it and run it under wine beside the Linux build

JOBS ?= $(shell nproc)
BUILD ?= build
FUZZ_SECONDS ?= 300
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps test-deps build build-tests run test unit-test asan-test fuzz fuzz-long bench format-check \
	window-test editor-test screenshots install package package-test web web-test \
	windows windows-test clean

all: build

deps:
	@scripts/install-deps.sh

test-deps:
	@scripts/install-deps.sh --test
	@scripts/install-web-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# tessel and everything the tests run (the default target builds only
# tessel and its modules; a build configured before GoogleTest was installed
# has the tests off).
build-tests: $(BUILD)/build.ninja
	cmake -S . -B $(BUILD) -DTESSEL_TESTS=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target tessel tessel_tests

run: deps
	$(MAKE) build
	@scripts/run-demo.sh $(BUILD)/tessel

format-check:
	@scripts/format-check.sh

unit-test: build-tests
	cd $(BUILD) && ctest -LE window --output-on-failure -j $(JOBS)

build-asan/build.ninja:
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON -DTESSEL_TESTS=ON -DTESSEL_BENCH=OFF

asan-test: build-asan/build.ninja
	cmake --build build-asan -j $(JOBS) --target tessel tessel_tests
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest -LE window --output-on-failure -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest -L window --output-on-failure

build-fuzz/build.ninja:
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTESSEL_FUZZ=ON -DTESSEL_TESTS=OFF -DTESSEL_BENCH=OFF

FUZZERS ?= fuzz_front fuzz_program fuzz_events fuzz_image fuzz_engines fuzz_lsp

fuzz: build-fuzz/build.ninja
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZERS)
	for f in $(FUZZERS); do scripts/run-fuzz.sh build-fuzz/fuzz/$$f $(FUZZ_SECONDS) || exit 1; done

# Each fuzzer for an hour or ten million executions, whichever comes first.
fuzz-long: build-fuzz/build.ninja
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZERS)
	for f in $(FUZZERS); do scripts/run-fuzz.sh build-fuzz/fuzz/$$f 3600 10000000 || exit 1; done

window-test: build-tests
	cd $(BUILD) && ctest -L window --output-on-failure

editor-test: build
	scripts/test-editor.sh $(BUILD)/tessel

test: test-deps
	$(MAKE) format-check
	$(MAKE) unit-test
	$(MAKE) window-test
	$(MAKE) editor-test
	$(MAKE) package-test
	$(MAKE) web-test
	$(MAKE) windows-test
	$(MAKE) asan-test
	$(MAKE) fuzz FUZZ_SECONDS=20
	@echo "all test suites passed"

bench: deps
	scripts/install-deps.sh --bench
	cmake -S . -B $(BUILD) -G Ninja -DTESSEL_BENCH=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target tessel tessel_benches
	scripts/run-bench.sh $(BUILD)

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

package: build
	cd $(BUILD) && cpack -G DEB

package-test: build
	scripts/test-package.sh $(BUILD)

screenshots:
	JOBS=$(JOBS) scripts/make-screenshots.sh $(BUILD)

web:
	scripts/build-web.sh

web-test:
	scripts/test-web.sh

# --- The Windows edition (mingw-w64, NSIS; tested under wine) ---
windows:
	scripts/build-windows.sh

windows-test: build-tests
	scripts/test-windows.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-web build-windows
