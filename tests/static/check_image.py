#!/usr/bin/python3
"""The kit as it ships, proven from its files where a run under Wine cannot
show it: what the x86 program imports (Windows 2000 must have it), loads or
starts by a bare name, asks of Windows in its manifest, and carries. Its
dialogs as a person sees them, and its version record, are the whole runs'
business.

    check_image.py <kit> <expected>              the x86 kit against its dump
    check_image.py <kit> <expected> --write      rewrite the dump after a change made on purpose

A new import, resource, control or bare name shows up as a difference in the
dump, to be understood before --write. What a dump would hide among its lines
is checked in code: the machine, the delay-load slots, the runtime DLLs.
"""
import difflib
import os
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

PROGRAM = 'SetupBootstrapper.exe'
KIT_IMAGES = (PROGRAM, 'morvanto9.exe', 'downloadandrun.dll')
RUNTIME_DLL = re.compile(r'(libstdc\+\+|libgcc|libwinpthread)[^/\\]*\.dll', re.I)
# Windows 2000 lacks them: the program looks them up by name.
LOOKED_UP = ('GetNativeSystemInfo', 'SetDllDirectoryW')
MANIFEST_ARCHITECTURE = {0x14c: 'x86', 0x8664: 'amd64'}
ASM_V1, ASM_V3 = '{urn:schemas-microsoft-com:asm.v1}', '{urn:schemas-microsoft-com:asm.v3}'
EXECUTABLE = pefile.SECTION_CHARACTERISTICS['IMAGE_SCN_MEM_EXECUTE']


class Image:
    def __init__(self, folder, name):
        self.name, self.pe = name, pefile.PE(os.path.join(folder, name))
        self.width = 4 if self.pe.PE_TYPE == pefile.OPTIONAL_HEADER_MAGIC_PE else 8
        self.base = self.pe.OPTIONAL_HEADER.ImageBase
        self.imports = [(e.dll.decode(), [symbol_name(i) for i in e.imports])
                        for e in getattr(self.pe, 'DIRECTORY_ENTRY_IMPORT', [])]
        self.delay_imports = find_delay_imports(self)

    def pointer_at(self, rva):
        return self.pe.get_qword_at_rva(rva) if self.width == 8 else self.pe.get_dword_at_rva(rva)

    def in_code(self, address):
        return any(s.contains_rva(address - self.base) and s.Characteristics & EXECUTABLE for s in self.pe.sections)

    def sections_outside_resources(self):
        resources = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']]
        return [s for s in self.pe.sections if not s.contains_rva(resources.VirtualAddress)]


def symbol_name(symbol):
    return symbol.name.decode() if symbol.name else '#%d' % symbol.ordinal


def find_delay_imports(image):
    """[(dll, [(function, RVA of its address slot)])]. GNU ld leaves the
    delay-import directory empty for dlltool's delay libraries, so the
    sections are searched for what the delay-load helper reads: a descriptor
    with RVAs (attribute 1) naming a "*.dll", an address table and a name
    table, never bound."""
    found = []
    for section in image.sections_outside_resources():
        data = section.get_data()
        for offset in range(0, len(data) - 31, 4):
            attributes, name, module, slots, names, bound, unload, stamp = struct.unpack_from('<8I', data, offset)
            if attributes != 1 or 0 in (name, module, slots, names) or bound or unload or stamp:
                continue
            dll = image.pe.get_string_at_rva(name, 64)
            if not re.fullmatch(rb'[A-Za-z0-9_.-]+\.dll', dll or b'', re.I):
                continue
            functions = []
            for i in range(1000):
                entry = image.pointer_at(names + i * image.width)
                if not entry:
                    break
                ordinal = entry >> (image.width * 8 - 1)
                function = '#%d' % (entry & 0xFFFF) if ordinal else image.pe.get_string_at_rva(entry + 2).decode()
                functions.append((function, slots + i * image.width))
            found.append((dll.decode(), functions))
    return found


def texts(image):
    """Every run of printable ASCII, as 8-bit or UTF-16 text, outside the
    resources: what the code can hand to LoadLibrary or CreateProcess."""
    end = image.base + image.pe.OPTIONAL_HEADER.SizeOfImage
    for section in image.sections_outside_resources():
        data = section.get_data()
        yield from (match.group().decode() for match in re.finditer(rb'[\x20-\x7e]{5,}', data))
        for alignment in (0, 1):
            wide = data[alignment:len(data) - (len(data) - alignment) % 2].decode('utf-16-le', 'replace')
            for match in re.finditer(r'[\x20-\x7e]{5,}', wide):
                text, start = match.group(), alignment + 2 * match.start()
                # The upper half of an x86 pointer (0x0041....) reads as "A": a
                # text right behind a table of pointers starts one unit later.
                if start % 4 == 2 and image.base <= struct.unpack_from('<I', data, start - 2)[0] < end:
                    text = text[1:]
                # So does the last letter of an 8-bit text right before a wide
                # one ("l" and its terminator, of "msxml3.dll").
                elif start > 0 and data[start - 1] != 0:
                    text = text[1:]
                yield text


def bare_names(image):
    """File names with no folder, alone or at the start of a command line;
    the system DLLs the program imports left out."""
    imported = {dll.lower() for dll, _ in image.imports + image.delay_imports}
    names = set()
    for text in texts(image):
        match = re.fullmatch(r'([A-Za-z0-9_.-]+\.(?:dll|exe))(?: .*)?', text, re.I)
        if match and match.group(1).lower() not in imported:
            names.add(match.group(1))
    return sorted(names, key=str.lower)


def manifest(image, data, problems):
    root = ElementTree.fromstring(data)
    level = root.find('.//%srequestedExecutionLevel' % ASM_V3)
    lines = ['requestedExecutionLevel level=%s uiAccess=%s' % (level.get('level'), level.get('uiAccess'))]
    for identity in root.iter('%sassemblyIdentity' % ASM_V1):
        # The architecture must be the image's own; the dump leaves it out.
        architecture = identity.attrib.pop('processorArchitecture', None)
        if architecture != MANIFEST_ARCHITECTURE.get(image.pe.FILE_HEADER.Machine):
            problems.append('%s: the manifest asks for %s of processorArchitecture "%s", not the image\'s own' % (
                image.name, identity.get('name'), architecture))
        lines.append('dependency ' + ' '.join('%s=%s' % item for item in sorted(identity.attrib.items())))
    return lines


def embedded_library(image, data, problems, label):
    """The parser libraries for Windows 2000, which regsvr32 of the same
    machine must load; the parser registers itself, its resources do not."""
    library = pefile.PE(data=data)
    if library.FILE_HEADER.Machine != image.pe.FILE_HEADER.Machine or not library.is_dll():
        problems.append('%s: %s is no DLL of the image\'s machine' % (image.name, label))
    exports = getattr(library, 'DIRECTORY_ENTRY_EXPORT', None)
    names = {symbol.name for symbol in exports.symbols} if exports else set()
    registers = {b'DllRegisterServer', b'DllUnregisterServer'} <= names
    return ['a DLL that %s itself' % ('registers' if registers else 'does not register')]


def resources(image, problems):
    lines = []
    for kind in image.pe.DIRECTORY_ENTRY_RESOURCE.entries:
        type_name = str(kind.name) if kind.name else pefile.RESOURCE_TYPE.get(kind.id, str(kind.id))
        for entry in kind.directory.entries:
            for language in entry.directory.entries:
                label = '%s %s language %d' % (type_name, entry.name or entry.id, language.id)
                data = image.pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                details = {
                    'RT_MANIFEST': lambda: manifest(image, data, problems),
                    'BIN': lambda: embedded_library(image, data, problems, label),
                }.get(type_name, list)()
                lines += [label + ':' * bool(details)] + ['  ' + line for line in details]
    return lines


def import_lines(imports):
    return ['%s %s' % (dll, function) for dll, functions in imports for function in functions]


def dump(image):
    """One kit file as (heading, lines) sections; the problems found on the way."""
    problems, pe = [], image.pe
    sections = [('headers', ['%s, %s, subsystem %s %d.%d, operating system %d.%d, time stamp %d, %s' % (
        pefile.MACHINE_TYPE[pe.FILE_HEADER.Machine][len('IMAGE_FILE_MACHINE_'):].lower(),
        'PE32' if image.width == 4 else 'PE32+',
        pefile.SUBSYSTEM_TYPE[pe.OPTIONAL_HEADER.Subsystem][len('IMAGE_SUBSYSTEM_'):].lower(),
        pe.OPTIONAL_HEADER.MajorSubsystemVersion, pe.OPTIONAL_HEADER.MinorSubsystemVersion,
        pe.OPTIONAL_HEADER.MajorOperatingSystemVersion, pe.OPTIONAL_HEADER.MinorOperatingSystemVersion,
        pe.FILE_HEADER.TimeDateStamp, 'DLL' if pe.is_dll() else 'executable')])]
    sections.append(('imports, each known to exist on Windows 2000 SP4', import_lines(image.imports)))
    sections.append(('delay imports', import_lines((dll, [f for f, _ in fs]) for dll, fs in image.delay_imports)))
    exports = getattr(pe, 'DIRECTORY_ENTRY_EXPORT', None)
    sections.append(('exports', [symbol_name(s) for s in exports.symbols] if exports else []))
    if image.name == PROGRAM:
        sections.append(('loaded or started by a bare file name, or handed on as one', bare_names(image)))
        sections.append(('resources', resources(image, problems)))
    return [('%s %s' % (image.name, heading), lines) for heading, lines in sections], problems


def check(image):
    """What the dump would hide among its lines."""
    problems = []
    for dll, functions in image.imports:
        if RUNTIME_DLL.fullmatch(dll):
            problems.append('%s imports from %s: a kit carries no runtime DLL' % (image.name, dll))
        problems += ['%s imports %s!%s, which Windows 2000 lacks: look it up at run time' % (image.name, dll, f)
                     for f in functions if f in LOOKED_UP]
    for dll, functions in image.delay_imports:
        problems += ['%s: the delay-import slot of %s!%s holds 0x%x, not a load thunk in code: the first call '
                     'jumps there and the process crashes' % (image.name, dll, f, image.pointer_at(slot))
                     for f, slot in functions if not image.in_code(image.pointer_at(slot))]
    if (image.pe.FILE_HEADER.Machine, image.width) != (0x14c, 4):
        problems.append('%s is no PE32 image for i386' % image.name)
    if image.name == PROGRAM:
        # GNU ld leaves the directory empty: a search that finds nothing proves nothing.
        if not image.delay_imports:
            problems.append('%s: no delay-import descriptor found; the slots went unchecked' % image.name)
        if image.pe.OPTIONAL_HEADER.Subsystem != pefile.SUBSYSTEM_TYPE['IMAGE_SUBSYSTEM_WINDOWS_GUI']:
            problems.append('%s is no GUI program: it would open a console window' % image.name)
        # Windows refuses the frame-based handlers of an image that says it
        # has none, and such a handler is every operation's catch-all.
        if image.pe.OPTIONAL_HEADER.DllCharacteristics & 0x400:
            problems.append('%s says it has no exception handlers (NO_SEH): the catch-alls would never run'
                            % image.name)
        found = set(texts(image))
        problems += ['%s holds no text "%s" for GetProcAddress' % (image.name, f)
                     for f in LOOKED_UP if f not in found]
    return problems


def main(kit, expected_path, *options):
    files = sorted(os.listdir(kit), key=str.lower)
    problems = ['the kit holds %s: a kit carries no runtime DLL' % f for f in files if RUNTIME_DLL.fullmatch(f)]
    sections = [('kit', files)]
    for name in KIT_IMAGES:
        image = Image(kit, name)
        image_sections, image_problems = dump(image)
        sections += image_sections
        problems += image_problems + check(image)
    actual = ''.join('[%s]\n%s\n' % (heading, ''.join(line + '\n' for line in lines)) for heading, lines in sections)
    if '--write' in options:
        with open(expected_path, 'w', encoding='utf-8') as out:
            out.write(actual)
        print('wrote %s; the checks in code say:' % expected_path)
    else:
        with open(expected_path, encoding='utf-8') as expected_file:
            expected = expected_file.read()
        if actual != expected:
            sys.stdout.writelines(difflib.unified_diff(
                expected.splitlines(True), actual.splitlines(True), expected_path, 'the kit in %s' % kit))
            problems.append('the kit differs from %s (above); a change made on purpose is taken with --write'
                            % expected_path)
    for problem in problems:
        print('FAIL: ' + problem)
    if not problems:
        print('%s: every check passed' % kit)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:]))
