// What a careless packager, a damaged disk or another program hands the
// bootstrapper: runs generated from a few shapes, each held to one
// invariant. The command lines come from a seeded generator; a failure
// names the seed, BS_FUZZ_SEED repeats it and BS_FUZZ_RUNS lengthens it.

#include "tests/runs/WholeRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace harness;
using namespace runs;

namespace
{
std::string Line(const std::vector<std::string>& record, const std::string& prefix)
{
    for (const auto& line : record)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
    return "(none)";
}

// The run ended with exitCode, caught nothing, and wrote its last line.
void ExpectCalmEnd(const std::vector<std::string>& record, int exitCode = 0)
{
    EXPECT_EQ(Line(record, "exit code: "), std::to_string(exitCode));
    for (const auto& line : record)
    {
        EXPECT_EQ(line.find("exception caug"), std::string::npos) << line;
    }
    if (exitCode == 0)
    {
        EXPECT_EQ(record.back(), "  SetupBootStrapper.WinMain: Deleting resources after installation");
    }
}

unsigned Number(const wchar_t* name, unsigned fallback)
{
    wchar_t text[16];
    return GetEnvironmentVariableW(name, text, 16) ? static_cast<unsigned>(_wtoi(text)) : fallback;
}

Row Silent(const char* name, const std::wstring& arguments = L"/s a.iss")
{
    Row row;
    row.name = name;
    row.values = NothingMissing();
    row.arguments = arguments;
    return row;
}
class HostileRuns : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!Is64BitWindows())
            GTEST_SKIP() << "hostile input meets the same code on either Windows: it runs on the 64-bit one";
    }
};
}  // namespace

TEST_F(HostileRuns, CommandLinesEndWith87ExactlyWhenFaultyAndNeverCrash)
{
    const unsigned seed = Number(L"BS_FUZZ_SEED", 20261206), runs = Number(L"BS_FUZZ_RUNS", 30);
    std::mt19937 random(seed);
    const std::vector<std::wstring> pool = {
        L"/s", L"-S", L"/silent", L"/r", L"-RECORD", L"/l", L"/Language", L"/x", L"--s", L"/silently", L"/", L"-",
        L"a.iss", L"1031", L"9999", L"two words", L"\x00FC\x00DF.iss", std::wstring(1023, L'v'), std::wstring(1024, L'w')};
    for (unsigned run = 0; run < runs; ++run)
    {
        std::vector<std::wstring> argv(random() % 7);
        std::wstring arguments;
        for (auto& argument : argv)
        {
            argument = pool[random() % pool.size()];
            arguments += (arguments.empty() ? L"\"" : L" \"") + argument + L"\"";
        }
        // The rules: at most four arguments; a switch takes the next one as
        // its value, whatever it is, and a value holds at most 1,023 characters.
        bool faulty = argv.size() > 4;
        for (size_t i = 0; i < argv.size() && !faulty; ++i)
        {
            std::wstring name = argv[i].substr(std::min<size_t>(1, argv[i].size()));
            std::transform(name.begin(), name.end(), name.begin(), ::towlower);
            if ((argv[i][0] == L'/' || argv[i][0] == L'-') &&
                (name == L"s" || name == L"silent" || name == L"r" || name == L"record" || name == L"l" ||
                 name == L"language"))
                faulty = ++i == argv.size() || argv[i].size() > 1023;
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(run) + ": " +
                     Utf8(arguments.substr(0, 200)));
        const auto record = Record(Silent("hostile-command-line", arguments));
        ExpectCalmEnd(record, faulty ? 87 : 0);
        if (faulty)
        {
            EXPECT_EQ(record.back(), "log: (none)");
        }
    }
}

TEST_F(HostileRuns, BrokenOrHugeCataloguesStartTheSetupUnlessItsLineWouldBeCut)
{
    std::string many, utf16;
    for (int i = 0; i < 5000; ++i)
        many += "[S" + std::to_string(i) + "]\r\nProductLanguage=" + std::to_string(i) + "\r\nCommand=-c" +
                std::to_string(i) + "\r\n";
    for (char c : std::string("[German]\r\nProductLanguage=1031\r\nCommand=-l1031\r\n"))
        utf16 += std::string{c, '\0'};
    // A command that makes the setup's line too long starts no setup at all
    // rather than a cut one. 700 characters leave room for a scratch folder
    // of some 250 characters in the line's installer-log path.
    const struct
    {
        const char* name;
        std::string text;
        bool starts;
    } shapes[] = {
        {"empty", "", true},
        {"bytes of no text", std::string("\x00\xFF\xFE\x01[\x80\x81]\x00=", 10), true},
        {"UTF-16 without its mark", utf16, true},
        {"a section without keys", "[German]\r\n", true},
        {"keys before any section", "ProductLanguage=1031\r\nCommand=-l1031\r\n", true},
        {"5,000 sections", many, true},
        {"a command of 700 characters", "[German]\r\nProductLanguage=1031\r\nCommand=" + std::string(700, 'c'), true},
        {"a command of 2,000 characters", "[German]\r\nProductLanguage=1031\r\nCommand=" + std::string(2000, 'c'), false},
    };
    for (const auto& shape : shapes)
    {
        SCOPED_TRACE(shape.name);
        Row row = Silent("hostile-catalogue", L"/s a.iss /l 1031");
        row.files = {{L"{KIT}\\languages.ini", shape.text}};
        const auto record = Record(row);
        ExpectCalmEnd(record);
        EXPECT_EQ(Line(record, "setup: ").find("morvanto9.exe /s /f1a.iss "), shape.starts ? 0u : std::string::npos);
    }
}
