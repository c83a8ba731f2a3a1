#!/usr/bin/env bash
# Proves that the build keeps includes pointing down the layers: in a scratch copy of the
# sources, a file of a layer compiles as it is, and fails to compile once it includes a header
# of a layer above it. Only the one file is compiled, with its layer's own flags and include
# root: that is what decides, and it keeps the test quick without a compiler cache.
#   upward-include.sh SOURCE_DIR [SCRATCH_PARENT]
set -euo pipefail
source_dir=$(cd "$1" && pwd)
scratch=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/upward-include.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

for part in CMakeLists.txt src tests bench resources packaging; do
  cp -R "$source_dir/$part" "$scratch/"
done
build=$scratch/build
cmake -S "$scratch" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  >"$scratch/configure.log" 2>&1 \
  || { cat "$scratch/configure.log"; exit 1; }

compile() {  # compile FILE LOG: the object of src/FILE, as its layer's library builds it
  make -C "$build/src" "${1%.cpp}.cpp.o" >"$2" 2>&1
}

# Unchanged, each file compiles.
for file in core/RunCaptured.cpp mime/MimeCharset.cpp app/FolderOptions.cpp; do
  if ! compile "$file" "$scratch/unchanged.log"; then
    cat "$scratch/unchanged.log"
    echo "FAIL: the unchanged $file does not compile"
    exit 1
  fi
done

failures=0
# expect_not_found FILE HEADER: FILE includes HEADER from above; the compile must fail because
# HEADER is not found (not for any other reason).
expect_not_found() {
  local file=$1 header=$2 log=$scratch/upward.log saved=$scratch/saved.cpp
  cp "$scratch/src/$file" "$saved"
  sed -i "1i #include \"$header\"" "$scratch/src/$file"
  if compile "$file" "$log"; then
    echo "FAIL: $file compiled while including \"$header\""
    failures=$((failures + 1))
  elif grep -Eq "$header[\"':]? *(No such file|file not found)" "$log"; then
    echo "ok: $file fails to compile when it includes \"$header\""
  else
    cat "$log"
    echo "FAIL: $file failed for another reason than \"$header\" not being found"
    failures=$((failures + 1))
  fi
  cp "$saved" "$scratch/src/$file"
}
expect_not_found core/RunCaptured.cpp app/Form1.h
expect_not_found mime/MimeCharset.cpp mail/MessageEntry.h
# The IMAP client belongs to the mail layer: the window reaches it only through the session.
expect_not_found app/FolderOptions.cpp imap/ImapClient.h
exit $failures
