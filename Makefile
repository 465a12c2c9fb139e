# make run   start the simulator (the device on a simulated board)
# make test  build and run every test, also under the address and
#            undefined-behaviour sanitizers
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)

.PHONY: all deps build build-asan run test check test-asan bench clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVREC_SANITIZE=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The front end: the device in a window where a display exists (its debug
# console on this terminal), else the demo scenario; the board lives in
# $(BUILD)/board and keeps its state between runs.
run: build
	$(BUILD)/vrecsim

# The whole suite: the normal build, then the sanitizer build.
test: check test-asan

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -LE no-sanitizer

bench: build
	cmake --build $(BUILD) --target benchmarks
	$(BUILD)/bench/run-benchmarks

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
