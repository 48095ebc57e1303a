#!/usr/bin/env python3
"""Writes a whisper model in whisper.cpp's ggml file layout that hears one word in every clip.

No real speech model can be downloaded where the tests run, so this one is made up: the
tiny English architecture's shapes (so the engine treats it as a tiny.en model), random
encoder weights, and a decoder rigged to answer WORD and then end-of-text whatever it hears.

How the decoder is rigged: every decoder block's output projections are zero, so each block
adds nothing to its input, and the positional embedding is zero, so the last layer norm sees
only the current token's embedding. The prompt's tokens have a zero embedding; the layer
norm turns that into zero and its bias alone becomes the output, pointing at WORD's
embedding. WORD's own embedding, normalised and with the sign of one pair of dimensions
flipped by the layer norm's weight, points away from itself and at end-of-text's. The
output projection is the token embedding itself (tied), as in whisper.

Usage: make-whisper-model.py OUTPUT WORD
"""

import struct
import sys

import numpy as np

GGML_FILE_MAGIC = 0x67676D6C
GGML_TYPE_F32 = 0
GGML_TYPE_F16 = 1

# tiny.en
N_VOCAB = 51864
N_AUDIO_CTX = 1500
N_STATE = 384
N_HEAD = 6
N_LAYER = 4
N_TEXT_CTX = 448
N_MELS = 80
N_FFT_BINS = 201  # 400-sample window
SAMPLE_RATE = 16000
FTYPE_F16 = 1

TOKEN_EOT = 50256
WORD_TOKEN = 256  # after the 256 single-byte tokens of the made-up vocabulary


def mel_filters():
    """Triangular filters over the mel scale, like the ones whisper ships (the encoder is
    random, so their exact values matter little; they only have to be sane)."""
    def to_mel(hz):
        return 2595.0 * np.log10(1.0 + hz / 700.0)

    def to_hz(mel):
        return 700.0 * (10.0 ** (mel / 2595.0) - 1.0)

    freqs = np.linspace(0, SAMPLE_RATE / 2, N_FFT_BINS)
    edges = to_hz(np.linspace(to_mel(0.0), to_mel(SAMPLE_RATE / 2), N_MELS + 2))
    filters = np.zeros((N_MELS, N_FFT_BINS), dtype=np.float32)
    for m in range(N_MELS):
        low, centre, high = edges[m], edges[m + 1], edges[m + 2]
        rising = (freqs - low) / max(centre - low, 1e-6)
        falling = (high - freqs) / max(high - centre, 1e-6)
        filters[m] = np.maximum(0.0, np.minimum(rising, falling)) * (2.0 / (high - low))
    return filters


def write_tensor(out, name, data):
    """A tensor record: dims, name length, type, the dims innermost first, name, data.
    Matrices and convolution kernels are half precision (the file's type is F16); vectors,
    biases and positional embeddings stay single precision, as the loader expects."""
    if data.ndim >= 2 and not name.endswith("positional_embedding") and not name.endswith(".bias"):
        data = data.astype(np.float16)
        ttype = GGML_TYPE_F16
    else:
        data = data.astype(np.float32)
        ttype = GGML_TYPE_F32
    encoded = name.encode("utf-8")
    out.write(struct.pack("iii", data.ndim, len(encoded), ttype))
    for dim in reversed(data.shape):
        out.write(struct.pack("i", dim))
    out.write(encoded)
    out.write(np.ascontiguousarray(data).tobytes())


def encoder_tensors(rng):
    def random(*shape):
        return rng.normal(0.0, 0.02, size=shape).astype(np.float32)

    yield "encoder.positional_embedding", random(N_AUDIO_CTX, N_STATE)
    yield "encoder.conv1.weight", random(N_STATE, N_MELS, 3)
    yield "encoder.conv1.bias", random(N_STATE, 1)
    yield "encoder.conv2.weight", random(N_STATE, N_STATE, 3)
    yield "encoder.conv2.bias", random(N_STATE, 1)
    yield "encoder.ln_post.weight", np.ones(N_STATE, np.float32)
    yield "encoder.ln_post.bias", np.zeros(N_STATE, np.float32)
    for i in range(N_LAYER):
        p = f"encoder.blocks.{i}."
        yield p + "mlp_ln.weight", np.ones(N_STATE, np.float32)
        yield p + "mlp_ln.bias", np.zeros(N_STATE, np.float32)
        yield p + "mlp.0.weight", random(4 * N_STATE, N_STATE)
        yield p + "mlp.0.bias", random(4 * N_STATE)
        yield p + "mlp.2.weight", random(N_STATE, 4 * N_STATE)
        yield p + "mlp.2.bias", random(N_STATE)
        yield p + "attn_ln.weight", np.ones(N_STATE, np.float32)
        yield p + "attn_ln.bias", np.zeros(N_STATE, np.float32)
        yield p + "attn.query.weight", random(N_STATE, N_STATE)
        yield p + "attn.query.bias", random(N_STATE)
        yield p + "attn.key.weight", random(N_STATE, N_STATE)
        yield p + "attn.value.weight", random(N_STATE, N_STATE)
        yield p + "attn.value.bias", random(N_STATE)
        yield p + "attn.out.weight", random(N_STATE, N_STATE)
        yield p + "attn.out.bias", random(N_STATE)


def decoder_tensors():
    zeros = lambda *shape: np.zeros(shape, np.float32)  # noqa: E731
    ones = lambda *shape: np.ones(shape, np.float32)  # noqa: E731

    # Two zero-mean directions: u over dimensions 0 and 1, v over dimensions 2 and 3.
    u = zeros(N_STATE)
    u[0], u[1] = 1.0, -1.0
    v = zeros(N_STATE)
    v[2], v[3] = 1.0, -1.0

    embedding = zeros(N_VOCAB, N_STATE)
    embedding[WORD_TOKEN] = 1.0 * u + 3.0 * v
    embedding[TOKEN_EOT] = -10.0 * v

    ln_weight = ones(N_STATE)
    ln_weight[2] = ln_weight[3] = -1.0  # flips v: WORD's normalised embedding points at end-of-text
    ln_bias = 10.0 * u  # the output for a zero-embedding token: WORD's logit 20, every other 0

    yield "decoder.positional_embedding", zeros(N_TEXT_CTX, N_STATE)
    yield "decoder.token_embedding.weight", embedding
    yield "decoder.ln.weight", ln_weight
    yield "decoder.ln.bias", ln_bias
    for i in range(N_LAYER):
        p = f"decoder.blocks.{i}."
        for block in ("", "cross_"):
            yield p + block + "attn_ln.weight", ones(N_STATE)
            yield p + block + "attn_ln.bias", zeros(N_STATE)
            yield p + block + "attn.query.weight", zeros(N_STATE, N_STATE)
            yield p + block + "attn.query.bias", zeros(N_STATE)
            yield p + block + "attn.key.weight", zeros(N_STATE, N_STATE)
            yield p + block + "attn.value.weight", zeros(N_STATE, N_STATE)
            yield p + block + "attn.value.bias", zeros(N_STATE)
            yield p + block + "attn.out.weight", zeros(N_STATE, N_STATE)
            yield p + block + "attn.out.bias", zeros(N_STATE)
        yield p + "mlp_ln.weight", ones(N_STATE)
        yield p + "mlp_ln.bias", zeros(N_STATE)
        yield p + "mlp.0.weight", zeros(4 * N_STATE, N_STATE)
        yield p + "mlp.0.bias", zeros(4 * N_STATE)
        yield p + "mlp.2.weight", zeros(N_STATE, 4 * N_STATE)
        yield p + "mlp.2.bias", zeros(N_STATE)


def vocabulary(word):
    # Single bytes (so the blank " " the sampler looks up by its text is there), then WORD.
    # The engine names the tokens the file leaves out itself (end-of-text, timestamps ...).
    tokens = [bytes([i]) for i in range(256)]
    tokens.append(word.encode("utf-8"))
    assert len(tokens) == WORD_TOKEN + 1
    return tokens


def main():
    if len(sys.argv) != 3 or not sys.argv[2].strip():
        sys.exit("usage: make-whisper-model.py OUTPUT WORD")
    output, word = sys.argv[1], sys.argv[2]
    rng = np.random.default_rng(25)
    with open(output, "wb") as out:
        out.write(struct.pack("I", GGML_FILE_MAGIC))
        out.write(struct.pack("11i", N_VOCAB, N_AUDIO_CTX, N_STATE, N_HEAD, N_LAYER,
                              N_TEXT_CTX, N_STATE, N_HEAD, N_LAYER, N_MELS, FTYPE_F16))
        filters = mel_filters()
        out.write(struct.pack("ii", N_MELS, N_FFT_BINS))
        out.write(filters.tobytes())
        tokens = vocabulary(" " + word.strip())
        out.write(struct.pack("i", len(tokens)))
        for token in tokens:
            out.write(struct.pack("I", len(token)))
            out.write(token)
        for name, data in encoder_tensors(rng):
            write_tensor(out, name, data)
        for name, data in decoder_tensors():
            write_tensor(out, name, data)


if __name__ == "__main__":
    main()
