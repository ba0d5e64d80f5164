// Image files written by independent tools (srec_cat, objcopy, the assembler and linker)
// in every format the programmer reads: all give the same bytes at the same addresses,
// and the same files damaged are refused where srec_cat refuses them too.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>

#include "isp/HexImage.h"
#include "isp/ImageReaders.h"

using namespace zenta::isp;

namespace {

constexpr std::size_t kSize = 5000;  // no multiple of any record size

// A private folder, gone with the test.
struct TempDir {
    TempDir() {
        char tmpl[] = "/tmp/zenta-images-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// Runs a tool in `dir`, bounded in time; true when it exits with 0.
bool Tool(const TempDir& dir, const std::string& command) {
    const std::string line =
        "cd '" + dir.path + "' && timeout 30 " + command + " >/dev/null 2>&1 </dev/null";
    return std::system(line.c_str()) == 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) {
        text += l + "\n";
    }
    return text;
}

// Collects what a reader puts anywhere in the 4 GiB, for formats whose addresses cannot
// reach the flash.
struct MapSink final : ImageSink {
    bool Put(std::uint64_t address, const std::uint8_t* data, std::size_t n,
             std::size_t& conflict) override {
        for (std::size_t i = 0; i < n; ++i) {
            const auto [it, fresh] = bytes.emplace(address + i, data[i]);
            if (!fresh && it->second != data[i]) {
                conflict = i;
                return false;
            }
        }
        return true;
    }
    std::map<std::uint64_t, std::uint8_t> bytes;
};

class ImageFormats : public testing::Test {
  protected:
    void SetUp() override {
        std::mt19937 random(20261209);
        data_.resize(kSize);
        for (auto& b : data_) {
            b = static_cast<std::uint8_t>(random());
        }
        WriteFile(dir_ / "data.bin", std::string(data_.begin(), data_.end()));
    }

    // srec_cat writes the data at `address` in the format its output options give.
    std::string Srec(const std::string& name, const std::string& output,
                     std::uint32_t address = kFlashBase) {
        char offset[16];
        std::snprintf(offset, sizeof offset, "0x%X", address);
        EXPECT_TRUE(Tool(dir_, "srec_cat data.bin -binary -offset " + std::string(offset) + " -o " +
                                   name + " " + output));
        return ReadFile(dir_ / name);
    }

    // An ELF executable: the first half as code at the flash base, the second as
    // initialised data that runs in RAM and is loaded from flash right after the code.
    std::string Elf(const std::string& name, const std::string& as = "--32",
                    const std::string& emulation = "elf_i386") {
        const std::string half = std::to_string(kSize / 2);
        WriteFile(dir_ / "code.bin", std::string(data_.begin(), data_.begin() + kSize / 2));
        WriteFile(dir_ / "init.bin", std::string(data_.begin() + kSize / 2, data_.end()));
        WriteFile(dir_ / "fw.s",
                  ".section .text\n.incbin \"code.bin\"\n.section .data\n.incbin \"init.bin\"\n"
                  ".section .bss\n.space 4096\n");
        WriteFile(dir_ / "fw.ld",
                  "SECTIONS {\n .text 0x08000000 : { *(.text) }\n"
                  " .data 0x20000000 : AT(0x08000000 + SIZEOF(.text)) { *(.data) }\n"
                  " .bss : { *(.bss) }\n}\n");
        EXPECT_TRUE(Tool(dir_, "as " + as + " -o fw.o fw.s"));
        EXPECT_TRUE(
            Tool(dir_, "ld -m " + emulation + " -N -e 0x08000000 -T fw.ld -o " + name + " fw.o"));
        return ReadFile(dir_ / name);
    }

    // The image holds exactly the data, at the flash base.
    void ExpectData(const THexImage& image, std::uint32_t offset = 0) {
        EXPECT_FALSE(image.HasOutside());
        EXPECT_EQ(image.Lowest(), offset);
        ASSERT_EQ(image.Length(), offset + kSize);
        EXPECT_TRUE(std::equal(data_.begin(), data_.end(), image.Data() + offset));
    }

    TempDir dir_;
    std::vector<std::uint8_t> data_;
};

TEST_F(ImageFormats, EveryWriterAndFormatGivesTheSameBytesAtTheSameAddresses) {
    struct Case {
        const char* name;
        std::string text;
        ImageFormat format;
    };
    const std::string elf = Elf("fw.elf");
    ASSERT_TRUE(Tool(dir_, "objcopy -O ihex fw.elf objcopy.hex"));
    ASSERT_TRUE(Tool(dir_, "objcopy -O srec fw.elf objcopy.srec"));
    const Case cases[] = {
        {"intel 16", Srec("r16.hex", "-intel -obs=16"), ImageFormat::IntelHex},
        {"intel 32", Srec("r32.hex", "-intel -obs=32"), ImageFormat::IntelHex},
        {"intel 255", Srec("r255.hex", "-intel -obs=255"), ImageFormat::IntelHex},
        {"s37", Srec("s37.srec", "-motorola -address-length=4"), ImageFormat::SRecord},
        {"s37 with start", Srec("go.s19", "-motorola -execution-start-address=0x08000000"),
         ImageFormat::SRecord},
        {"elf", elf, ImageFormat::Elf},
        {"objcopy ihex", ReadFile(dir_ / "objcopy.hex"), ImageFormat::IntelHex},
        {"objcopy srec", ReadFile(dir_ / "objcopy.srec"), ImageFormat::SRecord},
        {"binary", ReadFile(dir_ / "data.bin"), ImageFormat::Binary},
    };
    // One image for all, as the programmer keeps its buffer from run to run.
    THexImage image;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HexParseResult r = image.Parse(c.text);
        ASSERT_EQ(r.status, HexStatus::Ok) << r.line << ":" << r.column;
        EXPECT_EQ(r.format, c.format);
        EXPECT_FALSE(r.missingEnd);
        ExpectData(image);
    }
    // The 255-byte records really are that long, and the S-records 32-bit.
    EXPECT_EQ(Lines(cases[2].text)[1].size(), 1 + 2 * (5 + 255u));
    EXPECT_EQ(Lines(cases[3].text)[1].substr(0, 2), "S3");

    // A binary placed by the caller; the same address for a file with its own is refused.
    image.SetBinaryAddress(0x08004000);
    ASSERT_EQ(image.Parse(cases[8].text).status, HexStatus::Ok);
    ExpectData(image, 0x4000);
    EXPECT_EQ(image.Parse(cases[0].text).status, HexStatus::AddressGiven);
    image.ClearBinaryAddress();
    ASSERT_EQ(image.Parse(cases[8].text).status, HexStatus::Ok);
    ExpectData(image);
}

TEST_F(ImageFormats, SixteenAndTwentyFourBitSRecordsReadAtTheirOwnAddresses) {
    // Neither reaches the flash at 0x08000000: read them where they are.
    const struct {
        const char* name;
        int width;
        std::uint32_t address;
        const char* kind;
    } cases[] = {{"s19.s19", 2, 0x0100, "S1"}, {"s28.s28", 3, 0xFE0000, "S2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text =
            Srec(c.name, "-motorola -address-length=" + std::to_string(c.width), c.address);
        EXPECT_EQ(Lines(text)[1].substr(0, 2), c.kind);
        EXPECT_EQ(DetectImageFormat(text), ImageFormat::SRecord);
        MapSink sink;
        const HexParseResult r = ReadSRecords(text, sink);
        ASSERT_EQ(r.status, HexStatus::Ok) << r.line << ":" << r.column;
        ASSERT_EQ(sink.bytes.size(), kSize);
        EXPECT_EQ(sink.bytes.begin()->first, c.address);
        std::vector<std::uint8_t> got;
        for (const auto& [address, value] : sink.bytes) {
            got.push_back(value);
        }
        EXPECT_EQ(got, data_);
        // The programmer's image names the first byte no chip can take.
        THexImage image;
        ASSERT_EQ(image.Parse(text).status, HexStatus::Ok);
        EXPECT_TRUE(image.Empty());
        EXPECT_EQ(image.Outside(), c.address);
    }
}

// A damaged copy of a real file: what our reader says, and whether srec_cat agrees.
struct Damaged {
    const char* name;
    std::string text;
    HexStatus status;
    std::uint32_t line;
    std::uint32_t column;
};

TEST_F(ImageFormats, DamagedFilesAreRefusedWithLineAndColumnWhereSrecCatRefusesThem) {
    const auto hex = Lines(Srec("r16.hex", "-intel -obs=16"));
    const auto srec = Lines(Srec("s37.srec", "-motorola -address-length=4"));
    auto cut = hex;
    cut[4].resize(21);  // line 5 cut after 21 characters, the rest of the file whole
    auto stray = hex;
    stray[6][14] = 'x';
    auto overlap = hex;
    overlap.insert(overlap.begin() + 9, hex[3]);  // line 4 again, as line 10: same bytes
    auto contradict = hex;
    // Line 3's data once more, at line 4's address, with the checksum that makes it valid.
    {
        std::string rec = hex[2];
        rec.replace(3, 4, hex[3].substr(3, 4));
        unsigned sum = 0;
        for (std::size_t i = 1; i + 2 < rec.size(); i += 2) {
            sum += static_cast<unsigned>(std::stoul(rec.substr(i, 2), nullptr, 16));
        }
        char check[3];
        std::snprintf(check, sizeof check, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
        rec.replace(rec.size() - 2, 2, check);
        contradict.insert(contradict.begin() + 20, rec);
    }
    auto scut = srec;
    scut[8].resize(30);
    auto sstray = srec;
    sstray[3][40] = 'G';
    auto slost = srec;
    slost.erase(slost.begin() + 5);  // a whole record lost: only the count tells

    const Damaged cases[] = {
        {"hex cut short", Join(cut), HexStatus::CutShort, 5, 22},
        {"hex stray character", Join(stray), HexStatus::BadCharacter, 7, 15},
        {"hex different overlap", Join(contradict), HexStatus::Overlap, 21, 10},
        {"srec cut short", Join(scut), HexStatus::CutShort, 9, 31},
        {"srec stray character", Join(sstray), HexStatus::BadCharacter, 4, 41},
        {"srec record lost", Join(slost), HexStatus::BadCount,
         static_cast<std::uint32_t>(slost.size()), 5},
    };
    THexImage image;
    for (const Damaged& c : cases) {
        SCOPED_TRACE(c.name);
        const HexParseResult r = image.Parse(c.text);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.line, c.line);
        EXPECT_EQ(r.column, c.column);
        WriteFile(dir_ / "damaged", c.text);
        const char* in = c.text[0] == ':' ? " -intel" : " -motorola";
        EXPECT_FALSE(Tool(dir_, std::string("srec_cat damaged") + in + " -o /dev/null"));
    }
    // A repeated record with the same bytes is accepted, by srec_cat too.
    WriteFile(dir_ / "again.hex", Join(overlap));
    EXPECT_TRUE(Tool(dir_, "srec_cat again.hex -intel -o /dev/null"));
    ASSERT_EQ(image.Parse(Join(overlap)).status, HexStatus::Ok);
    ExpectData(image);
}

TEST_F(ImageFormats, ElfFilesThatCannotBeFlashedSaySo) {
    const std::string elf = Elf("fw.elf");
    THexImage image;
    // Cut inside the second segment's bytes, and inside the program header table.
    EXPECT_EQ(image.Parse(std::string_view(elf).substr(0, elf.size() / 2)).status,
              HexStatus::ElfDamaged);
    EXPECT_EQ(image.Parse(std::string_view(elf).substr(0, 60)).status, HexStatus::ElfDamaged);
    EXPECT_EQ(image.Parse(std::string_view(elf).substr(0, 20)).status, HexStatus::ElfDamaged);
    // A 64-bit file is refused by its class, not read with the wrong layout.
    EXPECT_EQ(image.Parse(Elf("fw64.elf", "--64", "elf_x86_64")).status, HexStatus::ElfClass);
    // objcopy's object from a raw binary has no loadable segment: nothing to flash.
    ASSERT_TRUE(Tool(dir_, "objcopy -I binary -O elf32-i386 data.bin object.elf"));
    const HexParseResult r = image.Parse(ReadFile(dir_ / "object.elf"));
    EXPECT_EQ(r.status, HexStatus::Ok);
    EXPECT_EQ(r.format, ImageFormat::Elf);
    EXPECT_TRUE(image.Empty());
}

TEST(ImageFormat, TextIsNeverTakenForABinary) {
    // What reaches the binary reader is flashed as it is: only content that no text holds.
    EXPECT_EQ(DetectImageFormat(""), ImageFormat::IntelHex);
    EXPECT_EQ(DetectImageFormat("firmware notes\r\n"), ImageFormat::IntelHex);
    EXPECT_EQ(DetectImageFormat("\xEF\xBB\xBF:00000001FF"), ImageFormat::IntelHex);
    EXPECT_EQ(DetectImageFormat("\xD6\xD0\xCE\xC4 GBK text\n"), ImageFormat::IntelHex);
    EXPECT_EQ(DetectImageFormat(std::string(":0100000055AA\n\0\0", 17)), ImageFormat::IntelHex);
    EXPECT_EQ(DetectImageFormat("\n S00F00"), ImageFormat::SRecord);
    EXPECT_EQ(DetectImageFormat("Status\n"), ImageFormat::IntelHex);
    EXPECT_EQ(DetectImageFormat(std::string("\x00\x50\x00\x20\xC1\x01\x00\x08", 8)),
              ImageFormat::Binary);
    EXPECT_EQ(DetectImageFormat("\x7F"
                                "ELF"),
              ImageFormat::Elf);
}

}  // namespace
