# Two entry points for a fresh Debian 12 machine (run as root):
#   make run   install what is missing, build, start the program
#   make test  install what is missing, build, run every test headless
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: run test build configure deps bench clean

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/quilfen

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bin/quilfen-engine-bench

clean:
	rm -rf $(BUILD_DIR)
