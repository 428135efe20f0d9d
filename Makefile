# tessel: one-command set-up, build, run and test.
#   make run     install what is missing, build, run the demo (window or headless)
#   make test    install what is missing, build, run every test (also under ASan/UBSan)
#   make build   build only (build/tessel)
#   make fuzz    run the tokenizer/checker fuzzer (FUZZ_SECONDS, default 300)
#   make bench   run the benchmarks
#   make web     build the web edition (build-web/tessel.html)
#   make web-test  build it and compare it with the headless build in Chromium

JOBS ?= $(shell nproc)
BUILD ?= build
FUZZ_SECONDS ?= 300

.PHONY: all deps build run test unit-test asan-test fuzz bench window-test web web-test clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: deps
	$(MAKE) build
	@scripts/run-demo.sh $(BUILD)/tessel

unit-test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

build-asan/build.ninja:
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON -DTESSEL_BENCH=OFF

asan-test: build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

build-fuzz/build.ninja:
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTESSEL_FUZZ=ON -DTESSEL_TESTS=OFF -DTESSEL_BENCH=OFF

fuzz: build-fuzz/build.ninja
	cmake --build build-fuzz -j $(JOBS) --target fuzz_front
	scripts/run-fuzz.sh build-fuzz/fuzz/fuzz_front $(FUZZ_SECONDS)

window-test: build
	scripts/window-tests.sh $(BUILD)/tessel

test: deps
	$(MAKE) unit-test
	$(MAKE) window-test
	$(MAKE) asan-test
	$(MAKE) fuzz FUZZ_SECONDS=30
	@echo "all test suites passed"

bench: deps
	scripts/install-deps.sh --bench
	$(MAKE) build
	scripts/run-bench.sh $(BUILD)

web:
	scripts/build-web.sh

web-test:
	scripts/test-web.sh

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-web
