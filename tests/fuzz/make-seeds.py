#!/usr/bin/env python3
"""Makes the seed corpora of the fuzz targets in tests/fuzz/corpus.

usage: make-seeds.py [CORPUS_DIR]

Seeds named ok-* must be accepted, bad-* refused; others may go either way.
Inputs that fuzzing found are added by hand beside these (named after what
they found) and kept when this script runs again.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, 'corpus')


def put(target, name, data):
    folder = os.path.join(OUT, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode('utf-8')
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def read(path):
    with open(os.path.join(ROOT, path), 'rb') as f:
        return f.read()


# ---- settings store: global store, then the card's after the separator ----
SPLIT = b'\n----- local -----\n'
G = read('installation/NVRAM_G.txt')
L = read('installation/NVRAM_L.txt')
put('settings_store', 'ok-defaults', G + SPLIT + L)
put('settings_store', 'ok-crlf-and-comments',
    G.replace(b'\n', b'\r\n') + SPLIT + b'# card\r\n/LOCAL/CurrentDir=/MY_FOLDER/A=B\r\n')
put('settings_store', 'ok-lost-lines', b'/Setup/AUTO OFF=5\n\n\x01ctl\n' + SPLIT)
put('settings_store', 'ok-odd-values',
    b'/PB Control/SPEED=1.25\n/Setup/DIMMER=LOW\n/Input Setting/MIC GAIN=7\n/Rec Option/AUTO REC LEVEL=-48\n'
    b'/Setup/AUTO OFF=-\n/REC Quality/SAMPLE RATE=+.\n/Setup/FILE NAME/WORD=\xc3\xa9t\xc3\xa9\n' + SPLIT +
    b'/LOCAL/LastFile=/MY_FOLDER/KS0000_0001.WAV\n')
put('settings_store', 'ok-long-lines',
    b'/A/' + b'k' * 200 + b'=1\n/A/v=' + b'v' * 300 + b'\n#' + '\u00e9'.encode() * 100 + b'\n' +
    b'/A/huge=' + b'h' * 1500 + b'\n' + SPLIT)
# Numbers past an int (the last one past a float too) were cast to int: UB.
put('settings_store', 'ok-huge-numbers',
    b'/Setup/AUTO OFF=99999999999999999999\n/PB Control/SPEED=-3000000000\n/GLOBAL/ZOOM=' + b'9' * 100 + b'\n'
    b'/REC Quality/SAMPLE RATE=' + b'9' * 120 + b'\n' + SPLIT)
put('settings_store', 'ok-full-table',
    b''.join(b'/A/k%d=%d\n' % (i, i) for i in range(80)) + SPLIT + L)
put('settings_store', 'bad-binary', bytes((i * 7919) & 0xFF for i in range(1024)) + SPLIT + L)
put('settings_store', 'bad-erased-flash', b'\xff' * 512 + SPLIT + L)
put('settings_store', 'bad-nul-in-card-store', G + SPLIT + b'/LOCAL/CurrentDir=/X\0\n')

# ---- playlist file: count, then 99 slots of 256 bytes ----
def playlist(count, paths):
    slots = b''.join(p.ljust(256, b'\0') for p in paths)
    return struct.pack('<i', count) + slots.ljust(99 * 256, b'\0')

put('playlist_file', 'ok-empty', playlist(0, []))
put('playlist_file', 'ok-three', playlist(3, [b'/MY_FOLDER/KS0000_0001.MOV', b'/MY_FOLDER/A/B.MOV',
                                              b'/MY_FOLDER/KS0000_0001.MOV']))
put('playlist_file', 'ok-full', playlist(99, [b'/MY_FOLDER/' + (b'%03d' % i) * 80 for i in range(99)]))
put('playlist_file', 'bad-short', playlist(1, [b'/MY_FOLDER/X.MOV'])[:4000])
put('playlist_file', 'bad-count', playlist(100, [b'/X.MOV'] * 99))
put('playlist_file', 'bad-no-end', playlist(1, [b'/' + b'x' * 255]))
put('playlist_file', 'bad-relative', playlist(1, [b'MY_FOLDER/X.MOV']))
put('playlist_file', 'bad-garbage-after-count', playlist(1, [b'/X.MOV', b'/Y.MOV']))

# ---- firmware package header (32 bytes) and folder names ----
def header(product, version):
    return product + struct.pack('<H', version) + b'\0' * 22

put('fw_package', 'ok-0102', header(b'KESTRA7 ', 102) + b'\x1f\x8b\x08\0')
put('fw_package', 'ok-ffff', header(b'KESTRA7 ', 0xFFFF))
put('fw_package', 'bad-product', header(b'KESTRA8 ', 102))
put('fw_package', 'bad-short', b'KESTRA7 \x66\x00')
put('fw_package', 'folder-KS7_FW.0101.0102', b'KS7_FW.0101.0102')
put('fw_package', 'folder-huge-version', b'KS7_FW.0101.99999999999999999999')
put('fw_package', 'folder-negative', b'KS_A.B.-5')
put('fw_package', 'folder-no-fields', b'KS7')

# ---- 24-bit bottom-up BMP files, pixels from offset 54 ----
def bmp(width, height, rows=None, offset=54, extra=b''):
    stride = (3 * width + 3) & ~3
    if rows is None:
        rows = b''.join(bytes(((x * 37 + y * 11) & 0xFF, (x * 5) & 0xFF, (y * 90) & 0xFF) * 1)
                        for y in range(height) for x in range(width))
        rows = b''.join(rows[y * 3 * width:(y + 1) * 3 * width].ljust(stride, b'\0') for y in range(height))
    head = b'BM' + struct.pack('<IHHI', 54 + len(rows), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return head + info + rows + extra

put('bmp_loader', 'ok-2x2', bmp(2, 2))
put('bmp_loader', 'ok-5x3-padded', bmp(5, 3))
put('bmp_loader', 'ok-no-height', bmp(7, 0))
put('bmp_loader', 'ok-other-data-offset', bmp(3, 3, offset=122))
put('bmp_loader', 'ok-40x30', bmp(40, 30))
put('bmp_loader', 'bad-truncated', bmp(40, 30)[:1000])
put('bmp_loader', 'bad-header-only', bmp(4, 4)[:40])

# ---- font images: a metadata row, then 128 cells ----
def font(cell_width, cell_height, advances=None, image_width=None):
    image_width = image_width if image_width is not None else 128 * cell_width
    stride = (3 * image_width + 3) & ~3
    top = bytearray(stride)
    top[0:3] = bytes((0, cell_height, cell_width))
    for code in range(128):
        col = code * cell_width
        if col < image_width:
            advance = advances(code) if advances else (code % max(cell_width, 1)) + 1
            top[col * 3 + 2] = advance & 0xFF if col else cell_width
    glyph_rows = []
    for r in range(1, cell_height):
        row = bytearray(stride)
        for x in range(image_width):
            ink = (x + r) % 3 == 0
            row[x * 3:x * 3 + 3] = bytes((0 if ink else 255, (x * 40 + r * 60) & 0xFF, 255 if ink else 0))
        glyph_rows.append(bytes(row))
    rows = b''.join(reversed(glyph_rows)) + bytes(top)
    return bmp(image_width, cell_height, rows=rows)

put('font_loader', 'ok-4x6', font(4, 6))
put('font_loader', 'ok-cells-beyond-image', font(30, 4, image_width=100))
put('font_loader', 'ok-wide-advances', font(3, 5, advances=lambda c: 255))
put('font_loader', 'ok-no-cells', font(0, 0, image_width=64))
put('font_loader', 'bad-truncated', font(4, 6)[:3000])
put('font_loader', 'bad-empty', b'')

# ---- scenario files ----
put('scenario', 'ok-demo', read('sim/scenarios/demo.vsc'))
put('scenario', 'ok-steps', '''# every kind of step
wait 500ms
press F2 F3
hold RECORD for 1.5s
hold PLAY
release all
set HOLD on
set WRITE_PROTECT off
card new spare 64M
card foreign other 32M
card blank raw
card fill 512K
card remove
card insert spare
card put media/tone.wav /MY_FOLDER/TONE.WAV
sound builtin tone 1000 -6 440 -12
sound external noise -20
sound builtin wav media/tone.wav 3
hdmi plug nosink
hdmi unplug
usb plug
battery 3
adapter on
volume 64
snap lcd first.png
power on
power cut
console free
flash fault mtd4 flip 4096
flash fault mtd5 fail
flash fault off
flash erase mtd5
expect screen player within 2s
expect led rec on
expect backlight 4
expect file /MY_FOLDER/*.MOV
expect no file /MY_FOLDER/KS0000_0002.WAV
expect card mounted
expect console S:
expect box Card Full
expect pixel lcd 10 20 #FF00FF 8
quit
''')
put('scenario', 'bad-unknown-step', 'wait 1s\njump 3\n')
put('scenario', 'bad-duration', 'wait 1.5.5s\n')
put('scenario', 'bad-key', 'press F4\n')
put('scenario', 'bad-card-size', 'card new big 128G\n')
put('scenario', 'bad-pixel', 'expect pixel lcd 10 20 red\n')


# ---- recovery: mode byte (0 movie, 1 WAV), then for a movie the movie's
# length (4 bytes, big-endian), the movie as a cut left it, and its journal ----
def be32(*values):
    return b''.join(struct.pack('>I', v) for v in values)


def cut_movie(frames, sound_blocks_every=3, block=800 * 4, tail=b''):
    head = be32(32) + b'ftypqt  ' + be32(0x20050300) + b'qt  ' + be32(0, 0, 0) + be32(8) + b'wide'
    movie = head + be32(8) + b'mdat'
    dsi = bytes([0, 0, 1, 0xB0, 1, 0, 0, 1, 0xB5, 9, 0, 0, 1, 0, 0, 0, 1, 0x20])
    journal = b'KS7J' + be32(1, 640, 480, 30, 8000, 16, 2, 0xE0000000)
    journal += be32(3 << 30 | len(dsi)) + dsi + b'\0' * ((4 - len(dsi) % 4) % 4)
    for i in range(frames):
        frame = bytes([0, 0, 1, 0xB6, 0 if i % 30 == 0 else 0x40]) + bytes([i % 251]) * 40
        movie += frame
        journal += be32(1 << 30 | len(frame))
        if i % sound_blocks_every == sound_blocks_every - 1:
            movie += b'\x05' * block
            journal += be32(2 << 30 | block)
    movie += tail
    return b'\0' + be32(len(movie)) + movie + journal


def cut_wav(rate, bits, data, riff=0xFFFFFFFF, size=0xFFFFFFFF):
    align = 2 * bits // 8
    fmt = struct.pack('<IHHIIHH', 16, 1, 2, rate, rate * align, align, bits)
    return b'\1' + b'RIFF' + struct.pack('<I', riff) + b'WAVEfmt ' + fmt + b'data' + struct.pack('<I', size) + data


put('recovery', 'ok-cut-movie', cut_movie(12))
put('recovery', 'ok-cut-movie-torn-frame', cut_movie(9, tail=b'\0\0\1\xb6' + b'\x33' * 10))
put('recovery', 'bad-no-sound-yet', cut_movie(2))
put('recovery', 'bad-no-journal', b'\0' + be32(600) + cut_movie(6)[5:605])
put('recovery', 'ok-cut-wav-48k-24', cut_wav(48000, 24, b'\x07' * 6003))
put('recovery', 'ok-whole-wav', cut_wav(44100, 16, b'\x07' * 400, riff=436, size=400))
put('recovery', 'bad-wav-unknown-format', cut_wav(48000, 8, b'\x07' * 64))
put('recovery', 'bad-opened-before-its-first-sample', b'\0' + be32(40) + cut_movie(1)[5:45])
