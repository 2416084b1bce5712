# make test: install what is missing, build, run every test.
# make bench: build optimised and run the benchmarks.
# make run: install what is missing, build optimised and start the application.
# make asan: the tests under AddressSanitizer and UndefinedBehaviorSanitizer.
JOBS ?= $(shell nproc)
export QT_QPA_PLATFORM ?= offscreen

.PHONY: deps test bench asan clean run

deps:
	@./scripts/install-deps.sh

test: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev -j $(JOBS)

asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	./build/release/bench/inkwarden_bench $(BENCH_ARGS)

clean:
	rm -rf build

# The tests' offscreen platform would hide the application: it gets the desktop's own.
run: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target inkwarden
	$(if $(filter file,$(origin QT_QPA_PLATFORM)),env -u QT_QPA_PLATFORM) ./build/release/inkwarden
