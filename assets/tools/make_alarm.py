#!/usr/bin/env python3
"""Synthesizes the alarm played when a shown object is out on loan:
three short alternating tones, 8 kHz, 8-bit mono PCM.
    python3 tools/make_alarm.py files/alarme.wav
"""
import math, struct, sys

RATE = 8000


def tone(freq, seconds, volume=0.6):
    n = int(RATE * seconds)
    fade = int(RATE * 0.01)
    out = bytearray()
    for i in range(n):
        env = min(1.0, i / fade, (n - i) / fade)
        out.append(128 + int(127 * volume * env * math.sin(2 * math.pi * freq * i / RATE)))
    return out


def main(path):
    data = bytearray()
    for f in (880, 660, 880, 660, 880):
        data += tone(f, 0.09) + bytes([128]) * int(RATE * 0.03)
    header = b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVE'
    header += b'fmt ' + struct.pack('<IHHIIHH', 16, 1, 1, RATE, RATE, 1, 8)
    header += b'data' + struct.pack('<I', len(data))
    with open(path, 'wb') as f:
        f.write(header + data)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'alarme.wav')
