#!/usr/bin/env bash
# Builds the engines Sorvane ships beside itself and installs them into
# <build>/libexec/sorvane/: whisper-cli and parakeet-cli of whisper.cpp, llama-server of
# llama.cpp. Neither is packaged in Debian 12; both sources come, pinned and checked, from
# npm packages that carry them. Each engine is built once per pin into a cache
# (SORVANE_ENGINE_CACHE, else ~/.cache/sorvane-engines) and copied from there afterwards.
# The fetched sources stay in the cache too: the tests make their tiny models with the
# engines' own generators and tokenizer files.
#
# Usage: build-engines.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: build-engines.sh BUILD_DIR}

# Pins. Raising a version means a new integrity (npm view NAME@VERSION dist.integrity).
whisper_package=nodejs-whisper
whisper_version=0.3.1
whisper_integrity=sha512-ceoilUVraRuR5FnNyXpGQT2auAR48Oc3AQBEmkXnVpSn9iN6yVRzQBFCqVTGWbk6Wdi95NhvwXNzFvuR7erLWw==
llama_package=node-llama-cpp
llama_version=3.22.1
llama_integrity=sha512-bltIipuWmc123H7tMIgDGKSsSrhmhlQYeVUC48XTjVW7XGJJiJJyCdlTMzQ/LiWoPkGDpcL4FviDpgw7qfTiDw==
# Raised when the way the engines are built changes, so that a cached build is redone.
recipe=1

cache=${SORVANE_ENGINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sorvane-engines}
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
mkdir -p "$cache"

fail() { echo "build-engines: $*" >&2; exit 1; }

# fetch PACKAGE VERSION INTEGRITY DIR: the package's tarball in DIR, checked.
fetch() {
  local package=$1 version=$2 integrity=$3 dir=$4 file actual
  # Debian's npm conflicts with a Node.js that brings its own npm, so it is installed
  # only when there is no npm at all.
  if ! command -v npm >/dev/null; then
    "$here/install-packages.sh" packages-npm.txt >&2
  fi
  if ! file=$(cd "$dir" && npm pack --silent "$package@$version" 2>"$dir/npm.log" | tail -n 1) \
      || [[ -z "$file" || ! -f "$dir/$file" ]]; then
    cat "$dir/npm.log" >&2 || true
    fail "could not download the npm package $package@$version"
  fi
  actual="sha512-$(openssl dgst -sha512 -binary "$dir/$file" | base64 -w0)"
  if [[ "$actual" != "$integrity" ]]; then
    fail "the npm package $package@$version is not the pinned one (integrity $actual, expected $integrity)"
  fi
  echo "$dir/$file"
}

cmake_build() { # SOURCE BUILD TARGET... -- CMAKE ARGS
  local source=$1 tree=$2; shift 2
  local targets=()
  while [[ $1 != -- ]]; do targets+=("$1"); shift; done
  shift
  cmake -S "$source" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=OFF "$@" >"$tree.configure.log" 2>&1 \
    || { tail -n 40 "$tree.configure.log" >&2; fail "configuring $source failed"; }
  cmake --build "$tree" -j"$jobs" --target "${targets[@]}" >"$tree.build.log" 2>&1 \
    || { tail -n 40 "$tree.build.log" >&2; fail "building ${targets[*]} failed"; }
}

# The engines are linked statically: whisper.cpp and llama.cpp each bring their own ggml,
# and two different libggml.so could not live side by side in libexec/sorvane/.
build_whisper() { # WORK OUT
  local work=$1 out=$2 tarball
  tarball=$(fetch "$whisper_package" "$whisper_version" "$whisper_integrity" "$work")
  tar -xzf "$tarball" -C "$work"
  mkdir -p "$out/bin"
  mv "$work/package/cpp/whisper.cpp" "$out/source"
  cmake_build "$out/source" "$work/build" whisper-cli parakeet-cli -- \
    -DWHISPER_SDL2=OFF -DWHISPER_BUILD_TESTS=OFF -DWHISPER_BUILD_SERVER=OFF
  cp "$work/build/bin/whisper-cli" "$work/build/bin/parakeet-cli" "$out/bin/"
}

build_llama() { # WORK OUT
  local work=$1 out=$2 tarball
  tarball=$(fetch "$llama_package" "$llama_version" "$llama_integrity" "$work")
  tar -xzf "$tarball" -C "$work"
  mkdir -p "$out/bin"
  git clone --quiet "$work/package/llama/gitRelease.bundle" "$out/source" 2>"$work/git.log" \
    || { cat "$work/git.log" >&2; fail "could not unpack llama.cpp from $llama_package@$llama_version"; }
  git -C "$out/source" log -1 --format=%H >"$out/commit"
  rm -rf "$out/source/.git"
  cmake_build "$out/source" "$work/build" llama-server -- \
    -DLLAMA_CURL=OFF -DLLAMA_BUILD_TESTS=OFF -DLLAMA_BUILD_EXAMPLES=OFF
  cp "$work/build/bin/llama-server" "$out/bin/"
}

# ensure NAME BUILDER: the cached engine NAME, built first when missing. A build happens in
# a temporary folder and is moved into place whole, so an interrupted or failed build
# leaves nothing behind that a later run would take for a finished one.
ensure() {
  local name=$1 builder=$2 final="$cache/$1" work
  if [[ -d "$final" ]]; then return; fi
  work=$(mktemp -d "$cache/.building-$name.XXXXXX")
  # shellcheck disable=SC2064
  trap "rm -rf '$work'" EXIT
  echo "Building $name (once; kept in $cache)"
  local started=$SECONDS
  "$builder" "$work" "$work/result"
  # Another build of the project may have finished the same engine meanwhile.
  mv -T "$work/result" "$final" 2>/dev/null || [[ -d "$final" ]] || fail "could not store $name in $cache"
  rm -rf "$work"
  trap - EXIT
  echo "Built $name in $((SECONDS - started)) s"
}

whisper_name="whisper.cpp-$whisper_package-$whisper_version-r$recipe"
llama_name="llama.cpp-$llama_package-$llama_version-r$recipe"
ensure "$whisper_name" build_whisper
ensure "$llama_name" build_llama

libexec="$build/libexec/sorvane"
mkdir -p "$libexec" "$build/engines"
for program in "$cache/$whisper_name/bin/"* "$cache/$llama_name/bin/"*; do
  installed="$libexec/$(basename "$program")"
  cmp -s "$program" "$installed" && continue
  # Copied beside under a temporary name and renamed, so a running engine is never written into.
  cp "$program" "$installed.new"
  mv -f "$installed.new" "$installed"
done
# Where the tests find the engines' sources (model generators, tokenizers).
ln -sfn "$cache/$whisper_name/source" "$build/engines/whisper.cpp"
ln -sfn "$cache/$llama_name/source" "$build/engines/llama.cpp"
