"""Reads what the installer tests need from a PE file without running it: machine, exported names,
imported DLLs, resources, the version resource's strings and an embedded type library's target.

The 32-bit binaries cannot be run here (no 32-bit Wine), so their checks are made on the file.
"""

from __future__ import annotations

import dataclasses
import struct
from pathlib import Path

MACHINE_I386 = 0x014C
MACHINE_AMD64 = 0x8664
RT_MESSAGETABLE = 11
RT_VERSION = 16
# SYSKIND of a type library: what platform its layouts were made for.
SYS_WIN32 = 1
SYS_WIN64 = 3


@dataclasses.dataclass
class Section:
    name: str
    rva: int
    virtual_size: int
    raw_offset: int
    raw_size: int


class PeFile:
    def __init__(self, path: str | Path):
        self.path = Path(path)
        self.data = self.path.read_bytes()
        if self.data[:2] != b"MZ":
            raise ValueError(f"{path}: not an MZ executable")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        # Data directories follow the fixed part, which is longer in PE32+.
        directories = optional + (112 if self.magic == 0x20B else 96)
        count = struct.unpack_from("<I", self.data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i)
                            for i in range(count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, rva, rsize, roff = struct.unpack_from("<8sIIII", self.data, table + 40 * i)
            self.sections.append(Section(name.rstrip(b"\0").decode(errors="replace"), rva, vsize,
                                         roff, rsize))

    @property
    def is_dll(self) -> bool:
        return bool(self.characteristics & 0x2000)

    def offset(self, rva: int) -> int:
        for s in self.sections:
            if s.rva <= rva < s.rva + max(s.virtual_size, s.raw_size):
                return rva - s.rva + s.raw_offset
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def _cstring(self, rva: int) -> str:
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def exports(self) -> list[str]:
        rva, size = self.directories[0]
        if not size:
            return []
        base = self.offset(rva)
        # IMAGE_EXPORT_DIRECTORY: NumberOfNames at 24, AddressOfNames at 32.
        names_count = struct.unpack_from("<I", self.data, base + 24)[0]
        names = self.offset(struct.unpack_from("<I", self.data, base + 32)[0])
        return [self._cstring(struct.unpack_from("<I", self.data, names + 4 * i)[0])
                for i in range(names_count)]

    def imported_dlls(self) -> list[str]:
        rva, size = self.directories[1]
        if not size:
            return []
        out, at = [], self.offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, at)
            if not any(fields):
                return out
            out.append(self._cstring(fields[3]))
            at += 20

    def resources(self) -> dict[tuple, bytes]:
        """{(type, name, language): data}; type and name are ints or upper-case strings."""
        rva, size = self.directories[2]
        if not size:
            return {}
        root = self.offset(rva)
        out = {}

        def entries(directory: int):
            named, ids = struct.unpack_from("<HH", self.data, root + directory + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, root + directory + 16 + 8 * i)
                if key & 0x80000000:
                    at = root + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le").upper()
                yield key, target

        for kind, t in entries(0):
            for name, n in entries(t & 0x7FFFFFFF):
                for language, leaf in entries(n & 0x7FFFFFFF):
                    data_rva, data_size = struct.unpack_from("<II", self.data, root + leaf)
                    start = self.offset(data_rva)
                    out[(kind, name, language)] = self.data[start:start + data_size]
        return out

    def resource(self, kind, name) -> bytes | None:
        for (k, n, _), data in self.resources().items():
            if k == kind and n == name:
                return data
        return None

    def message_table(self) -> dict[int, str]:
        """{message id: text} of message table 1 (MESSAGE_RESOURCE_DATA: blocks of ids, each
        entry a length, a flag for UTF-16 and the text)."""
        data = self.resource(RT_MESSAGETABLE, 1) or b""
        out = {}
        for block in range(struct.unpack_from("<I", data)[0] if data else 0):
            low, high, at = struct.unpack_from("<III", data, 4 + 12 * block)
            for message in range(low, high + 1):
                length, flags = struct.unpack_from("<HH", data, at)
                text = data[at + 4:at + length]
                out[message] = (text.decode("utf-16-le") if flags & 1 else
                                text.decode("latin-1")).rstrip("\0")
                at += length
        return out

    def version_strings(self) -> dict[str, str]:
        """The StringFileInfo values of version resource 1 (every language block merged)."""
        data = self.resource(RT_VERSION, 1)
        return _version_strings(data) if data else {}

    def fixed_file_version(self) -> tuple[int, int, int, int] | None:
        data = self.resource(RT_VERSION, 1)
        if not data:
            return None
        at = data.find(struct.pack("<I", 0xFEEF04BD))
        if at < 0:
            return None
        ms, ls = struct.unpack_from("<II", data, at + 8)
        return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF


def _align4(n: int) -> int:
    return (n + 3) & ~3


def _version_strings(data: bytes) -> dict[str, str]:
    """Walks the VS_VERSIONINFO tree: each node is length, value length, type, key, value,
    children, every part 32-bit aligned; strings are the leaves under StringFileInfo."""
    out: dict[str, str] = {}

    def node(at: int, end: int, path: tuple[str, ...]):
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        value_at = _align4(key_end + 2)
        node_end = min(at + length, end)
        if len(path) == 3 and path[1] == "StringFileInfo":
            # A string's value length counts UTF-16 characters, terminator included.
            text = data[value_at:value_at + 2 * value_length].decode("utf-16-le")
            out[key] = text.rstrip("\0")
            return
        value_bytes = 2 * value_length if kind == 1 else value_length
        child = _align4(value_at + value_bytes)
        while child + 6 <= node_end:
            child_length = struct.unpack_from("<H", data, child)[0]
            if child_length == 0:
                break
            node(child, node_end, path + (key,))
            child = _align4(child + child_length)

    node(0, len(data), ())
    return out


def typelib_syskind(library: bytes) -> int:
    """The SYSKIND of a compiled ("MSFT") type library."""
    if library[:4] != b"MSFT":
        raise ValueError("not an MSFT type library")
    return struct.unpack_from("<I", library, 20)[0] & 0xF
