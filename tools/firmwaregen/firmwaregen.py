#!/usr/bin/env python3
"""Writes the firmware set that the application carries: USB/FileInf.txt, the write program
and the two ROM data files under USB/Data/.

    tools/firmwaregen/firmwaregen.py [output folder]      (default: resources/USB)

The output is committed; run this again after changing a version or a layout below.

Data files are ASCII lines ending in CR LF:
  header line  8 hex digits of start address, then 48 information bytes as 96 hex digits:
               name (16 bytes), version (10), date (16), 6 bytes of zeros
  data line    8 hex digits of address, then DATA_BLOCK_SIZE bytes as hex digit pairs
  end line     "FFFFFFFF", first address, last address, sum (8 hex digits each)

A ROM file's sum is the 32-bit sum of the data bytes of its data lines (not their addresses,
not the header or end line), written as 8 upper-case hex digits, most significant first. The
write program's image ends with the sum of the bytes before those last four, so the last 8
digits of its last data line, and its end line, give the sum that the instrument reports after
loading it.
"""

import os
import sys

DATA_BLOCK_SIZE = 32  # bytes per data line: a frame of 4 + 32 + 1 bytes fits a 64-byte report
INFO_SIZE = 48
DATA_OFFSET = 0x40  # data lines begin this far after the header's address

BOOT_NAME = "CVX-BOOT"
DATE = "2024/05/20 10:00"

PROGRAM = dict(file="WRTPRG.DAT", name="CVX-SA WRITER", version="W1.00",
               start=0x00FF8000, size=512, seed=0x5EED0001)
MAIN = dict(file="MAIN.DAT", name="CVX-SA MAIN", version="V01.00",
            start=0x00010000, size=1024, seed=0x5EED0002)
DISP = dict(file="DISP.DAT", name="CVX-SA DISPLAY", version="V1.00",
            start=0x00020000, size=1024, seed=0x5EED0003)
ERASE_BLOCKS = [(0x00010000, 0x0001FFFF), (0x00020000, 0x0002FFFF)]

NEW_LAYOUT = "/* ROM-WRITER TYPE = NEW */"


def pseudo_random_bytes(seed, count):
    state = seed
    out = bytearray()
    for _ in range(count):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((state >> 16) & 0xFF)
    return bytes(out)


def field(text, size):
    raw = text.encode("ascii")
    assert len(raw) <= size, text
    return raw.ljust(size, b" ")


def hex8(value):
    return "%08X" % (value & 0xFFFFFFFF)


def last_address(image):
    return image["start"] + DATA_OFFSET + image["size"] - 1


def image_bytes(image, ends_with_sum):
    """The image and its sum."""
    data = pseudo_random_bytes(image["seed"], image["size"])
    if not ends_with_sum:
        return data, sum(data)
    body = data[:-4]
    total = sum(body) & 0xFFFFFFFF
    return body + total.to_bytes(4, "big"), total


def image_lines(image, ends_with_sum=False):
    """Header, data lines and end line of one image, and its sum."""
    info = field(image["name"], 16) + field(image["version"], 10) + field(DATE, 16) + bytes(6)
    assert len(info) == INFO_SIZE
    lines = [hex8(image["start"]) + info.hex().upper()]
    data, total = image_bytes(image, ends_with_sum)
    address = image["start"] + DATA_OFFSET
    for at in range(0, len(data), DATA_BLOCK_SIZE):
        lines.append(hex8(address + at) + data[at:at + DATA_BLOCK_SIZE].hex().upper())
    total = hex8(total)
    lines.append("FFFFFFFF" + hex8(image["start"]) + hex8(last_address(image)) + total)
    return lines, total


def settings_lines():
    rom_files = [MAIN, DISP]
    lines = [
        "' Corvadenix firmware description",
        "' Each line holds a key and its value; lines without a comma are notes.",
        '"Format","1"',
        '"CommSetting","USB HID 64"',
        '"ConnectCommand","True"',
        '"DataBlockSize","%d"' % DATA_BLOCK_SIZE,
        '"BootName","%s"' % BOOT_NAME,
        '"VersionAreaCount","%d"' % len(rom_files),
    ]
    for n, image in enumerate(rom_files, 1):
        lines.append('"VersionArea%d","&H%s,&H%s"'
                     % (n, hex8(image["start"]), hex8(image["start"] + INFO_SIZE - 1)))
    lines += [
        '"WriteProgramFile","%s"' % PROGRAM["file"],
        '"WriteProgramEnd","&H%s"' % hex8(last_address(PROGRAM)),
        '"WriteProgramBlocks","1"',
        '"SpecialWriter","0"',
        "",
        "' ROM record 1",
        '"RomTitle","MAIN AND DISPLAY"',
        '"EraseBlockCount","%d"' % len(ERASE_BLOCKS),
    ]
    for n, (begin, end) in enumerate(ERASE_BLOCKS, 1):
        lines.append('"EraseBlock%d","&H%s,&H%s"' % (n, hex8(begin), hex8(end)))
    lines.append('"RomFileCount","%d"' % len(rom_files))
    for n, image in enumerate(rom_files, 1):
        lines += [
            '"RomFile%d","%s"' % (n, image["file"]),
            '"RomLowerBound%d","&H%s"' % (n, hex8(image["start"])),
            '"RomBlock%d","%d"' % (n, n),
            '"RomRange%d","&H%s,&H%s"' % (n, hex8(image["start"]), hex8(last_address(image))),
        ]
    return lines


def write_lines(path, lines):
    with open(path, "wb") as out:
        out.write("".join(line + "\r\n" for line in lines).encode("ascii"))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "USB")
    data_dir = os.path.join(target, "Data")
    os.makedirs(data_dir, exist_ok=True)

    program, program_sum = image_lines(PROGRAM, ends_with_sum=True)
    main_rom, main_sum = image_lines(MAIN)
    disp_rom, disp_sum = image_lines(DISP)
    assert program[-2].endswith(program_sum)

    write_lines(os.path.join(target, "FileInf.txt"), settings_lines())
    write_lines(os.path.join(data_dir, PROGRAM["file"]), program)
    # The main ROM file carries the write program as well, which gives the program's sum.
    write_lines(os.path.join(data_dir, MAIN["file"]),
                [NEW_LAYOUT, "/* PRG-DAT START */"] + program + ["/* PRG-DAT END */",
                 "/* ROM-DAT START */"] + main_rom + ["/* ROM-DAT END */"])
    write_lines(os.path.join(data_dir, DISP["file"]), disp_rom)
    print("program sum %s, main %s sum %s, display %s sum %s"
          % (program_sum, MAIN["version"], main_sum, DISP["version"], disp_sum))


if __name__ == "__main__":
    main()
