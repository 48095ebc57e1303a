#!/usr/bin/env python3
"""Writes a tiny llama-architecture GGUF model that answers every prompt with one sentence.

No real writing model can be downloaded where the tests run, so this one is made up with
llama.cpp's own gguf-py, the tokenizer of one of llama.cpp's vocabulary files and a chat
template the server accepts.

How it is rigged: the block's attention and feed-forward outputs are zero, so the final
norm sees only the current token's embedding, and the output projection maps that token to
the next one of the sentence. Each token of the sentence has an embedding of its own (one
dimension each); every other token shares one more dimension, which maps to the sentence's
first token, so whatever the prompt ends with, the answer starts. The sentence's last token
maps to end-of-sequence.

Usage: make-llama-model.py GGUF_PY_DIR VOCAB_GGUF OUTPUT "Sentence of distinct words."
"""

import sys

import numpy as np

N_EMBD = 64
N_HEAD = 4
N_FF = 128
N_CTX = 4096
LOGIT = 40.0  # the chosen token's lead over every other: sampling cannot stray

CHAT_TEMPLATE = (
    "{% for message in messages %}"
    "{{ message['role'] }}: {{ message['content'] }}\n"
    "{% endfor %}"
    "{% if add_generation_prompt %}assistant:{% endif %}"
)


def sentence_tokens(sentence, tokens):
    """The sentence as the vocabulary's pieces: each word with the word-start mark, a final
    full stop on its own. Every piece must be in the vocabulary, and none twice (a token
    has one successor here)."""
    words = sentence.split()
    pieces = []
    for word in words:
        stop = word.endswith(".")
        word = word.rstrip(".")
        if word:
            pieces.append("\u2581" + word)
        if stop:
            pieces.append(".")
    index = {text: i for i, text in enumerate(tokens)}
    ids = []
    for piece in pieces:
        if piece not in index:
            sys.exit(f"make-llama-model.py: {piece!r} is not one token of the vocabulary")
        ids.append(index[piece])
    if len(set(ids)) != len(ids):
        sys.exit("make-llama-model.py: the sentence repeats a token")
    if len(ids) + 1 > N_EMBD:
        sys.exit("make-llama-model.py: the sentence is too long")
    return ids


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__.strip().splitlines()[-1])
    gguf_py, vocab_path, output, sentence = sys.argv[1:]
    sys.path.insert(0, gguf_py)
    import gguf  # the engine's own, from its source

    vocab = gguf.GGUFReader(vocab_path)

    def field(name):
        return vocab.fields[name].contents()

    tokens = field("tokenizer.ggml.tokens")
    n_vocab = len(tokens)
    eos = int(field("tokenizer.ggml.eos_token_id"))
    chain = sentence_tokens(sentence, tokens)

    # Dimension 0 is every other token's; dimension i + 1 is the sentence's i-th token's.
    embedding = np.zeros((n_vocab, N_EMBD), np.float32)
    embedding[:, 0] = 1.0
    output_weight = np.zeros((n_vocab, N_EMBD), np.float32)
    for i, token in enumerate(chain):
        embedding[token] = 0.0
        embedding[token, i + 1] = 1.0
    # After an RMS norm a one-dimension embedding is sqrt(N_EMBD) along that dimension.
    scale = LOGIT / np.sqrt(N_EMBD)
    output_weight[chain[0], 0] = scale
    for i in range(1, len(chain)):
        output_weight[chain[i], i] = scale
    output_weight[eos, len(chain)] = scale

    writer = gguf.GGUFWriter(output, "llama")
    writer.add_name("sorvane-test-" + "-".join(w.lower().strip(".") for w in sentence.split()[:3]))
    writer.add_context_length(N_CTX)
    writer.add_embedding_length(N_EMBD)
    writer.add_block_count(1)
    writer.add_feed_forward_length(N_FF)
    writer.add_head_count(N_HEAD)
    writer.add_head_count_kv(N_HEAD)
    writer.add_rope_dimension_count(N_EMBD // N_HEAD)
    writer.add_layer_norm_rms_eps(1e-5)
    writer.add_file_type(gguf.LlamaFileType.ALL_F32)
    writer.add_vocab_size(n_vocab)

    writer.add_tokenizer_model(str(field("tokenizer.ggml.model")))
    writer.add_tokenizer_pre(str(field("tokenizer.ggml.pre")))
    writer.add_token_list(tokens)
    writer.add_token_scores([float(s) for s in field("tokenizer.ggml.scores")])
    writer.add_token_types([int(t) for t in field("tokenizer.ggml.token_type")])
    writer.add_bos_token_id(int(field("tokenizer.ggml.bos_token_id")))
    writer.add_eos_token_id(eos)
    writer.add_unk_token_id(int(field("tokenizer.ggml.unknown_token_id")))
    writer.add_add_bos_token(bool(field("tokenizer.ggml.add_bos_token")))
    writer.add_add_eos_token(False)
    writer.add_chat_template(CHAT_TEMPLATE)

    zeros = lambda *shape: np.zeros(shape, np.float32)  # noqa: E731
    writer.add_tensor("token_embd.weight", embedding)
    writer.add_tensor("output_norm.weight", np.ones(N_EMBD, np.float32))
    writer.add_tensor("output.weight", output_weight)
    writer.add_tensor("blk.0.attn_norm.weight", np.ones(N_EMBD, np.float32))
    writer.add_tensor("blk.0.attn_q.weight", zeros(N_EMBD, N_EMBD))
    writer.add_tensor("blk.0.attn_k.weight", zeros(N_EMBD, N_EMBD))
    writer.add_tensor("blk.0.attn_v.weight", zeros(N_EMBD, N_EMBD))
    writer.add_tensor("blk.0.attn_output.weight", zeros(N_EMBD, N_EMBD))
    writer.add_tensor("blk.0.ffn_norm.weight", np.ones(N_EMBD, np.float32))
    writer.add_tensor("blk.0.ffn_gate.weight", zeros(N_FF, N_EMBD))
    writer.add_tensor("blk.0.ffn_up.weight", zeros(N_FF, N_EMBD))
    writer.add_tensor("blk.0.ffn_down.weight", zeros(N_EMBD, N_FF))

    writer.write_header_to_file()
    writer.write_kv_data_to_file()
    writer.write_tensors_to_file()
    writer.close()


if __name__ == "__main__":
    main()
