# Entry points for people and CI. Every target installs what it needs first.
.PHONY: deps build build-win test test-linux test-asan test-tsan test-windows bench

WINE_ENV = WINEDEBUG=-all WINEPREFIX=$(CURDIR)/build-win/wineprefix

deps:
	bash scripts/install-deps.sh

build: deps
	cmake --preset linux
	cmake --build --preset linux

build-win: deps
	cmake --preset windows
	cmake --build --preset windows

# Every suite: Linux, Linux under ASan+UBSan, the threading suites under TSan, Windows under Wine.
test: deps test-linux test-asan test-tsan test-windows

test-linux: build
	ctest --preset linux

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

test-windows: build-win
	ctest --preset windows

bench: build
	./build/bench/bench_worker 2000
