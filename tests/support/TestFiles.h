#pragma once
// Paths of the build that the tests run against, scratch folders, and small
// file helpers. Paths come from environment variables that CTest sets
// (forward slashes are fine for the platform's file functions).

#include <string>
#include <vector>

namespace test
{
std::wstring EnvironmentValue(const wchar_t* name);

// The x64 kit the tests run.
std::wstring KitDir();
// The folder of the test programs, where bsprobe.exe and the stand-in
// variants (standin-variants\<name>\) are built.
std::wstring TestBinDir();
std::wstring ProbePath();
std::wstring StandinVariant(const std::wstring& variant, const std::wstring& fileName);

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);

std::string ReadFileBytes(const std::wstring& path);  // empty when missing
// The file's lines, without their CR LF or LF; empty when missing.
std::vector<std::string> ReadLines(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// UTF-16LE with a byte-order mark, the encoding the profile functions read
// most reliably.
void WriteUtf16File(const std::wstring& path, const std::wstring& text);
void WriteUtf8File(const std::wstring& path, const std::string& text);
void CopyFileOrFail(const std::wstring& from, const std::wstring& to);
void DeleteTree(const std::wstring& path);

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// A fresh, empty folder under the build's scratch area, removed again when
// the object goes (kept when BS_KEEP_SCRATCH is set, for a look afterwards).
class ScratchDir
{
public:
    explicit ScratchDir(const std::wstring& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return JoinPath(m_path, name); }

private:
    std::wstring m_path;
};
}  // namespace test
