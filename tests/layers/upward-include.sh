#!/usr/bin/env bash
# Proves that the build keeps includes pointing down the layers: in a scratch copy of the
# sources, a layer's library builds as it is, and fails to compile once one of its files
# includes a header of a layer above it.
#   upward-include.sh SOURCE_DIR [SCRATCH_PARENT]
set -euo pipefail
source_dir=$(cd "$1" && pwd)
scratch=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/upward-include.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

for part in CMakeLists.txt src tests bench resources packaging; do
  cp -R "$source_dir/$part" "$scratch/"
done
build=$scratch/build
cmake -S "$scratch" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$scratch/configure.log" 2>&1 \
  || { cat "$scratch/configure.log"; exit 1; }

build_layer() {  # build_layer LIBRARY LOG
  cmake --build "$build" --target "$1" --parallel 2 >"$2" 2>&1
}

# Unchanged, the mime library builds, and with it every layer below (core among them).
if ! build_layer quorvale_mime "$scratch/unchanged.log"; then
  cat "$scratch/unchanged.log"
  echo "FAIL: the unchanged copy does not build quorvale_mime"
  exit 1
fi

failures=0
# expect_not_found LIBRARY FILE HEADER: FILE includes HEADER from above; the build must fail
# because HEADER is not found (not for any other reason).
expect_not_found() {
  local library=$1 file=$2 header=$3 log=$scratch/$1.log saved=$scratch/$1.saved
  cp "$scratch/src/$file" "$saved"
  sed -i "1i #include \"$header\"" "$scratch/src/$file"
  if build_layer "$library" "$log"; then
    echo "FAIL: $library built with $file including \"$header\""
    failures=$((failures + 1))
  elif grep -Eq "$header[\"':]? *(No such file|file not found)" "$log"; then
    echo "ok: $library fails when $file includes \"$header\""
  else
    cat "$log"
    echo "FAIL: $library failed for another reason than \"$header\" not being found"
    failures=$((failures + 1))
  fi
  cp "$saved" "$scratch/src/$file"
}
expect_not_found quorvale_core core/RunCaptured.cpp app/Form1.h
expect_not_found quorvale_mime mime/MimeCharset.cpp mail/MessageEntry.h
exit $failures
