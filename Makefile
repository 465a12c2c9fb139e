# make run   start the simulator (the device on a simulated board)
# make test  build and run every test, also under the address and
#            undefined-behaviour sanitizers
BUILD      ?= build
ASAN_BUILD ?= build-asan
ARM_BUILD  ?= build-arm
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)

.PHONY: all deps build build-asan run test check test-asan test-tsan bench clean package build-arm test-arm

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVREC_SANITIZE=ON

# app_device (the firmware on the device's own system calls) is built too,
# to show that the firmware needs nothing of the board; it never runs here.
build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target all app_device

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The front end: the device in a window where a display exists (its debug
# console on this terminal; the board lives in $(BUILD)/board and keeps its
# state between runs), else the demo scenario on a fresh board.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/vrecsim; \
	else \
	  rm -rf $(BUILD)/demo-board && $(BUILD)/vrecsim --headless --root $(abspath $(BUILD))/demo-board; \
	fi

# The whole suite: the normal build, the address and undefined-behaviour
# sanitizer build, and the threaded media services under the thread sanitizer.
test: check test-asan test-tsan test-arm

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -LE long

$(TSAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVREC_TSAN=ON

test-tsan: deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target mediastack_tests lib_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -R '^(Fifo|Rendezvous|Buffer|BufferTable|PictureBuffer|Threads|Locks)'

# The device build: app_device for the device's ARM with Debian's cross
# compiler (warnings are errors) against the armel libraries unpacked in
# $(ARM_BUILD)/sysroot, and the firmware's unit tests that need no board run
# under qemu-user.
$(ARM_BUILD)/build.ninja: | deps
	scripts/arm-sysroot.sh $(abspath $(ARM_BUILD))/sysroot
	cmake -S . -B $(ARM_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVREC_DEVICE_BUILD=ON \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armel.cmake -DVREC_ARM_SYSROOT=$(abspath $(ARM_BUILD))/sysroot

build-arm: deps $(ARM_BUILD)/build.ninja
	scripts/arm-sysroot.sh $(abspath $(ARM_BUILD))/sysroot
	cmake --build $(ARM_BUILD) -j $(JOBS)

test-arm: build-arm
	cd $(ARM_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	cmake --build $(BUILD) --target benchmarks
	$(BUILD)/bench/run-benchmarks

# A firmware update package of this build, for the card's /UTILITY folder:
# $(BUILD)/package/KS7_FW_<version>.bin (the version: cmake -DVREC_VERSION_SYSTEM=...).
package: build
	cmake --build $(BUILD) --target update_package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(ARM_BUILD)
