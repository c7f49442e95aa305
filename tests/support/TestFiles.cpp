#include "tests/support/TestFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

namespace test
{
std::wstring EnvironmentValue(const wchar_t* name)
{
    wchar_t value[4096];
    DWORD cch = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    if (cch == 0 || cch >= ARRAYSIZE(value))
        return std::wstring();
    std::wstring text(value, cch);
    for (auto& c : text)
    {
        if (c == L'/')
            c = L'\\';
    }
    return text;
}

namespace
{
std::wstring RequiredEnvironmentValue(const wchar_t* name)
{
    std::wstring value = EnvironmentValue(name);
    if (value.empty())
        ADD_FAILURE() << "environment variable " << WideToUtf8(name) << " is not set; run the tests through CTest";
    return value;
}
}  // namespace

std::wstring KitDir() { return RequiredEnvironmentValue(L"BS_KIT_DIR"); }
std::wstring TestBinDir() { return RequiredEnvironmentValue(L"BS_TEST_BIN_DIR"); }
std::wstring ProbePath() { return JoinPath(TestBinDir(), L"bsprobe.exe"); }

std::wstring StandinVariant(const std::wstring& variant, const std::wstring& fileName)
{
    return JoinPath(JoinPath(JoinPath(TestBinDir(), L"standin-variants"), variant), fileName);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD cbRead = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &cbRead, nullptr) && cbRead > 0)
        bytes.append(buffer, cbRead);
    CloseHandle(file);
    return bytes;
}

std::vector<std::string> ReadLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(path));
    for (std::string line; std::getline(in, line);)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << WideToUtf8(path) << ", error " << GetLastError();
    DWORD cbWritten = 0;
    BOOL written = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &cbWritten, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(written && cbWritten == bytes.size()) << "short write to " << WideToUtf8(path);
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text)
{
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    WriteFileBytes(path, bytes);
}

void WriteUtf8File(const std::wstring& path, const std::string& text)
{
    WriteFileBytes(path, text);
}

void CopyFileOrFail(const std::wstring& from, const std::wstring& to)
{
    ASSERT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE))
        << "cannot copy " << WideToUtf8(from) << " to " << WideToUtf8(to) << ", error " << GetLastError();
}

void DeleteTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(JoinPath(path, L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = JoinPath(path, name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            {
                DeleteTree(child);
            }
            else
            {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int cch = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(cch), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], cch);
    return wide;
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int cb = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(cb), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], cb, nullptr, nullptr);
    return narrow;
}

ScratchDir::ScratchDir(const std::wstring& name)
{
    static unsigned counter = 0;
    std::wstring root = EnvironmentValue(L"BS_SCRATCH_DIR");
    if (root.empty())
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(ARRAYSIZE(temp), temp);
        root = JoinPath(temp, L"bs-scratch");
    }
    CreateDirectoryW(root.c_str(), nullptr);
    m_path = JoinPath(root, name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
    DeleteTree(m_path);
    if (!CreateDirectoryW(m_path.c_str(), nullptr))
        ADD_FAILURE() << "cannot create scratch folder " << WideToUtf8(m_path) << ", error " << GetLastError();
}

ScratchDir::~ScratchDir()
{
    if (EnvironmentValue(L"BS_KEEP_SCRATCH").empty())
        DeleteTree(m_path);
}
}  // namespace test
