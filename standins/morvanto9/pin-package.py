#!/usr/bin/python3
"""Pins what wixl leaves to chance in a package it has built, so that the
same sources give the same bytes in any build folder:

    pin-package.py <package.msi> <package code>

wixl (msitools 0.101) stamps a random package code and the time of the build
into the summary information, ignoring the Package element's Id and
SOURCE_DATE_EPOCH, and its cabinet carries the modification times of the
source files. This sets the package code given, and one time for all the
others: SOURCE_DATE_EPOCH when the build has it, else 1980-01-01 00:00 UTC,
the earliest time a cabinet can hold. Every value keeps its size, so the
compound file is rewritten in place and nothing else moves.
"""
import os
import struct
import sys
import time

END_OF_CHAIN = 0xFFFFFFFE
DIRECTORY_ENTRY = 128
SUMMARY_STREAM = '\x05SummaryInformation'
PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM = 9, 12, 13
VT_LPSTR, VT_FILETIME = 30, 64
CABINET_RESERVE_PRESENT = 0x4
DOS_EPOCH = 315532800
FILETIME_EPOCH_OFFSET = 11644473600


def fail(message):
    sys.exit('pin-package: ' + message)


class CompoundFile:
    """The streams of an OLE compound file, each as the file offsets of its
    bytes: a stream is seldom contiguous, but small packages keep the lists
    short."""

    def __init__(self, data):
        self.data = data
        sector_shift, mini_shift = struct.unpack_from('<HH', data, 0x1E)
        self.sector_size, self.mini_size = 1 << sector_shift, 1 << mini_shift
        (fat_sectors, directory_start, _, self.mini_cutoff, minifat_start, _, _,
         difat_sectors) = struct.unpack_from('<8I', data, 0x2C)
        if difat_sectors:
            fail('a package this large (a FAT beyond the header) is not handled')
        self.fat = []
        for sector in struct.unpack_from('<109I', data, 0x4C)[:fat_sectors]:
            self.fat += struct.unpack_from('<%dI' % (self.sector_size // 4), data, self.sector_offset(sector))
        self.minifat = []
        for sector in self.chain(self.fat, minifat_start):
            self.minifat += struct.unpack_from('<%dI' % (self.sector_size // 4), data, self.sector_offset(sector))
        directory = b''.join(self.sector(s) for s in self.chain(self.fat, directory_start))
        self.entries = []
        for at in range(0, len(directory), DIRECTORY_ENTRY):
            cb_name, kind = struct.unpack_from('<HB', directory, at + 64)
            start, size = struct.unpack_from('<II', directory, at + 116)
            name = directory[at:at + max(cb_name - 2, 0)].decode('utf-16-le')
            self.entries.append((name, kind, start, size))
        root_start = self.entries[0][2]
        self.mini_stream = [self.sector_offset(s) for s in self.chain(self.fat, root_start)]

    def sector_offset(self, sector):
        return (sector + 1) * self.sector_size

    def sector(self, sector):
        offset = self.sector_offset(sector)
        return self.data[offset:offset + self.sector_size]

    @staticmethod
    def chain(table, start):
        sectors = []
        while start != END_OF_CHAIN:
            if start >= len(table) or len(sectors) > len(table):
                fail('a broken sector chain')
            sectors.append(start)
            start = table[start]
        return sectors

    def places(self, start, size):
        """File offsets of a stream's bytes, in stream order."""
        offsets = []
        if size < self.mini_cutoff:
            for mini in self.chain(self.minifat, start):
                at = mini * self.mini_size
                base = self.mini_stream[at // self.sector_size] + at % self.sector_size
                offsets += range(base, base + self.mini_size)
        else:
            for sector in self.chain(self.fat, start):
                base = self.sector_offset(sector)
                offsets += range(base, base + self.sector_size)
        return offsets[:size]

    def streams(self):
        """(name, places) of every stream (directory entries of type 2)."""
        return [(name, self.places(start, size)) for name, kind, start, size in self.entries if kind == 2]

    def read(self, places):
        return bytes(self.data[at] for at in places)

    def write(self, places, offset, value):
        for at, byte in zip(places[offset:offset + len(value)], value):
            self.data[at] = byte


def pin_summary(package, places, code, epoch):
    stream = package.read(places)
    section = struct.unpack_from('<I', stream, 44)[0]
    count = struct.unpack_from('<I', stream, section + 4)[0]
    filetime = struct.pack('<Q', (epoch + FILETIME_EPOCH_OFFSET) * 10000000)
    pinned = set()
    for pid, offset in struct.iter_unpack('<II', stream[section + 8:section + 8 + 8 * count]):
        at = section + offset
        kind = struct.unpack_from('<I', stream, at)[0]
        if pid == PID_REVNUMBER and kind == VT_LPSTR:
            cb_text = struct.unpack_from('<I', stream, at + 4)[0]
            text = code.encode('ascii') + b'\0'
            if len(text) != cb_text:
                fail('the package code %s does not fit in place of %d bytes' % (code, cb_text))
            package.write(places, at + 8, text)
        elif pid in (PID_CREATE_DTM, PID_LASTSAVE_DTM) and kind == VT_FILETIME:
            package.write(places, at + 4, filetime)
        else:
            continue
        pinned.add(pid)
    if pinned != {PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM}:
        fail('the summary information lacks the package code or one of its times')


def pin_cabinet(package, places, epoch):
    cabinet = package.read(places)
    files_at, = struct.unpack_from('<I', cabinet, 16)
    files, flags = struct.unpack_from('<HH', cabinet, 28)
    if flags & CABINET_RESERVE_PRESENT:
        fail('a cabinet with reserved fields is not handled')
    moment = time.gmtime(max(epoch, DOS_EPOCH))
    date = (moment.tm_year - 1980) << 9 | moment.tm_mon << 5 | moment.tm_mday
    clock = moment.tm_hour << 11 | moment.tm_min << 5 | moment.tm_sec // 2
    at = files_at
    for _ in range(files):
        package.write(places, at + 10, struct.pack('<HH', date, clock))
        at = cabinet.index(b'\0', at + 16) + 1


def main(path, code):
    epoch = int(os.environ.get('SOURCE_DATE_EPOCH') or DOS_EPOCH)
    with open(path, 'rb') as source:
        package = CompoundFile(bytearray(source.read()))
    summaries = cabinets = 0
    for name, places in package.streams():
        if name == SUMMARY_STREAM:
            pin_summary(package, places, code, epoch)
            summaries += 1
        elif package.read(places[:4]) == b'MSCF':
            pin_cabinet(package, places, epoch)
            cabinets += 1
    if summaries != 1 or cabinets == 0:
        fail('%s has %d summaries and %d cabinets, expected one of each or more cabinets' % (path, summaries, cabinets))
    with open(path, 'r+b') as target:
        target.write(package.data)


if __name__ == '__main__':
    if len(sys.argv) != 3:
        fail('usage: pin-package.py <package.msi> <package code>')
    main(*sys.argv[1:])
