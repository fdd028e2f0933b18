# Thin wrapper over CMake presets; the build itself lives in CMake.
.PHONY: run test test-linux test-tsan test-windows bench format deps clean

run:
	@scripts/deps.sh native
	cmake --preset release
	cmake --build --preset release
	./build/release/examples/kvo-params-demo examples/sample-block.csv

test:
	@scripts/deps.sh all
	$(MAKE) --no-print-directory test-linux test-windows test-tsan

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

test-windows:
	cmake --preset win32
	cmake --build --preset win32
	scripts/wine-ctest.sh build/win32

bench:
	@scripts/deps.sh native
	cmake --preset release -DKVO_BUILD_BENCH=ON
	cmake --build --preset release
	for b in build/release/bench/kvo-bench-*; do $$b; done

format:
	git ls-files '*.h' '*.cpp' '*.c' | xargs clang-format -i

clean:
	rm -rf build
