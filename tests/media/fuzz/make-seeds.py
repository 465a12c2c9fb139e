#!/usr/bin/env python3
"""Makes the movie reader's seed corpus.

usage: make-seeds.py DEVICE_MOVIE OUTDIR

DEVICE_MOVIE is a small movie written by the device's creator (the tests
leave one as runs.mov on the board of
MovBadInputTest.MalformedSampleToChunkTables). Seeds named ok-* must open,
bad-* must be refused; keep every seed under 16 KiB.
"""
import struct
import subprocess
import sys
import os


def atoms(data, start, end):
    pos = start
    while pos + 8 <= end:
        size, kind = struct.unpack('>I4s', data[pos:pos + 8])
        if size < 8:
            return
        yield pos, size, kind
        pos += size


def find(data, path):
    start, end = 0, len(data)
    found = None
    for part in path.split('/'):
        name, _, index = part.partition('#')
        index = int(index or 0)
        found = None
        for pos, size, kind in atoms(data, start, end):
            if kind == name.encode() and index == 0:
                found = (pos, size)
                break
            if kind == name.encode():
                index -= 1
        if not found:
            raise SystemExit('no ' + path)
        start, end = found[0] + 8, found[0] + found[1]
    return found


def put32(data, at, value):
    data[at:at + 4] = struct.pack('>I', value)


def main():
    device, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    base = bytearray(open(device, 'rb').read())
    seeds = {'ok-device.mov': bytes(base)}

    moov, moov_size = find(base, 'moov')
    seeds['bad-truncated-index.mov'] = bytes(base[:moov + moov_size // 2])

    s = bytearray(base)
    s[36:40] = b'junk'
    seeds['bad-unknown-atom.mov'] = bytes(s)

    s = bytearray(base)
    put32(s, 32, 1)
    seeds['bad-64bit-size.mov'] = bytes(s)

    s = bytearray(base)
    stco, _ = find(base, 'moov/trak#1/mdia/minf/stbl/stco')
    s[stco + 4:stco + 8] = b'co64'
    seeds['bad-co64.mov'] = bytes(s)

    trak, trak_size = find(base, 'moov/trak#1')
    s = bytearray(base[:moov]) + struct.pack('>I', moov_size + trak_size) + base[moov + 4:moov + moov_size] + \
        base[trak:trak + trak_size]
    seeds['bad-three-tracks.mov'] = bytes(s)

    s = bytearray(base)
    stsz, _ = find(base, 'moov/trak#1/mdia/minf/stbl/stsz')
    put32(s, stsz + 16, 0xFFFFFFF0)
    seeds['bad-huge-count.mov'] = bytes(s)

    # Chunk offsets and sample-to-chunk entries that lead nowhere: the file
    # opens, the lookups must fail.
    s = bytearray(base)
    put32(s, stco + 16, 0xFFFFFF00)
    stsc, _ = find(base, 'moov/trak#1/mdia/minf/stbl/stsc')
    put32(s, stsc + 16 + 12, 1)
    seeds['lookup-bad-tables.mov'] = bytes(s)

    for name, codec in (('ok-ffmpeg-twos.mov', 'pcm_s16be'), ('ok-ffmpeg-in24.mov', 'pcm_s24le')):
        path = os.path.join(out, name)
        subprocess.run(['ffmpeg', '-nostdin', '-v', 'error', '-y', '-f', 'lavfi', '-i', 'testsrc=size=32x32:rate=30',
                        '-itsoffset', '0.1', '-f', 'lavfi', '-i', 'sine=sample_rate=8000', '-t', '0.3',
                        '-c:v', 'mpeg4', '-bf', '0', '-g', '30', '-q:v', '31', '-c:a', codec, '-ac', '1',
                        '-metadata', 'title=seed', path], check=True)

    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)
    for name in sorted(os.listdir(out)):
        print(name, os.path.getsize(os.path.join(out, name)))


main()
