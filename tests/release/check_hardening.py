"""The binary checks that Windows security reviews run over an installed 32-bit program (the
BinSkim list), read from the shipped file's headers and code, and what a release promises
besides: stripped, at most 410 KiB, a correct checksum. One ok:/FAIL: line per check; exit
status 1 when one failed.

    /usr/bin/python3 tests/release/check_hardening.py EXE [--signed]
"""

import re
import sys

import pefile

# Windows 10 and 11's KnownDLLs (HKLM\System\CurrentControlSet\Control\Session Manager):
# always loaded from the system folder, never from beside the program.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll",
    "gdi32.dll", "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll",
    "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll",
    "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "wldap32.dll", "ws2_32.dll",
}
MAX_BYTES = 410 * 1024

failed = 0


def check(ok, what):
    global failed
    print(("ok: " if ok else "FAIL: ") + what)
    failed += not ok


path = sys.argv[1]
signed = "--signed" in sys.argv[2:]
pe = pefile.PE(path)
data = bytes(pe.__data__)
header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
flags = optional.DllCharacteristics
dirs = optional.DATA_DIRECTORY
base = optional.ImageBase
code = b"".join(s.get_data() for s in pe.sections if s.Characteristics & 0x20000000)


def name(section):
    """A section's name; long ones ("/4") are offsets into the COFF string table."""
    short = section.Name.rstrip(b"\0")
    if not short.startswith(b"/"):
        return short.decode(errors="replace")
    start = header.PointerToSymbolTable + 18 * header.NumberOfSymbols + int(short[1:])
    return data[start:data.index(b"\0", start)].decode(errors="replace")


def in_writable_data(address):
    return any(s.Characteristics & 0x80000000 and
               base + s.VirtualAddress <= address < base + s.VirtualAddress + s.Misc_VirtualSize
               for s in pe.sections)


relocations = dirs[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]].Size
check(flags & 0x0040 and relocations and not header.Characteristics & 0x0001,
      f"ASLR: DYNAMIC_BASE with a relocation table of {relocations} bytes")
check(flags & 0x0100, "DEP: NX_COMPAT")
check(flags & 0x8000, "TERMINAL_SERVER_AWARE: the system's Windows folder on a session host")

# NO_SEH, no SafeSEH table, and no code that links a handler into fs:[0]
# (mov fs:[0], reg or mov fs:[0], eax).
check(flags & 0x0400, "NO_SEH in the header")
config = getattr(pe, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
handlers = getattr(config.struct, "SEHandlerCount", 0) if config else 0
registering = re.findall(rb"\x64\x89[\x05\x0d\x15\x1d\x25\x2d\x35\x3d]\0\0\0\0|\x64\xa3\0\0\0\0",
                         code)
check(not handlers and not registering,
      f"no SEH handlers: {handlers} in a table, {len(registering)} fs:[0] registrations")

# A canary-checked function ends with "sub reg, [guard]": count them per guard address.
canaries = {}
for match in re.finditer(rb"\x2b[\x05\x0d\x15\x1d\x35\x3d](....)", code, re.S):
    address = int.from_bytes(match.group(1), "little")
    if in_writable_data(address):
        canaries[address] = canaries.get(address, 0) + 1
guard, protected = max(canaries.items(), key=lambda item: item[1], default=(0, 0))
# And start-up code seeds it: stores into it (mov [guard], eax or reg) or passes its address
# to a random source (push guard, mov [esp+n], guard).
seeded = protected and re.search(
    rb"(\xa3|\x89[\x05\x0d\x15\x1d\x25\x2d\x35\x3d]|\x68|\xc7\x44\x24.)" +
    re.escape(guard.to_bytes(4, "little")), code, re.S)
check(protected >= 10 and seeded,
      f"stack protection: {protected} functions check a canary (at least 10)"
      f"{', seeded at start' if seeded else ', never seeded' if protected else ''}")

both = [name(s) for s in pe.sections
        if s.Characteristics & 0x80000000 and s.Characteristics & 0x20000000]
check(not both, f"no section both writable and executable {both or ''}")

imported = [e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
imported += [e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
unknown = sorted(set(imported) - KNOWN_DLLS)
check(imported and not unknown,
      f"imports only from KnownDLLs ({', '.join(sorted(imported))}){' not: ' if unknown else ''}"
      f"{', '.join(unknown)}")

security = dirs[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
if signed:
    # WIN_CERTIFICATE: length, revision 2.0, type PKCS_SIGNED_DATA.
    certificate = data[security.VirtualAddress:security.VirtualAddress + 8]
    check(security.Size and certificate[4:8] == b"\x00\x02\x02\x00",
          f"Authenticode signature of {security.Size} bytes")

size = len(data)
check(size <= MAX_BYTES, f"size {size} bytes (at most {MAX_BYTES})")
debug = dirs[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DEBUG"]].Size
sections = [name(s) for s in pe.sections]
check(not header.NumberOfSymbols and not debug and not any(".debug" in n for n in sections),
      f"stripped: no symbols, no debug directory or sections ({' '.join(sections)})")
check(optional.CheckSum == pe.generate_checksum(), f"checksum {optional.CheckSum:#x} correct")
sys.exit(1 if failed else 0)
