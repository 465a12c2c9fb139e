#!/usr/bin/env python3
"""Makes the media reader's seed corpus (WAV and JPEG files).

usage: make-media-seeds.py OUTDIR

Seeds named ok-* must open, bad-* must be refused; others only must not
crash. Keep every seed under 16 KiB. Needs sox, ffmpeg and cjpeg.
"""
import os
import struct
import subprocess
import sys


def run(*args):
    subprocess.run(list(args), check=True)


def wav(rate, bits, channels, data, fmt_size=16, tag=1, riff=None, data_size=None, extra=b''):
    frame = bits // 8 * channels
    fmt = struct.pack('<HHIIHH', tag, channels, rate, rate * frame, frame, bits) + b'\0' * (fmt_size - 16)
    body = b'WAVE' + b'fmt ' + struct.pack('<I', fmt_size) + fmt + extra + b'data' + \
        struct.pack('<I', len(data) if data_size is None else data_size) + data
    return b'RIFF' + struct.pack('<I', len(body) if riff is None else riff) + body


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    tmp = os.path.join(out, 'tmp')
    os.makedirs(tmp, exist_ok=True)
    seeds = {}

    def sox(name, *opts):
        path = os.path.join(tmp, name)
        run('sox', '-n', *opts, path, 'synth', '0.05', 'sine', '1000')
        with open(path, 'rb') as f:
            return f.read()

    seeds['ok-sox-16-stereo.wav'] = sox('a.wav', '-r', '8000', '-b', '16', '-c', '2')
    seeds['ok-sox-16-mono.wav'] = sox('b.wav', '-r', '44100', '-b', '16', '-c', '1')
    seeds['ok-wavpcm-24-stereo.wav'] = sox('c.wav', '-r', '8000', '-b', '24', '-c', '2', '-t', 'wavpcm')
    seeds['bad-sox-24-extensible.wav'] = sox('d.wav', '-r', '8000', '-b', '24', '-c', '2')
    seeds['bad-sox-8bit.wav'] = sox('e.wav', '-r', '8000', '-b', '8', '-c', '1')
    seeds['bad-sox-float.wav'] = sox('f.wav', '-r', '8000', '-e', 'floating-point', '-b', '32', '-c', '1')

    path = os.path.join(tmp, 'g.wav')
    run('ffmpeg', '-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'sine=sample_rate=8000', '-t', '0.05',
        '-c:a', 'pcm_s16le', path)
    with open(path, 'rb') as f:
        seeds['ok-ffmpeg-list-chunk.wav'] = f.read()

    tone = bytes((i * 37) & 0xFF for i in range(2001))  # not whole frames
    seeds['ok-power-cut.wav'] = wav(44100, 16, 2, tone, riff=0xFFFFFFFF, data_size=0xFFFFFFFF)
    seeds['ok-extra-chunk.wav'] = wav(48000, 24, 2, tone[:1200], extra=b'junk' + struct.pack('<I', 6) + b'abcdef')
    seeds['ok-empty.wav'] = wav(48000, 16, 2, b'')
    seeds['bad-fmt-18.wav'] = wav(48000, 16, 2, tone[:400], fmt_size=18)
    seeds['bad-no-data.wav'] = wav(48000, 16, 2, b'')[:36] + b'LIST' + struct.pack('<I', 4) + b'INFO'
    seeds['bad-huge-chunk.wav'] = wav(48000, 16, 2, tone[:400], extra=b'LIST' + struct.pack('<I', 0xFFFFFFF0))
    seeds['bad-no-channels.wav'] = wav(48000, 16, 0, tone[:400])
    seeds['bad-192k.wav'] = wav(192000, 24, 2, tone[:600])
    seeds['bad-zero-rate.wav'] = wav(0, 16, 2, tone[:400])
    seeds['bad-truncated-header.wav'] = wav(48000, 16, 2, tone[:400])[:30]

    ppm = os.path.join(tmp, 'p.ppm')
    run('ffmpeg', '-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'testsrc=size=64x48', '-frames:v', '1', ppm)
    base = os.path.join(tmp, 'base.jpg')
    run('cjpeg', '-quality', '50', '-outfile', base, ppm)
    with open(base, 'rb') as f:
        seeds['ok-baseline.jpg'] = f.read()
    prog = os.path.join(tmp, 'prog.jpg')
    run('cjpeg', '-progressive', '-quality', '50', '-outfile', prog, ppm)
    with open(prog, 'rb') as f:
        seeds['bad-progressive.jpg'] = f.read()
    seeds['bad-truncated.jpg'] = seeds['ok-baseline.jpg'][:40]
    seeds['bad-not-jpeg.jpg'] = b'GIF89a' + bytes(60)

    # Movies the player takes, and ones whose streams it cannot decode.
    def movie(name, *codecs):
        path = os.path.join(tmp, name)
        run('ffmpeg', '-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'testsrc=size=32x32:rate=30',
            '-f', 'lavfi', '-i', 'sine=sample_rate=8000', '-t', '0.2', '-bf', '0', '-ac', '1', *codecs, path)
        with open(path, 'rb') as f:
            return f.read()

    seeds['ok-ffmpeg-mpeg4-s16le.mov'] = movie('m1.mov', '-c:v', 'mpeg4', '-q:v', '31', '-c:a', 'pcm_s16le')
    seeds['ok-ffmpeg-mpeg4-s24le.mov'] = movie('m2.mov', '-c:v', 'mpeg4', '-q:v', '31', '-c:a', 'pcm_s24le')
    seeds['bad-ffmpeg-h264.mov'] = movie('m3.mov', '-c:v', 'libx264', '-preset', 'ultrafast', '-c:a', 'pcm_s16le')
    seeds['bad-ffmpeg-8bit-sound.mov'] = movie('m4.mov', '-c:v', 'mpeg4', '-q:v', '31', '-c:a', 'pcm_s8')
    seeds['bad-ffmpeg-aac.mov'] = movie('m5.mov', '-c:v', 'mpeg4', '-q:v', '31', '-c:a', 'aac')

    for name in os.listdir(tmp):
        os.remove(os.path.join(tmp, name))
    os.rmdir(tmp)
    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)
    for name in sorted(os.listdir(out)):
        print(name, os.path.getsize(os.path.join(out, name)))


main()
