#!/bin/sh
# Makes the window's relink kit as the zip carries it, links qvupdate.exe with it against the
# same Qt, and compares the result with the build's own program: the same bytes, but for the
# link time stamps in the headers.
#   RelinkKit.sh CMAKE LINK_RULE LINK_DIR BUILD_DIR QT_PREFIX QT_VERSION STRIP QVUPDATE_EXE OUT
set -eu
cmake=$1 rule=$2 linkdir=$3 build=$4 qt=$5 version=$6 strip=$7 exe=$8 out=$9
rm -rf "$out"
"$cmake" -DLINK_RULE="$rule" -DLINK_DIR="$linkdir" -DBUILD_DIR="$build" -DQT_PREFIX="$qt" \
    -DQT_VERSION="$version" -DOUT="$out/relink" -P "$(dirname "$0")/../../cmake/RelinkKit.cmake"
QT=$qt sh "$out/relink/relink.sh"
"$strip" -o "$out/relinked.exe" "$out/relink/qvupdate.exe"
"$strip" -o "$out/built.exe" "$exe"
differing=$(cmp -l "$out/relinked.exe" "$out/built.exe" | wc -l)
echo "relinked: $(wc -c <"$out/relinked.exe") bytes, built: $(wc -c <"$out/built.exe") bytes, $differing bytes differ"
[ "$(wc -c <"$out/relinked.exe")" -eq "$(wc -c <"$out/built.exe")" ] && [ "$differing" -le 16 ]
