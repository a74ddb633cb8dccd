# Entry points for a fresh Debian 12 or 13 machine (as root or as a user with sudo;
# ./make.sh runs them where make itself is still missing):
#   make run   install what is missing, build, start the program
#   make test  install what is missing, build, run every test headless: the
#              engine alone without Qt in $(ENGINE_ONLY_BUILD_DIR) (built
#              only), the worker pool's and the fast engine's tests with
#              ThreadSanitizer in $(TSAN_BUILD_DIR), the suite with
#              AddressSanitizer and UndefinedBehaviorSanitizer in
#              $(ASAN_BUILD_DIR), each fuzz target for 60 seconds, then the
#              suite of the normal build
#   make fuzz  run each fuzz target for FUZZ_SECONDS (default 60)
#   make check-arm  install the arm64 cross tools and qemu, cross-build the
#              engine and check it under emulation (not part of make test)
#   make check-debian  make test in a fresh minbase root of the other
#              supported Debian release (13 on a Debian 12 machine, 12 on a
#              13), through tools/try-debian.sh (as root; not part of make test)
BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
TSAN_BUILD_DIR ?= build-tsan
ENGINE_ONLY_BUILD_DIR ?= build-engine-only
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

# make test builds with warnings as errors (QUILFEN_WERROR); other targets
# keep whatever the build folder was configured with.
WERROR ?=
CMAKE_WERROR = $(if $(WERROR),-DQUILFEN_WERROR=$(WERROR))

# A sanitizer report ends the process that made it, so the test fails. Leaks
# that system libraries keep until exit are listed in tools/lsan.supp.
SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
	UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0

# The threaded tests under ThreadSanitizer: the worker pool's in full and the
# fast engine's functions that run the engine on several threads (the others
# repeat the single-threaded comparisons at many times the cost).
TSAN_TESTS = test_worker_pool test_fast_engine
TSAN_FAST_ENGINE_FUNCTIONS = threadCountsGiveIdenticalGrids threadSetting \
	callsCreateNoThread calcMandelWritesTheReferenceGrid
TSAN_ENV = TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tools/tsan.supp \
	QT_QPA_PLATFORM=offscreen

.PHONY: run test build configure deps bench clean asan-configure asan-build test-asan \
	tsan-build test-tsan engine-only fuzz check-arm check-debian

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

asan-configure: deps
	@cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DQUILFEN_SANITIZE=ON $(CMAKE_WERROR) >/dev/null

asan-build: asan-configure
	@cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)

# The threaded tests alone, not the whole suite: ThreadSanitizer makes them
# several times slower.
tsan-build: deps
	@cmake -S . -B $(TSAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DQUILFEN_TSAN=ON $(CMAKE_WERROR) >/dev/null
	@cmake --build $(TSAN_BUILD_DIR) -j $(JOBS) --target $(TSAN_TESTS)

test-tsan: tsan-build
	cd $(TSAN_BUILD_DIR)/bin && $(TSAN_ENV) ./test_worker_pool
	cd $(TSAN_BUILD_DIR)/bin && $(TSAN_ENV) ./test_fast_engine $(TSAN_FAST_ENGINE_FUNCTIONS)

# The engine and its checker without Qt, as a cross build makes them: a Qt
# include or link in the engine fails here.
engine-only: deps
	@cmake -S . -B $(ENGINE_ONLY_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DQUILFEN_ENGINE_ONLY=ON $(CMAKE_WERROR) >/dev/null
	@cmake --build $(ENGINE_ONLY_BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/quilfen

test-asan: asan-build
	cd $(ASAN_BUILD_DIR) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

fuzz: deps
	tools/fuzz.sh all --time $(FUZZ_SECONDS)

# The normal suite runs last, so its summary closes the output.
test: WERROR = ON
test: build engine-only test-tsan test-asan
	tools/fuzz.sh all --time 60
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

check-arm:
	@tools/install-deps.sh --arm
	tools/check-arm.sh

# The README's test command as a new user of the other release runs it.
check-debian:
	tools/try-debian.sh other './make.sh test'

# The engines side by side, then DrawMandel on the real picture box offscreen
# and, where Xvfb is installed, on a private X display. A target the engine
# benchmark prints as not met fails the run, as does a failed drawing.
bench: build
	$(BUILD_DIR)/bin/quilfen-engine-bench --require-targets
	tools/draw-bench.sh $(BUILD_DIR)/bin/quilfen-draw-bench

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(TSAN_BUILD_DIR) $(ENGINE_ONLY_BUILD_DIR) \
		build-fuzz build-arm
