# Front door over CMake.
#   make            build the kit for this machine (build/native)
#   make test       build everything and run every test: native, sanitizers, fuzz, Windows
#   make windows    cross-build korvocomm.dll and korvoprog.exe for x64 and x86
#   make demo       run a receipt through korvoprog against the simulator
#   make bench      run every benchmark: one table, and build/native/bench/bench.json
#   make fuzz       run every fuzz target with libFuzzer (FUZZ_SECONDS each)
# Each target installs the Debian packages it needs when they are missing.

BUILD  ?= build
JOBS   ?= $(shell nproc)
CMAKE  ?= cmake
CTEST  ?= ctest --output-on-failure --timeout 600
GEN    := -G Ninja

NATIVE := $(BUILD)/native
ASAN   := $(BUILD)/asan
TSAN   := $(BUILD)/tsan
FUZZ   := $(BUILD)/fuzz
WIN64  := $(BUILD)/mingw64
WIN32  := $(BUILD)/mingw32

.PHONY: all native asan tsan fuzz-build windows win64 win32 test test-native test-asan test-tsan \
        test-windows fuzz demo bench deps-build deps-fuzz deps-windows deps-wine deps-bindings \
        deps-bench clean

all: native

deps-build:
	@scripts/install-deps.sh build
deps-fuzz:
	@scripts/install-deps.sh fuzz
deps-windows:
	@scripts/install-deps.sh windows
deps-wine:
	@scripts/install-deps.sh wine
deps-bindings:
	@scripts/install-deps.sh bindings
deps-bench:
	@scripts/install-deps.sh bench

native: deps-build
	$(CMAKE) -S . -B $(NATIVE) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	$(CMAKE) --build $(NATIVE) -j$(JOBS)

# Every native test under AddressSanitizer + UndefinedBehaviorSanitizer.
asan: deps-build
	$(CMAKE) -S . -B $(ASAN) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DKORVO_SANITIZE=address
	$(CMAKE) --build $(ASAN) -j$(JOBS)

# The threaded parts (the RS-232 link) under ThreadSanitizer.
tsan: deps-build
	$(CMAKE) -S . -B $(TSAN) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DKORVO_SANITIZE=thread
	$(CMAKE) --build $(TSAN) -j$(JOBS)

# The fuzz targets as libFuzzer programs (clang, with ASan+UBSan). Every other
# build runs them as replay tests of their seeds; this one searches further.
FUZZ_SECONDS ?= 10
fuzz-build: deps-build deps-fuzz
	CC=clang CXX=clang++ $(CMAKE) -S . -B $(FUZZ) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVO_SANITIZE=fuzzer
	$(CMAKE) --build $(FUZZ) -j$(JOBS) --target fuzz_all

fuzz: fuzz-build
	scripts/run-fuzz.sh $(FUZZ) $(FUZZ_SECONDS) $(JOBS)

# The Windows tests drive korvosim and the korvoprog end-to-end test of the
# native build, so the native tree comes first and is named to them.
WINOPTS := -DCMAKE_BUILD_TYPE=Release -DKORVO_NATIVE_BUILD=$(CURDIR)/$(NATIVE)

win64: native deps-windows
	$(CMAKE) -S . -B $(WIN64) $(GEN) $(WINOPTS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
	$(CMAKE) --build $(WIN64) -j$(JOBS)

win32: native deps-windows
	$(CMAKE) -S . -B $(WIN32) $(GEN) $(WINOPTS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	$(CMAKE) --build $(WIN32) -j$(JOBS)

windows: win64 win32

# The bindings' tools come first, so that configuring finds them.
test-native: deps-bindings native
	$(CTEST) --test-dir $(NATIVE) -j$(JOBS)

test-asan: asan
	$(CTEST) --test-dir $(ASAN) -j$(JOBS)

test-tsan: tsan
	$(CTEST) --test-dir $(TSAN) -L link -j$(JOBS)

# The Windows builds' tests under Wine; each build has its own prefix, whose
# wineserver is stopped when the tests end, pass or fail.
test-windows: windows deps-wine
	@status=0; \
	for b in $(WIN64):win64 $(WIN32):win32; do \
	  dir=$${b%%:*}; arch=$${b##*:}; \
	  $(CTEST) --test-dir $$dir -j$(JOBS) || status=1; \
	  WINEPREFIX=$(CURDIR)/$$dir/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true; \
	done; exit $$status

# A receipt printed by korvoprog on the simulator (scripts/demo.sh).
demo: native
	@scripts/demo.sh $(NATIVE)

# Every benchmark in bench/, each figure beside its baseline of the same run
# and its goal. BENCH_IDLE_SECONDS is the interval of each idle connection.
BENCH_IDLE_SECONDS ?= 3
bench: native deps-bench
	KORVO_BENCH_IDLE_SECONDS=$(BENCH_IDLE_SECONDS) /usr/bin/python3 bench/run_benchmarks.py \
	    $(NATIVE)/bench/benchmarks.txt $(NATIVE)/bench/bench.json

test: test-native test-asan test-tsan fuzz test-windows
	@echo "All tests passed."

clean:
	rm -rf $(BUILD)
