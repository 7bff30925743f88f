#!/bin/sh
# run.sh: the kit as its users take it. Builds the packages (scripts/package.sh) into a scratch folder
# and checks: hosts built against an installed tree (CMake package, pkg-config); the .deb files'
# fields and contents, the tools package run from dpkg -x; the MSVC-format import libraries linked by
# mingw and run under Wine; the zip against its README's list; korvanta.exe under Wine against Linux.
set -u
src=$(cd "$(dirname "$0")/../.." && pwd)
cd "$src"
work=$(mktemp -d)
pids=""
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
fails=0
check() {  # check NAME EXPECTED ACTUAL
  [ "$2" = "$3" ] && echo "ok   $1" || { printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"; fails=$((fails + 1)); }
}
./scripts/package.sh "$work/dist" >/dev/null || { echo "FAIL scripts/package.sh"; exit 1; }
version=$(sed -n 's/^project(KorvantaSDK VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$version-1
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

# Hosts against the installed tree, moved after installing: nothing may point back at the build.
cmake --install build/dev --prefix "$work/staged" >/dev/null && mv "$work/staged" "$work/prefix"
tool=$(build/dev/bin/korvanta calc --model 1 --sex 1 --age 35 --height 180 --weight 80 --activityLevel 3 \
       --waist 84 --hip 100 --impedanceF2 500 --format json | sed -n 's/.*"fatPercent":\([-0-9.e]*\).*/\1/p')
want=$(printf 'version 1.39\ncode 0 fatPercent %.2f' "$tool")
cmake -S tests/packaging/consumer -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null &&
  cmake --build "$work/cmake" >/dev/null
check "find_package consumer" "$want" "$(LD_LIBRARY_PATH=$work/prefix/lib/$multiarch "$work/cmake/consumer")"
for other in 0.9 2.0; do
  check "find_package refuses $other" "refused" "$(cmake -S tests/packaging/consumer -B "$work/cmake$other" \
    -DKV_WANTED=$other -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null 2>&1 || echo refused)"
done
export PKG_CONFIG_PATH="$work/prefix/lib/$multiarch/pkgconfig"
# shellcheck disable=SC2046
cc -o "$work/pc_consumer" tests/packaging/consumer.c $(pkg-config --cflags --libs korvanta-sdk)
check "pkg-config consumer" "$want" "$(LD_LIBRARY_PATH=$work/prefix/lib/$multiarch "$work/pc_consumer")"
check "installed text files name no build folder" "" "$(grep -rlI "$src" "$work/prefix")"

# The .deb files: control fields, then contents (folders left out).
field() { dpkg-deb -f "$work/dist/$1_${deb}_amd64.deb" "$2"; }
control() { for p in libkorvantasdk1 libkorvantasdk-dev korvanta-tools; do
  echo "$p $(field $p Section):" $(field $p Depends | grep -oE 'libc6|libkorvantasdk1 \(= [^)]*\)'); done; }
check "control fields" "libkorvantasdk1 libs: libc6
libkorvantasdk-dev libdevel: libkorvantasdk1 (= $deb)
korvanta-tools science: libkorvantasdk1 (= $deb) libc6" "$(control)"
# The reference manual's pages are left out here and its index.html checked below.
files() { dpkg-deb -c "$work/dist/$1_${deb}_amd64.deb" | grep -v '/$' | sed 's/.* \.//; s/ -> .*//' |
  grep -v '^/usr/share/doc/[^/]*/html/' | sort | tr '\n' ' '; }
lib=/usr/lib/$multiarch doc=/usr/share/doc
check "runtime files" "$lib/libKorvantaSDK.so.1 $lib/libKorvantaSDK.so.$version $doc/libkorvantasdk1/changelog.Debian.gz $doc/libkorvantasdk1/copyright " "$(files libkorvantasdk1)"
check "dev files" "/usr/include/KorvantaSDK/KorvantaSDK.h /usr/include/KorvantaSDK/KorvantaSession.h /usr/include/KorvantaSDK/result_codes.inc $lib/cmake/KorvantaSDK/KorvantaSDKConfig.cmake $lib/cmake/KorvantaSDK/KorvantaSDKConfigVersion.cmake $lib/cmake/KorvantaSDK/KorvantaSDKTargets-relwithdebinfo.cmake $lib/cmake/KorvantaSDK/KorvantaSDKTargets.cmake $lib/libKorvantaSDK.so $lib/pkgconfig/korvanta-sdk.pc /usr/share/doc-base/libkorvantasdk-dev $doc/libkorvantasdk-dev/changelog.Debian.gz $doc/libkorvantasdk-dev/copyright $doc/libkorvantasdk-dev/examples/calc_example.c " "$(files libkorvantasdk-dev)"
check "tools files" "/usr/bin/korvanta /usr/bin/kv_simulator $doc/korvanta-tools/changelog.Debian.gz $doc/korvanta-tools/copyright /usr/share/man/man1/korvanta.1.gz /usr/share/man/man1/kv_simulator.1.gz " "$(files korvanta-tools)"
for p in libkorvantasdk1 libkorvantasdk-dev korvanta-tools; do dpkg -x "$work/dist/${p}_${deb}_amd64.deb" "$work/unpacked"; done
manual() { grep -qs 'The thread contract, as the header states it' "$1" && echo "index.html with the README's sessions"; }
check "dev package's reference manual" "index.html with the README's sessions" \
  "$(manual "$work/unpacked$doc/libkorvantasdk-dev/html/index.html")"
check "unpacked korvanta --version" "korvanta, KorvantaSDK library 1.39" \
  "$(LD_LIBRARY_PATH=$work/unpacked$lib "$work/unpacked/usr/bin/korvanta" --version)"

# The zip: exactly the files its README lists; each MSVC-format .lib links a host that runs under Wine.
(cd "$work" && unzip -q "dist/KorvantaSDK-$version-windows.zip")
kit=$work/KorvantaSDK-$version-windows
listed=$(tr -d '\r' <"$kit/README-windows.txt" | sed -n '/^Contents/,/^$/p' | awk 'NR > 2 && NF {print $1}' | sort)
check "zip holds what its README lists" "$listed" "$(cd "$kit" && find . -type f ! -path './docs/reference/*' -o \
  -path ./docs/reference/index.html | sed 's|^\./||' | sort)"
check "zip's reference manual" "index.html with the README's sessions" "$(manual "$kit/docs/reference/index.html")"
for arch in x64:x86_64:wine-run.sh x86:i686:wine32-run.sh; do
  set -- $(echo "$arch" | tr : ' ')
  "$2-w64-mingw32-gcc" -I"$kit/include" tests/packaging/consumer.c "$kit/$1/KorvantaSDK.lib" -o "$kit/$1/consumer.exe" ||
    { echo "FAIL $1 KorvantaSDK.lib links"; fails=$((fails + 1)); continue; }
  if [ "$1" = x86 ] && ! scripts/can-run-32bit.sh; then
    echo "skip $1 consumer under Wine: this machine's kernel cannot run 32-bit programs"
    continue
  fi
  check "$1 KorvantaSDK.lib links, runs under Wine" "$want" "$(cmake/"$3" "$kit/$1/consumer.exe" | tr -d '\r')"
done

# korvanta.exe under Wine and korvanta on Linux, each against a simulated analyser of the same scenario.
build/dev/bin/kv_simulator --model 7 >"$work/sim.out" 2>/dev/null &
pids=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
linux=$(build/dev/bin/korvanta download --port "$(head -n 1 "$work/sim.out")" --format json --utc 2>/dev/null)
echo "61 --model 7" >"$work/sims.txt"
windows=$(sh tests/e2e/run_wine_e2e.sh build/dev/bin/kv_simulator "$work/sims.txt" cmake/wine-run.sh \
          "$kit/x64/korvanta.exe" download --port '\\.\COM61' --format json --utc 2>/dev/null | tr -d '\r')
check "korvanta.exe download JSON equals Linux's" "33 $linux" "$(echo "$windows" | grep -c '"slot"') $windows"
[ "$fails" -eq 0 ]
