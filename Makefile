# Thin wrapper over CMake presets; the build itself lives in CMake.
.PHONY: run test test-linux test-tsan build-windows test-windows dist test-dist bench fuzz screenshots format deps \
	clean

run:
	@scripts/deps.sh native
	cmake --preset release
	cmake --build --preset release
	./build/release/bin/kvo-host --ini examples/sensors.ini --stats --plot build/release/sensors-plot.svg \
		build/release/examples/sensors.csv > build/release/sensors-passed.csv
	@echo "Passed rows: build/release/sensors-passed.csv   Plot: build/release/sensors-plot.svg"

# The Linux stages never wait on the Windows packages: when those cannot be installed (a mirror mid-sync,
# say) every Linux stage still runs and the last line says what was not run and why. Where the toolchain
# is installed, the Windows stage always runs and its failures fail the run; the release artifacts
# (make dist) are built and checked wherever the cross-compiler is.
test:
	@scripts/deps.sh native
	@mkdir -p build; rc=0; scripts/deps.sh windows > build/windows-deps.txt || rc=$$?; \
	  case $$rc in 0|3|4) ;; *) cat build/windows-deps.txt; exit $$rc ;; esac; \
	  $(MAKE) --no-print-directory test-linux test-tsan || exit 1; \
	  if [ $$rc -eq 0 ]; then $(MAKE) --no-print-directory test-windows || exit 1; \
	  elif [ $$rc -eq 3 ]; then $(MAKE) --no-print-directory build-windows || exit 1; fi; \
	  if [ $$rc -ne 4 ]; then $(MAKE) --no-print-directory test-dist || exit 1; fi; \
	  if [ $$rc -ne 0 ]; then echo "Windows tests NOT RUN: $$(cat build/windows-deps.txt)"; fi

test-linux:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# ThreadSanitizer over the concurrency tests only (label "concurrency"): just their programs are built.
TSAN_TARGETS := kvo-stress-test
test-tsan:
	cmake --preset tsan
	cmake --build --preset tsan --target $(TSAN_TARGETS)
	ctest --preset tsan -L concurrency

build-windows:
	cmake --preset win32
	cmake --build --preset win32

test-windows: build-windows
	scripts/wine-ctest.sh build/win32

# Release artifacts, all from the project version, into build/dist/: the Debian package and the tarball
# (CPack) and the 32-bit Windows zip, from Release builds without tests or benchmarks (Windows: only what
# the zip holds). test-dist checks them.
dist:
	@scripts/deps.sh native
	@command -v i686-w64-mingw32-g++-posix >/dev/null || \
	  { echo "make dist needs the Windows cross-compiler: run scripts/deps.sh windows as root"; exit 1; }
	rm -rf build/dist
	cmake --preset dist-linux
	cmake --build --preset dist-linux
	cpack --preset dist-linux
	cmake --preset dist-win32
	cmake --build --preset dist-win32

test-dist: dist
	scripts/check-dist.sh build/dist "$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/dist-linux/CMakeCache.txt)"

bench:
	@scripts/deps.sh native
	cmake --preset release -DKVO_BUILD_BENCH=ON
	cmake --build --preset release
	for b in build/release/bench/kvo-bench-*; do $$b; done

# Every fuzz target for FUZZ_SECONDS each (clang + libFuzzer); findings land in build/fuzz/fuzz/work/<name>/findings.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/deps.sh fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz
	scripts/fuzz.sh build/fuzz $(FUZZ_SECONDS)

# Pictures of the options dialog (Qt offscreen, Win32 under Wine with Xvfb) into the build folders.
screenshots:
	@scripts/deps.sh all
	cmake --preset asan
	cmake --build --preset asan --target kvo-dialog-screenshot
	cmake --preset win32
	cmake --build --preset win32 --target kvo-dialog-screenshot
	scripts/screenshots.sh build/asan build/win32

format:
	git ls-files '*.h' '*.cpp' '*.c' | xargs clang-format -i

clean:
	rm -rf build
