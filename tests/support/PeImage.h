#pragma once
// Reads a PE file from its bytes, whatever its architecture: headers, the
// import and export tables, the resource tree and the texts of its code and
// data. This is how the tests look at the x86
// product, which no program on these machines can load.

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace test
{
struct PeResourceKey
{
    std::wstring type;  // "#24" for a numbered type, else its name
    std::wstring name;  // "#101" for a numbered resource, else its name
    uint16_t language;

    bool operator<(const PeResourceKey& other) const
    {
        if (type != other.type)
            return type < other.type;
        if (name != other.name)
            return name < other.name;
        return language < other.language;
    }
};

class PeImage
{
public:
    explicit PeImage(const std::wstring& path);

    bool Valid() const { return m_valid; }
    const std::string& Error() const { return m_error; }

    uint16_t Machine() const { return m_machine; }
    bool IsPe32() const { return m_isPe32; }
    uint16_t Subsystem() const { return m_subsystem; }
    uint16_t MajorSubsystemVersion() const { return m_majorSubsystem; }
    uint16_t MinorSubsystemVersion() const { return m_minorSubsystem; }
    uint16_t MajorOsVersion() const { return m_majorOs; }
    uint16_t MinorOsVersion() const { return m_minorOs; }
    uint32_t TimeDateStamp() const { return m_timeDateStamp; }
    uint16_t Characteristics() const { return m_characteristics; }

    // DLL name (upper case) -> imported function names (or "#ordinal"),
    // delay-loaded ones included.
    const std::map<std::string, std::vector<std::string>>& Imports() const { return m_imports; }
    // The names the export table gives (exports by ordinal only are left out).
    const std::vector<std::string>& Exports() const { return m_exports; }
    // Every run of at least minLength printable ASCII characters, as 8-bit or
    // as UTF-16 text, in the sections outside the resources: the names the
    // code can hand to LoadLibrary or CreateProcess. UTF-16 runs come as UTF-8.
    std::vector<std::string> Texts(size_t minLength) const;
    // Every resource with its bytes.
    const std::map<PeResourceKey, std::string>& Resources() const { return m_resources; }
    // The bytes of one resource in any language; empty when absent.
    std::string Resource(const std::wstring& type, const std::wstring& name) const;
    std::vector<uint16_t> ResourceLanguages(const std::wstring& type, const std::wstring& name) const;

private:
    bool Parse();
    size_t RvaToOffset(uint32_t rva) const;
    void ParseImports(uint32_t rva);
    void ParseDelayImports(uint32_t rva);
    void ReadThunks(const std::string& dll, uint32_t thunkRva);
    void ParseExports(uint32_t rva);
    void ParseResources(uint32_t rva);
    void ParseResourceDirectory(size_t base, size_t offset, int depth, PeResourceKey key);
    std::wstring ResourceName(size_t base, uint32_t nameField) const;

    std::string m_bytes;
    bool m_valid = false;
    std::string m_error;
    uint64_t m_imageBase = 0;
    uint16_t m_machine = 0;
    bool m_isPe32 = false;
    uint16_t m_subsystem = 0;
    uint16_t m_majorSubsystem = 0;
    uint16_t m_minorSubsystem = 0;
    uint16_t m_majorOs = 0;
    uint16_t m_minorOs = 0;
    uint32_t m_timeDateStamp = 0;
    uint16_t m_characteristics = 0;
    struct Section
    {
        uint32_t virtualAddress;
        uint32_t virtualSize;
        uint32_t rawOffset;
        uint32_t rawSize;
    };
    std::vector<Section> m_sections;
    uint32_t m_resourceRva = 0;
    std::map<std::string, std::vector<std::string>> m_imports;
    std::vector<std::string> m_exports;
    std::map<PeResourceKey, std::string> m_resources;
};

// A dialog template (DLGTEMPLATEEX or DLGTEMPLATE) taken apart.
struct DialogControl
{
    int id;
    std::wstring className;  // "Button", "Static", "ComboBox", "ListBox", "Edit" (by ordinal or name), or a custom name
    std::wstring text;       // "#105" for a resource-number text
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

struct DialogTemplate
{
    bool valid = false;
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring caption;
    std::wstring fontName;
    int pointSize = 0;
    int weight = 0;
    bool italic = false;
    std::vector<DialogControl> controls;

    const DialogControl* Control(int id) const;
};

DialogTemplate ParseDialogTemplate(const std::string& bytes);
}  // namespace test
