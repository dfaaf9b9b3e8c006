# Entry points for people and CI. Every target installs the packages of its tier first
# (scripts/install-deps.sh): run for building and running, test for the suites.
.PHONY: deps deps-package deps-test build build-all build-win build-win64 run test test-linux test-asan test-tsan test-windows \
	test-e2e test-fuzz test-deb fuzz deb samples windows-installer players bench bench-parts

deps:
	bash scripts/install-deps.sh run

deps-package:
	bash scripts/install-deps.sh package

deps-test:
	bash scripts/install-deps.sh test

# The Linux build: the linux preset for running and the package (warnings are not errors
# there), the ci preset, whose warnings are errors, for the suites; both in build/.
LINUX_PRESET = linux
test test-linux test-e2e test-deb: LINUX_PRESET = ci

# The program and its modules, nothing else: no suite, no benchmark.
build: deps
	cmake --preset $(LINUX_PRESET)
	cmake --build --preset $(LINUX_PRESET) --target vardel

# Everything the Linux suites run.
build-all: deps-test
	cmake --preset $(LINUX_PRESET)
	cmake --build --preset $(LINUX_PRESET)

# The i686 build: everything where it runs here; elsewhere the shipped program alone, as the
# suites run as x86-64.
build-win: deps-test
	cmake --preset windows
	cmake --build --preset windows $(if $(filter windows,$(WIN_PRESET)),,--target vardel)

build-win64: deps-test
	cmake --preset windows-x64
	cmake --build --preset windows-x64

# The Windows installer: build-win/vardel-setup.exe.
windows-installer: build-win
	cmake --build --preset windows --target installer

# Runs Vardel on PATH (make run PATH_TO_CLEAN=~/Music).
run: build
	./build/vardel $(PATH_TO_CLEAN)

# Where the kernel does not run 32-bit programs (scripts/runs-32bit.sh), or 32-bit Wine could
# not be installed, the i686 build is still made, and the same suites run as x86-64 programs
# under wine64.
CAN_RUN_32 := $(shell bash scripts/runs-32bit.sh && [ -x /usr/lib/wine/wine ] && echo yes)
ifeq ($(CAN_RUN_32),yes)
WIN_PRESET = windows
WIN_EXE = build-win/vardel.exe
WIN_LOADER = /usr/lib/wine/wine
else
WIN_PRESET = windows-x64
WIN_EXE = build-win64/vardel.exe
WIN_LOADER = /usr/lib/wine/wine64
endif

# Every suite: Linux, Linux under ASan+UBSan, the threading suites under TSan, Windows under
# Wine, the programs end to end, a short pass of the tag remover's fuzzer, and the package.
test: deps-test test-linux test-asan test-tsan test-windows test-e2e test-fuzz test-deb

# The suites make and remove some half a million small files. A tmpfs does that several times
# faster than a disk with a journal, so /dev/shm holds their temporary folders where it has
# room for them (SUITE_ROOM kilobytes); elsewhere they stay where TMPDIR says.
SUITE_ROOM = 4000000
SUITE_TMPDIR := $(shell df --output=avail -k /dev/shm 2>/dev/null | awk 'NR == 2 && $$1 > $(SUITE_ROOM) {print "/dev/shm"}')
ifneq ($(SUITE_TMPDIR),)
test test-linux test-asan test-tsan test-windows test-e2e test-fuzz test-deb: export TMPDIR = $(SUITE_TMPDIR)
endif

test-linux: build-all
	ctest --preset $(LINUX_PRESET)

test-asan: deps-test
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

test-tsan: deps-test
	cmake --preset tsan
	cmake --build --preset tsan --target thread_suites
	ctest --preset tsan

# The shipped i686 exe's static checks (size, imports, resources, manifest, version) need no
# Wine (objdump, strings, stat), so they run here whatever runs the suites.
test-windows: build-win
	@[ "$(WIN_PRESET)" = windows ] || echo "32-bit programs cannot run under Wine here: the Windows suites run as x86-64 under wine64."
	[ "$(WIN_PRESET)" = windows ] || ctest --preset windows -R '^shipped_exe$$'
	[ "$(WIN_PRESET)" = windows ] || $(MAKE) build-win64
	ctest --preset $(WIN_PRESET)

# The sample MP3s, made by real encoders and taggers; the shared sample files beside this
# clone are read too where they exist.
SAMPLES = build/samples
SHARED_SAMPLES = $(abspath ../shared/corpus/mutagen)
samples: deps-test
	/usr/bin/python3 tests/samples.py $(SAMPLES)

test-e2e: build-all build-win samples
	[ "$(WIN_PRESET)" = windows ] || $(MAKE) build-win64
	cmake --build --preset $(WIN_PRESET) --target installer
	WINEPREFIX=$(CURDIR)/$(dir $(WIN_EXE))wineprefix bash tests/e2e.sh build/vardel $(WIN_EXE) $(WIN_LOADER) $(SAMPLES) $(SHARED_SAMPLES)
	/usr/bin/python3 tests/hostile.py build/vardel build/tests/linux/expected_after

# The Debian package, in build/deb/.
deb: deps-package build
	cmake --build --preset $(LINUX_PRESET) --target packaging_files
	rm -rf build/deb
	cd build && cpack

test-deb: deb samples
	bash tests/linux/package.sh build/deb/vardel_*.deb $(SAMPLES)

# The tag remover under libFuzzer for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600).
FUZZ_SECONDS ?= 60
fuzz: samples
	bash scripts/fuzz.sh $(FUZZ_SECONDS) $(SAMPLES) $(SHARED_SAMPLES)

test-fuzz: samples
	bash scripts/fuzz.sh 30 $(SAMPLES) $(SHARED_SAMPLES)

# The table of whole-process figures against the floor and peer taggers, on corpora made once
# in build/bench-corpus (about 2.2 GB). BENCH_RUNS runs per row, the median shown.
BENCH_RUNS ?= 3
bench: build
	bash scripts/install-deps.sh --bench
	cmake --build --preset linux --target bench_floor bench_scan slowfs
	/usr/bin/python3 bench/table.py build build/bench-corpus $(BENCH_RUNS)
	/usr/bin/python3 bench/cold.py build build/bench-corpus $(BENCH_RUNS)
	/usr/bin/python3 bench/network.py build build/bench-network $(BENCH_RUNS)

# How players take a file after cleaning: the README's table, measured again.
players: build
	bash scripts/install-deps.sh --players
	bash scripts/players.sh build/vardel

# The parts: the worker over the recorder, and the dialog's cost per update.
bench-parts: build
	cmake --build --preset linux --target bench_worker bench_dialog
	./build/bench/bench_worker 2000
	./build/bench/bench_dialog 2000
