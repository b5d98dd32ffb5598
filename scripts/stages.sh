# shellcheck shell=sh
# The stages of the test commands and their timing; sourced by scripts/test.sh
# and scripts/test-windows.sh, from the top of the source tree.
#
#   stage_preset PRESET   configures, builds and tests one preset
#   stage_windows ARCH... the Windows stages (see scripts/README.md): x64 on
#                         the 64-bit wine loader; x86 under wine where 32-bit
#                         programs run, otherwise its DLLs checked from their
#                         files and the i686 Linux build under qemu-i386 as
#                         well (stage linux-i686)
#   stage_tidy PRESET     clang-tidy over the library code, from the
#                         preset's compile commands (scripts/tidy.sh)
#   stage_note TEXT       adds a line to the summary
#   stage_summary         prints every stage with its test count and times

gh_stages=""

stage_note() {
    gh_stages="$gh_stages$1
"
}

gh_cache_value() {  # gh_cache_value PRESET NAME
    sed -n "s/^$2:[A-Z]*=//p" "build/$1/CMakeCache.txt"
}

stage_preset() {
    gh_preset=$1
    echo "== $gh_preset"
    gh_start=$(date +%s)
    cmake --preset "$gh_preset" >/dev/null
    if [ "$gh_preset" = mingw-i686 ]; then
        echo "== $(gh_cache_value mingw-i686 GH_RUNS_32BIT_NOTE)"
    fi
    cmake --build --preset "$gh_preset"
    gh_built=$(date +%s)
    ctest --preset "$gh_preset"
    gh_tested=$(date +%s)
    gh_count=$(ctest --preset "$gh_preset" -N | sed -n 's/^Total Tests: //p')
    stage_note "$(printf '%-13s %3s tests passed   configure+build %4s s   tests %4s s' \
        "$gh_preset" "$gh_count" $((gh_built - gh_start)) $((gh_tested - gh_built)))"
}

stage_tidy() {
    echo "== clang-tidy"
    gh_start=$(date +%s)
    scripts/tidy.sh "build/$1"
    stage_note "$(printf '%-13s library code clean in %s s' clang-tidy $(( $(date +%s) - gh_start )))"
}

stage_windows() {
    for gh_arch in "$@"; do
        stage_preset "mingw-$gh_arch"
        if [ "$gh_arch" = i686 ] && [ "$(gh_cache_value mingw-i686 GH_RUNS_32BIT)" = OFF ]; then
            stage_preset linux-i686
        fi
    done
}

stage_summary() {
    printf '== stages\n%s' "$gh_stages"
}
