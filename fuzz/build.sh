#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-16, AddressSanitizer and
# UndefinedBehaviorSanitizer into build/fuzz/.
#   fuzz/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/fuzz
mkdir -p "$out"
# clang 16 reports an older concepts level, which leaves libstdc++'s
# <expected> empty unless told otherwise.
flags=(-std=c++2b -D__cpp_concepts=202002L -Wno-macro-redefined -O1 -g -I.
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
codec=(ads/codec/GAD_TamskJSON.cpp ads/codec/GTMStringEncoding.cpp platform/Value.cpp platform/UTF8.cpp platform/NumberText.cpp)
for target in JsonReaderFuzzer JsonRoundTripFuzzer EncodingDecodeFuzzer; do
  if [ ! "$out/$target" -nt "fuzz/$target.cpp" ] || [ -n "$(find ads/codec platform/Value.* platform/UTF8.* platform/NumberText.* platform/ASCII.h -newer "$out/$target" 2>/dev/null)" ]; then
    clang++-16 "${flags[@]}" "fuzz/$target.cpp" "${codec[@]}" -o "$out/$target"
  fi
done
# Message URLs: the URL type (on GLib), the query parser and the messages.
message=(ads/content/GADNotification.cpp ads/request/GADNetworkUtilities.cpp platform/URL.cpp platform/Value.cpp
         platform/UTF8.cpp platform/NumberText.cpp)
if [ ! "$out/MessageURLFuzzer" -nt fuzz/MessageURLFuzzer.cpp ] ||
   [ -n "$(find "${message[@]}" ads/content platform/URL.h platform/Value.h platform/ASCII.h -newer "$out/MessageURLFuzzer" 2>/dev/null)" ]; then
  # shellcheck disable=SC2046
  clang++-16 "${flags[@]}" fuzz/MessageURLFuzzer.cpp "${message[@]}" $(pkg-config --cflags --libs glib-2.0) \
    -o "$out/MessageURLFuzzer"
fi
# The transport's pure parts: each with what it needs and no more (GLib's
# GIO for the decoder, zlib for its oracle; curl and libsoup for dates).
# Rebuilt when the target, a source or a header it reads changes.
transport() {
  local target=$1 sources=$2 headers=$3 packages=$4
  # shellcheck disable=SC2086
  if [ ! "$out/$target" -nt "fuzz/$target.cpp" ] ||
     [ -n "$(find $sources $headers platform/URLError.h platform/Error.h platform/ASCII.h -newer "$out/$target" 2>/dev/null)" ]; then
    # shellcheck disable=SC2046,SC2086
    clang++-16 "${flags[@]}" "fuzz/$target.cpp" $sources $([ -z "$packages" ] || pkg-config --cflags --libs $packages) \
      -o "$out/$target"
  fi
}
values="platform/Value.cpp platform/UTF8.cpp platform/NumberText.cpp"
transport HTTPHeaderParserFuzzer "platform/HTTPHeaderParser.cpp $values" \
  "platform/HTTPHeaderParser.h platform/Value.h platform/UTF8.h platform/NumberText.h" ""
transport ContentDecoderFuzzer platform/ContentDecoder.cpp platform/ContentDecoder.h "gio-2.0 zlib"
transport HTTPDateFuzzer platform/HTTPDate.cpp platform/HTTPDate.h "libcurl libsoup-3.0"
transport RedirectTargetFuzzer "platform/RedirectTarget.cpp platform/URL.cpp platform/HTTPResponse.cpp $values" \
  "platform/RedirectTarget.h platform/URL.h platform/URLRequest.h platform/HTTPResponse.h platform/Value.h" glib-2.0
