// The situations a kit meets, each one row: the machine, the start, what the
// person does. What each must leave is in expected/<row>.txt.

#include "tests/runs/WholeRun.h"

#include <gtest/gtest.h>

using namespace runs;

namespace
{
const std::wstring kSourceList =
    L"SOFTWARE\\Classes\\Installer\\Products\\70791EBCD6FC91845947D3DF659806AF\\SourceList";

std::vector<Value> operator+(std::vector<Value> a, const std::vector<Value>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An installed product whose settings file names its language.
std::vector<Value> InstalledIn(const std::wstring& version)
{
    return Installed(version) +
           std::vector<Value>{Sz(HKEY_LOCAL_MACHINE, Seen::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path",
                                 L"{ROOT}\\installed product"),
                              Sz(HKEY_LOCAL_MACHINE, Seen::Native, kSourceList, L"LastUsedSource", L"n;1;D:\\"),
                              Sz(HKEY_LOCAL_MACHINE, Seen::Native, kSourceList, L"PackageName", L"morvanto9.msi"),
                              Sz(HKEY_LOCAL_MACHINE, Seen::Native, kSourceList, L"MediaPackage", L"\\")};
}

const File kGermanSettings{L"{ROOT}\\installed product\\crmiini.xml",
                           "<?xml version=\"1.0\"?>\n<Settings><General><Language id=\"1031\"/></General></Settings>\n"};

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    {
        Row row;
        row.name = "silent-first-installation";
        row.values = NothingMissing();
        row.arguments = L"/s answers.iss /l 1040";
        rows.push_back(row);
    }
    {
        // The update keeps the installed product's language and clears the
        // installer's memory of the first installation's package.
        Row row;
        row.name = "silent-update";
        row.values = NothingMissing() + InstalledIn(L"9.5.0.1");
        row.files = {kGermanSettings};
        row.arguments = L"/s answers.iss";
        for (const wchar_t* name : {L"LastUsedSource", L"PackageName", L"MediaPackage"})
            row.watch.push_back(Absent(HKEY_LOCAL_MACHINE, Seen::Native, kSourceList, name));
        rows.push_back(row);
    }
    return rows;
}
}  // namespace

class WholeRuns : public ::testing::TestWithParam<Row>
{
};

TEST_P(WholeRuns, RecordAsExpected)
{
    RunAndCompare(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, WholeRuns, ::testing::ValuesIn(Rows()), [](const ::testing::TestParamInfo<Row>& param) {
    std::string name = param.param.name;
    for (char& c : name)
        c = (c == '-') ? '_' : c;
    return name;
});
