#!/usr/bin/env python3
"""Writes the committed seed corpora of the fuzz targets into fuzz/seeds/.

Besides typical replies, every target gets boundary lengths: a reply, a
text or an area exactly as long as a buffer and one byte longer or shorter,
which random mutation rarely hits. Run again after changing it; the files
are committed.
"""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "seeds")


def hexasc1(b):
    return bytes(c for x in b for c in (0x30 + (x >> 4), 0x30 + (x & 15)))


def frame(*chunks):
    """Framed chunks as fuzz::Replies reads them."""
    return b"".join(struct.pack(">H", len(c)) + c for c in chunks)


def write(target, name, data):
    d = os.path.join(OUT, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


ACK = b"\x02\xaa\x03"
REFUSE = b"\x02U\x03"


def block_reply(tag, n):
    return b"\x02" + hexasc1(bytes([tag]) + bytes(range(1, n + 1))) + b"\x03"


def reply_checks():
    t = "reply_checks"
    write(t, "ack", ACK)
    write(t, "refused", REFUSE)
    write(t, "empty_frame", b"\x02\x03")
    write(t, "one_byte", b"\x02")
    write(t, "tag10_8", block_reply(0x10, 8))
    write(t, "tag10_9", block_reply(0x10, 9))
    write(t, "tag20_16", block_reply(0x20, 16))
    write(t, "tag20_8", block_reply(0x20, 8))
    # 2048 characters between the frame bytes is the decoder's limit; one
    # more or less on either side.
    for chars in (2047, 2048, 2049):
        body = (b"2" + b"0" + b"1" * (chars - 2))[:chars]
        write(t, "chars_%d" % chars, b"\x02" + body + b"\x03")
    write(t, "odd_chars", b"\x02" + hexasc1(b"\x10\x01\x02")[:-1] + b"\x03")


def hex_targets():
    t = "hex"
    for slack in (0, 1, 2):  # capacity one less, exact, one more
        for n in (0, 1, 2, 3, 511, 512, 513):
            write(t, "n%d_s%d" % (n, slack), bytes([slack]) + bytes((i * 37) & 255 for i in range(n)))
    write(t, "hex_text", b"\x01" + b"0123456789abcdefABCDEF")
    write(t, "hexasc1_text", b"\x01" + b"0123456789:;<=>?")


def gbk():
    t = "gbk"
    text = "交互和签名 PIN 123".encode("gbk")
    for size in (0, 1, 2, 3, len(text) * 2, len(text) * 2 + 1):
        write(t, "dst%d" % size, struct.pack(">H", size) + text)
    write(t, "lone_lead", struct.pack(">H", 64) + b"ab\xb0")
    write(t, "out_of_table", struct.pack(">H", 64) + b"\xff\xff\x81\x3f")


def names():
    t = "names"
    write(t, "path", b"\x05/tmp/dir.x/photo.jpg\t.jpg")
    write(t, "no_slash", b"\x01photo\t/")
    write(t, "trailing_slash", b"\x02/tmp/dir/\t")
    for n in (248, 249, 250):
        write(t, "dest%d" % n, b"\x01/tmp/" + b"a" * n + b"\tb" * 1)
        write(t, "named%d" % n, b"\x03/x\t" + b"n" * n)
    patterns = (b"/dev/ttyUSB%d", b"/dev/%d%d", b"/dev/%s", b"/dev/%%d", b"%d" + b"x" * 70)
    for i, p in enumerate(patterns):
        write(t, "pattern%d" % i, b"\x10" + p)
    write(t, "split", b"\x00a||b||c\t||")


def packet(kind, payload, checksum=None):
    s = 0
    for b in payload:
        s ^= b
    if checksum is not None:
        s = checksum
    return bytes([0x02, kind, s]) + len(payload).to_bytes(3, "big") + payload


def report(b):
    return b + b"\x00" * ((-len(b)) % 1024)


def pull():
    t = "pull"
    start = report(packet(1, b""))
    end = report(packet(3, b""))
    # Payloads that fit the first report exactly (1018 bytes) and one more.
    for n in (1, 1017, 1018, 1019, 3000):
        data = packet(2, bytes((i * 13) & 255 for i in range(n)))
        write(t, "data%d" % n, start + report(data) + end)
    write(t, "bad_checksum", start + report(packet(2, b"abc", 0x55)) + end)
    write(t, "no_start", report(packet(2, b"abc")) + end)
    write(t, "announced_too_long", start + report(b"\x02\x02\x00" + (250 * 1024 + 1).to_bytes(3, "big")))
    write(t, "type_4", report(packet(4, b"")))
    # Odd lengths: a terminal that sends the same reports for ever (data
    # packets without end, or fillers of type 0), which the caps must stop.
    write(t, "endless_data", start + report(packet(2, bytes(range(200)))) + b"\x01")
    write(t, "endless_filler", report(b"\x02\x00\x00\x00\x00\x00") + b"\x01")


COMMANDS = [
    "SetGlobalConfig", "StartPQC", "GetVer", "GetUpdateStatus", "SetVolume", "RestartSys",
    "CheckOnline", "SetShowDISP", "SetPinLen", "UpdateMKey", "ResetKey", "DownLoadWKey",
    "ActiveWKey", "ReadPin", "ReadPinDES", "ReadPinAnsi", "StartInfo", "StartEvaluator",
    "StartKeyboard", "StartSign", "DownLoadFile", "DeleteFile", "FindFileInfo", "GetFileList",
    "CancelRead",
]


def command(name, args, text, *replies, tag="", serial=False):
    sel = COMMANDS.index(name)
    # arg 7: pass the text; bit 2 the serial line.
    a = bytes((list(args) + [0] * 8)[:7]) + bytes([3 | (4 if serial else 0)])
    write("commands", name + (("_" + tag) if tag else ""), bytes([sel]) + a + frame(text, *replies))


def json_frame(s):
    return b"\x02" + s + b"\x03"


def commands():
    # The argument bytes choose the value lo-1+byte: 1 picks lo, 2 lo+1.
    command("SetGlobalConfig", [1, 1], b"", ACK)
    command("SetGlobalConfig", [1, 1], b"", REFUSE, tag="refused")
    command("StartPQC", [], b"", ACK)
    for n in (126, 127, 128):
        v = b'{"Version":{"app":{"version":"' + b"v" * n + b'"}}}'
        command("GetVer", [], b"", json_frame(v), tag="len%d" % n)
    command("GetVer", [], b"", json_frame(b'{"Version":{"app":{"version":1}}}'), tag="number")
    # The whole 4096-byte reply area less its terminator, and one more.
    for total in (4095, 4096):
        pad = total - len(b'\x02{"Version":{"app":{"version":"x"}},"p":""}\x03')
        v = b'{"Version":{"app":{"version":"x"}},"p":"' + b"p" * pad + b'"}'
        command("GetVer", [], b"", json_frame(v), tag="reply%d" % total)
    for n in (254, 255, 256):
        s = b'{"UpdateResult":"Fail","UpdateDetail":"' + b"d" * n + b'"}'
        command("GetUpdateStatus", [], b"", json_frame(s), tag="detail%d" % n)
    command("GetUpdateStatus", [], b"", json_frame(b'{"UpdateResult":"Fail"}'), tag="no_detail")
    command("SetVolume", [2, 2], b"", ACK)
    command("RestartSys", [], b"", ACK)
    command("CheckOnline", [1], b"", REFUSE, ACK)
    command("SetShowDISP", [1, 1], b"")
    command("SetPinLen", [3], b"")
    command("UpdateMKey", [1], b"0123456789ABCDEF0123456789ABCDEF", b"\xaa")
    command("UpdateMKey", [1], b"0" * 2048, b"\xaa", tag="long_keys")
    command("ResetKey", [], b"", b"\xaa")
    command("DownLoadWKey", [1, 1], b"00112233445566778899AABBCCDDEEFF", b"\xaa")
    command("DownLoadWKey", [1, 1], b"0" * 1024, b"\xaa", tag="key1024")
    command("DownLoadWKey", [1, 1], b"0" * 1025, b"\xaa", tag="key1025")
    command("ActiveWKey", [1, 1], b"", b"\xaa")
    # PIN of exactly pinSize bytes, and one more (pinSize 6: bytes 3, 4 = 0, 7).
    for n in (5, 6, 7):
        command("ReadPin", [1, 1, 2, 0, 7, 1], b"", b"1" * n + b"\r", tag="pin%d_of6" % n)
    command("ReadPin", [2, 1, 2, 0, 7, 1], b"", b"1\x002\x003\x00\r", tag="mode1")
    # PIN blocks: 31 bytes (62 hex characters) fit, 32 do not.
    for n in (8, 30, 31, 32):
        tag = 0x10 if n <= 8 else 0x20
        command("ReadPinDES", [1, 1, 2], b"", block_reply(tag, n), tag="block%d" % n)
    command("ReadPinAnsi", [1, 1, 2], b"6222021234567890123", block_reply(0x10, 8))
    command("ReadPinAnsi", [1, 1, 2], b"1" * 4090, block_reply(0x10, 8), tag="long_account")
    command("StartInfo", [2], "请确认".encode("gbk"), b"B0F")
    command("StartInfo", [2], b"i" * 51200, b"B1F", tag="max_text")
    command("StartInfo", [2], b"i" * 51201, b"B1F", tag="text_too_long")
    command("StartEvaluator", [3, 0, 2], "王五".encode("gbk"), b"B2F")
    command("StartEvaluator", [3, 1, 2], b"n" * 4000, b"B2F", tag="long_name")
    for n in (62, 63, 64):
        command("StartKeyboard", [2, 1], b"", b"B" + b"1" * n + b"F", tag="input%d" % n)
    command("StartKeyboard", [2, 1], b"", b"BF", tag="no_value")
    start = report(packet(1, b""))
    end = report(packet(3, b""))
    png = report(packet(2, b"\x89PNG" + b"\x00" * 100))
    command("StartSign", [2], b"", ACK, ACK, ACK, ACK, ACK, ACK, start, png, end, start, png, end)
    command("DownLoadFile", [1], b"", ACK, ACK, ACK, ACK)
    command("DownLoadFile", [5], b"", ACK, ACK, ACK, ACK, ACK, tag="upgrade")
    command("DeleteFile", [0], b"ad.jpg", ACK)
    command("DeleteFile", [0], b"n" * 1024, ACK, tag="name1024")
    command("DeleteFile", [0], b"n" * 1025, ACK, tag="name1025")
    # File information: 62 characters fit the 64-byte reply area with the
    # frame bytes, 63 are cut by it.
    for n in (61, 62, 63):
        command("FindFileInfo", [0, 1], b"ad.jpg", b"\x02" + b"i" * n + b"\x03", tag="info%d" % n)
    # File list of exactly listSize bytes, one more and one less (listSize
    # 100: bytes 3, 4 = 0, 101).
    for n in (99, 100, 101):
        command("GetFileList", [0, 0, 0, 0, 101], b"", b"\x02" + b"l" * n + b"\x03", tag="list%d_of100" % n)
    command("GetFileList", [0, 0, 0, 16, 2], b"", b"\x02" + b"l" * 4094 + b"\x03", tag="list_full")
    command("GetFileList", [0, 0, 0, 0, 101], b"", b"\x02\x03", tag="empty")
    command("CancelRead", [], b"")


def serial_commands():
    """The same commands over the serial line (argument byte 7 bit 2), in
    whole replies and in reads of 1 and 3 bytes (argument byte 6)."""
    for piece in (0, 1, 3):
        tag = "serial%d" % piece
        command("GetVer", [0, 0, 0, 0, 0, 0, piece], b"",
                b"\x02" + b'{"version":"TLX-1.4.2"}' + b"\x03", tag=tag, serial=True)
        command("ReadPin", [0, 0, 1, 0, 32, 1, piece], b"", b"", b"", b"123456\r", tag=tag, serial=True)
        command("ReadPinDES", [0, 0, 1, 0, 0, 0, piece], b"", b"", block_reply(0x10, 8), tag=tag, serial=True)
        command("UpdateMKey", [1, 0, 0, 0, 0, 0, piece], b"0123456789ABCDEF" * 2, b"\xaa", tag=tag, serial=True)
        # A serial download: the switch, then a block acknowledgement each.
        command("DownLoadFile", [1, 0, 0, 0, 0, 0, piece], b"", ACK, ACK, ACK, ACK, ACK, tag=tag, serial=True)


def trace_oracle():
    """Secret-carrying commands on both links: a selector, a link and shape
    byte, a frame byte (cut, split, late), then other replies."""
    t = "trace"
    for which, name in enumerate(["mkey", "wkey", "pin", "des", "ansi"]):
        for link in (0, 1):
            for frame_byte in (0x00, 0x01, 0x02, 0x0c, 0x20, 0x40, 0x80, 0x2e):
                write(t, "%s_%s_%02x" % (name, "serial" if link else "usb", frame_byte),
                      bytes([which, link | 0x02, frame_byte]) + frame(b"", b"\xaa"))


def ctl():
    """tlxctl's parsers: command lines, key files, account files, traces,
    UTF-8 texts."""
    t = "ctl"
    write(t, "args_pin_block", b"\x00" + b"\x00".join([b"--port", b"1", b"pin-block", b"--account", b"-", b"--show"]))
    write(t, "args_json", b"\x00" + b"\x00".join([b"--json", b"list", b"--type", b"ad"]))
    write(t, "args_bad", b"\x00" + b"\x00".join([b"--baud", b"fast", b"online"]))
    write(t, "keys_two", b"\x01\x01" + b"# master\n0123456789ABCDEF\nfedcba9876543210\n")
    write(t, "keys_odd", b"\x01\x00" + b"012\n")
    write(t, "account", b"\x02" + b"6222020200112233445\n")
    trace = (b"1208064149441  TLX exchange serial port=1 dev=/dev/ttyS0 bp=none baud=9600 until=ETX limit=1000ms\r\n"
             b"1208064149441  TX  LEN=11   HEX: 1B5B30434845434B523430\r\n"
             b"1208064149441  RX  LEN=3   HEX: 02AA03\r\n"
             b"1208064149441  TLX end=met result=0 (success) time=0.413ms\r\n")
    write(t, "trace", b"\x03" + trace)
    write(t, "trace_pull", b"\x03" + trace.replace(b"1B5B30434845434B523430", b"1B5B3050554C4C46494C45022F746D702F68772E706E6703"))
    write(t, "utf8", b"\x04" + "尊敬的客户：请确认 1000.00 元".encode())
    write(t, "utf8_bad", b"\x04" + b"\xc3\x28\xe2\x82")


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    reply_checks()
    hex_targets()
    gbk()
    names()
    pull()
    commands()
    serial_commands()
    trace_oracle()
    ctl()


if __name__ == "__main__":
    main()
