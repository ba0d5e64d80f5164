// The store behind a port's stored settings: an INI document with one open section, and
// the text forms of the stored values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial/CPortTypes.h"

// An INI file (sections of Name=Value lines). Rewriting keeps every other section, line,
// comment and the file's line ending as they were. Names of sections and values are
// matched ignoring ASCII case. The values of one section are read and written through
// Open(); `strict` stores (the per-user registry file) refuse reads of missing values.
class TIniStore {
  public:
    TIniStore() = default;
    explicit TIniStore(std::string section, bool strict = false)
        : section_(std::move(section)), strict_(strict) {}

    // A missing file is an empty document. False if it exists but cannot be read.
    bool LoadFile(const std::string& path);
    // Writes the whole document; creates missing parent folders. False on failure.
    bool SaveFile(const std::string& path) const;

    void Parse(const std::string& text);
    std::string Text() const;

    void Open(const std::string& section, bool strict = false);
    const std::string& Section() const { return section_; }
    bool Strict() const { return strict_; }

    bool ValueExists(const std::string& name) const;
    // With a default: the default when the value is missing (integers also when it is no
    // 32-bit decimal number). Without: throws std::runtime_error in those cases.
    std::string ReadString(const std::string& name, const std::string& def) const;
    std::string ReadString(const std::string& name) const;
    int32_t ReadInteger(const std::string& name, int32_t def) const;
    int32_t ReadInteger(const std::string& name) const;
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int32_t value);

    // Every section name in file order (for tests and tools).
    std::vector<std::string> Sections() const;

  private:
    struct Line {
        std::string raw;
        std::string key;  // empty for headers, comments and blank lines
        std::string value;
        // The line's own ending as read, so a rewrite keeps stray CRs and mixed endings;
        // empty for a last line without one and for lines this store adds (eol_).
        std::string end;
    };
    struct Block {
        std::string name;  // empty for the lines before the first header
        std::vector<Line> lines;
    };

    const Block* FindBlock(const std::string& name) const;
    const Line* FindLine(const std::string& name) const;

    std::vector<Block> blocks_;
    std::string eol_ = "\n";
    std::string section_;
    bool strict_ = false;
};

namespace zenta {

// "Yes" / "No"; reading is true only for YES in any letter case.
std::string BoolToText(bool value);
bool TextToBool(const std::string& text);

// Bytes 33..127 as themselves, any other as "#" and the decimal value ("#9", "#0").
// Reading: empty gives 0; a text not starting with "#", or "#" alone, gives its first
// character; else the decimal number after "#" (0 if none) cut to its low 8 bits.
std::string CharToText(char value);
char TextToChar(const std::string& text);

// "Disable", "Enable", "Handshake", "Toggle"; unknown texts (compared ignoring case) give
// the Disable value.
std::string RtsToText(TRTSFlowControl value);
TRTSFlowControl TextToRts(const std::string& text);
std::string DtrToText(TDTRFlowControl value);
TDTRFlowControl TextToDtr(const std::string& text);

// A whole 32-bit decimal number with an optional sign, or nothing.
std::optional<int32_t> ParseInt32(const std::string& text);

// Section of the per-user registry file for a registry path and component name: the root
// (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER, the latter for any other prefix), the key path
// ending in a backslash, then the name. Empty when the path has no backslash.
std::string RegistrySection(const std::string& where, const std::string& componentName);

// The per-user file standing in for the registry: $XDG_CONFIG_HOME/zenta/registry.ini,
// else ~/.config/zenta/registry.ini.
std::string RegistryFilePath();

}  // namespace zenta
