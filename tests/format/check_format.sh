#!/bin/sh
# Checks that every C++ file of the tree is laid out as .clang-format says; prints the files that
# are not and how to fix them. Usage: check_format.sh SOURCE_DIR CLANG_FORMAT
set -u
source_dir=$1
clang_format=$2
cd "$source_dir" || exit 1
unformatted=$(find include platform s tools tests bench fuzz python docs sample \
                -name '*.cpp' -o -name '*.h' | sort | while read -r file; do
                "$clang_format" --dry-run -Werror "$file" >/dev/null 2>&1 || echo "$file"
              done)
if [ -n "$unformatted" ]; then
  echo "not formatted as .clang-format says:"
  echo "$unformatted" | sed 's/^/  /'
  echo "fix with: clang-format -i FILE..."
  exit 1
fi
echo "every C++ file is formatted"
