#!/usr/bin/env bash
# Makes the tiny models the engine tests run on, with the engines' own generators and
# tokenizer where they ship one and ours where they do not (see the scripts beside this).
# Nothing of this is kept in the repository: the models are made again at every test run.
#
# Usage: make-test-models.sh BUILD_DIR OUTPUT_DIR PYTHON
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1 out=$2 python=$3
whisper_source="$build/engines/whisper.cpp"
llama_source="$build/engines/llama.cpp"

for needed in "$whisper_source/models/generate-parakeet-test-model.py" "$llama_source/gguf-py/gguf/__init__.py"; do
  [[ -f "$needed" ]] || { echo "$needed is missing: scripts/build.sh builds the engines and keeps their sources" >&2; exit 1; }
done
"$python" -c 'import numpy, yaml' || { echo "$python lacks numpy or yaml (python3-numpy, python3-yaml)" >&2; exit 1; }

# Written beside and renamed, so a test never reads a half-written model.
mkdir -p "$out"
work=$(mktemp -d "$out/.making.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$python" "$here/make-whisper-model.py" "$work/whisper-marmalade.bin" Marmalade
"$python" "$whisper_source/models/generate-parakeet-test-model.py" "$work/parakeet-test.bin" >/dev/null
vocab="$llama_source/models/ggml-vocab-llama-spm.gguf"
"$python" "$here/make-llama-model.py" "$llama_source/gguf-py" "$vocab" "$work/writer-a.gguf" \
  "The engines answer from this computer."
"$python" "$here/make-llama-model.py" "$llama_source/gguf-py" "$vocab" "$work/writer-b.gguf" \
  "Another model wrote these words."

for model in "$work"/*; do
  mv -f "$model" "$out/"
done
echo "Test models in $out"
