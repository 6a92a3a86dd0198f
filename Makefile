# Front door over CMake.
#   make            build the kit for this machine (build/native)
#   make test       build everything and run every test: native, sanitizers, fuzz, Windows
#   make windows    cross-build korvocomm.dll and korvoprog.exe for x64 and x86
#   make demo       run a receipt through korvoprog against the simulator
#   make bench      run every benchmark: one table, and build/native/bench/bench.json
#   make fuzz       run every fuzz target with libFuzzer (FUZZ_SECONDS each)
#   make install    install the kit under PREFIX (/usr/local; DESTDIR honoured)
#   make dist       Debian packages and Windows zips, into build/dist
#   make reference  regenerate docs/reference from the catalogues
# Each target installs the Debian packages it needs when they are missing.
# On a machine without make, ./kit.sh TARGET installs it first.

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
RELEASE := $(BUILD)/release
DEB    := $(BUILD)/deb
DIST   := $(BUILD)/dist
PREFIX ?= /usr/local

.PHONY: all native asan tsan fuzz-build windows win64 win32 test test-native test-asan test-tsan \
        test-windows fuzz demo deps-build deps-fuzz deps-windows deps-wine deps-bindings clean \
        deps-demo deps-dist deps-system release install reference dist dist-deb dist-windows \
        test-dist test-system \
        deps-service bench-service bench deps-bench

all: native

deps-demo:
	@scripts/install-deps.sh demo
deps-build:
	@scripts/install-deps.sh build
deps-dist:
	@scripts/install-deps.sh dist
deps-system:
	@scripts/install-deps.sh system
deps-fuzz:
	@scripts/install-deps.sh fuzz
deps-windows:
	@scripts/install-deps.sh windows
deps-wine:
	@scripts/install-deps.sh wine
deps-bindings:
	@scripts/install-deps.sh bindings
deps-service:
	@scripts/install-deps.sh service
deps-bench:
	@scripts/install-deps.sh bench

native: deps-build deps-demo deps-service
	$(CMAKE) -S . -B $(NATIVE) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	$(CMAKE) --build $(NATIVE) -j$(JOBS)

# Every native test under AddressSanitizer + UndefinedBehaviorSanitizer.
asan: deps-build deps-demo deps-service
	$(CMAKE) -S . -B $(ASAN) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DKORVO_SANITIZE=address
	$(CMAKE) --build $(ASAN) -j$(JOBS)

# The threaded parts (the RS-232 link, the waits, abort from another thread)
# under ThreadSanitizer.
tsan: deps-build
	$(CMAKE) -S . -B $(TSAN) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DKORVO_SANITIZE=thread
	$(CMAKE) --build $(TSAN) -j$(JOBS)

# The fuzz targets as libFuzzer programs (clang, with ASan+UBSan). Every other
# build runs them as replay tests of their seeds; this one searches further.
FUZZ_SECONDS ?= 10
fuzz-build: deps-build deps-fuzz deps-demo
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
	  if [ $$arch = win32 ] && ! dpkg-query -W -f='$${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'; then \
	    echo "NOT RUN: the x86 Windows tests need wine32:i386, which could not be installed (see install-deps.sh above)"; \
	    continue; \
	  fi; \
	  $(CTEST) --test-dir $$dir -j$(JOBS) || status=1; \
	  WINEPREFIX=$(CURDIR)/$$dir/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true; \
	done; exit $$status

# The full soak (bench/Soak.cpp), 20 minutes; SOAK_ARGS=--short runs the
# minute that the tests run, SOAK_ARGS="--run tcp:20:10 --seconds 60" one's own.
.PHONY: soak
SOAK_ARGS ?=
soak: native
	$(NATIVE)/bench/bench_soak $(SOAK_ARGS)

# The shipped programs and the library without tests, as make demo and
# make install build them.
release: deps-demo
	$(CMAKE) -S . -B $(RELEASE) $(GEN) -DCMAKE_BUILD_TYPE=Release -DKORVO_TESTS=OFF \
	    -DCMAKE_INSTALL_PREFIX=$(PREFIX)

# A receipt printed by korvoprog on the simulator (scripts/demo.sh). Builds
# only what it shows.
DEMO_TARGETS := korvocomm korvoprog korvosim korvod
demo: release
	$(CMAKE) --build $(RELEASE) -j$(JOBS) --target $(DEMO_TARGETS)
	@scripts/demo.sh $(RELEASE)

install: release
	$(CMAKE) --build $(RELEASE) -j$(JOBS)
	$(CMAKE) --install $(RELEASE) --prefix $(PREFIX)

# The command and result-code reference, written from the tables the code uses.
reference: deps-build
	$(CMAKE) -S . -B $(NATIVE) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	$(CMAKE) --build $(NATIVE) -j$(JOBS) --target reference

# Debian packages, built with Debian's hardening flags in a tree of their own
# that installs into /usr.
FLAG = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
DEBFLAGS = CFLAGS="$$($(FLAG) CFLAGS) $$($(FLAG) CPPFLAGS)" \
           CXXFLAGS="$$($(FLAG) CXXFLAGS) $$($(FLAG) CPPFLAGS)" LDFLAGS="$$($(FLAG) LDFLAGS)"
dist-deb: deps-demo deps-dist
	SOURCE_DATE_EPOCH=$$(git log -1 --format=%ct 2>/dev/null || date +%s) $(DEBFLAGS) $(CMAKE) -S . -B $(DEB) $(GEN) -DCMAKE_BUILD_TYPE=Release -DKORVO_TESTS=OFF \
	    -DCMAKE_INSTALL_PREFIX=/usr -DKORVO_DEB_PACKAGES=ON
	$(CMAKE) --build $(DEB) -j$(JOBS)
	mkdir -p $(DIST)
	rm -rf $(DEB)/packages && rm -f $(DIST)/*.deb
	cd $(DEB) && cpack -G DEB -B $(CURDIR)/$(DEB)/packages
	cp $(DEB)/packages/*.deb $(DIST)/

# The Windows zips from the trees of make windows, of which only the shipped
# files are built here.
WIN_TARGETS := korvocomm korvocomm_msvc_implib korvoprog
dist-windows: deps-build deps-windows
	@for b in $(WIN64):mingw-x86_64:win64 $(WIN32):mingw-i686:win32; do \
	  dir=$${b%%:*}; rest=$${b#*:}; toolchain=$${rest%%:*}; arch=$${rest#*:}; \
	  $(CMAKE) -S . -B $$dir $(GEN) $(WINOPTS) -DCMAKE_TOOLCHAIN_FILE=cmake/$$toolchain.cmake && \
	  $(CMAKE) --build $$dir -j$(JOBS) --target $(WIN_TARGETS) && \
	  scripts/windows-zip.sh $$dir $$arch $(DIST) || exit 1; \
	done

dist: dist-deb dist-windows
	@ls -l $(DIST)

# The packages as users get them: lintian, the zips' contents, and (where
# debootstrap and chroot are permitted) a fresh minimal Debian that runs the
# README's demo command and builds an application against the packages.
test-dist: dist
	tests/dist/check-dist.sh $(DIST)

test-system: dist-deb deps-system
	tests/dist/fresh-machine.sh $(DIST) $(BUILD)/system

# Receipts per second through korvod beside the library, in one run.
bench-service: native
	/usr/bin/python3 bench/service_bench.py $(NATIVE)

# Every benchmark in bench/, each figure beside its baseline of the same run
# and its goal. BENCH_IDLE_SECONDS is the interval of each idle connection.
BENCH_IDLE_SECONDS ?= 3
bench: native deps-bench
	KORVO_BENCH_IDLE_SECONDS=$(BENCH_IDLE_SECONDS) /usr/bin/python3 bench/run_benchmarks.py \
	    $(NATIVE)/bench/benchmarks.txt $(NATIVE)/bench/bench.json

test: test-native test-asan test-tsan fuzz test-windows test-dist test-system
	@echo "All tests passed."

clean:
	rm -rf $(BUILD)
