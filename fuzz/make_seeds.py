#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are committed; run this again only to change them."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


# --- gas_parse_fuzz: [flags][gate type][text]; flags bit 0 three-digit, bit 1 block.
GAS = [
    (0, 0, "01MB0012"), (0, 1, "01mw0014"), (0, 1, "01MW0013"), (0, 4, "01VD0100"),
    (0, 5, "01VD0102"), (0, 3, "01VF0100"), (0, 3, "01VD0100"), (0, 2, "01MB012"),
    (0, 6, "01IB00037"), (0, 6, "01IB000307"), (0, 6, "01IB00038"), (0, 6, "01iw00047"),
    (0, 0, "01xB0012"), (0, 7, "01MB0012"), (0, 4, "99QD9996"), (0, 0, ""),
    (0, 9, "01MB0012345678901234567890"),
    (1, 0, "001MB0012"), (1, 0, "01MB0012"), (1, 6, "001IB00037"), (1, 4, "999VD9996"),
    (2, 0, "01MW0100"), (2, 0, "01mw0100"), (2, 0, "01MW0101"), (2, 0, "01VD0102"),
    (2, 0, "01VF0100"), (2, 0, "01VB0007"), (2, 0, "01MB00127"), (2, 0, "01MB001287"),
    (2, 0, "01MB001207"), (3, 0, "001MW0100"), (3, 0, "01MW0100"), (3, 0, "001VD01001"),
    # Timers and counters: by number, words only, 0..255.
    (0, 1, "02TW0037"), (0, 0, "02cw0255"), (0, 4, "02TD0036"), (0, 6, "02TW00371"),
    (2, 0, "02CW0256"), (3, 0, "002TW0037"),
]
for i, (flags, gate, text) in enumerate(GAS):
    write("gas_parse_fuzz", "seed%02d" % i, bytes([flags, gate & 0xFF]) + text.encode())
write("gas_parse_fuzz", "high_bytes", bytes([0, 0]) + b"01M\xc2\xe9\x7f0012")
write("gas_parse_fuzz", "wide_type", bytes([4]) + struct.pack("<i", -2147483648) + b"01MB0012")


# --- serial_peer_fuzz: [tag][block|count][address] then answers [len][delay]+bytes.
def fcs(b):
    return sum(b) & 0xFF


def sd2(station, s7):
    body = bytes([0x00, station, 0x08]) + s7
    return bytes([0x68, len(body), len(body), 0x68]) + body + bytes([fcs(body), 0x16])


def read_rsp(station, values, access=0xFF):
    if access == 0xFF:
        data = bytes([0xFF, 0x04]) + struct.pack(">H", len(values) * 8) + values
    else:
        data = bytes([access, 0, 0, 0])
    s7 = bytes([0x32, 3, 0, 0, 0, 0]) + struct.pack(">HH", 2, len(data)) + bytes([0, 0, 4, 1]) + data
    return sd2(station, s7)


def write_rsp(station, access=0xFF):
    return sd2(station, bytes([0x32, 3, 0, 0, 0, 0, 0, 2, 0, 1, 0, 0, 5, 1, access]))


def assoc_rsp(station):
    return sd2(station, bytes([0x32, 3, 0, 0, 0xCC, 0xC1, 0, 8, 0, 0, 0, 0,
                               0xF0, 0, 0, 1, 0, 1, 3, 0xC0]))


def ans(data, delay=0, chain=False):
    return bytes([len(data), (delay & 0x7F) | (0x80 if chain else 0)]) + data


SC = b"\xe5"
WORD_V = 0b1101          # word, area V
BYTE_M = 0b1000          # byte, area M
DWORD_I = 0b0010         # double word, area I
BIT_Q = 0b01100111       # bit 3 of a byte, area Q
ok_read = lambda v: ans(SC) + ans(read_rsp(2, v))
ok_write = ans(SC) + ans(write_rsp(2))
PEER = {
    "word_ok": bytes([WORD_V, 0, 100]) + ok_read(b"\x12\x34") + ok_write,
    "byte_ok": bytes([BYTE_M, 0, 10]) + ok_read(b"\x5a") + ok_write,
    "dword_ok": bytes([DWORD_I, 0, 8]) + ok_read(b"\x01\x02\x03\x04") + ok_write,
    "bit_ok": bytes([BIT_Q, 0, 0]) + ok_read(b"\x08") + ok_write,
    "block_words": bytes([WORD_V, 0x80 | 9, 0]) + ok_read(bytes(range(20))) + ok_write,
    "block_bytes_short": bytes([BYTE_M, 0x80 | 5, 4]) + ok_read(b"\x01\x02") + ok_write,
    "direct_sd2": bytes([WORD_V, 0, 2]) + ans(read_rsp(2, b"\xbe\xef")) + ans(write_rsp(2)),
    "token_then_ok": bytes([WORD_V, 0, 2]) + ans(b"\xdc\x00\x02") + ans(SC) + ans(assoc_rsp(2))
                     + ok_read(b"\x00\x07") + ok_write,
    "sd1_answer": bytes([BYTE_M, 0, 0]) + ans(b"\x10\x00\x02\x49\x4b\x16") + ans(SC)
                  + ans(assoc_rsp(2)) + ok_read(b"\x42"),
    "garbage": bytes([WORD_V, 0, 0]) + ans(b"\x00\xff\x33") + ans(b"\x13\x37", 20),
    "refused": bytes([WORD_V, 0, 0]) + (ans(SC) + ans(read_rsp(2, b"", 0x0A))) * 3
               + (ans(SC) + ans(write_rsp(2, 0x05))) * 3,
    "silence": bytes([WORD_V, 0, 0]),
    "late_sc": bytes([WORD_V, 0, 0]) + ans(SC, 60) + ok_read(b"\x00\x01"),
    "split_response": bytes([WORD_V, 0, 0]) + ans(SC)
                      + ans(read_rsp(2, b"\xaa\xbb")[:9], 5, True) + ans(read_rsp(2, b"\xaa\xbb")[9:], 30),
    "truncated": bytes([DWORD_I, 0, 0]) + ans(SC) + ans(read_rsp(2, b"\x01\x02\x03\x04")[:-5]),
    "bad_fcs": bytes([WORD_V, 0, 0]) + ans(SC) + ans(read_rsp(2, b"\x12\x34")[:-2] + b"\x00\x00"),
    "overlong_lengths": bytes([WORD_V, 0, 0]) + ans(SC)
                        + ans(bytes([0x68, 0x17, 0x17, 0x68, 0, 2, 8, 0x32, 3, 0, 0, 0, 0, 0xff, 0xff,
                                     0xff, 0xff, 0, 0])),
}
for name, data in PEER.items():
    write("serial_peer_fuzz", name, data)


# --- tag_access_fuzz: [command][behaviour][plc 4][area][bits][index 4][bit 4][size 4][kind 4][count 4][flags]
def rec(cmd, behaviour, plc, area, bits, index, bit, size, kind, count, flags=1):
    return (bytes([cmd, behaviour]) + struct.pack("<i", plc) + bytes([ord(area) if isinstance(area, str) else area, bits])
            + struct.pack("<iIiii", index, bit, size, kind, count) + bytes([flags]))


TAG = {
    "read_word": rec(0, 0, 2, "V", 16, 50, 255, 16, 0, 1),
    "read_bit": rec(0, 0, 2, "I", 8, 3, 7, 8, 0, 1),
    "read_dword_block": rec(1, 0, 2, "V", 32, 25, 255, 32, 0, 4),
    "read_block_max_bytes": rec(1, 0, 2, "M", 8, 0, 255, 8, 0, 222),
    "read_block_too_many": rec(1, 0, 2, "M", 8, 0, 255, 8, 0, 300),
    "read_block_zero": rec(1, 0x80, 2, "M", 8, 0, 255, 8, 7, 0),
    "read_block_negative": rec(1, 0, 2, "V", 16, 0, 255, 16, 0, -5),
    "write_byte": rec(2, 0, 2, "M", 8, 10, 255, 8, 0, 1),
    "write_bit": rec(2, 0, 2, "Q", 8, 0, 3, 8, 7, 1),
    "write_block_text": rec(3, 0, 2, "V", 8, 0, 255, 8, 7, 3),
    "write_block_max": rec(3, 0, 2, "V", 16, 0, 255, 16, 0, 112),
    "write_block_too_many": rec(3, 0, 2, "V", 32, 0, 255, 32, 0, 57),
    "area_D": rec(0, 0, 2, "D", 16, 0, 255, 16, 0, 1),
    "area_lower": rec(2, 0, 2, "v", 16, 0, 255, 16, 0, 1),
    "bits_24": rec(1, 0, 2, "V", 24, 0, 255, 24, 0, 3),
    "bits_1_read": rec(1, 0, 2, "I", 1, 0, 255, 1, 0, 8),
    "index_huge": rec(0, 0, 2, "V", 32, 0x7FFFFFFF, 255, 32, 0, 1),
    "index_negative": rec(2, 0, 2, "V", 16, -1, 255, 16, 0, 1),
    "index_wraps_24bit": rec(0, 0, 2, "V", 8, 0x200000, 255, 8, 0, 1),
    "bit_number_big": rec(2, 0, 2, "Q", 8, 0, 200, 8, 0, 1),
    "bit_number_wraps": rec(2, 0, 2, "M", 8, 10, 0xFF0000FF, 8, 0, 1),
    "write_block_one_word": rec(3, 0, 2, "V", 16, 0, 255, 16, 0, 1),
    "bit_word_read": rec(0, 0, 2, "V", 16, 5, 12, 16, 0, 1),
    "size_mismatch": rec(1, 0, 2, "V", 8, 100, 255, 32, 0, 10),
    "silent": rec(0, 1, 2, "V", 16, 0, 255, 16, 0, 1),
    "refused": rec(3, 2, 2, "V", 16, 0, 255, 16, 0, 2),
    "station_255": rec(0, 0, 0x1FF, "V", 16, 0, 255, 16, 0, 1),
    "folded": bytes([1, 0]) + bytes(27),
}
for name, data in TAG.items():
    write("tag_access_fuzz", name, data)


# --- instance_records_fuzz: [vpi][flags][ColdStartRequest 28][LineChangeRequest 24][file].
def settings(baud=9600, data=8, stop=0, parity=2):
    return struct.pack("<HHHH", baud, data, stop, parity)


def cold(port, switch=1, timeout=100, line=None):
    return port.ljust(12, b"\0")[:12] + struct.pack("<II", switch, timeout) + (line or settings())


def change(port, timeout=0, line=None):
    return port.ljust(12, b"\0")[:12] + struct.pack("<I", timeout) + (line or settings(0, 0, 0, 0))


RECORDS = {
    "start_com1": bytes([5, 0]) + cold(b"COM1") + change(b"COM1") + b"",
    "three_digits": bytes([12, 0]) + cold(b"COM1") + change(b"COM2", 20) + b"use 3 digits\n",
    "second_line": bytes([12, 0]) + cold(b"COM1") + change(b"COM2") + b"two\n3 DIGITS\n",
    "long_first_line": bytes([7, 0]) + cold(b"COM3") + change(b"COM3", 0, settings(4800))
                       + b" " * 300 + b"3 DIGITS",
    "no_file": bytes([9, 1]) + cold(b"COM1") + change(b"COM4", 7) + b"3 DIGITS",
    "nulldev": bytes([1, 0]) + cold(b"NULLDEV") + change(b"NULLDEV") + b"3 digits",
    "no_line": bytes([2, 0]) + cold(b"COM1", 0, 0) + change(b"COM1") + b"3 DIGITS",
    "open_fails": bytes([3, 2]) + cold(b"COM1") + change(b"COM1", 50) + b"x",
    "timeouts_fail": bytes([4, 4]) + cold(b"COM1", 1, 0) + change(b"COM1") + b"",
    "unterminated_names": bytes([99, 0]) + cold(b"ABCDEFGHIJKL") + change(b"MNOPQRSTUVWX", 1)
                          + b"3 DIGITS\0tail",
    "tcp_server": bytes([6, 0]) + cold(b"COM1") + change(b"COM1") + b"\nPAUSE 5\ntcp 10.0.0.5:4001\n",
    "tcp_ipv6_refused": bytes([6, 8]) + cold(b"COM2", 1, 2000) + change(b"COM3")
                        + b"3 digits\nTCP [fd00::1]:65535 \nTCP x:1\n",
    "tcp_malformed": bytes([6, 0]) + cold(b"NULLDEV") + change(b"COM1") + b"\nTCP\nTCP :80\nTCP a:0\nTCP [::1:80\n",
}
for name, data in RECORDS.items():
    write("instance_records_fuzz", name, data)


# --- line_flood_fuzz: [purge | (count - 1) << 1][piece - 1][gap ms] then the repeated bytes.
FLOOD = {
    "purge_flood": bytes([1, 63, 0]) + b"\x55\xaa",
    "purge_gaps": bytes([1, 7, 80]) + b"\x68\x17\x17\x68",
    "purge_trickle": bytes([1, 0, 5]) + b"\xe5",
    "read_head_flood": bytes([(7 - 1) << 1, 31, 0]) + bytes(range(40)),
    "read_trickle": bytes([(29 - 1) << 1, 0, 30]) + b"\x10\x02\x00\x5c\x5e\x16",
    "read_pieces": bytes([(64 - 1) << 1, 12, 2]) + bytes(range(256))[::7],
}
for name, data in FLOOD.items():
    write("line_flood_fuzz", name, data)
