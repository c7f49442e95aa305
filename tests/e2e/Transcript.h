#pragma once
// The diagnostic log a run must leave, put together from the lines each
// operation writes. A whole run's expected log is built from these pieces
// and compared line by line with what the bootstrapper wrote.

#include <string>
#include <vector>

namespace transcript
{
using Lines = std::vector<std::wstring>;

// Appends pieces and single lines in order.
class Log
{
public:
    Log& operator<<(const std::wstring& line);
    Log& operator<<(const Lines& lines);
    const Lines& lines() const { return m_lines; }

private:
    Lines m_lines;
};

// How the Windows of a run answers.
struct System
{
    bool windows2000 = false;
    bool vistaOrLater = false;
    bool x64 = true;  // the test build runs on 64-bit Windows
};

Lines IsWindows2K(const System& system);
Lines IsVistaOrLater(const System& system);
Lines IsOS64(const System& system);

enum class Reader
{
    String,             // QueryStringValueFromRegistry
    Dword,              // QueryDWORDValueFromRegistry
    CurrentUserString,  // QueryCurrentUserStringValueFromRegistryEx
};

// One registry read. An empty `value` with found == false: the key or the
// value is missing (status 2), as keyMissing says.
struct ReadResult
{
    bool found;
    std::wstring shown;      // the success line's value
    bool keyMissing = true;  // when not found: the key (else only the value)
};
ReadResult Found(const std::wstring& shown);
ReadResult KeyMissing();
ReadResult ValueMissing();
Lines Read(const System& system, Reader reader, const std::wstring& subKey, const std::wstring& valueName,
           const ReadResult& result);

// The language of the machine, from InstallLanguage (read as `installLanguage`)
// to the supported identifier. Before Vista no display language is asked
// for; on Vista and later this run has no PreferredUILanguages.
Lines OSLanguageID(const System& system, const std::wstring& installLanguage, const std::wstring& decimal,
                   const std::wstring& familyLine, const std::wstring& supported);

Lines IsProductInstalled(const System& system, bool installed);

// The language dialog, OK pressed on the preselected section.
struct Section
{
    std::wstring name;
    std::wstring productLanguage;
    std::wstring command;
};
Lines LanguageDialogShown(const std::vector<Section>& catalogue, const std::wstring& defaultLanguage);
Lines LanguageDialogConfirmed(const Section& chosen);
Lines LanguageDialogCancelled();

// The four detections in ShowPrereqDialog, ending with the decision line.
struct Detections
{
    bool windowsInstallerBuiltIn = true;  // else: Windows 2000 with the package registered
    bool dotNet = true;
    std::wstring dotNetShown = L"\x0001";  // Install = DWORD 1 read as a string
    std::wstring osLanguage = L"1033";
    bool languagePack = true;              // for languages other than 1033
    std::wstring mdacVersion = L"2.81.1117.0";
};
Lines Detect(const System& system, const Detections& detections);

Lines SetupRun(const std::wstring& modeLine, const std::wstring& commandLine);

// Without the lines of the prerequisites dialog procedure that depend on
// painting and on the window manager: how many come and where is Wine's
// business.
Lines WithoutPaintingNoise(const Lines& lines);
}  // namespace transcript
