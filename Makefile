# make run   - install what is missing, build (Release, build/), start the program
# make test  - install, build, run every test, check the formatting; then the core
#              tests under ASan/UBSan,
#              then two minutes of fuzzing: the parameter-file reader (two targets),
#              each station-list reader and the dB spectrum reader
# make bench - build and run the benchmarks
# make package - build the Debian package
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# CI=true turns every warning of the project's own code into an error.
WERROR_FLAGS := -DVALDRIN_WERROR=OFF
ifdef CI
WERROR_FLAGS := -DVALDRIN_WERROR=ON
endif

.PHONY: all deps build run test test-sanitize fuzz bench package tidy format format-check clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset release $(WERROR_FLAGS) $(CMAKE_FLAGS)
	cmake --build --preset release -j$(JOBS)

run: build
	@bash scripts/run.sh

test: build
	ctest --preset release -j$(JOBS)
	$(MAKE) format-check
	$(MAKE) test-sanitize
	$(MAKE) fuzz

# The Qt-free libraries and their tests again, with AddressSanitizer and
# UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake --preset asan-core $(WERROR_FLAGS)
	cmake --build --preset asan-core -j$(JOBS)
	ctest --preset asan-core -j$(JOBS)

# libFuzzer on the INI reader and the parameter-file restore, and on the INI
# reader with UTF-8 files, 30 s each; then 15 s on each exchange-format reader.
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j$(JOBS)
	mkdir -p build-fuzz/corpus build-fuzz/corpus-utf8
	build-fuzz/fuzz/fuzz_params -max_total_time=30 -max_len=16384 -timeout=10 build-fuzz/corpus fuzz/corpus
	build-fuzz/fuzz/fuzz_ini_utf8 -max_total_time=30 -max_len=16384 -timeout=10 build-fuzz/corpus-utf8 fuzz/corpus
	@set -e; for t in stations_csv:stations stations_fdsn:stations stations_xml:stations noise_db:noise_db; do \
	  name=$${t%%:*}; seeds=$${t##*:}; mkdir -p build-fuzz/corpus_$$name; \
	  build-fuzz/fuzz/fuzz_$$name -max_total_time=15 -max_len=16384 -timeout=10 \
	    build-fuzz/corpus_$$name fuzz/corpus_$$seeds; done

# clang-tidy with the committed .clang-tidy over the project's own sources and tests.
tidy: build
	run-clang-tidy -quiet -p build -header-filter='.*/(src|tests)/.*' '$(CURDIR)/(src|tests)/.*\.cpp$$'

# clang-format over the tree; format-check fails on a file that differs.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')
format:
	clang-format -i $(FORMAT_FILES)
format-check:
	clang-format --dry-run --Werror $(FORMAT_FILES)

# The Debian package, build/valdrin_<version>_<arch>.deb.
package: build
	cd build && cpack -G DEB

bench: build
	@set -e; for b in build/bench/bench_*; do \
	  [ -x "$$b" ] || continue; echo "== $$b"; "$$b"; done

clean:
	rm -rf build build-asan build-fuzz out
