# `make test`: install what is missing, configure, build and run every test (sanitizer build).
# `make bench`: release build and every benchmark.  `make fuzz`: libFuzzer targets with clang.
# `make run`: install what is missing, build and open the designer on the bundled sample (PRESET=dev: sanitizers).
JOBS ?= $(shell nproc)
LABEL ?=
PRESET ?= release

.PHONY: test run layers format deps data build bench fuzz tsan clean

test: layers build data
	@if [ -n "$(LABEL)" ] && ! ctest --preset dev -N -L '$(LABEL)' | grep -q 'Total Tests: [1-9]'; then \
		echo "no tests carry the label '$(LABEL)'; labels with tests: $$(scripts/test-labels)"; exit 1; fi
	ctest --preset dev -j $(JOBS) $(if $(LABEL),-L '$(LABEL)')

run: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS) --target vortan vortan_sample_project
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp build/$(PRESET)/apps/vortan/vortan build/$(PRESET)/samples/sample.vtp

# Every include of ours against the layer table of DESIGN.md.
layers:
	scripts/check-layers

deps:
	scripts/install-deps

# Public corpora from Debian packages, cached outside the repository. Outside CI their tests skip when this
# fails; in CI (CI=true) a missing corpus is a failure.
data: deps
	@scripts/fetch-test-data >/dev/null || { if [ "$$CI" = true ]; then echo "test data could not be fetched" >&2; exit 1; \
		else echo "test data could not be fetched: the corpus tests will be reported as skipped"; fi; }

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

# Layout of every tracked C++ file against .clang-format.
format:
	scripts/check-format

clean:
	rm -rf build

# The threaded parts (engine, platform, the codecs, the designer) under ThreadSanitizer.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)
