#!/usr/bin/env bash
# Builds the workbook layer, the core and keli-calc twice, once with AddressSanitizer and
# UndefinedBehaviorSanitizer and once with ThreadSanitizer, each in a build folder of its own
# (build-asan, build-tsan), and runs in each the workbook tests, the command-line tests and a batch
# over examples/ on two threads. Every report fails the run, those of the programs the tests start
# too: each process writes its reports to a log folder, which must stay empty.
# Slow (two more builds): not part of CI. Usage: tools/sanitize.sh [asan|tsan]...
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
supp=$root/tools/sanitize
jobs=${JOBS:-2}
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(asan tsan)

flags_asan="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
flags_tsan="-fsanitize=thread"

build() { # kind
    local dir=build-$1 flags_var=flags_$1
    local flags=${!flags_var}
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELI_BUILD_GUI=OFF -DKELI_BUILD_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
    cmake --build "$dir" -j"$jobs" --target keli-calc tst_xlsx tst_cli
}

# The log folder holds one file per process that reported something.
options() { # kind logdir
    case $1 in
    asan)
        export ASAN_OPTIONS="log_path=$2/asan:detect_leaks=1:detect_stack_use_after_return=1"
        export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
        export UBSAN_OPTIONS="log_path=$2/ubsan:print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
        ;;
    tsan)
        export TSAN_OPTIONS="log_path=$2/tsan:second_deadlock_stack=1:suppressions=$supp/tsan.supp:print_suppressions=0"
        ;;
    esac
}

# The workbook tests, the command-line tests, and a batch of every example on two threads in a
# working folder holding the templates (the examples are all calculable).
checks() { # kind logdir tmp
    local dir=$root/build-$1
    options "$1" "$2"
    export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
    (cd "$dir" && ctest -R '^tst_(xlsx|cli)$' --output-on-failure -j"$jobs") || return 1
    mkdir -p "$3/work" && cp "$root"/templates/*.xlsx "$3/work/" || return 1
    (cd "$3/work" && "$dir/src/cli/keli-calc" --jobs 2 --out "$3/out" "$root"/examples/*.xlsx) || return 1
    test -s "$3/out/Сводка.csv" && test -s "$3/out/Сводка.xlsx"
}

run() { # kind
    local logs tmp status=0
    logs=$(mktemp -d "${TMPDIR:-/tmp}/keli-$1-logs.XXXXXX")
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/keli-$1-batch.XXXXXX")
    (checks "$1" "$logs" "$tmp") || status=1
    if compgen -G "$logs/*" >/dev/null; then
        echo "== $1: sanitizer reports" >&2
        for f in "$logs"/*; do
            echo "---- $f" >&2
            cat "$f" >&2
        done
        status=1
    fi
    rm -rf "$tmp" "$logs"
    echo "== $1: $([ $status -eq 0 ] && echo clean || echo FAILED)"
    return $status
}

failed=0
for kind in "${kinds[@]}"; do
    case $kind in asan|tsan) ;; *) echo "usage: $0 [asan|tsan]..." >&2; exit 2 ;; esac
    build "$kind"
    run "$kind" || failed=1
done
exit $failed
