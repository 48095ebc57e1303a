#!/usr/bin/env python3
"""Writes the three completion sounds (Pop, Glass, Tink) as short 16-bit mono WAV files.

They are synthesised here from sine partials with plain envelopes, so the program ships
only sounds of its own. Run it again after changing a recipe:
    python3 scripts/make-sounds.py Sources/Sorvane/Resources/Sounds
"""
import math
import struct
import sys
import wave
from pathlib import Path

RATE = 44100


def render(duration, partials, attack, decay, sweep=None):
    """partials: (frequency, amplitude) pairs; decay: the envelope's time constant in
    seconds; sweep: (start factor, end factor) that bends every frequency over the sound."""
    frames = int(duration * RATE)
    phases = [0.0] * len(partials)
    out = []
    for n in range(frames):
        t = n / RATE
        envelope = min(1.0, t / attack) * math.exp(-t / decay)
        # A short fade at the very end so the sound never stops on a click.
        envelope *= min(1.0, (frames - n) / (0.004 * RATE))
        bend = 1.0
        if sweep:
            start, end = sweep
            bend = start * (end / start) ** (t / duration)
        value = 0.0
        for i, (frequency, amplitude) in enumerate(partials):
            phases[i] += 2 * math.pi * frequency * bend / RATE
            value += amplitude * math.sin(phases[i])
        out.append(value * envelope)
    peak = max(abs(v) for v in out) or 1.0
    return [v / peak * 0.8 for v in out]


SOUNDS = {
    # A soft, low bubble: one warm partial falling in pitch, gone in a tenth of a second.
    "Pop": dict(duration=0.14, partials=[(520, 1.0), (1040, 0.18)], attack=0.003, decay=0.035, sweep=(1.35, 0.55)),
    # A glass chime: a bell-like chord of inharmonic partials ringing out.
    "Glass": dict(duration=0.9, partials=[(1318.5, 1.0), (2637.0, 0.35), (3950.0, 0.18), (5274.0, 0.08)],
                  attack=0.002, decay=0.22),
    # A gentle tap: a bright, very short tick.
    "Tink": dict(duration=0.16, partials=[(2793.0, 1.0), (5586.0, 0.25)], attack=0.001, decay=0.03),
}


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    folder.mkdir(parents=True, exist_ok=True)
    for name, recipe in SOUNDS.items():
        samples = render(**recipe)
        with wave.open(str(folder / f"{name}.wav"), "wb") as file:
            file.setnchannels(1)
            file.setsampwidth(2)
            file.setframerate(RATE)
            file.writeframes(b"".join(struct.pack("<h", int(round(s * 32767))) for s in samples))


if __name__ == "__main__":
    main()
