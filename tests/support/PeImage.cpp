#include "tests/support/PeImage.h"

#include "tests/support/TestFiles.h"

#include <algorithm>
#include <cstring>
#include <regex>

namespace test
{
namespace
{
template <typename T>
bool ReadAt(const std::string& bytes, size_t offset, T* value)
{
    if (offset + sizeof(T) > bytes.size() || offset + sizeof(T) < offset)
        return false;
    std::memcpy(value, bytes.data() + offset, sizeof(T));
    return true;
}

std::string ReadAsciiZ(const std::string& bytes, size_t offset)
{
    std::string text;
    while (offset < bytes.size() && bytes[offset] != '\0')
        text.push_back(bytes[offset++]);
    return text;
}

std::string Upper(std::string text)
{
    for (auto& c : text)
    {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}
}  // namespace

PeImage::PeImage(const std::wstring& path) : m_bytes(ReadFileBytes(path))
{
    if (m_bytes.empty())
        m_error = "cannot read " + WideToUtf8(path);
    else
        m_valid = Parse();
}

size_t PeImage::RvaToOffset(uint32_t rva) const
{
    for (const auto& section : m_sections)
    {
        uint32_t size = section.virtualSize > section.rawSize ? section.virtualSize : section.rawSize;
        if (rva >= section.virtualAddress && rva < section.virtualAddress + size)
            return section.rawOffset + (rva - section.virtualAddress);
    }
    return static_cast<size_t>(-1);
}

bool PeImage::Parse()
{
    uint16_t mz = 0;
    uint32_t peOffset = 0;
    uint32_t signature = 0;
    if (!ReadAt(m_bytes, 0, &mz) || mz != 0x5A4D || !ReadAt(m_bytes, 0x3C, &peOffset) ||
        !ReadAt(m_bytes, peOffset, &signature) || signature != 0x00004550)
    {
        m_error = "not a PE file";
        return false;
    }
    IMAGE_FILE_HEADER fileHeader;
    if (!ReadAt(m_bytes, peOffset + 4, &fileHeader))
        return false;
    m_machine = fileHeader.Machine;
    m_timeDateStamp = fileHeader.TimeDateStamp;
    m_characteristics = fileHeader.Characteristics;

    size_t optionalOffset = peOffset + 4 + sizeof(IMAGE_FILE_HEADER);
    uint16_t magic = 0;
    ReadAt(m_bytes, optionalOffset, &magic);
    uint32_t importRva = 0;
    uint32_t exportRva = 0;
    uint32_t resourceRva = 0;
    uint32_t delayImportRva = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
    {
        m_isPe32 = true;
        IMAGE_OPTIONAL_HEADER32 optional;
        if (!ReadAt(m_bytes, optionalOffset, &optional))
            return false;
        m_subsystem = optional.Subsystem;
        m_majorSubsystem = optional.MajorSubsystemVersion;
        m_minorSubsystem = optional.MinorSubsystemVersion;
        m_majorOs = optional.MajorOperatingSystemVersion;
        m_minorOs = optional.MinorOperatingSystemVersion;
        importRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        exportRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
        resourceRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
        delayImportRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress;
        m_imageBase = optional.ImageBase;
    }
    else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
    {
        IMAGE_OPTIONAL_HEADER64 optional;
        if (!ReadAt(m_bytes, optionalOffset, &optional))
            return false;
        m_subsystem = optional.Subsystem;
        m_majorSubsystem = optional.MajorSubsystemVersion;
        m_minorSubsystem = optional.MinorSubsystemVersion;
        m_majorOs = optional.MajorOperatingSystemVersion;
        m_minorOs = optional.MinorOperatingSystemVersion;
        importRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        exportRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
        resourceRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
        delayImportRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress;
        m_imageBase = optional.ImageBase;
    }
    else
    {
        m_error = "unknown optional header";
        return false;
    }

    size_t sectionOffset = optionalOffset + fileHeader.SizeOfOptionalHeader;
    for (int i = 0; i < fileHeader.NumberOfSections; ++i)
    {
        IMAGE_SECTION_HEADER header;
        if (!ReadAt(m_bytes, sectionOffset + i * sizeof(header), &header))
            return false;
        m_sections.push_back({header.VirtualAddress, header.Misc.VirtualSize, header.PointerToRawData,
                              header.SizeOfRawData});
    }
    if (importRva != 0)
        ParseImports(importRva);
    m_resourceRva = resourceRva;
    ParseDelayImports(delayImportRva);
    if (exportRva != 0)
        ParseExports(exportRva);
    if (resourceRva != 0)
        ParseResources(resourceRva);
    return true;
}

void PeImage::ParseExports(uint32_t rva)
{
    IMAGE_EXPORT_DIRECTORY directory;
    if (!ReadAt(m_bytes, RvaToOffset(rva), &directory))
        return;
    size_t names = RvaToOffset(directory.AddressOfNames);
    for (DWORD i = 0; i < directory.NumberOfNames; ++i)
    {
        uint32_t nameRva = 0;
        if (!ReadAt(m_bytes, names + i * 4u, &nameRva))
            break;
        m_exports.push_back(ReadAsciiZ(m_bytes, RvaToOffset(nameRva)));
    }
}

std::vector<std::string> PeImage::Texts(size_t minLength) const
{
    std::vector<std::string> texts;
    std::string run;
    auto take = [&](unsigned c) {
        if (c >= 0x20 && c < 0x7F)
        {
            run.push_back(static_cast<char>(c));
            return;
        }
        if (run.size() >= minLength)
            texts.push_back(run);
        run.clear();
    };
    for (const auto& section : m_sections)
    {
        if (m_resourceRva >= section.virtualAddress && m_resourceRva < section.virtualAddress + section.rawSize)
            continue;
        const size_t begin = section.rawOffset;
        const size_t end = std::min<size_t>(m_bytes.size(), begin + section.rawSize);
        const auto byteAt = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(m_bytes[i])); };
        for (size_t i = begin; i < end; ++i)
            take(byteAt(i));
        take(0);
        // UTF-16 text, at either alignment.
        for (size_t start = begin; start < begin + 2; ++start)
        {
            for (size_t i = start; i + 1 < end; i += 2)
                take(byteAt(i) | (byteAt(i + 1) << 8));
            take(0);
        }
    }
    return texts;
}

void PeImage::ParseImports(uint32_t rva)
{
    size_t offset = RvaToOffset(rva);
    for (;; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR))
    {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!ReadAt(m_bytes, offset, &descriptor) || descriptor.Name == 0)
            break;
        uint32_t thunkRva = descriptor.OriginalFirstThunk != 0 ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        ReadThunks(Upper(ReadAsciiZ(m_bytes, RvaToOffset(descriptor.Name))), thunkRva);
    }
}

// The name table of one DLL: names, or "#n" for an ordinal.
void PeImage::ReadThunks(const std::string& dll, uint32_t thunkRva)
{
    std::vector<std::string>& functions = m_imports[dll];
    size_t thunk = RvaToOffset(thunkRva);
    for (;;)
    {
        uint64_t entry = 0;
        bool ordinal = false;
        if (m_isPe32)
        {
            uint32_t entry32 = 0;
            if (!ReadAt(m_bytes, thunk, &entry32))
                break;
            entry = entry32;
            ordinal = (entry32 & 0x80000000u) != 0;
            thunk += 4;
        }
        else
        {
            if (!ReadAt(m_bytes, thunk, &entry))
                break;
            ordinal = (entry & 0x8000000000000000ull) != 0;
            thunk += 8;
        }
        if (entry == 0)
            break;
        if (ordinal)
            functions.push_back("#" + std::to_string(entry & 0xFFFF));
        else
            functions.push_back(ReadAsciiZ(m_bytes, RvaToOffset(static_cast<uint32_t>(entry)) + 2));
    }
}

// Delay imports are bound on the first call, but must exist on the system all
// the same: they go into the same list. GNU ld leaves the delay-import
// directory empty for dlltool's delay libraries, so without it the sections
// are searched for what the delay-load helper reads: a descriptor with
// RVAs (attribute 1) naming a "*.dll" and a name table, never bound.
void PeImage::ParseDelayImports(uint32_t rva)
{
    struct DelayDescriptor
    {
        uint32_t attributes, dllName, module, iat, nameTable, boundIat, unloadIat, timeStamp;
    };
    const auto take = [this](size_t offset, bool searching) {
        DelayDescriptor descriptor;
        if (!ReadAt(m_bytes, offset, &descriptor) || descriptor.dllName == 0 || descriptor.attributes != 1)
            return false;
        if (searching && (descriptor.boundIat != 0 || descriptor.unloadIat != 0 || descriptor.timeStamp != 0 ||
                          descriptor.module == 0 || descriptor.iat == 0))
            return false;
        const size_t nameOffset = RvaToOffset(descriptor.dllName);
        const size_t tableOffset = RvaToOffset(descriptor.nameTable);
        if (nameOffset >= m_bytes.size() || tableOffset >= m_bytes.size())
            return false;
        const std::string dll = ReadAsciiZ(m_bytes, nameOffset);
        static const std::regex dllName("[A-Za-z0-9_.-]+\\.dll", std::regex::icase);
        if (!std::regex_match(dll, dllName))
            return false;
        ReadThunks(Upper(dll), descriptor.nameTable);
        return true;
    };
    if (rva != 0)
    {
        for (size_t offset = RvaToOffset(rva); take(offset, false); offset += sizeof(DelayDescriptor))
        {
        }
        return;
    }
    for (const auto& section : m_sections)
    {
        if (m_resourceRva >= section.virtualAddress && m_resourceRva < section.virtualAddress + section.rawSize)
            continue;
        const size_t end = std::min<size_t>(m_bytes.size(), section.rawOffset + section.rawSize);
        for (size_t offset = section.rawOffset; offset + sizeof(DelayDescriptor) <= end; offset += 4)
            take(offset, true);
    }
}

std::wstring PeImage::ResourceName(size_t base, uint32_t nameField) const
{
    if ((nameField & 0x80000000u) == 0)
        return L"#" + std::to_wstring(nameField & 0xFFFF);
    size_t offset = base + (nameField & 0x7FFFFFFFu);
    uint16_t length = 0;
    ReadAt(m_bytes, offset, &length);
    std::wstring name;
    for (uint16_t i = 0; i < length; ++i)
    {
        wchar_t c = 0;
        ReadAt(m_bytes, offset + 2 + i * 2u, &c);
        name.push_back(c);
    }
    return name;
}

void PeImage::ParseResourceDirectory(size_t base, size_t offset, int depth, PeResourceKey key)
{
    IMAGE_RESOURCE_DIRECTORY directory;
    if (!ReadAt(m_bytes, offset, &directory) || depth > 2)
        return;
    int count = directory.NumberOfNamedEntries + directory.NumberOfIdEntries;
    for (int i = 0; i < count; ++i)
    {
        uint32_t nameField = 0;
        uint32_t dataField = 0;
        size_t entryOffset = offset + sizeof(directory) + i * 8u;
        ReadAt(m_bytes, entryOffset, &nameField);
        ReadAt(m_bytes, entryOffset + 4, &dataField);
        PeResourceKey child = key;
        if (depth == 0)
            child.type = ResourceName(base, nameField);
        else if (depth == 1)
            child.name = ResourceName(base, nameField);
        else
            child.language = static_cast<uint16_t>(nameField & 0xFFFF);

        if (dataField & 0x80000000u)
        {
            ParseResourceDirectory(base, base + (dataField & 0x7FFFFFFFu), depth + 1, child);
        }
        else
        {
            IMAGE_RESOURCE_DATA_ENTRY data;
            if (!ReadAt(m_bytes, base + dataField, &data))
                continue;
            size_t dataOffset = RvaToOffset(data.OffsetToData);
            if (dataOffset + data.Size <= m_bytes.size())
                m_resources[child] = m_bytes.substr(dataOffset, data.Size);
        }
    }
}

void PeImage::ParseResources(uint32_t rva)
{
    size_t base = RvaToOffset(rva);
    ParseResourceDirectory(base, base, 0, PeResourceKey{L"", L"", 0});
}

std::string PeImage::Resource(const std::wstring& type, const std::wstring& name) const
{
    for (const auto& resource : m_resources)
    {
        if (resource.first.type == type && resource.first.name == name)
            return resource.second;
    }
    return std::string();
}

std::vector<uint16_t> PeImage::ResourceLanguages(const std::wstring& type, const std::wstring& name) const
{
    std::vector<uint16_t> languages;
    for (const auto& resource : m_resources)
    {
        if (resource.first.type == type && resource.first.name == name)
            languages.push_back(resource.first.language);
    }
    return languages;
}

const DialogControl* DialogTemplate::Control(int id) const
{
    for (const auto& control : controls)
    {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

namespace
{
class TemplateReader
{
public:
    explicit TemplateReader(const std::string& bytes) : m_bytes(bytes) {}

    template <typename T>
    T Read()
    {
        T value{};
        if (ReadAt(m_bytes, m_offset, &value))
            m_offset += sizeof(T);
        else
            m_ok = false;
        return value;
    }

    // A "sz_Or_Ord": 0x0000 (none), 0xFFFF and an ordinal, or a string.
    std::wstring ReadSzOrOrd()
    {
        uint16_t first = Read<uint16_t>();
        if (first == 0x0000)
            return std::wstring();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Read<uint16_t>());
        std::wstring text(1, static_cast<wchar_t>(first));
        return text + ReadString();
    }

    std::wstring ReadString()
    {
        std::wstring text;
        for (uint16_t c = Read<uint16_t>(); m_ok && c != 0; c = Read<uint16_t>())
            text.push_back(static_cast<wchar_t>(c));
        return text;
    }

    void AlignDword() { m_offset = (m_offset + 3) & ~static_cast<size_t>(3); }
    bool Ok() const { return m_ok; }

private:
    const std::string& m_bytes;
    size_t m_offset = 0;
    bool m_ok = true;
};

// Class names are case-insensitive, and a template may give a predefined
// class by ordinal or by name (windres writes "STATIC" for "Static").
std::wstring PredefinedClass(const std::wstring& name)
{
    static const std::pair<const wchar_t*, const wchar_t*> predefined[] = {
        {L"#128", L"Button"}, {L"#129", L"Edit"},      {L"#130", L"Static"},
        {L"#131", L"ListBox"}, {L"#132", L"ScrollBar"}, {L"#133", L"ComboBox"}};
    for (const auto& [ordinal, className] : predefined)
    {
        if (name == ordinal || CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(), -1, className, -1) ==
                                   CSTR_EQUAL)
            return className;
    }
    return name;
}
}  // namespace

DialogTemplate ParseDialogTemplate(const std::string& bytes)
{
    DialogTemplate dialog;
    uint16_t version = 0;
    uint16_t signature = 0;
    ReadAt(bytes, 0, &version);
    ReadAt(bytes, 2, &signature);
    dialog.extended = version == 1 && signature == 0xFFFF;
    TemplateReader reader(bytes);
    int count = 0;
    if (dialog.extended)
    {
        reader.Read<uint32_t>();  // version and signature
        reader.Read<DWORD>();  // help id
        dialog.exStyle = reader.Read<DWORD>();
        dialog.style = reader.Read<DWORD>();
    }
    else
    {
        dialog.style = reader.Read<DWORD>();
        dialog.exStyle = reader.Read<DWORD>();
    }
    count = reader.Read<uint16_t>();
    dialog.x = reader.Read<short>();
    dialog.y = reader.Read<short>();
    dialog.cx = reader.Read<short>();
    dialog.cy = reader.Read<short>();
    reader.ReadSzOrOrd();  // menu
    reader.ReadSzOrOrd();  // class
    dialog.caption = reader.ReadString();
    if (dialog.style & (DS_SETFONT | DS_SHELLFONT))
    {
        dialog.pointSize = reader.Read<uint16_t>();
        if (dialog.extended)
        {
            dialog.weight = reader.Read<uint16_t>();
            dialog.italic = reader.Read<uint8_t>() != 0;
            reader.Read<uint8_t>();  // character set
        }
        dialog.fontName = reader.ReadString();
    }
    for (int i = 0; i < count && reader.Ok(); ++i)
    {
        reader.AlignDword();
        DialogControl control{};
        if (dialog.extended)
        {
            reader.Read<DWORD>();  // help id
            control.exStyle = reader.Read<DWORD>();
            control.style = reader.Read<DWORD>();
        }
        else
        {
            control.style = reader.Read<DWORD>();
            control.exStyle = reader.Read<DWORD>();
        }
        control.x = reader.Read<short>();
        control.y = reader.Read<short>();
        control.cx = reader.Read<short>();
        control.cy = reader.Read<short>();
        if (dialog.extended)
            control.id = static_cast<int>(reader.Read<int32_t>());
        else
            control.id = static_cast<short>(reader.Read<uint16_t>());
        control.className = PredefinedClass(reader.ReadSzOrOrd());
        control.text = reader.ReadSzOrOrd();
        uint16_t extra = reader.Read<uint16_t>();
        for (uint16_t skip = 0; skip < extra; ++skip)
            reader.Read<uint8_t>();
        dialog.controls.push_back(control);
    }
    dialog.valid = reader.Ok();
    return dialog;
}
}  // namespace test
