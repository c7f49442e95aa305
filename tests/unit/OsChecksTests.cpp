// The Windows 2000, Vista-or-later and x64 checks: their decisions at every
// version boundary, and their answers under the versions Wine can emulate.

#include "platform/OsChecks.h"
#include "tests/support/ProbeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace
{
OSVERSIONINFOW Version(DWORD major, DWORD minor, DWORD platform = VER_PLATFORM_WIN32_NT)
{
    return {sizeof(OSVERSIONINFOW), major, minor, 0, platform, {}};
}

int g_nativeQueries = 0;
WORD g_nativeArchitecture = 0;

void WINAPI FakeGetNativeSystemInfo(LPSYSTEM_INFO info)
{
    ++g_nativeQueries;
    *info = SYSTEM_INFO{};
    info->wProcessorArchitecture = g_nativeArchitecture;
}
}  // namespace

TEST(OsVersionDecision, OnlyMajorAndMinorDecideAndAFailedQueryAnswersTrue)
{
    struct Case { const char* system; BOOL queried; OSVERSIONINFOW version; bool windows2000, vistaOrLater; };
    const Case cases[] = {
        {"NT 4.0", TRUE, Version(4, 0), false, false},
        {"2000", TRUE, Version(5, 0), true, false},
        {"5.0 on another platform", TRUE, Version(5, 0, VER_PLATFORM_WIN32_WINDOWS), true, false},
        {"XP", TRUE, Version(5, 1), false, false},
        {"Server 2003", TRUE, Version(5, 2), false, false},
        {"Vista", TRUE, Version(6, 0), false, true},
        {"10", TRUE, Version(10, 0), false, true},
        {"failed query", FALSE, Version(5, 1), true, true},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(IsWindows2KVersion(c.queried, c.version), c.windows2000) << c.system;
        EXPECT_EQ(IsVistaOrLaterVersion(c.queried, c.version), c.vistaOrLater) << c.system;
    }
}

TEST(ProcessorArchitecture, NativeQueryIsUsedWhenPresentAndOnlyAmd64IsX64)
{
    // Itanium, x86, unknown and ARM64 are all x86 to the product.
    for (int architecture : {PROCESSOR_ARCHITECTURE_IA64, PROCESSOR_ARCHITECTURE_INTEL,
                             PROCESSOR_ARCHITECTURE_UNKNOWN, 12, PROCESSOR_ARCHITECTURE_AMD64})
    {
        g_nativeArchitecture = static_cast<WORD>(architecture);
        g_nativeQueries = 0;
        const WORD answered = QueryProcessorArchitecture(FakeGetNativeSystemInfo);
        EXPECT_EQ(answered, architecture);
        EXPECT_EQ(g_nativeQueries, 1);
        EXPECT_EQ(IsX64Architecture(answered), architecture == PROCESSOR_ARCHITECTURE_AMD64) << architecture;
    }
    // Without the native query (Windows 2000) the plain one answers; this test
    // program is itself 64-bit, so both see AMD64.
    EXPECT_EQ(QueryProcessorArchitecture(nullptr), PROCESSOR_ARCHITECTURE_AMD64);
    ASSERT_NE(FindGetNativeSystemInfo(), nullptr);
    EXPECT_EQ(QueryProcessorArchitecture(FindGetNativeSystemInfo()), PROCESSOR_ARCHITECTURE_AMD64);
}

TEST(OsChecksByWindowsVersion, AnswersAndTheirLinesFollowTheEmulatedVersion)
{
    struct Case { const wchar_t* version; bool windows2000, vistaOrLater; };
    const Case cases[] = {{L"win2k", true, false}, {L"winxp", false, false}, {L"win2003", false, false},
                          {L"vista", false, true}, {L"win7", false, true},   {L"win10", false, true}};
    for (const auto& [version, windows2000, vistaOrLater] : cases)
    {
        SCOPED_TRACE(test::WideToUtf8(version));
        test::ProbeResult probe = test::RunProbeOn(version, L"OsChecks");
        EXPECT_EQ(probe.values["IsWindows2K"], windows2000 ? "1" : "0");
        EXPECT_EQ(probe.values["IsVistaOrLater"], vistaOrLater ? "1" : "0");
        // Windows 2000 is x86 without a processor query; the rest are x64 here.
        EXPECT_EQ(probe.values["IsOS64"], windows2000 ? "0" : "1");
        for (const wchar_t* line :
             {windows2000 ? L"SetupBootstrapper.IsWindows2K: the OS is Windows 2000"
                          : L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
              vistaOrLater ? L"SetupBootstrapper.IsVistaOrLater: the OS is Windows Vista or later"
                           : L"SetupBootstrapper.IsVistaOrLater: the OS is not Windows Vista or later",
              windows2000 ? L"SetupBootstrapper.IsOS64: OS is Windows 2000 so it is on a x86 platform"
                          : L"SetupBootstrapper.IsOS64: OS platform is x64"})
            EXPECT_THAT(probe.log, ::testing::Contains(line)) << test::DescribeMessages(probe.log);
    }
}
