// Hostile and broken input: command lines, catalogues, settings files,
// registry values and surroundings that a careless packager, a damaged disk
// or another program could hand the bootstrapper. Every run must end as a
// normal run ends (exit code 0, or 87 for a faulty command line), never
// crash, and leave a diagnostic log that still reads as one.

#include "tests/support/ProbeRunner.h"
#include "tests/support/Scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <random>
#include <sstream>

#include <strsafe.h>

using namespace test;

namespace
{
constexpr wchar_t kEnglishArgs[] = L"-l1033 /vProductLanguage=1033";
constexpr wchar_t kGermanArgs[] = L"-l1031 /vProductLanguage=1031";
constexpr wchar_t kItalianArgs[] = L"-l1040 /vProductLanguage=1040";
constexpr wchar_t kLastLine[] = L"SetupBootStrapper.WinMain: Deleting resources after installation";
constexpr wchar_t kTooLongLine[] =
    L"MorvantoBootStrapper.CreateMsiexecProcess: the setup command line would exceed 1023 characters, setup not "
    L"started";
constexpr DWORD kSetupCommandLimit = 1023;

std::wstring InstallerLogArgument(const Scenario& scenario)
{
    return L"/v\"/L*v\\\"" + scenario.TempFolder() + L"DRAVO_v9_InstallKitLog.log\\\"";
}

// A silent run's setup command line for these language arguments.
std::wstring SilentSetupCommandLine(const Scenario& scenario, const std::wstring& answerFile,
                                    const std::wstring& languageArgs)
{
    return L"morvanto9.exe /s /f1" + answerFile + L" " + languageArgs + L" /qn " + InstallerLogArgument(scenario);
}

// The silent run's setup got the arguments of one of the languages.
void ExpectSilentSetupInOneOf(Scenario& scenario, const std::vector<std::wstring>& languageArgs)
{
    std::vector<std::wstring> acceptable;
    for (const auto& args : languageArgs)
        acceptable.push_back(SilentSetupCommandLine(scenario, L"a.iss", args));
    EXPECT_NE(std::find(acceptable.begin(), acceptable.end(), scenario.SetupCommandLine()), acceptable.end())
        << "the setup got " << WideToUtf8(scenario.SetupCommandLine());
}

// An unhandled exception ends a process with its code (0xC0000005,
// 0xC0000409...), abort() with 3.
bool LooksLikeACrash(DWORD exitCode)
{
    return exitCode >= 0xC0000000u || exitCode == 3;
}

std::string Hex(DWORD value)
{
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

bool HasMessage(const std::vector<std::wstring>& messages, const std::wstring& wanted)
{
    for (const auto& message : messages)
    {
        if (message == wanted)
            return true;
    }
    return false;
}

// What is wrong with the log a whole run left; empty when it is intact: it
// parses as the log's UTF-16 text, every line is one timestamped event, the
// run's entry and exit lines are there and nothing was thrown on the way.
std::string LogProblems(const DiagnosticLogContents& log)
{
    if (!log.exists)
        return "no diagnostic log";
    std::string problems;
    if (!log.startsWithByteOrderMark)
        problems += "no byte-order mark; ";
    if (!log.endsWithCrLf)
        problems += "the last line is not ended by CR LF; ";
    for (size_t i = 0; i < log.lines.size(); ++i)
    {
        if (!HasLogTimestamp(log.lines[i]))
        {
            problems += "line " + std::to_string(i + 1) + " has no timestamp: " +
                        WideToUtf8(log.lines[i].substr(0, 80)) + "; ";
            break;
        }
    }
    for (const auto& message : log.messages)
    {
        if (message.find(L"exception caught") != std::wstring::npos ||
            message.find(L"exception caugth") != std::wstring::npos)
            problems += "an exception was caught: " + WideToUtf8(message) + "; ";
    }
    if (!HasMessage(log.messages, L"MorvantoBootStrapper.LaunchExe >>"))
        problems += "no entry line of the launch sequence; ";
    if (!HasMessage(log.messages, L"MorvantoBootStrapper.LaunchExe <<"))
        problems += "no exit line of the launch sequence; ";
    if (log.messages.empty() || log.messages.back() != kLastLine)
        problems += "the run's last line is missing; ";
    return problems;
}

void ExpectIntactLog(const Scenario& scenario)
{
    const DiagnosticLogContents log = scenario.Log();
    EXPECT_EQ(LogProblems(log), "") << "the log:\n" << DescribeMessages(log.messages);
}

// Starts a run and waits for its end, ending it when it takes too long. A
// run that does not end, or crashes, fails the test with what it logged.
DWORD RunBounded(Scenario& scenario, const std::wstring& arguments, DWORD timeoutMs)
{
    auto child = scenario.Start(arguments);
    if (!child->Started())
        return static_cast<DWORD>(-1);
    const DWORD start = GetTickCount();
    if (!child->WaitForExit(timeoutMs))
    {
        child->Terminate();
        ADD_FAILURE() << "the run did not end within " << timeoutMs << " ms; its log:\n"
                      << DescribeMessages(scenario.LogMessages());
        return STILL_ACTIVE;
    }
    const DWORD exitCode = child->ExitCode();
    EXPECT_FALSE(LooksLikeACrash(exitCode)) << "the run crashed with " << Hex(exitCode) << " after "
                                            << GetTickCount() - start << " ms";
    return exitCode;
}

// The language dialog of a full-UI run, answered as a person would. OK
// leads to the setup, whose window is then closed; Cancel ends the run
// without one.
DWORD AnswerLanguageDialog(ChildProcess& child, bool confirm, size_t* itemCount = nullptr)
{
    HWND dialog = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] { return (dialog = WaitForDialogWith(child.Id(), kLanguageListId, 0)) != nullptr || child.HasExited(); },
        kWindowTimeoutMs))
        << "neither a language dialog nor the end of the run";
    if (dialog != nullptr)
    {
        if (itemCount != nullptr)
            *itemCount = static_cast<size_t>(SendMessageW(GetDlgItem(dialog, kLanguageListId), CB_GETCOUNT, 0, 0));
        ClickButton(dialog, confirm ? IDOK : IDCANCEL);
        if (confirm)
        {
            HWND setup = WaitForSetupWindow();
            EXPECT_NE(setup, nullptr) << "no setup after OK";
            if (setup != nullptr)
                CloseSetupWindow(setup);
        }
    }
    else
    {
        ADD_FAILURE() << "the full-UI run showed no language dialog";
    }
    if (!child.WaitForExit(kRunTimeoutMs))
    {
        child.Terminate();
        ADD_FAILURE() << "the run did not end after the language dialog";
        return STILL_ACTIVE;
    }
    return child.ExitCode();
}

std::string Utf8Of(const std::wstring& text)
{
    return WideToUtf8(text);
}
}  // namespace

// --- Command lines -----------------------------------------------------------

namespace
{
// Pieces of text the generator strings together: quotes and backslashes that
// the splitting rules treat specially, printf conversions that must never
// reach a format, non-ASCII letters, a surrogate pair, combining and
// invisible characters, characters a shell would care about.
const wchar_t* const kTextPieces[] = {
    L"a", L"Z", L"0", L"9", L" ", L"\t", L"\"", L"\\", L"\\\\", L"/", L"-", L"%", L"%s", L"%n", L"%d", L"%%",
    L"=", L";", L"[", L"]", L".", L":", L"'", L"^", L"&", L"|", L"<", L">", L"*", L"?", L"\n",
    L"\x00E9", L"\x00FC", L"\x00DF", L"\x0416", L"\x044F", L"\x65E5", L"\x672C", L"\xD83D\xDE00", L"\x0301",
    L"\x200B", L"\xFEFF", L"\x202E", L"\xFF53"};

// Switches the bootstrapper knows, in every spelling it accepts.
const wchar_t* const kKnownSwitches[] = {L"/s", L"-s", L"/S", L"/silent", L"-SILENT", L"/Silent",
                                         L"/r", L"-r", L"/R", L"/record", L"-Record", L"/RECORD",
                                         L"/l", L"-l", L"/L", L"/language", L"-Language", L"/LANGUAGE"};

const wchar_t* const kSilentSwitches[] = {L"/s", L"-s", L"/S", L"/silent", L"-SILENT", L"/Silent"};

// Arguments that look like switches but are none of them.
const wchar_t* const kLookalikes[] = {L"/x",       L"--s",      L"/silently", L"/ s",     L"s",     L"/",
                                      L"-",        L"//s",      L"/s ",       L"/s\t",    L"/l=1033", L"/q",
                                      L"/\x017F",  L"/\xFF53",  L"/\x0455",   L"-lang",   L"/rec",  L"\\s",
                                      L"/s\"",     L"-\x00AD" L"s"};

const wchar_t* const kPlainValues[] = {L"answers.iss", L"c:\\r.iss",  L"1033", L"1040",  L"1031",
                                       L"3082",        L"1049",       L" 1040", L"1040 ", L"German",
                                       L"C:\\Program Files\\a b\\x.iss", L"\\\\server\\share\\a.iss",
                                       L"x\\",         L"\"quoted\"", L"1040\"", L"0x410"};

const size_t kLongLengths[] = {511, 512, 1000, 1022, 1023, 1024, 1025, 2047, 4000};

class ArgumentGenerator
{
public:
    explicit ArgumentGenerator(unsigned seed) : m_random(seed) {}

    std::vector<std::wstring> Next()
    {
        if (Percent() < 40)
            return AnyArguments();
        // A silent switch with its value among a few other pairs, in any
        // order: such runs carry their values into the log and the setup
        // command line without waiting for a person.
        std::vector<std::wstring> arguments{Pick(kSilentSwitches), Value()};
        const size_t pairs = Percent() < 85 ? Below(2) : 2;
        for (size_t i = 0; i < pairs; ++i)
        {
            const size_t at = 2 * Below(arguments.size() / 2 + 1);
            arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(at),
                             {Percent() < 80 ? Pick(kKnownSwitches) : Pick(kLookalikes), Value()});
        }
        if (Percent() < 20)
            arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(Below(arguments.size() + 1)),
                             Percent() < 50 ? std::wstring(Pick(kLookalikes)) : Value());
        return arguments;
    }

    // Switches, look-alikes and values in any number and order: mostly
    // within the four that a command line may have, now and then beyond.
    std::vector<std::wstring> AnyArguments()
    {
        const size_t count = Percent() < 80 ? Below(5) : 5 + Below(3);
        std::vector<std::wstring> arguments;
        for (size_t i = 0; i < count; ++i)
        {
            const unsigned kind = Percent();
            if (kind < 40)
                arguments.push_back(Pick(kKnownSwitches));
            else if (kind < 55)
                arguments.push_back(Pick(kLookalikes));
            else
                arguments.push_back(Value());
        }
        return arguments;
    }

private:
    unsigned Percent() { return Below(100); }
    unsigned Below(size_t bound)
    {
        return std::uniform_int_distribution<unsigned>(0, static_cast<unsigned>(bound - 1))(m_random);
    }
    template <size_t N>
    const wchar_t* Pick(const wchar_t* const (&items)[N])
    {
        return items[Below(N)];
    }

    std::wstring Text(size_t length)
    {
        std::wstring text;
        while (text.size() < length)
            text += Pick(kTextPieces);
        text.resize(length);
        // Never end on half a surrogate pair: that is no text at all.
        if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF)
            text.back() = L'x';
        return text;
    }

    std::wstring Value()
    {
        const unsigned kind = Percent();
        if (kind < 10)
            return std::wstring();
        if (kind < 30)
            return Pick(kPlainValues);
        if (kind < 40)
            return Pick(kKnownSwitches);
        if (kind < 85)
            return Text(1 + Below(40));
        return Text(kLongLengths[Below(ARRAYSIZE(kLongLengths))]);
    }

    std::mt19937 m_random;
};

// The quoting that CommandLineToArgvW undoes: backslashes are doubled only
// where a quote follows them. Plain arguments go unquoted now and then, so
// both forms are read.
std::wstring QuoteForCommandLine(const std::wstring& argument, bool quoteAlways)
{
    if (!quoteAlways && !argument.empty() && argument.find_first_of(L" \t\n\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument)
    {
        if (c == L'\\')
        {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// What the command line must give, worked out from the rules of the
// command line alone.
struct Expected
{
    DWORD exitCode = 0;
    bool silent = false;
    bool record = false;
    bool languageGiven = false;
    std::wstring silentFile;
    std::wstring recordFile;
    std::wstring language;
};

int SwitchOf(const std::wstring& argument)
{
    if (argument.empty() || (argument[0] != L'-' && argument[0] != L'/'))
        return 0;
    std::wstring name = argument.substr(1);
    for (wchar_t& c : name)
    {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    if (name == L"r" || name == L"record")
        return 'r';
    if (name == L"s" || name == L"silent")
        return 's';
    if (name == L"l" || name == L"language")
        return 'l';
    return 0;
}

Expected Predict(const std::vector<std::wstring>& arguments)
{
    Expected expected;
    if (arguments.size() > 4)
    {
        expected.exitCode = 87;
        return expected;
    }
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        const int kind = SwitchOf(arguments[i]);
        if (kind == 0)
            continue;
        if (i + 1 == arguments.size() || arguments[i + 1].size() > 1023)
        {
            expected.exitCode = 87;
            return expected;
        }
        const std::wstring& value = arguments[++i];
        if (kind == 'r')
        {
            expected.record = true;
            expected.recordFile = value;
        }
        else if (kind == 's')
        {
            expected.silent = true;
            expected.silentFile = value;
        }
        else
        {
            expected.languageGiven = true;
            expected.language = value;
        }
    }
    return expected;
}

// The kit's catalogue: a silent run finds the language of the switch here,
// or falls back to English (the OS language of the test prefix).
std::wstring LanguageArgsFor(const Expected& expected)
{
    static const wchar_t* const kKitLanguages[] = {L"1033", L"1031", L"1040", L"3082", L"1049"};
    if (expected.languageGiven)
    {
        for (const wchar_t* language : kKitLanguages)
        {
            if (expected.language == language)
                return L"-l" + expected.language + L" /vProductLanguage=" + expected.language;
        }
    }
    return kEnglishArgs;
}

std::string Describe(const std::vector<std::wstring>& arguments)
{
    std::string text = "[";
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        std::wstring shown = arguments[i];
        if (shown.size() > 60)
            shown = shown.substr(0, 40) + L"... (" + std::to_wstring(arguments[i].size()) + L" characters)";
        // Control and invisible characters are shown by their code.
        std::wstring escaped;
        for (wchar_t c : shown)
        {
            if (c < 0x20 || c == 0x200B || c == 0x202E || c == 0xFEFF || c == 0x00AD)
            {
                wchar_t code[8];
                StringCchPrintfW(code, ARRAYSIZE(code), L"\\u%04X", static_cast<unsigned>(c));
                escaped += code;
            }
            else
            {
                escaped += c;
            }
        }
        text += (i ? ", <" : "<") + WideToUtf8(escaped) + ">";
    }
    return text + "]";
}

unsigned NumberFrom(const wchar_t* variable, unsigned fallback)
{
    const std::wstring value = EnvironmentValue(variable);
    return value.empty() ? fallback : static_cast<unsigned>(std::wcstoul(value.c_str(), nullptr, 0));
}

// One generated run: what went wrong, or nothing.
std::string CheckRun(Scenario& scenario, const std::vector<std::wstring>& arguments, bool quoteAlways)
{
    DeleteFileW(scenario.LogPath().c_str());

    std::wstring commandLine;
    for (const auto& argument : arguments)
        commandLine += (commandLine.empty() ? L"" : L" ") + QuoteForCommandLine(argument, quoteAlways);
    const Expected expected = Predict(arguments);

    auto child = scenario.Start(commandLine);
    if (!child->Started())
        return "could not be started";
    DWORD exitCode = STILL_ACTIVE;
    if (expected.exitCode == 0 && !expected.silent)
    {
        HWND dialog = nullptr;
        WaitUntil([&] { return (dialog = WaitForDialogWith(child->Id(), kLanguageListId, 0)) != nullptr ||
                               child->HasExited(); },
                  kWindowTimeoutMs);
        if (dialog != nullptr)
            ClickButton(dialog, IDCANCEL);
    }
    if (!child->WaitForExit(kWindowTimeoutMs))
    {
        child->Terminate();
        return "did not end; its log:\n" + DescribeMessages(scenario.LogMessages());
    }
    exitCode = child->ExitCode();

    std::string problems;
    if (LooksLikeACrash(exitCode))
        return "crashed with " + Hex(exitCode) + "; its log:\n" + DescribeMessages(scenario.LogMessages());
    if (exitCode != expected.exitCode)
        problems += "exit code " + std::to_string(exitCode) + ", expected " + std::to_string(expected.exitCode) + "; ";

    const DiagnosticLogContents log = scenario.Log();
    if (expected.exitCode == 87)
    {
        if (log.exists)
            problems += "a refused command line wrote a log; ";
        if (scenario.SetupWasStarted())
            problems += "a refused command line started the setup; ";
        return problems;
    }

    problems += LogProblems(log);
    const bool fullUiLine = HasMessage(log.messages, L"SetupBootStrapper.WinMain: This is a FULL UI 'Zel Morvanto 9.5' install");
    const bool recordingLine =
        HasMessage(log.messages, L"SetupBootStrapper.WinMain: This is a recording 'Zel Morvanto 9.5' install");
    if (fullUiLine == expected.silent)
        problems += expected.silent ? "a silent run logged FULL UI; " : "the FULL UI line is missing; ";
    if (recordingLine != expected.record)
        problems += expected.record ? "the recording line is missing; " : "a recording line without /r; ";

    if (!expected.silent)
    {
        if (!HasMessage(log.messages, L"MorvantoBootStrapper.LaunchExe: aborting installation"))
            problems += "the cancelled language dialog did not end the run; ";
    }
    else
    {
        const std::wstring mode =
            expected.record ? L"/r /f1" + expected.recordFile : L"/s /f1" + expected.silentFile;
        const std::wstring setupCommandLine =
            L"morvanto9.exe " + mode + L" " + LanguageArgsFor(expected) + L" /qn " + InstallerLogArgument(scenario);
        const std::wstring running = L"MorvantoBootStrapper.CreateMsiexecProcess: Running: morvanto9.exe with args: ";
        if (setupCommandLine.size() > kSetupCommandLimit)
        {
            if (!HasMessage(log.messages, kTooLongLine))
                problems += "no line about the setup command line being too long; ";
        }
        else if (!HasMessage(log.messages, running + setupCommandLine))
        {
            problems += "the setup command line is not <" + Utf8Of(setupCommandLine) + ">; ";
        }
    }
    if (!problems.empty())
        problems += "its log:\n" + DescribeMessages(log.messages);
    return problems;
}
}  // namespace

TEST(HostileCommandLine, SeededArgumentVectorsEndWith0Or87AndNeverCrash)
{
    // BS_FUZZ_SEED and BS_FUZZ_RUNS repeat or widen a run.
    const unsigned seed = NumberFrom(L"BS_FUZZ_SEED", 20261205u);
    const unsigned runs = NumberFrom(L"BS_FUZZ_RUNS", 200u);
    ArgumentGenerator generator(seed);
    Scenario scenario(L"fuzz-command-line");
    scenario.SetPrerequisitesPresent();
    // Without the setup beside it, a run ends right after logging the command
    // line it would start, the very text the setup would get: one process
    // less a run.
    ASSERT_TRUE(DeleteFileW(scenario.KitFile(L"morvanto9.exe").c_str()));

    unsigned failed = 0;
    unsigned byOutcome[3] = {0, 0, 0};  // 87, silent, language dialog
    for (unsigned i = 0; i < runs && failed < 10; ++i)
    {
        const std::vector<std::wstring> arguments = generator.Next();
        const std::string problems = CheckRun(scenario, arguments, i % 3 != 0);
        const Expected expected = Predict(arguments);
        ++byOutcome[expected.exitCode != 0 ? 0 : expected.silent ? 1 : 2];
        if (!problems.empty())
        {
            ++failed;
            ADD_FAILURE() << "seed " << seed << " (set BS_FUZZ_SEED=" << seed << " to repeat), run " << i << ", "
                          << Describe(arguments) << ": " << problems;
        }
    }
    std::printf("seed %u: %u runs refused with 87, %u silent, %u through the language dialog\n", seed, byOutcome[0],
                byOutcome[1], byOutcome[2]);
    // A generator that stopped producing one of the outcomes would leave a
    // part of the command line untested.
    EXPECT_GT(byOutcome[0], runs / 10);
    EXPECT_GT(byOutcome[1], runs / 10);
    EXPECT_GT(byOutcome[2], runs / 20);
}

// --- languages.ini -----------------------------------------------------------

namespace
{
std::string Utf16Bytes(const std::wstring& text, bool byteOrderMark)
{
    std::string bytes = byteOrderMark ? std::string("\xFF\xFE", 2) : std::string();
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

std::string SeededJunk(unsigned seed, size_t size)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    // Not a byte-order mark: the file is read as junk of the ANSI code page.
    bytes[0] = 'J';
    return bytes;
}

std::wstring Section(const std::wstring& name, const std::wstring& productLanguage, const std::wstring& command)
{
    return L"[" + name + L"]\r\nProductLanguage=" + productLanguage + L"\r\nCommand=" + command + L"\r\n";
}

// A catalogue whose sections have names beyond the Latin alphabet.
std::wstring WorldCatalogue()
{
    return Section(L"English", L"1033", kEnglishArgs) + Section(L"Deutsch \x00FC\x00DF", L"1031", kGermanArgs) +
           Section(L"Italiano \x00E8", L"1040", L"-l1040 /vProductLanguage=1040 /vName=Italiano") +
           Section(L"\x0420\x0443\x0441\x0441\x043A\x0438\x0439", L"1049", L"-l1049 /vProductLanguage=1049") +
           Section(L"\x65E5\x672C\x8A9E \xD83D\xDE00", L"1041", L"-l1041");
}

std::string ManySections(size_t count)
{
    std::wstring text;
    for (size_t i = 1; i <= count; ++i)
    {
        const std::wstring number = std::to_wstring(i);
        // Only the last section is Italian.
        text += Section(L"Language " + number, i == count ? L"1040" : L"9" + number,
                        L"-l" + number + L" /vSection=" + number);
    }
    return Utf16Bytes(text, true);
}

struct CatalogueCase
{
    const char* name;
    std::string bytes;
    // The silent run's language arguments, any of these; empty: the setup
    // command line is too long to run.
    std::vector<std::wstring> accepted;
    // Entries of the full-UI run's language list; -1: whatever the profile
    // functions make of the file.
    int listEntries;
    // The full-UI run: nullptr, the person cancels; else OK on the entry the
    // dialog preselected, and the setup gets these language arguments.
    const wchar_t* confirmedArgs;
};
}  // namespace

TEST(HostileCatalogue, BrokenAndHugeCataloguesNeitherCrashNorLoseTheRun)
{
    const std::wstring longName(4000, L'N');
    const std::wstring longValue = L"1040" + std::wstring(3996, L'7');
    const CatalogueCase cases[] = {
        {"binary junk", SeededJunk(7, 64 * 1024), {kEnglishArgs}, -1, L""},
        {"UTF-16 with a byte-order mark", Utf16Bytes(WorldCatalogue(), true),
         {L"-l1040 /vProductLanguage=1040 /vName=Italiano"}, 5, kEnglishArgs},
        // Whether the profile functions read UTF-16 without its mark is
        // their business; the run goes on either way.
        {"UTF-16 without a byte-order mark", Utf16Bytes(WorldCatalogue(), false),
         {L"-l1040 /vProductLanguage=1040 /vName=Italiano", kEnglishArgs}, -1, nullptr},
        {"5,000 sections, the Italian one last", ManySections(5000), {L"-l5000 /vSection=5000"}, 5000, nullptr},
        // The long name is looked up cut, so its keys read as empty; the walk
        // goes on to the next section.
        {"a section name of 4,000 characters",
         Utf16Bytes(Section(longName, L"1040", L"-lLong") + Section(L"Italian", L"1040", kItalianArgs), true),
         {kItalianArgs}, 2, L""},
        {"a ProductLanguage of 4,000 characters",
         Utf16Bytes(Section(L"Long", longValue, L"-lLong") + Section(L"English", L"1033", kEnglishArgs), true),
         {kEnglishArgs}, 2, kEnglishArgs},
        // A Command read cut at 1,023 characters makes a setup command line
        // that is too long: no setup rather than a cut one.
        {"a Command of 4,000 characters",
         Utf16Bytes(Section(L"Italian", L"1040", L"-l1040 " + std::wstring(3993, L'c')), true), {}, 1, nullptr},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario scenario(L"hostile-catalogue");
        scenario.SetPrerequisitesPresent();
        WriteFileBytes(scenario.KitFile(L"languages.ini"), c.bytes);

        ASSERT_EQ(RunBounded(scenario, L"/s a.iss /l 1040", kRunTimeoutMs), 0u);
        ExpectIntactLog(scenario);
        if (c.accepted.empty())
        {
            EXPECT_FALSE(scenario.SetupWasStarted());
            EXPECT_TRUE(HasMessage(scenario.LogMessages(), kTooLongLine));
        }
        else
        {
            ExpectSilentSetupInOneOf(scenario, c.accepted);
        }

        // The language dialog lists what it can read and waits for the user.
        DeleteFileW(scenario.LogPath().c_str());
        DeleteFileW(scenario.KitFile(L"morvanto9-received.txt").c_str());
        auto child = scenario.Start(L"");
        size_t entries = 0;
        EXPECT_EQ(AnswerLanguageDialog(*child, c.confirmedArgs != nullptr, &entries), 0u);
        if (c.listEntries >= 0)
        {
            EXPECT_EQ(entries, static_cast<size_t>(c.listEntries));
        }
        if (c.confirmedArgs != nullptr)
        {
            EXPECT_EQ(scenario.SetupCommandLine(),
                      L"morvanto9.exe " + std::wstring(c.confirmedArgs) + L" " + InstallerLogArgument(scenario));
        }
        else
        {
            EXPECT_FALSE(scenario.SetupWasStarted());
        }
        ExpectIntactLog(scenario);
    }
}

// --- crmiini.xml ---------------------------------------------------------------

namespace
{
const std::wstring kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{CBE19707-CF6D-4819-9574-3DFD568960FA}";

// The product installed in the kit's own version, so that the run is an
// update that takes its language from the settings file.
std::wstring InstallProductWithSettings(Scenario& scenario, const std::string& settings)
{
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kUninstallKey, L"DisplayName",
                                  L"Zel Morvanto 9.5");
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kUninstallKey, L"DisplayVersion", L"9.5.0.1");
    const std::wstring folder = scenario.Root() + L"\\installed product";
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteFileBytes(folder + L"\\crmiini.xml", settings);
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path", folder);
    return folder;
}

std::string Nested(size_t levels)
{
    std::string text = "<?xml version=\"1.0\"?>\n<Settings>";
    for (size_t i = 0; i < levels; ++i)
        text += "<a>";
    text += "<Language id=\"1040\"/>";
    for (size_t i = 0; i < levels; ++i)
        text += "</a>";
    return text + "</Settings>\n";
}

// Twenty megabytes of settings before the Language element.
std::string Huge()
{
    std::string text = "<?xml version=\"1.0\"?>\n<Settings>\n";
    const std::string filler = "  <Filler name=\"padding\" value=\"0123456789abcdefghijklmnopqrstuvwxyz\"/>\n";
    while (text.size() < 20 * 1024 * 1024)
        text += filler;
    return text + "  <Language id=\"1040\"/>\n</Settings>\n";
}

std::string EntityBomb()
{
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE Settings [\n  <!ENTITY e0 \"1040\">\n";
    for (int i = 1; i <= 10; ++i)
    {
        text += "  <!ENTITY e" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            text += "&e" + std::to_string(i - 1) + ";";
        text += "\">\n";
    }
    return text + "]>\n<Settings><Language id=\"&e10;\"/><Text>&e10;</Text></Settings>\n";
}

struct SettingsCase
{
    const char* name;
    std::string settings;
    std::vector<std::wstring> accepted;  // the update's language arguments, any of these
    const wchar_t* expectedLine;         // a line the reader must have written, or nullptr
};

}  // namespace

TEST(HostileSettingsFile, BrokenAndHostileSettingsFilesEndInALanguageOfTheCatalogue)
{
    const std::string header = "<?xml version=\"1.0\"?>\n";
    const SettingsCase cases[] = {
        {"malformed", header + "<Settings><Language id=\"1040\"></Settings>\n", {kEnglishArgs},
         L"MorvantoBootStrapper.GetLangIdFromCrmi: error while loading document."},
        {"empty", "", {kEnglishArgs}, L"MorvantoBootStrapper.GetLangIdFromCrmi: error while loading document."},
        {"binary junk", SeededJunk(11, 4096), {kEnglishArgs},
         L"MorvantoBootStrapper.GetLangIdFromCrmi: error while loading document."},
        // A parser may refuse so deep a document or read it; it must not
        // take the process down.
        {"10,000 levels of nesting", Nested(10000), {kEnglishArgs, kItalianArgs}, nullptr},
        {"an entity-expansion bomb", EntityBomb(), {kEnglishArgs}, nullptr},
        {"a Language id of 5,000 characters", header + "<Settings><Language id=\"" + std::string(5000, '7') +
                                                  "\"/></Settings>\n",
         {kEnglishArgs},
         L"MorvantoBootStrapper.GetLangIdFromCrmi: language id is too long (1024 characters or more)"},
        {"20 MB", Huge(), {kItalianArgs},
         L"MorvantoBootStrapper.GetLangIdFromCrmi: language id retrieved from crmi is: 1040"},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario scenario(L"hostile-settings");
        scenario.SetPrerequisitesPresent();
        InstallProductWithSettings(scenario, c.settings);

        const DWORD start = GetTickCount();
        ASSERT_EQ(RunBounded(scenario, L"/s a.iss", kRunTimeoutMs), 0u);
        std::printf("%s: the update ran for %lu ms\n", c.name, static_cast<unsigned long>(GetTickCount() - start));
        ExpectIntactLog(scenario);
        ExpectSilentSetupInOneOf(scenario, c.accepted);
        if (c.expectedLine != nullptr)
        {
            EXPECT_TRUE(HasMessage(scenario.LogMessages(), c.expectedLine)) << DescribeMessages(scenario.LogMessages());
        }
    }
}

TEST(HostileSettingsFile, AnExternalEntityDoesNotLeakALocalFileIntoTheLanguage)
{
    // The local file would make the update Italian if the parser read it.
    struct Case
    {
        const char* name;
        const char* secretName;
        std::string secret;
        std::string settings;
        std::vector<std::wstring> accepted;
    } cases[] = {
        {"an entity that brings in an element", "secret.xml", "<Language id=\"1040\"/>",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE Settings [<!ENTITY secret SYSTEM \"secret.xml\">]>\n"
         "<Settings>&secret;<Language id=\"1031\"/></Settings>\n",
         {kGermanArgs, kEnglishArgs}},
        {"an external DTD that gives the id a default", "secret.dtd", "<!ATTLIST Language id CDATA \"1040\">\n",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE Settings SYSTEM \"secret.dtd\">\n<Settings><Language/></Settings>\n",
         {kEnglishArgs}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario scenario(L"hostile-entity");
        scenario.SetPrerequisitesPresent();
        const std::wstring folder = InstallProductWithSettings(scenario, c.settings);
        WriteFileBytes(JoinPath(folder, Utf8ToWide(c.secretName)), c.secret);

        ASSERT_EQ(RunBounded(scenario, L"/s a.iss", kRunTimeoutMs), 0u);
        ExpectIntactLog(scenario);
        ExpectSilentSetupInOneOf(scenario, c.accepted);
        EXPECT_FALSE(HasMessage(scenario.LogMessages(),
                                L"MorvantoBootStrapper.GetLangIdFromCrmi: language id retrieved from crmi is: 1040"));
    }
}

// --- Registry detections ---------------------------------------------------------

namespace
{
struct StoredValue
{
    const char* name;
    DWORD type;
    std::string bytes;
};

std::string WideBytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::vector<StoredValue> HostileValues()
{
    const std::wstring long511 = L"2.9" + std::wstring(508, L'x');
    const std::wstring long512 = L"2.9" + std::wstring(509, L'x');
    const DWORD number = 0x33;  // its bytes read as the text "3"
    return {
        {"a number", REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof(number))},
        {"binary text without a terminator", REG_BINARY, WideBytes(L"2.9")},
        {"an empty string", REG_SZ, WideBytes(std::wstring(1, L'\0'))},
        {"no data at all", REG_SZ, std::string()},
        {"511 characters", REG_SZ, WideBytes(long511 + L'\0')},
        {"512 characters", REG_SZ, WideBytes(long512 + L'\0')},
        {"REG_MULTI_SZ", REG_MULTI_SZ, WideBytes(std::wstring(L"2.9\0" L"1.0\0\0", 9))},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, WideBytes(std::wstring(L"2.9%SystemRoot%") + L'\0')},
    };
}

// The text a detection sees: its buffer primed with "-", the value's bytes
// copied over it when they fit the reader's 1,024 bytes.
std::wstring TextAfterRead(const std::string& bytes)
{
    std::vector<wchar_t> buffer(1024, L'\0');
    buffer[0] = L'-';
    if (bytes.size() <= 1024)
        std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(buffer.data()));
    return std::wstring(buffer.data());
}

enum class Detected
{
    DotNet,
    LanguagePack,
    MdacVersion,
    MdacRollback,
    WindowsInstallerPackage
};

struct DetectionValue
{
    const char* name;
    Detected what;
    std::wstring key;
    std::wstring value;
};

const std::wstring kDotNetKey = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
const std::wstring kMdacKey = L"Software\\Microsoft\\DataAccess";
const std::wstring kKbKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2";
}  // namespace

TEST(HostileRegistry, EveryDetectionValueOfAnyShapeEndsInAnAnswer)
{
    const DetectionValue values[] = {
        {".NET Install", Detected::DotNet, kDotNetKey, L"Install"},
        {"language pack Install", Detected::LanguagePack, kDotNetKey + L"\\1031", L"Install"},
        {"MDAC FullInstallVer", Detected::MdacVersion, kMdacKey, L"FullInstallVer"},
        {"MDAC RollbackVersion", Detected::MdacRollback, kMdacKey, L"RollbackVersion"},
        {"Windows Installer 3.1 DisplayName", Detected::WindowsInstallerPackage, kKbKey, L"DisplayName"},
    };
    unsigned runs = 0;
    for (const auto& value : values)
    {
        for (const auto& stored : HostileValues())
        {
            SCOPED_TRACE(std::string(value.name) + " stored as " + stored.name);
            Scenario scenario(L"hostile-registry");
            scenario.SetPrerequisitesPresent();
            const bool german = value.what == Detected::LanguagePack;
            if (german)
            {
                // A German XP needs the German language pack.
                scenario.EmulateWindows(L"winxp");
                scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Native,
                                              L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", L"InstallLanguage",
                                              L"0407");
            }
            if (value.what == Detected::MdacRollback)
                scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"FullInstallVer",
                                              L"2.70.7713.0");
            scenario.Registry().SetBytes(HKEY_LOCAL_MACHINE, RegView::Wow32, value.key, value.value, stored.type,
                                         stored.bytes.data(), static_cast<DWORD>(stored.bytes.size()));

            ASSERT_EQ(RunBounded(scenario, L"/s a.iss", kRunTimeoutMs), 0u);
            ++runs;
            ExpectIntactLog(scenario);

            // What the run had to install, worked out from the bytes.
            const std::wstring seen = TextAfterRead(stored.bytes);
            std::vector<std::string> wanted;
            if (value.what == Detected::DotNet && seen == L"-")
                wanted.push_back("NetFx64.exe");
            if (value.what == Detected::LanguagePack && seen == L"-")
                wanted.push_back("langpack.exe");
            if ((value.what == Detected::MdacVersion || value.what == Detected::MdacRollback) && seen < L"2.8")
                wanted.push_back("mdac_typ.exe");
            std::vector<std::string> installed;
            for (const auto& call : ReadLibraryJournal(scenario.KitDir()))
                installed.push_back(call.size() > 2 ? call[2] : "?");
            EXPECT_EQ(installed, wanted);
            EXPECT_EQ(scenario.SetupCommandLine(),
                      SilentSetupCommandLine(scenario, L"a.iss", german ? kGermanArgs : kEnglishArgs));
        }
    }
    EXPECT_EQ(runs, 40u);
}

TEST(HostileRegistry, TheWindowsInstallerPackageOfAnyShapeCountsOnlyWhenReadWhole)
{
    // Only Windows 2000 and early XP and 2003 ask for the package; Windows
    // 2000 reads the native view.
    for (const auto& stored : HostileValues())
    {
        SCOPED_TRACE(stored.name);
        RegistrySandbox registry;
        registry.SetBytes(HKEY_LOCAL_MACHINE, RegView::Native, kKbKey, L"DisplayName", stored.type,
                          stored.bytes.data(), static_cast<DWORD>(stored.bytes.size()));
        ProbeResult result = RunProbeOn(L"win2k", L"IsWIInstalled");
        EXPECT_EQ(result.values["answer"], stored.bytes.size() <= 1024 ? "1" : "0");
    }
}

// --- Surroundings ----------------------------------------------------------------

namespace
{
// The Unix path of a Z: path, for the few things only Unix can do.
std::string UnixPath(const std::wstring& path)
{
    std::string unix = WideToUtf8(path.substr(2));
    std::replace(unix.begin(), unix.end(), '\\', '/');
    return unix;
}

// A folder in which nothing can be created, not even by root: the Unix
// immutable attribute, set by chattr. Wine starts a Unix program without a
// process handle to wait on, so the helper waits for the effect instead.
// Undone when the object goes.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const std::wstring& folder) : m_folder(folder)
    {
        Chattr("+i");
        m_set = WaitUntil([&] { return !CanCreateFile(); }, kWindowTimeoutMs);
    }
    ~ReadOnlyFolder()
    {
        Chattr("-i");
        EXPECT_TRUE(WaitUntil([&] { return CanCreateFile(); }, kWindowTimeoutMs))
            << "cannot make " << WideToUtf8(m_folder) << " writable again";
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool Set() const { return m_set; }

private:
    void Chattr(const char* change)
    {
        std::wstring commandLine =
            L"Z:\\usr\\bin\\chattr " + Utf8ToWide(change) + L" " + Quote(Utf8ToWide(UnixPath(m_folder)));
        STARTUPINFOW startupInfo = {};
        startupInfo.cb = sizeof(startupInfo);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startupInfo,
                           &info))
        {
            if (info.hThread != nullptr)
                CloseHandle(info.hThread);
            if (info.hProcess != nullptr)
                CloseHandle(info.hProcess);
        }
    }

    bool CanCreateFile() const
    {
        const std::wstring probe = JoinPath(m_folder, L"probe.tmp");
        HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    }

    std::wstring m_folder;
    bool m_set = false;
};

void WriteControlFile(const Scenario& scenario, const wchar_t* name, const std::string& text)
{
    WriteUtf8File(scenario.KitFile(name), text);
}
}  // namespace

TEST(HostileSurroundings, ATemporaryFolderWithSpacesAndNonAsciiLettersHoldsTheLogs)
{
    ScenarioOptions options;
    options.tempFolderName = L"temp \x00FC\x00DF \x0416\x044F \x65E5\x672C \xD83D\xDE00";
    Scenario scenario(L"hostile-temp-name", options);
    scenario.SetPrerequisitesPresent();
    ASSERT_EQ(RunBounded(scenario, L"/s a.iss", kRunTimeoutMs), 0u);
    ExpectIntactLog(scenario);
    EXPECT_EQ(scenario.SetupCommandLine(), SilentSetupCommandLine(scenario, L"a.iss", kEnglishArgs));
}

TEST(HostileSurroundings, AReadOnlyTemporaryFolderLosesTheLogButNotTheRun)
{
    Scenario scenario(L"hostile-temp-read-only");
    scenario.SetPrerequisitesPresent();
    const std::wstring folder = scenario.TempFolder().substr(0, scenario.TempFolder().size() - 1);
    ReadOnlyFolder readOnly(folder);
    ASSERT_TRUE(readOnly.Set()) << "cannot make " << Utf8Of(folder) << " read-only";

    ASSERT_EQ(RunBounded(scenario, L"/s a.iss", kRunTimeoutMs), 0u);
    EXPECT_FALSE(scenario.Log().exists);
    // The setup still runs, and is told where its own log belongs.
    EXPECT_EQ(scenario.SetupCommandLine(), SilentSetupCommandLine(scenario, L"a.iss", kEnglishArgs));
}

TEST(HostileSurroundings, ALogHeldOpenByAnotherProgramIsLeftAsItWasAndTheRunGoesOn)
{
    Scenario scenario(L"hostile-log-held");
    scenario.SetPrerequisitesPresent();
    // Another program's line, in the log's own form.
    const std::string theirs =
        std::string("\xFF\xFE", 2) + WideBytes(L"12/31/2026 23:59:59 AnotherProgram: holding this file\r\n");
    {
        HANDLE held = CreateFileW(scenario.LogPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        DWORD cbWritten = 0;
        WriteFile(held, theirs.data(), static_cast<DWORD>(theirs.size()), &cbWritten, nullptr);

        const DWORD exitCode = RunBounded(scenario, L"/s a.iss", kRunTimeoutMs);
        CloseHandle(held);
        ASSERT_EQ(exitCode, 0u);
    }
    EXPECT_EQ(ReadFileBytes(scenario.LogPath()), theirs) << "the other program's file was changed";
    EXPECT_EQ(scenario.SetupCommandLine(), SilentSetupCommandLine(scenario, L"a.iss", kEnglishArgs));

    // Once the file is free again, the next run appends behind their line.
    ASSERT_EQ(RunBounded(scenario, L"/s again.iss", kRunTimeoutMs), 0u);
    const std::string after = ReadFileBytes(scenario.LogPath());
    EXPECT_EQ(after.substr(0, theirs.size()), theirs);
    ExpectIntactLog(scenario);
}

TEST(HostileSurroundings, ASetupThatCrashesOrHangsIsWaitedForAndTheRunEnds)
{
    {
        SCOPED_TRACE("a crashing setup");
        Scenario scenario(L"hostile-setup-crash");
        scenario.SetPrerequisitesPresent();
        WriteControlFile(scenario, L"morvanto9-control.ini", "[Behaviour]\r\nCrash=1\r\n");
        ASSERT_EQ(RunBounded(scenario, L"/s a.iss", kRunTimeoutMs), 0u);
        EXPECT_TRUE(scenario.SetupWasStarted());
        ExpectIntactLog(scenario);
        EXPECT_TRUE(HasMessage(scenario.LogMessages(), L"MorvantoBootStrapper.CreateMsiexecProcess: Process ended"));
    }
    {
        SCOPED_TRACE("a hanging setup");
        Scenario scenario(L"hostile-setup-hang");
        scenario.SetPrerequisitesPresent();
        WriteControlFile(scenario, L"morvanto9-control.ini", "[Behaviour]\r\nHangMs=120000\r\n");
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"Morvanto9StandIn.Release");
        ASSERT_NE(release, nullptr);
        auto child = scenario.Start(L"/s a.iss");
        const std::wstring waiting = L"MorvantoBootStrapper.CreateMsiexecProcess: Waitting for process to end";
        // The setup is up and the bootstrapper waits for it.
        EXPECT_TRUE(WaitUntil([&] { return scenario.SetupWasStarted() && HasMessage(scenario.LogMessages(), waiting); },
                              kWindowTimeoutMs));
        EXPECT_FALSE(child->HasExited()) << "the bootstrapper did not wait for the hanging setup";
        const std::vector<std::wstring> sofar = scenario.LogMessages();
        EXPECT_TRUE(!sofar.empty() && sofar.back() == waiting) << DescribeMessages(sofar);
        SetEvent(release);
        EXPECT_TRUE(child->WaitForExit(kRunTimeoutMs));
        CloseHandle(release);
        EXPECT_EQ(child->ExitCode(), 0u);
        ExpectIntactLog(scenario);
    }
}

TEST(HostileSurroundings, ALibraryThatFailsEveryTimeIsRetriedUntilTheUserExits)
{
    Scenario scenario(L"hostile-library-fails");
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"FullInstallVer", L"2.81.1117.0");
    WriteControlFile(scenario, L"downloadandrun-control.ini", "[Answers]\r\nNetFx64.exe=1603\r\n");
    auto child = scenario.Start(L"/s a.iss");

    constexpr size_t kRetries = 5;
    for (size_t attempt = 1; attempt <= kRetries + 1; ++attempt)
    {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        HWND failure = WaitForDialogWith(child->Id(), kOpenLocationBoxId);
        ASSERT_NE(failure, nullptr) << "no failure dialog";
        EXPECT_EQ(ReadLibraryJournal(scenario.KitDir()).size(), attempt);
        if (attempt <= kRetries)
        {
            ClickButton(failure, IDOK);  // Retry
        }
        else
        {
            SetChecked(failure, kOpenLocationBoxId, false);
            ClickButton(failure, IDCANCEL);  // Exit Setup
        }
        ASSERT_TRUE(WaitForWindowGone(failure));
    }
    ASSERT_TRUE(child->WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(child->ExitCode(), 0u);
    EXPECT_FALSE(scenario.SetupWasStarted());
    EXPECT_EQ(ReadLibraryJournal(scenario.KitDir()).size(), kRetries + 1);
    ExpectIntactLog(scenario);
    size_t retries = 0;
    for (const auto& message : scenario.LogMessages())
        retries += message == L"DownloadAndRunApp: User choose to retry 'Microsoft .NET Framework 2.0 x64' installation";
    EXPECT_EQ(retries, kRetries);
    EXPECT_TRUE(HasMessage(scenario.LogMessages(), L"DownloadAndRunApp: User choose to abort the setup"));
}
