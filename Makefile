# Thin wrapper around CMake.  `make test` builds and runs every test;
# `make demo` builds the programs and runs the main job on the bundled examples.
BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
DEMO_OUT ?= $(BUILD)/demo

.PHONY: all build test demo bench bench-compare clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	./examples/demo.sh $(BUILD)/bin $(DEMO_OUT)

bench:
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DRF_BENCHMARKS=ON -DBUILD_TESTING=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)
	./bench/run.sh $(BUILD)-bench/bin

# CPU time per job against the commit before the fast kernels (built once
# into $(BUILD)-bench-base) and the numpy implementations: bench/compare.sh.
bench-compare:
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DRF_BENCHMARKS=ON -DBUILD_TESTING=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)
	./bench/compare.sh $(BUILD)-bench/bin

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-bench-base
