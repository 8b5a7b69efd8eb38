# make run: install what is missing, build, start the demo program.
# make test: install what is missing, build, run every test; then again with
#            AddressSanitizer and UndefinedBehaviorSanitizer.
MAKEFLAGS += --no-print-directory
BUILD      ?= build
BUILD_ASAN ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run test test-plain test-asan screenshots clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/orbi7prog-demo

test: test-plain test-asan

test-plain: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DORBI7_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/app/orbi7prog-screenshots $(BUILD)/screenshots

clean:
	rm -rf $(BUILD) $(BUILD_ASAN)
