# Vistrel: `make run` and `make test` are the whole set-up on a fresh Debian 12 machine.
.PHONY: all deps build test test-normal test-sanitize bench fuzz run samples clean

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
CTEST_ARGS ?=
FUZZ_SECONDS ?= 60

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The normal build runs every test; the sanitizer build runs the display-free ones.
test: test-normal test-sanitize

test-normal: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVISTREL_HEADLESS=ON \
	    -DVISTREL_SANITIZE=ON

test-sanitize: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS) -L unit $(CTEST_ARGS)

$(BENCH_BUILD)/build.ninja: | deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_BENCH=ON \
	    -DVISTREL_TESTS=OFF

bench: deps $(BENCH_BUILD)/build.ninja
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target bench

$(FUZZ_BUILD)/build.ninja: | deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DVISTREL_FUZZ=ON -DVISTREL_HEADLESS=ON -DVISTREL_TESTS=OFF

# Builds the fuzz targets and runs each for FUZZ_SECONDS.
fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	    [ -x "$$f" ] || continue; \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$(basename $$f); \
	    echo "== $$f"; \
	    "$$f" -max_total_time=$(FUZZ_SECONDS) $(FUZZ_BUILD)/corpus/$$(basename $$f) fuzz/seeds/$$(basename $$f) || exit 1; \
	done

SAMPLES := $(BUILD)/samples
COMPRESSIONS := none dxt1 dxt3 dxt5

# The sample pictures, and each converted into a texture file in every compression.
samples: build
	$(BUILD)/bin/vistrel-samples $(SAMPLES)
	@for c in $(COMPRESSIONS); do \
	    mkdir -p $(SAMPLES)/$$c; \
	    $(BUILD)/bin/vistrel-convert -y -o $(SAMPLES)/$$c --pixel-format R8G8B8A8 \
	        --compression $$c --mips full $(SAMPLES)/*.bmp $(SAMPLES)/*.tga || exit 1; \
	done

# Until the window exists: convert the samples and describe the results.
run: samples
	$(BUILD)/bin/vistrel-info $(SAMPLES)/*/*.t

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
