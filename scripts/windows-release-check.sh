#!/usr/bin/env bash
# Checks the Windows files as a release ships them and as a bank's machines
# meet them. Called by test-windows.sh inside its Wine session.
#
#   scripts/windows-release-check.sh BUILD_DIR    (the suite's test build)
#
# 1. A run in a folder it cannot write ends at once with its own error.
# 2. Two builds of the working tree's commit, in two folders, give the same
#    stripped files to the byte; they pass cmake/check-shipped.cmake, and
#    each component holds its own files only.
# 3. The 64-bit build refuses to be installed.
# 4. The files signed with a throw-away certificate verify; a changed byte
#    does not.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=$1
scratch=$(mktemp -d)
folder=$scratch/read-only
trap 'chattr -i "$folder" 2>/dev/null || true; rm -rf "$scratch"' EXIT
fail() { echo "windows-release-check: $*" >&2; exit 1; }

echo "== A folder without write rights"
# An immutable folder refuses every new file even to root; the lock file is
# there already, as after an earlier run, so the refusal comes at the
# update's first new file.
mkdir "$folder"
cp "$build/quarnel.exe" "$folder/"
printf 'HEADER\r\nZZZZ|row\r\n' > "$folder/sifrant_bank.dat"
: > "$folder/quarnel.lock"
if chattr +i "$folder" 2>/dev/null; then
  started=$SECONDS
  status=0
  "$QUARNEL_WINE" "$folder/quarnel.exe" > /dev/null 2> "$scratch/err" || status=$?
  # An access denied taken for a held file would be waited on for 10 s.
  [ "$status" -eq 5 ] && [ $((SECONDS - started)) -lt 5 ] &&
    grep -q 'error 70: .*sifrant_bank.tmp' "$scratch/err" ||
    fail "a run in a read-only folder exited $status after $((SECONDS - started)) s: $(cat "$scratch/err")"
  chattr -i "$folder"
  echo "the run ended at once with: $(tr -d '\r' < "$scratch/err")"
else
  echo "skipped: this file system or user cannot make a folder immutable"
fi

echo "== Two builds of one commit"
# The working tree's tracked files as a commit of its own (HEAD where
# nothing changed), in two folders whose paths differ.
commit=$(git -c user.name=check -c user.email=check@localhost stash create)
commit=${commit:-$(git rev-parse HEAD)}
for copy in one two; do
  git clone -q --shared --no-checkout "$repo" "$scratch/$copy"
  git -C "$scratch/$copy" checkout -q "$commit"
  cmake -S "$scratch/$copy" -B "$scratch/$copy/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DQUARNEL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$scratch/$copy/build" -j"$(nproc)" >/dev/null
  for component in program credentials; do
    cmake --install "$scratch/$copy/build" --component $component --strip \
      --prefix "$scratch/$copy/$component" >/dev/null
  done
  ships+=("$scratch/$copy")
done
one=${ships[0]}
[ "$(ls "$one/program")" = quarnel.exe ] || fail "the program component holds $(ls "$one/program")"
[ "$(ls "$one/credentials" | tr '\n' ' ')" = "PELX.dll tarvo-auth-write.exe " ] ||
  fail "the credentials component holds $(ls "$one/credentials")"
for file in program/quarnel.exe credentials/PELX.dll credentials/tarvo-auth-write.exe; do
  cmp "$one/$file" "${ships[1]}/$file" || fail "two builds of $commit differ in $file"
done
echo "the two builds gave the same three files"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$one/build/CMakeCache.txt")
cmake -DOBJDUMP=i686-w64-mingw32-objdump -DWINDRES=i686-w64-mingw32-windres \
  -DFORMAT=pei-i386 -DVERSION="$version" -P cmake/check-shipped.cmake "$one/program/quarnel.exe" "$one/credentials/PELX.dll" \
  "$one/credentials/tarvo-auth-write.exe"

echo "== The 64-bit build cannot be installed"
cmake -S "$one" -B "$one/build64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DQUARNEL_BUILD_TESTS=OFF >/dev/null
if cmake --install "$one/build64" --component program --prefix "$one/ship64" \
     > "$scratch/install64" 2>&1 || ! grep -q 'This is the 64-bit build' "$scratch/install64"; then
  fail "the 64-bit build was not refused: $(cat "$scratch/install64")"
fi
echo "refused"

echo "== Signing"
mkdir "$scratch/signed"
cp "$one"/program/* "$one"/credentials/* "$scratch/signed/"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Quarnel throw-away signer" \
  -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature \
  -keyout "$scratch/key.pem" -out "$scratch/cert.pem" 2>/dev/null
scripts/sign-windows.sh --cert "$scratch/cert.pem" --key "$scratch/key.pem" \
  --ca "$scratch/cert.pem" "$scratch/signed"
# One byte in the middle of the program, changed.
exe=$scratch/signed/quarnel.exe
at=$(($(stat -c %s "$exe") / 2))
byte=$(od -An -tu1 -j"$at" -N1 "$exe" | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$exe" bs=1 seek="$at" conv=notrunc status=none
if osslsigncode verify -CAfile "$scratch/cert.pem" -in "$exe" >/dev/null 2>&1; then
  fail "a program with a changed byte still verifies"
fi
echo "a changed byte fails the verification"
