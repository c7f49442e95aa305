#include "tests/harness/Harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace harness
{
std::wstring Setting(const wchar_t* name)
{
    wchar_t value[4096] = L"";
    DWORD cch = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    if (cch == 0 || cch >= ARRAYSIZE(value))
        ADD_FAILURE() << "the environment variable " << Utf8(name) << " is not set (run the tests through CTest)";
    // Paths come from CMake with forward slashes; the product writes back
    // slashes, and the records compare its texts.
    for (wchar_t* c = value; *c != L'\0'; ++c)
        *c = *c == L'/' ? L'\\' : *c;
    return value;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder + name;
    return folder + L"\\" + name;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(file.good()) << "cannot write " << Utf8(path);
}

std::string Utf8(const std::wstring& text)
{
    int cb = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(cb), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], cb, nullptr, nullptr);
    return utf8;
}

std::wstring Wide(const std::string& utf8)
{
    int cch = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(cch), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], cch);
    return text;
}

namespace
{
void DeleteTree(const std::wstring& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path), ignored);
}
}  // namespace

Scratch::Scratch(const std::wstring& name)
{
    m_path = Join(Setting(L"BS_SCRATCH_DIR"), name);
    DeleteTree(m_path);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

Scratch::~Scratch()
{
    wchar_t keep[8];
    if (GetEnvironmentVariableW(L"BS_KEEP_SCRATCH", keep, ARRAYSIZE(keep)) == 0)
        DeleteTree(m_path);
}

namespace
{
std::wstring LogPath(const std::wstring& tempFolder)
{
    return Join(tempFolder, L"dravo_v9_installhelperBS.csv");
}

bool HasTimestamp(const std::wstring& line)
{
    static const wchar_t kShape[] = L"00/00/0000 00:00:00 ";  // MM/DD/YYYY hh:mm:ss
    if (line.size() < 20)
        return false;
    for (size_t i = 0; i < 20; ++i)
    {
        bool fits = kShape[i] == L'0' ? (line[i] >= L'0' && line[i] <= L'9') : line[i] == kShape[i];
        if (!fits)
            return false;
    }
    return true;
}
}  // namespace

std::vector<std::wstring> LogMessages(const std::wstring& tempFolder)
{
    std::vector<std::wstring> messages;
    std::string bytes = ReadBytes(LogPath(tempFolder));
    if (bytes.empty())
        return messages;
    EXPECT_TRUE(bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) << "the log has no byte-order mark";
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    EXPECT_TRUE(text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0) << "the log's last line is cut";
    for (size_t start = 0; start < text.size();)
    {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        EXPECT_TRUE(HasTimestamp(line)) << "a log line without its timestamp: " << Utf8(line);
        messages.push_back(HasTimestamp(line) ? line.substr(20) : line);
        start = end + 2;
    }
    return messages;
}

Child::Child(const std::wstring& commandLine, const std::wstring& folder,
             const std::map<std::wstring, std::wstring>& environment)
{
    // The child inherits our environment, with these variables as it gets them.
    std::map<std::wstring, std::wstring> ours;
    for (const auto& variable : environment)
    {
        wchar_t value[4096] = L"";
        GetEnvironmentVariableW(variable.first.c_str(), value, ARRAYSIZE(value));
        ours[variable.first] = value;
        SetEnvironmentVariableW(variable.first.c_str(), variable.second.empty() ? nullptr : variable.second.c_str());
    }
    for (int attempt = 1; m_process == nullptr; ++attempt)
    {
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        {
            CloseHandle(info.hThread);
            m_process = info.hProcess;
            m_id = info.dwProcessId;
            break;
        }
        const DWORD error = GetLastError();
        // Wine answers ERROR_INTERNAL_ERROR when the new process ended before
        // it had finished starting, without an exit code of its own: the
        // Unix side of the start failed, not the program. Once more, and
        // said, so that a real failure still fails.
        if (error != ERROR_INTERNAL_ERROR || attempt > 1)
        {
            ADD_FAILURE() << "cannot start " << Utf8(commandLine) << ": error " << error;
            break;
        }
        std::fprintf(stderr, "[ retry    ] %s: start failed with error 1359 under Wine, trying once more\n",
                     Utf8(commandLine).c_str());
    }
    for (const auto& variable : ours)
        SetEnvironmentVariableW(variable.first.c_str(), variable.second.empty() ? nullptr : variable.second.c_str());
}

Child::~Child()
{
    if (Running())
    {
        TerminateProcess(m_process, 999);
        WaitForSingleObject(m_process, kTimeoutMs);
    }
    if (m_process != nullptr)
        CloseHandle(m_process);
}

bool Child::Running() const
{
    return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

DWORD Child::Wait(DWORD timeoutMs)
{
    if (m_process == nullptr)
        return STILL_ACTIVE;
    if (WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
    {
        ADD_FAILURE() << "the program did not end within " << timeoutMs << " ms";
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process, &code);
    return code;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition())
    {
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        Sleep(10);  // the polling interval; the condition decides
    }
    return true;
}

bool Is64BitWindows()
{
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

namespace
{
REGSAM ViewFlag(View view)
{
    return view == View::Native ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

HKEY Open(HKEY root, View view, const std::wstring& key, REGSAM access)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, access | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return nullptr;
    return handle;
}
}  // namespace

RegValue Sz(HKEY root, View view, const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    return {root, view, key, name, REG_SZ, bytes};
}

RegValue Dword(HKEY root, View view, const std::wstring& key, const std::wstring& name, DWORD value)
{
    return {root, view, key, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof(value))};
}

RegValue Multi(HKEY root, View view, const std::wstring& key, const std::wstring& name, const std::wstring& first)
{
    const std::wstring list = first + std::wstring(2, L'\0');
    return {root, view, key, name, REG_MULTI_SZ,
            std::string(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t))};
}

RegValue Absent(HKEY root, View view, const std::wstring& key, const std::wstring& name)
{
    return {root, view, key, name, REG_NONE, ""};
}

std::wstring Read(HKEY root, View view, const std::wstring& key, const std::wstring& name)
{
    HKEY handle = Open(root, view, key, KEY_READ);
    if (handle == nullptr)
        return L"absent";
    DWORD type = 0;
    wchar_t data[1024] = {};
    DWORD cb = sizeof(data) - sizeof(wchar_t);
    LONG status = RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &cb);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        return L"absent";
    return type == REG_DWORD ? std::to_wstring(static_cast<DWORD>(data[0]) | (static_cast<DWORD>(data[1]) << 16)) : data;
}

Registry::~Registry()
{
    for (auto undo = m_undo.rbegin(); undo != m_undo.rend(); ++undo)
    {
        if (undo->createdKey)
        {
            size_t separator = undo->key.rfind(L'\\');
            HKEY parent = Open(undo->root, undo->view, undo->key.substr(0, separator), KEY_ALL_ACCESS);
            if (parent != nullptr)
            {
                RegDeleteTreeW(parent, undo->key.substr(separator + 1).c_str());
                RegCloseKey(parent);
            }
            continue;
        }
        HKEY handle = Open(undo->root, undo->view, undo->key, KEY_SET_VALUE);
        if (handle == nullptr)
            continue;  // it went with a key created later
        if (undo->existed)
            RegSetValueExW(handle, undo->name.c_str(), 0, undo->type, reinterpret_cast<const BYTE*>(undo->bytes.data()),
                           static_cast<DWORD>(undo->bytes.size()));
        else
            RegDeleteValueW(handle, undo->name.c_str());
        RegCloseKey(handle);
    }
}

void Registry::Save(HKEY root, View view, const std::wstring& key, const std::wstring& name)
{
    // The outermost key that does not exist yet goes again as a whole.
    std::wstring outermostNew;
    for (std::wstring path = key; !path.empty(); path = path.substr(0, path.rfind(L'\\')))
    {
        HKEY handle = Open(root, view, path, KEY_READ);
        if (handle != nullptr)
        {
            RegCloseKey(handle);
            break;
        }
        outermostNew = path;
        if (path.find(L'\\') == std::wstring::npos)
            break;
    }
    if (!outermostNew.empty())
    {
        m_undo.push_back({root, view, outermostNew, L"", true, false, 0, ""});
        return;
    }
    Undo undo{root, view, key, name, false, false, REG_NONE, ""};
    HKEY handle = Open(root, view, key, KEY_READ);
    DWORD cb = 0;
    if (handle != nullptr && RegQueryValueExW(handle, name.c_str(), nullptr, &undo.type, nullptr, &cb) == ERROR_SUCCESS)
    {
        undo.bytes.resize(cb);
        RegQueryValueExW(handle, name.c_str(), nullptr, &undo.type,
                         reinterpret_cast<BYTE*>(undo.bytes.empty() ? nullptr : &undo.bytes[0]), &cb);
        undo.existed = true;
    }
    if (handle != nullptr)
        RegCloseKey(handle);
    m_undo.push_back(undo);
}

void Registry::Set(const RegValue& value)
{
    HKEY handle = Open(value.root, value.view, value.key, KEY_READ);
    const bool exists = handle != nullptr &&
                        RegQueryValueExW(handle, value.name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    if (handle != nullptr)
        RegCloseKey(handle);
    if (value.type == REG_NONE && !exists)
        return;
    Save(value.root, value.view, value.key, value.name);
    LONG status = RegCreateKeyExW(value.root, value.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE | ViewFlag(value.view), nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS)
    {
        status = value.type == REG_NONE ? RegDeleteValueW(handle, value.name.c_str())
                                        : RegSetValueExW(handle, value.name.c_str(), 0, value.type,
                                                         reinterpret_cast<const BYTE*>(value.bytes.data()),
                                                         static_cast<DWORD>(value.bytes.size()));
        RegCloseKey(handle);
    }
    EXPECT_EQ(status, ERROR_SUCCESS) << "cannot change " << Utf8(value.key) << "\\" << Utf8(value.name);
}

}  // namespace harness
