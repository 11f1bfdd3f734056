# Entry points: `make demo`, `make test`; see README.md.
BUILD      ?= build
BUILD_SAN  ?= build-san
BUILD_SHARED ?= build-shared
BUILD_FUZZ ?= build-fuzz
FUZZ_RUNS  ?= 1000000
FUZZ_SECONDS ?= 0
FUZZ_HARNESSES ?=
PREFIX     ?= /usr/local
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all deps build demo test test-sanitize bench clean shared install check-install \
        check-valgrind check-python fuzz

all: build

deps:
	@./scripts/setup-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTX_TESTS=ON $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

# The library, the model and the programs only, not the tests, built with the compiler's lines
# in a log; a build directory made here leaves the tests out until `make test` adds them.
DEMO_LOG = $(BUILD)/demo-build.log
demo:
	@./scripts/setup-deps.sh --demo
	@mkdir -p $(BUILD)
	@echo "Building the library, the model and the programs in $(BUILD) (log: $(DEMO_LOG))"
	@{ cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release \
	     $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DTX_TESTS=OFF) $(CMAKE_ARGS) && \
	   cmake --build $(BUILD) -j $(JOBS) --target programs examples; } > $(DEMO_LOG) 2>&1 \
	  || { tail -n 40 $(DEMO_LOG); exit 1; }
	@./examples/demo.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTX_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build $(BUILD_SAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS)

bench:
	@./scripts/setup-deps.sh --bench
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTX_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)
	./bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_SHARED) $(BUILD_FUZZ)

# libtx as a shared library, with the programs linked against it (the tests reach into the
# library's private parts and run on the static build).
shared: deps
	cmake -S . -B $(BUILD_SHARED) -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DTX_TESTS=OFF $(CMAKE_ARGS)
	cmake --build $(BUILD_SHARED) -j $(JOBS)

# Static libtx, model support, headers, CMake package, pkg-config file and programs under PREFIX;
# `make install BUILD=build-shared` installs the shared build instead (run `make shared` first).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Installs both builds into a temporary prefix and builds an outside project against each.
check-install: build shared
	./scripts/check-install.sh $(BUILD)
	./scripts/check-install.sh $(BUILD_SHARED)

# The ctypes module of examples/python on the shared library (skipped without python3).
check-python: shared
	./scripts/check-python.sh $(BUILD_SHARED)

# Every program's shipped example under valgrind: no memory error, no definite leak.
check-valgrind: build
	@./scripts/setup-deps.sh --valgrind
	./scripts/check-valgrind.sh $(BUILD)

# Work-precision comparison with other ODE libraries (installs them when missing); rewrites
# docs/performance.md and docs/work_precision.png.
.PHONY: bench-peers
bench-peers:
	@./scripts/setup-deps.sh --peers
	cmake -S bench/peers -B build-peers -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)
	cmake --build build-peers -j $(JOBS)
	./bench/peers/run.sh build-peers

# libFuzzer harnesses of every reader (clang, AddressSanitizer, UndefinedBehaviorSanitizer), each
# run for FUZZ_RUNS executions (and at most FUZZ_SECONDS seconds when not 0) from the shipped
# examples; FUZZ_HARNESSES names a few to run only those.  The corpus grows in
# $(BUILD_FUZZ)/corpus, findings land in $(BUILD_FUZZ)/findings.
fuzz:
	@./scripts/setup-deps.sh --fuzz
	cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTX_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_ARGS)
	cmake --build $(BUILD_FUZZ) --target fuzzers -j $(JOBS)
	./scripts/fuzz.sh $(BUILD_FUZZ) $(FUZZ_RUNS) $(FUZZ_SECONDS) $(FUZZ_HARNESSES)
