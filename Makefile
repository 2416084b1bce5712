# make test: install what is missing, build, run every test.
# make bench: build optimised and run the benchmarks.
# make run: install what is missing, build optimised and start the application.
# make asan: the tests under AddressSanitizer and UndefinedBehaviorSanitizer.
# make bench-host: the real local host under wrk, a new connection per request, for HOST_LOAD_SECONDS
#   with HOST_LOAD_CONNECTIONS at once.
# make bench-memory: the peak memory of one host exchange per byte of its body.
# make bench-client: client round trips on loopback, the library's client beside the TypeScript SDK's.
# make fuzz: build the fuzz targets with clang 16 and run each for FUZZ_SECONDS.
JOBS ?= $(shell nproc)
export QT_QPA_PLATFORM ?= offscreen

.PHONY: deps test bench bench-host bench-memory bench-client asan fuzz clean run

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

HOST_LOAD_SECONDS ?= 60
# Clients always in flight wait, on average, their number over the throughput: 32 at 25,000 per
# second wait 1.3 ms.
HOST_LOAD_CONNECTIONS ?= 32
bench-host: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target host_load_server
	./bench/host_load/run.sh build/release/bench/host_load_server $(HOST_LOAD_SECONDS) $(HOST_LOAD_CONNECTIONS)

bench-client: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target client_round_trip_bench
	./build/release/bench/client_round_trip_bench build/node-tools $(CLIENT_ROUND_TRIPS)

bench-memory: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target exchange_memory_bench
	./build/release/bench/exchange_memory_bench

FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	@for target in build/fuzz/fuzz/*_fuzz; do \
	  name=$$(basename $$target _fuzz); \
	  mkdir -p build/fuzz/corpus/$$name; \
	  echo "fuzz: $$name for $(FUZZ_SECONDS) s"; \
	  seeds=fuzz/corpus/$$name; [ -d $$seeds ] || seeds=; \
	  $$target -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=20 \
	    -artifact_prefix=build/fuzz/ build/fuzz/corpus/$$name $$seeds || exit 1; \
	done

clean:
	rm -rf build

# The tests' offscreen platform would hide the application: it gets the desktop's own.
run: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target inkwarden
	$(if $(filter file,$(origin QT_QPA_PLATFORM)),env -u QT_QPA_PLATFORM) ./build/release/inkwarden
