# Entry points for a fresh Debian 12 machine (as root or as a user with sudo;
# ./make.sh runs them where make itself is still missing):
#   make run   install what is missing, build, start the program
#   make test  install what is missing, build, run every test headless: the
#              suite with AddressSanitizer and UndefinedBehaviorSanitizer in
#              $(ASAN_BUILD_DIR), each fuzz target for 60 seconds, then the
#              suite of the normal build
#   make fuzz  run each fuzz target for FUZZ_SECONDS (default 60)
#   make check-arm  install the arm64 cross tools and qemu, cross-build the
#              engine and check it under emulation (not part of make test)
BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

# A sanitizer report ends the process that made it, so the test fails. Leaks
# that system libraries keep until exit are listed in tools/lsan.supp.
SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
	UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0

.PHONY: run test build configure deps bench clean asan-configure asan-build test-asan fuzz check-arm

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

asan-configure: deps
	@cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DQUILFEN_SANITIZE=ON >/dev/null

asan-build: asan-configure
	@cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/quilfen

test-asan: asan-build
	cd $(ASAN_BUILD_DIR) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

fuzz: deps
	tools/fuzz.sh all --time $(FUZZ_SECONDS)

# The normal suite runs last, so its summary closes the output.
test: build test-asan
	tools/fuzz.sh all --time 60
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

check-arm:
	@tools/install-deps.sh --arm
	tools/check-arm.sh

# The engines side by side, then DrawMandel on the real picture box offscreen
# and, where Xvfb is installed, on a private X display.
bench: build
	$(BUILD_DIR)/bin/quilfen-engine-bench
	tools/draw-bench.sh $(BUILD_DIR)/bin/quilfen-draw-bench

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) build-fuzz build-arm
