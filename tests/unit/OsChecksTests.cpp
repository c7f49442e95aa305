// The Windows 2000, Vista-or-later and x64 checks: their decisions for every
// input, and their answers and traces under the Windows versions Wine can
// emulate for a program.

#include "platform/OsChecks.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/unit/PlatformProbe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using platform_tests::RunProbe;
using ::testing::ElementsAreArray;

namespace
{
OSVERSIONINFOW Version(DWORD major, DWORD minor, DWORD platform = VER_PLATFORM_WIN32_NT, DWORD build = 0)
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwPlatformId = platform;
    info.dwBuildNumber = build;
    return info;
}

std::vector<std::wstring> IsWindows2KTrace(bool windows2000)
{
    return {L"SetupBootstrapper.IsWindows2K >>",
            windows2000 ? L"SetupBootstrapper.IsWindows2K: the OS is Windows 2000"
                        : L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
            L"SetupBootstrapper.IsWindows2K <<"};
}

int g_nativeQueries = 0;
WORD g_nativeArchitecture = 0;

void WINAPI FakeGetNativeSystemInfo(LPSYSTEM_INFO info)
{
    ++g_nativeQueries;
    ZeroMemory(info, sizeof(*info));
    info->wProcessorArchitecture = g_nativeArchitecture;
}
}  // namespace

TEST(OsVersionDecision, MajorAndMinorDecideAndFailedQueryAnswersTrue)
{
    struct Case
    {
        const char* system;
        BOOL queried;
        OSVERSIONINFOW version;
        bool windows2000;
        bool vistaOrLater;
    } cases[] = {
        {"Windows 2000", TRUE, Version(5, 0, VER_PLATFORM_WIN32_NT, 2195), true, false},
        {"Windows XP", TRUE, Version(5, 1, VER_PLATFORM_WIN32_NT, 2600), false, false},
        {"Windows Server 2003 / XP x64", TRUE, Version(5, 2, VER_PLATFORM_WIN32_NT, 3790), false, false},
        {"Windows Vista", TRUE, Version(6, 0, VER_PLATFORM_WIN32_NT, 6002), false, true},
        {"Windows 7", TRUE, Version(6, 1, VER_PLATFORM_WIN32_NT, 7601), false, true},
        {"Windows 8 and later without manifest", TRUE, Version(6, 2), false, true},
        {"Windows 10", TRUE, Version(10, 0, VER_PLATFORM_WIN32_NT, 19045), false, true},
        {"Windows NT 4.0", TRUE, Version(4, 0), false, false},
        // Only the numbers count, not the platform.
        {"5.0 on another platform", TRUE, Version(5, 0, VER_PLATFORM_WIN32_WINDOWS), true, false},
        {"failed query", FALSE, Version(5, 1), true, true},
        {"failed query, empty record", FALSE, Version(0, 0), true, true},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(IsWindows2KVersion(c.queried, c.version), c.windows2000) << c.system;
        EXPECT_EQ(IsVistaOrLaterVersion(c.queried, c.version), c.vistaOrLater) << c.system;
    }
}

TEST(ProcessorArchitecture, NativeQueryWhenPresentAndOnlyAmd64IsX64)
{
    // Itanium, x86, unknown, ARM64: all x86 to the product.
    const WORD architectures[] = {PROCESSOR_ARCHITECTURE_IA64, PROCESSOR_ARCHITECTURE_INTEL,
                                  PROCESSOR_ARCHITECTURE_UNKNOWN, 12, PROCESSOR_ARCHITECTURE_AMD64};
    for (WORD architecture : architectures)
    {
        g_nativeArchitecture = architecture;
        g_nativeQueries = 0;
        const WORD answered = QueryProcessorArchitecture(FakeGetNativeSystemInfo);
        EXPECT_EQ(answered, architecture);
        EXPECT_EQ(g_nativeQueries, 1);
        EXPECT_EQ(IsX64Architecture(answered), architecture == PROCESSOR_ARCHITECTURE_AMD64) << architecture;
    }

    // Without the native query (Windows 2000) the plain one answers; this
    // test program runs natively on x64, so both see AMD64.
    EXPECT_EQ(QueryProcessorArchitecture(nullptr), PROCESSOR_ARCHITECTURE_AMD64);
    ASSERT_NE(FindGetNativeSystemInfo(), nullptr);
    EXPECT_EQ(QueryProcessorArchitecture(FindGetNativeSystemInfo()), PROCESSOR_ARCHITECTURE_AMD64);
}

TEST(OsChecksByWindowsVersion, AnswersAndTracesFollowTheEmulatedVersion)
{
    struct Case
    {
        const wchar_t* wineVersion;
        bool windows2000;
        bool vistaOrLater;
    } cases[] = {
        {L"win2k", true, false}, {L"winxp", false, false}, {L"win2003", false, false},
        {L"vista", false, true}, {L"win7", false, true},   {L"win10", false, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.wineVersion));
        ScopedWineVersion version(L"bsprobe.exe", c.wineVersion);
        platform_tests::ProbeResult probe = RunProbe(ProbePath(), L"OsChecks");
        EXPECT_EQ(probe.values["IsWindows2K"], c.windows2000 ? "1" : "0");
        EXPECT_EQ(probe.values["IsVistaOrLater"], c.vistaOrLater ? "1" : "0");
        // Every system but Windows 2000 is asked for its processor: x64 here.
        EXPECT_EQ(probe.values["IsOS64"], c.windows2000 ? "0" : "1");

        std::vector<std::wstring> expected = IsWindows2KTrace(c.windows2000);
        expected.push_back(L"SetupBootstrapper.IsVistaOrLater >>");
        expected.push_back(c.vistaOrLater ? L"SetupBootstrapper.IsVistaOrLater: the OS is Windows Vista or later"
                                          : L"SetupBootstrapper.IsVistaOrLater: the OS is not Windows Vista or later");
        expected.push_back(L"SetupBootstrapper.IsVistaOrLater <<");
        expected.push_back(L"SetupBootstrapper.IsOS64 >>");
        for (const auto& line : IsWindows2KTrace(c.windows2000))
            expected.push_back(line);
        expected.push_back(c.windows2000 ? L"SetupBootstrapper.IsOS64: OS is Windows 2000 so it is on a x86 platform"
                                         : L"SetupBootstrapper.IsOS64: OS platform is x64");
        expected.push_back(L"SetupBootstrapper.IsOS64 <<");
        EXPECT_THAT(probe.log, ElementsAreArray(expected)) << DescribeMessages(probe.log);
    }
}
