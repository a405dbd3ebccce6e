#!/usr/bin/env python3
"""Writes the small archives of the legacy ZIP methods that the tests carry.

    make_legacy_samples.py [folder]     (default: the folder of this script)

legacy.txt      the known contents: gazetteer-like lines in the OEM code page
                (byte 0x90 is an E-acute there, and the escape byte of the
                reduce method), with some long repeated runs
shrunk.zip      legacy.txt shrunk (method 1), and 24000 letters of a xorshift
                sequence (see noise()): the code size grows to 13 bits, and
                the table is thinned out (partial clearing) whenever it is full
reduced.zip     the first 6000 bytes of legacy.txt reduced with factors 1 to 4
                (methods 2 to 5), one entry each; follower sets of every size
                from 0 to 32, among them sets of one byte
imploded.zip    the first 10000 bytes of legacy.txt imploded (method 6) four
                times: 4K and 8K dictionary, each with two and three trees

The encoders follow the PKWARE application note. They are deterministic, so
running the script again gives the same bytes.
"""

import random
import struct
import sys
import zlib
from pathlib import Path


class BitWriter:
    """Bits in the order of the legacy methods: each byte from its LSB."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def bits(self, value, count):
        self.acc |= (value & ((1 << count) - 1)) << self.n
        self.n += count
        while self.n >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.n -= 8

    def msb_first(self, code, count):
        for i in range(count - 1, -1, -1):
            self.bits((code >> i) & 1, 1)

    def finish(self):
        if self.n:
            self.out.append(self.acc & 0xFF)
        self.acc = self.n = 0
        return bytes(self.out)


# --- sample text -----------------------------------------------------------

def sample_text():
    rng = random.Random(1952)
    first = ["Mount Zion", "Bethel", "Cedar", "Pine", "Oak", "Maple", "Willow", "Spring",
             "Rock", "Clear", "Mill", "Bear", "Deer", "Fox", "Eagle", "Union", "Liberty",
             "Green", "Silver", "Red", "Sandy", "Lost", "Long", "Grand", "Crystal"]
    second = ["", " Hill", " Valley", " Grove", " Ridge", " Hollow", " Springs", " Point",
              " Fork", " Run", " Branch", " Lake"]
    kinds = ["Church", "School", "Cemetery", "Stream", "Populated Place", "Dam", "Lake",
             "Park", "Summit", "Valley", "Bridge", "Spring"]
    oem_names = [b"\x90cole", b"B\x82thel", b"Z\x81rich", b"\x90tang", b"Caf\x82", b"Ni\xa4o"]
    lines = []
    block = None
    while sum(len(x) for x in lines) < 20000:
        if len(lines) == 40:
            block = b"".join(lines[-6:])
        if block is not None and rng.random() < 0.04:
            lines.append(block)  # a long repeated run (copy lengths above 300)
            continue
        if rng.random() < 0.1:
            name = rng.choice(oem_names) + b" " + rng.choice(kinds).encode()
        else:
            name = (rng.choice(first) + rng.choice(second) + " " + rng.choice(kinds)).encode()
        lat = "%.5f" % rng.uniform(25, 49)
        lon = "%.5f" % -rng.uniform(67, 124)
        fid = str(rng.randrange(100000, 2000000))
        lines.append(b"|".join([fid.encode(), name, rng.choice(kinds).encode(),
                                lat.encode(), lon.encode()]) + b"\r\n")
    return b"".join(lines)


def noise(n):
    """n letters A to Z from the 32-bit xorshift generator (13, 17, 5) seeded
    with 2463534242, one letter per step: state % 26."""
    x = 2463534242
    out = bytearray()
    for _ in range(n):
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        out.append(65 + x % 26)
    return bytes(out)


# --- shrink (method 1) -----------------------------------------------------

def shrink(data):
    codes = 1 << 13
    prefix = [0] * codes
    suffix = [0] * codes
    in_use = [False] * codes
    table = {}
    w = BitWriter()
    size = 9
    state = {"free": 257}

    def emit(code):
        nonlocal size
        while code >= (1 << size):
            w.bits(256, size)
            w.bits(1, size)
            size += 1
        w.bits(code, size)

    def advance(start):
        f = start
        while f < codes and in_use[f]:
            f += 1
        state["free"] = f

    def add(p, c):
        f = state["free"]
        if f >= codes:
            return
        prefix[f], suffix[f], in_use[f] = p, c, True
        table[(p, c)] = f
        advance(f + 1)

    def partial_clear():
        parents = set(prefix[c] for c in range(257, codes) if in_use[c])
        for c in range(257, codes):
            if in_use[c] and c not in parents:
                in_use[c] = False
                del table[(prefix[c], suffix[c])]
        advance(257)

    current = data[0]
    for k in data[1:]:
        nxt = table.get((current, k))
        if nxt is not None:
            current = nxt
            continue
        emit(current)
        # Thin the table out as soon as it is full, as the compressors do.
        if state["free"] >= codes:
            w.bits(256, size)
            w.bits(2, size)
            partial_clear()
        add(current, k)
        current = k
    emit(current)
    return w.finish()


# --- reduce (methods 2 to 5) -------------------------------------------------

def follower_bits(n):
    b = 1
    while (1 << b) < n:
        b += 1
    return b


def reduce(data, factor):
    dle = 144
    mask = (1 << (8 - factor)) - 1
    max_distance = 1 << (8 + factor)
    max_length = mask + 255 + 3
    # Run/copy stage.
    runs = bytearray()
    heads = {}
    i = 0
    while i < len(data):
        best_len, best_dist = 0, 0
        key = data[i:i + 3]
        for j in reversed(heads.get(key, [])[-48:]):
            dist = i - j
            if dist > max_distance:
                break
            n = 0
            while n < max_length and i + n < len(data) and data[j + n] == data[i + n]:
                n += 1
            if n > best_len:
                best_len, best_dist = n, dist
        v = 0
        if best_len >= 3:
            lcode = best_len - 3
            v = (((best_dist - 1) >> 8) << (8 - factor)) | min(lcode, mask)
        if best_len >= 3 and v != 0:
            runs += bytes([dle, v])
            if lcode >= mask:
                runs.append(lcode - mask)
            runs.append((best_dist - 1) & 0xFF)
            step = best_len
        else:
            runs += bytes([dle, 0]) if data[i] == dle else bytes([data[i]])
            step = 1
        for p in range(i, i + step):
            heads.setdefault(data[p:p + 3], []).append(p)
        i += step
    # Follower sets from what follows each byte; some bytes get a single
    # follower, some none at all.
    stats = [dict() for _ in range(256)]
    last = 0
    for c in runs:
        stats[last][c] = stats[last].get(c, 0) + 1
        last = c
    sets = []
    for j in range(256):
        ranked = sorted(stats[j], key=lambda c: (-stats[j][c], c))
        cap = 0 if j % 11 == 3 else 1 if j % 5 == 0 else 32
        sets.append(ranked[:cap])
    w = BitWriter()
    for j in range(255, -1, -1):
        w.bits(len(sets[j]), 6)
        for c in sets[j]:
            w.bits(c, 8)
    last = 0
    for c in runs:
        s = sets[last]
        if not s:
            w.bits(c, 8)
        elif c in s:
            w.bits(0, 1)
            w.bits(s.index(c), follower_bits(len(s)))
        else:
            w.bits(1, 1)
            w.bits(c, 8)
        last = c
    return w.finish()


# --- implode (method 6) ------------------------------------------------------

def code_lengths(freq, limit=16):
    """Huffman code lengths of every symbol (all get a code), at most limit."""
    import heapq
    flat = 0
    while True:
        heap = [(f + flat + 1, n, [n]) for n, f in enumerate(freq)]
        heapq.heapify(heap)
        depth = [0] * len(freq)
        tie = len(freq)
        while len(heap) > 1:
            fa, _, a = heapq.heappop(heap)
            fb, _, b = heapq.heappop(heap)
            for s in a + b:
                depth[s] += 1
            heapq.heappush(heap, (fa + fb, tie, a + b))
            tie += 1
        if max(depth) <= limit:
            return depth
        flat = flat * 2 + 1


def shannon_fano(lengths):
    """Codes of the application note: ascending stable order, handed out from
    the longest length up."""
    order = sorted(range(len(lengths)), key=lambda s: lengths[s])
    codes = [0] * len(lengths)
    code = increment = last = 0
    for i in range(len(order) - 1, -1, -1):
        s = order[i]
        code += increment
        if lengths[s] != last:
            last = lengths[s]
            increment = 1 << (16 - last)
        codes[s] = code >> (16 - lengths[s])
    return codes


def pack_tree(lengths):
    packed = bytearray()
    i = 0
    while i < len(lengths):
        n = 1
        while n < 16 and i + n < len(lengths) and lengths[i + n] == lengths[i]:
            n += 1
        packed.append(((n - 1) << 4) | (lengths[i] - 1))
        i += n
    return bytes([len(packed) - 1]) + bytes(packed)


def implode(data, large, literal_tree):
    low_bits = 7 if large else 6
    window = 8192 if large else 4096
    minimum = 3 if literal_tree else 2
    longest = minimum + 63 + 255
    items = []
    heads = {}
    i = 0
    while i < len(data):
        best_len, best_dist = 0, 0
        for j in reversed(heads.get(data[i:i + 3], [])[-64:]):
            dist = i - j
            if dist > window:
                break
            n = 0
            while n < longest and i + n < len(data) and data[j + n] == data[i + n]:
                n += 1
            if n > best_len:
                best_len, best_dist = n, dist
        if best_len >= 3:
            items.append((best_len, best_dist))
            step = best_len
        else:
            items.append(data[i])
            step = 1
        for p in range(i, i + step):
            heads.setdefault(data[p:p + 3], []).append(p)
        i += step
    lit_freq, len_freq, dist_freq = [0] * 256, [0] * 64, [0] * 64
    for it in items:
        if isinstance(it, int):
            lit_freq[it] += 1
        else:
            length, dist = it
            len_freq[min(length - minimum, 63)] += 1
            dist_freq[(dist - 1) >> low_bits] += 1
    lit_len = code_lengths(lit_freq)
    len_len = code_lengths(len_freq)
    dist_len = code_lengths(dist_freq)
    lit_code, len_code, dist_code = (shannon_fano(x) for x in (lit_len, len_len, dist_len))
    head = b""
    if literal_tree:
        head += pack_tree(lit_len)
    head += pack_tree(len_len) + pack_tree(dist_len)
    w = BitWriter()
    for it in items:
        if isinstance(it, int):
            w.bits(1, 1)
            if literal_tree:
                w.msb_first(lit_code[it], lit_len[it])
            else:
                w.bits(it, 8)
        else:
            length, dist = it
            d = dist - 1
            w.bits(0, 1)
            w.bits(d & ((1 << low_bits) - 1), low_bits)
            high = d >> low_bits
            w.msb_first(dist_code[high], dist_len[high])
            code = min(length - minimum, 63)
            w.msb_first(len_code[code], len_len[code])
            if code == 63:
                w.bits(length - minimum - 63, 8)
    return head + w.finish()


# --- archive ------------------------------------------------------------------

DOS_TIME = (14 << 11) | (30 << 5) | (12 // 2)  # 14:30:12
DOS_DATE = ((2003 - 1980) << 9) | (7 << 5) | 21  # 2003-07-21


def write_zip(path, entries):
    """entries: (name, method, flags, packed bytes, plain bytes)"""
    out = bytearray()
    central = bytearray()
    for name, method, flags, packed, plain in entries:
        crc = zlib.crc32(plain) & 0xFFFFFFFF
        offset = len(out)
        fixed = struct.pack("<HHHHHIIIHH", 10, flags, method, DOS_TIME, DOS_DATE, crc,
                            len(packed), len(plain), len(name), 0)
        out += b"PK\x03\x04" + fixed + name + packed
        central += b"PK\x01\x02" + struct.pack("<HHHHHHIIIHHHHHII", 10, 10, flags, method,
                                               DOS_TIME, DOS_DATE, crc, len(packed),
                                               len(plain), len(name), 0, 0, 0, 0, 0x20,
                                               offset) + name
    end = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, len(entries), len(entries),
                                      len(central), len(out), 0)
    Path(path).write_bytes(bytes(out + central + end))


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    text = sample_text()
    (folder / "legacy.txt").write_bytes(text)
    letters = noise(24000)
    write_zip(folder / "shrunk.zip", [(b"LEGACY.TXT", 1, 0, shrink(text), text),
                                      (b"NOISE.TXT", 1, 0, shrink(letters), letters)])
    part = text[:6000]
    write_zip(folder / "reduced.zip",
              [(b"FACTOR%d.TXT" % f, 1 + f, 0, reduce(part, f), part) for f in range(1, 5)])
    part = text[:10000]
    imploded = []
    for large in (False, True):
        for trees in (2, 3):
            flags = (2 if large else 0) | (4 if trees == 3 else 0)
            name = b"%dK%dTREES.TXT" % (8 if large else 4, trees)
            imploded.append((name, 6, flags, implode(part, large, trees == 3), part))
    write_zip(folder / "imploded.zip", imploded)


if __name__ == "__main__":
    main()
