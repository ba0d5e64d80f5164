#include "serial/IniStore.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace {

// ASCII white space only: in a single-byte locale isspace() also takes 0xA0, a valid
// second byte of a GBK character.
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view Trim(std::string_view text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && IsBlank(text[b])) {
        ++b;
    }
    while (e > b && IsBlank(text[e - 1])) {
        --e;
    }
    return text.substr(b, e - b);
}

// ASCII letters folded to upper case by table: names are compared on every read and
// write, and the C library's toupper follows the user's locale.
constexpr std::array<unsigned char, 256> kFolded = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        t[static_cast<size_t>(c)] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return t;
}();

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(kFolded[static_cast<unsigned char>(c)]);
    }
    return text;
}

// Names compare without case, as the stored files were written; no copies, since every
// read and write looks a name up.
bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (kFolded[static_cast<unsigned char>(a[i])] !=
            kFolded[static_cast<unsigned char>(b[i])]) {
            return false;
        }
    }
    return true;
}

}  // namespace

// ---- TIniStore ----

bool TIniStore::LoadFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        Parse({});
        return !ec;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return false;
    }
    Parse(text.str());
    return true;
}

bool TIniStore::SaveFile(const std::string& path) const {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, ec);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out << Text();
    out.close();
    return !out.fail();
}

void TIniStore::Parse(const std::string& text) {
    blocks_.clear();
    blocks_.push_back(Block{});
    eol_ = "\n";
    // Views until a line is kept: a document is parsed whole on every load.
    const std::string_view all(text);
    size_t start = 0;
    bool first = true;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) {
            end = all.size();
        }
        std::string_view raw = all.substr(start, end - start);
        const char* ending = last ? "" : "\n";
        if (!last && !raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
            ending = "\r\n";
        }
        if (first && !last) {
            eol_ = ending;  // lines added later end like the first one
        }
        first = false;
        start = end + 1;

        const std::string_view trimmed = Trim(raw);
        if (trimmed.size() >= 2 && trimmed.front() == '[' &&
            trimmed.find(']') != std::string_view::npos) {
            Block block;
            block.name = Trim(trimmed.substr(1, trimmed.rfind(']') - 1));
            block.lines.push_back(Line{std::string(raw), {}, {}, ending});
            blocks_.push_back(std::move(block));
            continue;
        }
        Line line{std::string(raw), {}, {}, ending};
        const size_t eq = trimmed.find('=');
        if (!trimmed.empty() && trimmed[0] != ';' && trimmed[0] != '#' &&
            eq != std::string_view::npos && eq > 0) {
            line.key = Trim(trimmed.substr(0, eq));
            line.value = Trim(trimmed.substr(eq + 1));
        }
        blocks_.back().lines.push_back(std::move(line));
    }
}

std::string TIniStore::Text() const {
    std::string text;
    for (const Block& block : blocks_) {
        for (const Line& line : block.lines) {
            text += line.raw;
            text += line.end.empty() ? eol_ : line.end;
        }
    }
    return text;
}

void TIniStore::Open(const std::string& section, bool strict) {
    section_ = section;
    strict_ = strict;
}

const TIniStore::Block* TIniStore::FindBlock(const std::string& name) const {
    // blocks_[0] holds the lines before the first header and is never a section.
    for (size_t i = 1; i < blocks_.size(); ++i) {
        if (SameName(blocks_[i].name, name)) {
            return &blocks_[i];
        }
    }
    return nullptr;
}

const TIniStore::Line* TIniStore::FindLine(const std::string& name) const {
    const Block* block = FindBlock(section_);
    if (!block) {
        return nullptr;
    }
    for (const Line& line : block->lines) {
        if (!line.key.empty() && SameName(line.key, name)) {
            return &line;
        }
    }
    return nullptr;
}

bool TIniStore::ValueExists(const std::string& name) const {
    return FindLine(name) != nullptr;
}

std::string TIniStore::ReadString(const std::string& name, const std::string& def) const {
    const Line* line = FindLine(name);
    return line ? line->value : def;
}

std::string TIniStore::ReadString(const std::string& name) const {
    const Line* line = FindLine(name);
    if (!line) {
        throw std::runtime_error("missing value " + section_ + "\\" + name);
    }
    return line->value;
}

int32_t TIniStore::ReadInteger(const std::string& name, int32_t def) const {
    const Line* line = FindLine(name);
    if (!line) {
        return def;
    }
    return zenta::ParseInt32(line->value).value_or(def);
}

int32_t TIniStore::ReadInteger(const std::string& name) const {
    const auto value = zenta::ParseInt32(ReadString(name));
    if (!value) {
        throw std::runtime_error("value " + section_ + "\\" + name + " is not an integer");
    }
    return *value;
}

void TIniStore::WriteString(const std::string& name, const std::string& value) {
    if (blocks_.empty()) {
        blocks_.push_back(Block{});
    }
    Block* block = const_cast<Block*>(FindBlock(section_));
    if (!block) {
        Block fresh;
        fresh.name = section_;
        fresh.lines.push_back(Line{"[" + section_ + "]", {}, {}, {}});
        blocks_.push_back(std::move(fresh));
        block = &blocks_.back();
    }
    Line entry{name + "=" + value, name, value, {}};
    for (Line& line : block->lines) {
        if (!line.key.empty() && SameName(line.key, name)) {
            entry.key = line.key;
            entry.raw = line.key + "=" + value;
            entry.end = line.end;
            line = std::move(entry);
            return;
        }
    }
    // New values go before the blank lines that separate this section from the next.
    size_t pos = block->lines.size();
    while (pos > 1 && Trim(block->lines[pos - 1].raw).empty()) {
        --pos;
    }
    block->lines.insert(block->lines.begin() + static_cast<std::ptrdiff_t>(pos), std::move(entry));
}

void TIniStore::WriteInteger(const std::string& name, int32_t value) {
    WriteString(name, std::to_string(value));
}

std::vector<std::string> TIniStore::Sections() const {
    std::vector<std::string> names;
    for (size_t i = 1; i < blocks_.size(); ++i) {
        names.push_back(blocks_[i].name);
    }
    return names;
}

// ---- value forms ----

namespace zenta {

std::string BoolToText(bool value) {
    return value ? "Yes" : "No";
}

bool TextToBool(const std::string& text) {
    return Upper(text) == "YES";
}

std::string CharToText(char value) {
    const auto byte = static_cast<unsigned char>(value);
    if (byte >= 33 && byte <= 127) {
        return std::string(1, value);
    }
    return "#" + std::to_string(byte);
}

char TextToChar(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    if (text[0] != '#' || text.size() == 1) {
        return text[0];
    }
    const auto value = ParseInt32(text.substr(1));
    return static_cast<char>(static_cast<unsigned char>(value.value_or(0) & 0xFF));
}

namespace {

constexpr const char* kRtsTexts[] = {"Disable", "Enable", "Handshake", "Toggle"};
constexpr const char* kDtrTexts[] = {"Disable", "Enable", "Handshake"};

}  // namespace

std::string RtsToText(TRTSFlowControl value) {
    return value <= rtsToggle ? kRtsTexts[value] : kRtsTexts[0];
}

TRTSFlowControl TextToRts(const std::string& text) {
    for (int i = 0; i <= rtsToggle; ++i) {
        if (Upper(text) == Upper(kRtsTexts[i])) {
            return static_cast<TRTSFlowControl>(i);
        }
    }
    return rtsDisable;
}

std::string DtrToText(TDTRFlowControl value) {
    return value <= dtrHandshake ? kDtrTexts[value] : kDtrTexts[0];
}

TDTRFlowControl TextToDtr(const std::string& text) {
    for (int i = 0; i <= dtrHandshake; ++i) {
        if (Upper(text) == Upper(kDtrTexts[i])) {
            return static_cast<TDTRFlowControl>(i);
        }
    }
    return dtrDisable;
}

std::optional<int32_t> ParseInt32(const std::string& text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int32_t>::max() ||
        value < std::numeric_limits<int32_t>::min()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

// ---- registry stand-in ----

std::string RegistrySection(const std::string& where, const std::string& componentName) {
    const size_t slash = where.find('\\');
    if (slash == std::string::npos) {
        return {};
    }
    const std::string prefix = Upper(where.substr(0, slash));
    const std::string root =
        prefix == "HKEY_LOCAL_MACHINE" ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    std::string key = where.substr(slash + 1);
    if (key.empty() || key.back() != '\\') {
        key += '\\';
    }
    return root + "\\" + key + componentName;
}

std::string RegistryFilePath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/zenta/registry.ini";
}

}  // namespace zenta
