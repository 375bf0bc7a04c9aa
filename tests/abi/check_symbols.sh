#!/bin/sh
# Compares the names a shared library exports with the list kept in the tree.
#   check_symbols.sh NM CXXFILT LIBRARY LIST ACTUAL [SANITIZERS]
# The names are the library's defined dynamic symbols, demangled and sorted. Left out are what
# the toolchain adds on its own: instantiations of the standard library's and Boost's templates
# (which compilers and optimisation levels emit differently), the linker's section markers and
# the coverage runtime of an instrumented build.
nm=$1 cxxfilt=$2 library=$3 list=$4 actual=$5 sanitizers=$6

if [ -n "$sanitizers" ]; then
  echo "skipped: sanitizer build ($sanitizers): its runtimes add symbols; plain builds check the list"
  exit 77
fi

toolchain='^_Z(T[VITS]|GV|TH|TW)?Z?N?[rVKRO]*(S[tabsiod]|9__gnu_cxx|5boost|10__cxxabiv1)'
linker='^(_edata|_end|__bss_start|_init|_fini|__gcov_.*|mangle_path)$'
"$nm" -D --defined-only -P "$library" | cut -d' ' -f1 | sed 's/@.*//' \
  | grep -Ev "$toolchain" | grep -Ev "$linker" | "$cxxfilt" | LC_ALL=C sort -u >"$actual" || exit 1

if diff -u "$list" "$actual" >"$actual.diff"; then
  echo "$(wc -l <"$actual") names exported by $(basename "$library"), as $list lists"
  exit 0
fi
echo "$(basename "$library") exports other names than $list lists (- listed but no longer"
echo "exported, + exported but not listed):"
tail -n +3 "$actual.diff" | grep '^[-+]'
echo "A name exported by accident (PMLIB_API, PMPORT_API, lost hidden visibility) is a fault: fix"
echo "the declaration. A deliberate change of the public API updates the list: cp $actual $list"
exit 1
