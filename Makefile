# make run: install what is missing, build, start the demo program.
# make bench: the link's timing against the line at 9600 baud.
# make test: install what is missing, build, run every test; then again with
#            AddressSanitizer and UndefinedBehaviorSanitizer; then short fuzz runs.
# make test-windows: the whole program and every test built for Windows with MinGW-w64
#            against a static Qt (built once by scripts/build-qt-windows, 15 to 40
#            minutes on 2 cores), and run under Wine: the layers' tests, the window
#            tests, the serial backend end to end, the zip and the setup; then the
#            Debian package.
# make windows: dist/orbi7prog-windows-x64.zip, both programs and a README for the
#            technician, and dist/orbi7prog-<version>-setup-x64.exe, their setup.
# make deb: dist/orbi7prog_<version>_amd64.deb.
# make packages: the zip, the setup and the Debian package.
# make screenshots-windows: the main window drawn by the Windows style under Wine, at
#            100 %, 125 % and 150 % display scaling.
# make bench-windows: the Win32 calls of a settings read under Wine, against orbi7sim.
MAKEFLAGS += --no-print-directory
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
BUILD_WINDOWS ?= build-windows
QT_WINDOWS ?= /opt/orbi7/qt6-mingw-static
WINE ?= /usr/lib/wine/wine64
FUZZ_RUNS  ?= 20000
# The whole way of a file loads and saves 355 keys a dozen times a run.
SETTINGS_FUZZ_RUNS ?= 1500
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run test test-plain test-asan test-fuzz qt-windows windows-build windows test-windows \
        deb packages screenshots screenshots-windows bench bench-windows clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/orbi7prog-demo

test: test-plain test-asan test-fuzz

# The Debian package's tests (label "package") run with the Windows ones.
test-plain: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE package

test-asan: deps
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DORBI7_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

# The profile file reader and the whole way of a settings file (load, save, load)
# under libFuzzer (clang): a fixed number of runs from each seed corpus; new inputs go
# to the build folder, never into the sources.
FUZZ_FLAGS = -seed=1 -max_len=8192 -timeout=10 -rss_limit_mb=1024
test-fuzz: deps
	CC=clang CXX=clang++ cmake -S tests/fuzz -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_FUZZ) -j $(JOBS)
	rm -rf $(BUILD_FUZZ)/corpus $(BUILD_FUZZ)/settings-corpus
	mkdir -p $(BUILD_FUZZ)/corpus $(BUILD_FUZZ)/settings-corpus
	$(BUILD_FUZZ)/profile_file_fuzz -runs=$(FUZZ_RUNS) $(FUZZ_FLAGS) $(BUILD_FUZZ)/corpus tests/fuzz/corpus
	$(BUILD_FUZZ)/settings_file_fuzz -runs=$(SETTINGS_FUZZ_RUNS) $(FUZZ_FLAGS) -dict=tests/fuzz/settings.dict \
	  $(BUILD_FUZZ)/settings-corpus tests/fuzz/settings-corpus

# The Windows build: Qt first (nothing to do when its folder holds this version), then
# the whole program and its tests. The end-to-end test serves the Linux build's
# orbi7sim on a pseudo-terminal that Wine maps to a COM port.
qt-windows: deps
	ORBI7_QT_WINDOWS=$(QT_WINDOWS) scripts/build-qt-windows

windows-build: qt-windows $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target orbi7sim
	ORBI7_QT_WINDOWS=$(QT_WINDOWS) cmake -S . -B $(BUILD_WINDOWS) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBI7_BUILD_UI=ON \
	  -DORBI7_SIMULATOR=$(abspath $(BUILD))/tools/orbi7sim
	cmake --build $(BUILD_WINDOWS) -j $(JOBS)

windows: windows-build
	@ls dist/orbi7prog-windows-x64.zip dist/orbi7prog-*-setup-x64.exe

deb: build
	cmake --build $(BUILD) -j $(JOBS) --target deb

packages: windows deb
	@ls -l dist

# The tests run under Wine, in a Windows installation of the build folder's own; the
# Debian package's after them.
test-windows: windows-build
	ctest --test-dir $(BUILD_WINDOWS) --output-on-failure -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -L package

# Settings-sized traffic through the termios backend to orbi7sim on a pseudo-terminal.
bench: build
	$(BUILD)/bench/orbi7bench

# The Win32 calls a whole settings read makes, counted through the port's table of
# calls: the end-to-end test's bench alone, against orbi7sim on a pseudo-terminal
# that Wine maps to COM4.
bench-windows: windows-build
	WINEPREFIX=$(abspath $(BUILD_WINDOWS))/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= \
	  tests/wine/serial-end-to-end $(WINE) $(abspath $(BUILD))/tools/orbi7sim \
	  $(BUILD_WINDOWS)/tests/serial_end_to_end.exe --gtest_filter='*ReconfiguresThePort*'

screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/app/orbi7prog-screenshots $(BUILD)/screenshots

# The Windows platform of Qt under Wine, on a virtual screen, drawn by the Windows
# style: under Wine's own theme the newer Windows style leaves out the check marks. At
# 100 % display scaling into screenshots/, at 125 % and 150 % into its folders 125/
# and 150/.
screenshots-windows: windows-build
	WINEPREFIX=$(abspath $(BUILD_WINDOWS))/wine WINEDEBUG=-all tests/wine/screenshots $(WINE) \
	  $(BUILD_WINDOWS)/app/orbi7prog-screenshots.exe $(BUILD_WINDOWS)/screenshots -style windows

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_WINDOWS) dist
