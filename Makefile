# The project's commands. Each installs what is missing first, so a clean
# clone on a fresh Debian machine needs nothing else.
PRESETS := native asan tsan windows-x64 windows-x86
JOBS ?= $(shell nproc)

.PHONY: test run bench deps format tidy clean $(addprefix build-,$(PRESETS)) $(addprefix test-,$(PRESETS))

test: deps
	@for p in $(PRESETS); do $(MAKE) --no-print-directory test-$$p || exit 1; done

deps:
	@scripts/install-deps

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

# Builds Update.exe and starts it under Wine in a private demo prefix
# (build/demo); without a display it runs itself and saves a screenshot.
run: deps
	cmake --preset windows-x64 >/dev/null
	cmake --build --preset windows-x64 -j $(JOBS) --target Update ui_driver
	scripts/demo build/windows-x64

bench: deps build-native
	build/native/bench/soramido_bench

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

tidy: build-native
	clang-tidy -p build/native --quiet $$(git ls-files 'engine/*.cpp' 'platform/*.cpp' ':!platform/win32/*')

clean:
	rm -rf build
