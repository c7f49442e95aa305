#pragma once
// What the platform references (minimal_silent_platform.exe and
// minimal_dialog_platform.exe) share: the platform calls that a first
// installation in the bench's prefix makes before the silent and the full-UI
// runs part, made the way the bootstrapper makes them, and its log writer.
// Nothing here decides anything: what those runs find (English, the product
// not installed) is written in.
//
// Linking this file also creates the single-instance mutex before WinMain
// and holds it until the process ends, as the bootstrapper's guard does.

#include <windows.h>

#include <cstddef>

constexpr size_t kCchText = 1024;

// Part of a run's log: line n of the run's log is lines[n - firstNumber].
// Every line is written the way the log's design asks: open, append, close.
// The log's path is asked for once in the process, at its first line.
class RunLog
{
public:
    template <size_t N>
    constexpr RunLog(const wchar_t* const (&lines)[N], int firstNumber)
        : m_lines(lines), m_firstNumber(firstNumber), m_lastNumber(firstNumber + static_cast<int>(N) - 1)
    {
    }

    int LastNumber() const { return m_lastNumber; }

    // Lines first to last, as they stand.
    void Lines(int first, int last) const;
    // Line n, with the value where it has %s.
    void Line(int n, const wchar_t* value) const;

private:
    const wchar_t* const* m_lines;
    int m_firstNumber;
    int m_lastNumber;
};

// One line, written as the run's log writes it.
void WriteLogLine(const wchar_t* text);

void QueryOsVersion();
// An HKLM string as the product's reader reads it on every Windows after
// 2000: its Windows 2000 check (line n, the version, lines n + 1 and n + 2),
// then the key opened in the 32-bit view, the value read into 1024 bytes
// and the key closed; nothing more when there is no such key. The reader's
// lines before and after these are the caller's.
void ReadMachineString(const RunLog& log, int n, const wchar_t* subKey, const wchar_t* valueName);

// The catalogue's section names, read as the product's catalogue walk reads
// them, into a buffer that is freed when the object goes.
class CatalogueSections
{
public:
    explicit CatalogueSections(const wchar_t* catalogueFile);
    ~CatalogueSections();
    CatalogueSections(const CatalogueSections&) = delete;
    CatalogueSections& operator=(const CatalogueSections&) = delete;

    // The first name; empty when the buffer could not be had.
    const wchar_t* First() const;

private:
    HLOCAL m_names;
};

// The start of every run: libraries loaded by name no longer come from the
// current directory, the catalogue's path (in the current directory) is
// made, and the command line is split. The split command line is freed when
// the object goes, at the end of WinMain.
class RunStart
{
public:
    RunStart();
    ~RunStart();
    RunStart(const RunStart&) = delete;
    RunStart& operator=(const RunStart&) = delete;

    const wchar_t* CatalogueFile() const { return m_catalogueFile; }

private:
    wchar_t m_catalogueFile[kCchText] = L"";
    HLOCAL m_arguments = nullptr;
};

// From the XML parser's Windows 2000 check to the first line of the
// language step: the OS language (0409), the desktop language (not set under Wine)
// and the product's uninstall entry (none). Writes the run's log lines of
// that stretch, kFirstInstallationLineCount of them.
void CheckFirstInstallation();
constexpr int kFirstInstallationLineCount = 49;
