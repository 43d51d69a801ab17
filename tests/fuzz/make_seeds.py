#!/usr/bin/env python3
"""Writes the seed corpus of the store's fuzz target into corpus/.

Each seed is a small program in the target's input language: a file layout
and its edits, then a script of steps. The encoders below mirror the readers
of StoreFuzzTarget.cpp; keep the two in step when either changes.
"""
import os
import struct

DEFAULT, ZEROS, EMPTY, RAW, NONE = range(5)
LEN, BYTES, DUP, SWAP, CUT, APPEND, FIELD, FILL, INSERT, DELETE = range(10)
FIND, ASSIGN, HAND_EDIT, READ_ONLY, REMOVE, LOAD = 0, 3, 6, 7, 8, 9
NAMES = ["Control", "Display", "Files", "Help", "Internet", "Music", "Network", "Personal",
         "Pictures", "Settings", "System", "Videos", "Applications", "Mail", "Office", "User",
         "One", "Two", "Three", "Games", "Trash", "Projects", ""]


def n2(v): return struct.pack(">H", v)
def n3(v): return struct.pack(">I", v)[1:]
def record(a, b, c): return NAMES.index(a) * 529 + NAMES.index(b) * 23 + NAMES.index(c)


def raw(data): return bytes([0, len(data)]) + data
def repeat(count, char): return bytes([1, count, ord(char)])
def wide(count, pick, lead=b""): return bytes([2, count, pick, len(lead)]) + lead
def utf16(*units): return bytes([3, len(units)]) + b"".join(n2(u) for u in units)
def empty(): return bytes([4])
def wrapped(name, before, after):
    return bytes([5, NAMES.index(name), len(before), ord(before[:1] or " "),
                  len(after), ord(after[:1] or " ")])
def latin1(data): return bytes([6, len(data)]) + data


def value(v):
    """A socket value: a catalogue name, or a text of any kind."""
    return bytes([NAMES.index(v)]) if isinstance(v, str) else bytes([176]) + v


def combo(a, b, c): return value(a) + value(b) + value(c)


def edit(kind, *args): return bytes([kind]) + b"".join(args)
def set_length(rec, v): return edit(LEN, n2(rec), bytes([v]))
def overwrite(offset, data): return edit(BYTES, n3(offset), bytes([len(data)]), data)
def duplicate(src, dst): return edit(DUP, n2(src), n2(dst))
def swap(a, b): return edit(SWAP, n2(a), n2(b))
def cut(size): return edit(CUT, n3(size))
def append(count, byte): return edit(APPEND, bytes([count, byte]))
def field(rec, f, text, pad=b" "): return edit(FIELD, n2(rec), bytes([f]), text, pad)
def fill(rec, start, length, byte): return edit(FILL, n2(rec), bytes([start, length, byte]))
def insert(offset, data): return edit(INSERT, n3(offset), bytes([len(data) - 1]), data)
def delete(offset, count): return edit(DELETE, n3(offset), bytes([count - 1]))


def layout(base, *edits, data=b""):
    head = bytes([base]) + (n2(len(data)) + data if base == RAW else b"")
    return head + bytes([len(edits)]) + b"".join(edits)


def find(*c): return bytes([FIND]) + combo(*c)
def assign(c, info, path): return bytes([ASSIGN]) + combo(*c) + info + path
def hand_edit(e): return bytes([HAND_EDIT]) + e


FPM = ("Files", "Personal", "Music")
SEEDS = {
    # Every table, even one never loaded, once handed memcpy a null source.
    "empty_input": b"",
    "fresh_lookup": layout(DEFAULT) + find(*FPM) + find("", "", ""),
    "assign_then_find": layout(DEFAULT) + assign(FPM, raw(b"Media Player"), raw(b"/usr/bin/mp"))
        + find(*FPM) + find("Files", "Music", "Personal"),
    "no_file_created": layout(NONE) + assign(FPM, raw(b"x"), raw(b"/x")) + bytes([LOAD]),
    "widths_exact": layout(DEFAULT) + assign(FPM, repeat(30, "a"), repeat(100, "b")) + find(*FPM),
    "info_one_too_long": layout(DEFAULT) + assign(FPM, repeat(31, "a"), raw(b"/p")),
    "path_one_too_long": layout(DEFAULT) + assign(FPM, raw(b"i"), repeat(101, "b")),
    "two_byte_chars_at_width": layout(DEFAULT) + assign(FPM, wide(15, 0), wide(50, 0))
        + assign(FPM, wide(15, 0, b"x"), raw(b"/")) + find(*FPM),
    "three_byte_chars_at_width": layout(DEFAULT) + assign(FPM, wide(10, 1), wide(33, 1, b"a"))
        + assign(FPM, wide(11, 1), raw(b"/")),
    "four_byte_chars": layout(DEFAULT) + assign(FPM, wide(7, 5, b"ab"), wide(25, 5)),
    "invalid_utf8": layout(DEFAULT) + assign(FPM, raw(b"\xff\xfe\x80abc"), raw(b"/\xc3(\xe2\x28"))
        + find(*FPM),
    "lone_surrogates_and_nul": layout(DEFAULT)
        + assign(FPM, utf16(0xd800, 0x41, 0xdc00), utf16(0x2f, 0x0, 0x7f)) + find(*FPM),
    "control_characters": layout(DEFAULT) + assign(FPM, repeat(5, "\t"), latin1(b"\x01/a\x1f"))
        + find(wrapped("Files", "\t\t", " "), "Personal", wrapped("Music", " ", "\n")),
    "latin1_doubles": layout(DEFAULT) + assign(FPM, latin1(b"\xe9" * 16), latin1(b"\xfc" * 50)),
    "blanks_only": layout(DEFAULT) + assign(FPM, repeat(10, " "), repeat(3, "\x00")) + find(*FPM),
    "placeholder_as_text": layout(DEFAULT) + assign(FPM, raw(b"|"), raw(b" | ")) + find(*FPM),
    "not_a_name": layout(DEFAULT) + find(raw(b"Nothing"), "", "")
        + assign((raw(b"Nothing"), "", ""), raw(b"i"), raw(b"/p")),
    "value_too_long": layout(DEFAULT) + find(repeat(16, "x"), "", "")
        + assign((repeat(20, "x"), "Files", ""), raw(b"i"), raw(b"/p")),
    "lower_case_name": layout(DEFAULT) + find(raw(b"help"), "", "")
        + find(raw(b"  Help  "), "", ""),
    "all_empty_cleared": layout(DEFAULT) + assign(("", "", ""), raw(b"i"), raw(b"/p"))
        + assign(("", "", ""), empty(), empty()) + find("", "", ""),
    "duplicated_record": layout(DEFAULT, duplicate(record("Files", "", "Personal"), 0))
        + find("Files", "", "Personal") + assign(("Files", "", "Personal"), raw(b"d"), raw(b"/d"))
        + find("Control", "Control", "Control"),
    "moved_records": layout(DEFAULT, swap(0, 12166), swap(5, 1571))
        + find("", "", "") + assign(("", "", ""), raw(b"m"), raw(b"/m")),
    "length_byte_60": layout(DEFAULT, set_length(0, 60), set_length(1, 40))
        + find("Control", "Control", "Control") + assign(("Control", "Control", ""), raw(b"i"), raw(b"/p")),
    "length_byte_255": layout(DEFAULT, set_length(7, 255)) + find("Control", "Control", "Personal"),
    "length_byte_0": layout(DEFAULT, set_length(12166, 0), set_length(3, 0))
        + find("", "", "") + assign(("", "", ""), raw(b"z"), raw(b"/z")),
    "short_file": layout(DEFAULT, cut(1000000)) + find(*FPM) + assign(FPM, raw(b"s"), raw(b"/s")),
    "cut_inside_record": layout(DEFAULT, cut(12345)) + bytes([LOAD]) + find("", "", ""),
    "empty_file": layout(EMPTY) + find("", "", "") + assign(("", "", ""), raw(b"e"), raw(b"/e")),
    "zero_file": layout(ZEROS) + find("", "", "") + assign(("", "", ""), raw(b"0"), raw(b"/0")),
    "padding_after_end": layout(DEFAULT, append(200, 10)) + assign(FPM, raw(b"p"), raw(b"/p")),
    "raw_small_file": layout(RAW, data=bytes(range(256)) + b"\xaf" + b" " * 175)
        + find("", "", "") + bytes([LOAD]),
    "field_spills_over": layout(DEFAULT, field(0, 3, repeat(40, "z")), field(1, 0, raw(b"Files"), b"\t"))
        + find("Files", "Control", "Display") + assign(("Files", "Control", "Display"), raw(b"f"), raw(b"/f")),
    "tab_padding": layout(DEFAULT, fill(5, 1, 45, 9), fill(6, 46, 130, 0))
        + find("", "", "") + find("Control", "Control", "Internet"),
    "hand_edit_taken": layout(DEFAULT) + assign(FPM, raw(b"a"), raw(b"/a"))
        + hand_edit(overwrite(record(*FPM) * 176 + 60, b"HAND")) + assign(("", "", ""), raw(b"b"), raw(b"/b"))
        + find(*FPM),
    "hand_edit_with_tail": layout(DEFAULT) + hand_edit(append(4, 116))
        + hand_edit(overwrite(record("", "", "") * 176 + 60, b"EDIT")) + assign(FPM, raw(b"t"), raw(b"/t"))
        + find("", "", ""),
    "hand_edit_cut": layout(DEFAULT) + hand_edit(cut(2000000)) + assign(FPM, raw(b"c"), raw(b"/c"))
        + assign(FPM, raw(b"c"), raw(b"/c")),
    "read_only": layout(DEFAULT) + bytes([READ_ONLY]) + assign(FPM, raw(b"r"), raw(b"/r"))
        + bytes([LOAD, READ_ONLY]) + assign(FPM, raw(b"r"), raw(b"/r")),
    "removed_while_running": layout(DEFAULT) + bytes([REMOVE]) + assign(FPM, raw(b"x"), raw(b"/x"))
        + bytes([REMOVE, LOAD]) + find(*FPM),
    # Damaged files: a byte typed into a record's padding or its text, one
    # deleted, NUL records, a file cut inside a text; a save mends them.
    "byte_inserted": layout(DEFAULT, field(2000, 3, raw(b"Two Thousand")), insert(2000 * 176 + 50, b"x"))
        + bytes([LOAD]) + find(*FPM) + assign(FPM, raw(b"i"), raw(b"/i")) + find("", "", ""),
    "byte_deleted": layout(DEFAULT, field(2000, 4, raw(b"/usr/bin/two")), delete(2000 * 176 + 90, 1))
        + assign(("", "", ""), raw(b"d"), raw(b"/d")) + find(*FPM),
    "text_typed_in": layout(DEFAULT, field(7, 3, raw(b"Notes")), insert(7 * 176 + 73, b"ab"))
        + assign(FPM, raw(b"t"), raw(b"/t")),
    "nul_records_then_bound": layout(ZEROS, set_length(0, 175)) + assign(FPM, raw(b"z"), raw(b"/z"))
        + find(*FPM) + bytes([LOAD]),
    "cut_inside_path": layout(DEFAULT, field(300, 4, raw(b"/a/long/path")), cut(300 * 176 + 170))
        + assign(("Help", "", ""), raw(b"h"), raw(b"/h")),
    "many_assignments": layout(DEFAULT) + b"".join(
        assign((NAMES[i], NAMES[i + 1], ""), raw(b"n%d" % i), raw(b"/n%d" % i)) for i in range(8)),
}

if __name__ == "__main__":
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    print(f"{len(SEEDS)} seeds in {folder}")
