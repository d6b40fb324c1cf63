# The project's commands. Each installs what is missing first, so a clean
# clone on a fresh Debian machine needs nothing else.
PRESETS := native asan tsan windows-x64 windows-x86
JOBS ?= $(shell nproc)

.PHONY: test run bench dist verify-dist deps format tidy clean check-includes check-table \
        $(addprefix build-,$(PRESETS)) $(addprefix test-,$(PRESETS)) test-dist test-fuzz

test: deps check-includes check-table
	@for p in $(PRESETS) dist fuzz; do $(MAKE) --no-print-directory test-$$p || exit 1; done

deps:
	@scripts/install-deps

# <windows.h> only through platform/win32/WinApi.h, so that no file sees the
# SDK's macros rename a method; and no layer includes one above its own
# (app, ui, engine, platform).
check-includes:
	@scripts/check-windows-includes
	@scripts/check-layers

# The lists of the replacement files still kept by hand (the sample package
# and installations, the README's and the note's count) agree with
# engine/Replacements.txt.
check-table:
	@scripts/check-replacement-table

# Static pattern rules: make ignores plain pattern rules for phony targets.
$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $* -j $(JOBS)

# The Windows tests run one at a time: each window test brings up a virtual
# display of its own, and two of them choosing a display number at the same
# moment can collide.
test-native test-asan test-tsan: test-%: build-%
	ctest --preset $* -j $(JOBS)
test-windows-x64 test-windows-x86: test-%: build-%
	ctest --preset $*

# The file table's reader under libFuzzer (clang) for a bounded time
# (FUZZ_SECONDS, 45 by default), over the corpus in tests/fuzz/corpus; then
# the change journal's (FUZZ_JOURNAL_SECONDS, 15), over tests/fuzz/journal-corpus.
test-fuzz:
	tests/fuzz/run-fuzz

# The release package build/dist/SoramidoUpdate-1.55B.zip (scripts/dist):
#   make dist [DATA=<folder>] [SIGN_CERT=<file> SIGN_KEY=<file>
#             [SIGN_PASS_FILE=<file>] [SIGN_TIMESTAMP=<url>]]
# The 32-bit Update.exe, built in build/dist-x86 carrying the list of the
# package in DATA, that package, a note for the publisher and SHA256SUMS;
# Update.exe is signed when a certificate and key are given.
dist: deps
	DATA="$(DATA)" SIGN_CERT="$(SIGN_CERT)" SIGN_KEY="$(SIGN_KEY)" \
	  SIGN_PASS_FILE="$(SIGN_PASS_FILE)" SIGN_TIMESTAMP="$(SIGN_TIMESTAMP)" JOBS=$(JOBS) scripts/dist

# Whether the Update.exe of a release package (ZIP=<file>), its signature
# taken off, is what this checkout makes from the package's own Data.
verify-dist: deps
	@[ -n "$(ZIP)" ] || { echo "usage: make verify-dist ZIP=<file>"; exit 2; }
	JOBS=$(JOBS) scripts/verify-dist "$(ZIP)"

# make dist with the sample package and a throw-away certificate, and the
# package's Update.exe under 32-bit Wine (build/dist-test).
test-dist: deps
	JOBS=$(JOBS) tests/dist/dist-test

# Builds Update.exe and starts it under Wine in a private demo prefix
# (build/demo); without a display it runs itself and saves a screenshot.
run: deps
	cmake --preset windows-x64 >/dev/null
	cmake --build --preset windows-x64 -j $(JOBS) --target Update Update_listed ui_driver
	scripts/demo build/windows-x64

# Figures for speed and memory, printed and written to build/bench/figures.txt;
# never part of make test. The first run makes the synthetic drive in
# build/bench-tree. The Windows build's run under Wine is for information and
# is skipped when that build cannot be made.
bench: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS) --target soramido_bench file_table_rate soramido_report_bench
	@cmake --preset windows-x64 >/dev/null && \
	  cmake --build --preset windows-x64 -j $(JOBS) \
	    --target soramido_run_once soramido_bare_lister Update Report >/dev/null || \
	  { rm -f build/windows-x64/bench/soramido_run_once.exe; \
	    echo "bench: no Windows build; its runs under Wine are skipped"; }
	build/native/bench/soramido_bench --tree build/bench-tree --out build/bench/figures.txt \
	  --windows build/windows-x64/bench/soramido_run_once.exe \
	  --lister build/windows-x64/bench/soramido_bare_lister.exe \
	  --update build/windows-x64/app/Update.exe --scripts scripts
	build/native/bench/soramido_report_bench --dir build/bench-report \
	  --report build/windows-x64/report/Report.exe --scripts scripts | tee -a build/bench/figures.txt
	@if [ "$$(id -u)" = 0 ] && [ -f build/windows-x64/app/Update.exe ]; then \
	  bench/ntfs-figures build/bench-ntfs build/native/bench/file_table_rate \
	    build/windows-x64/app/Update.exe | tee -a build/bench/figures.txt; \
	else echo "bench: the file table's figures need root and the Windows build; skipped"; fi

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

# clang-tidy over the whole tree: what the native build compiles with its
# flags, the Windows-only sources with the 64-bit MinGW build's.
tidy: build-native build-windows-x64
	scripts/tidy build/native build/windows-x64

clean:
	rm -rf build
