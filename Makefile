# `make test`: install what is missing, configure, build and run every test (sanitizer build).
# `make bench`: release build and every benchmark.  `make fuzz`: libFuzzer targets with clang.
JOBS ?= $(shell nproc)
LABEL ?=

.PHONY: test deps data build bench fuzz tsan clean

test: build data
	ctest --preset dev -j $(JOBS) $(if $(LABEL),-L $(LABEL))

deps:
	scripts/install-deps

# Public corpora from Debian packages, cached outside the repository; their tests skip when this fails.
data: deps
	scripts/fetch-test-data >/dev/null || echo "test data could not be fetched: the corpus tests will skip"

build: deps
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)

bench: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	for b in build/release/bench/*_bench; do $$b; done

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

clean:
	rm -rf build

# The threaded parts (engine core, platform) under ThreadSanitizer.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)
