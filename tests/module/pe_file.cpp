#include "module/pe_file.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vellary::test {

namespace {

// Offsets of the PE format that the reader needs.
constexpr std::size_t kDosNewHeaderOffset = 0x3C;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kImportDescriptorSize = 20;
constexpr std::size_t kMaxNameLength = 4096;
// More entries than any sane image has: a table that runs on is taken as damaged.
constexpr std::uint32_t kMaxTableEntries = 65536;

struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Little-endian reads that refuse to go past the end of the file.
class ByteReader {
  public:
    explicit ByteReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

    std::uint64_t word(std::size_t offset, std::size_t size, const char* what) const {
        if (offset > bytes_.size() || size > bytes_.size() - offset) {
            throw Malformed(std::string(what) + " lies past the end of the file");
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            value |= static_cast<std::uint64_t>(bytes_[offset + i]) << (8 * i);
        }
        return value;
    }
    std::uint16_t u16(std::size_t offset, const char* what) const {
        return static_cast<std::uint16_t>(word(offset, 2, what));
    }
    std::uint32_t u32(std::size_t offset, const char* what) const {
        return static_cast<std::uint32_t>(word(offset, 4, what));
    }
    std::string text(std::size_t offset, const char* what) const {
        std::string out;
        while (true) {
            if (offset >= bytes_.size() || out.size() > kMaxNameLength) {
                throw Malformed(std::string(what) + " has no end within the file");
            }
            const char c = static_cast<char>(bytes_[offset++]);
            if (c == '\0') {
                return out;
            }
            out.push_back(c);
        }
    }

  private:
    const std::vector<unsigned char>& bytes_;
};

class PeParser {
  public:
    PeParser(const std::vector<unsigned char>& bytes, PeFile* file) : read_(bytes), file_(*file) {}

    void parse() {
        const std::size_t fileHeader = readSignature();
        const std::size_t optionalHeader = readFileHeader(fileHeader);
        readOptionalHeader(optionalHeader);
        readExports();
        readImports();
        readTls();
    }

  private:
    std::size_t readSignature() {
        if (read_.u16(0, "DOS header") != 0x5A4D) {
            throw Malformed("not a PE file: no MZ signature");
        }
        const std::uint32_t peOffset = read_.u32(kDosNewHeaderOffset, "DOS header");
        if (read_.u32(peOffset, "PE signature") != 0x00004550) {
            throw Malformed("not a PE file: no PE signature at the DOS header's offset");
        }
        return peOffset + 4;
    }

    std::size_t readFileHeader(std::size_t at) {
        file_.machine = read_.u16(at, "file header");
        const std::uint16_t sectionCount = read_.u16(at + 2, "file header");
        const std::uint16_t optionalSize = read_.u16(at + 16, "file header");
        file_.characteristics = read_.u16(at + 18, "file header");
        const std::size_t optionalHeader = at + kFileHeaderSize;
        const std::size_t sectionTable = optionalHeader + optionalSize;
        for (std::size_t i = 0; i < sectionCount; ++i) {
            file_.sections.push_back(readSection(sectionTable + i * kSectionHeaderSize));
        }
        return optionalHeader;
    }

    PeSection readSection(std::size_t at) {
        PeSection section;
        for (std::size_t i = 0; i < 8; ++i) {
            const char c = static_cast<char>(read_.word(at + i, 1, "section header"));
            if (c == '\0') {
                break;
            }
            section.name.push_back(c);
        }
        section.virtualSize = read_.u32(at + 8, "section header");
        section.virtualAddress = read_.u32(at + 12, "section header");
        section.rawSize = read_.u32(at + 16, "section header");
        section.rawOffset = read_.u32(at + 20, "section header");
        section.characteristics = read_.u32(at + 36, "section header");
        return section;
    }

    void readOptionalHeader(std::size_t at) {
        file_.optionalMagic = read_.u16(at, "optional header");
        std::size_t countAt = 0;
        if (file_.optionalMagic == kPeMagic32) {
            file_.imageBase = read_.u32(at + 28, "optional header");
            countAt = at + 92;
        } else if (file_.optionalMagic == kPeMagic64) {
            file_.imageBase = read_.word(at + 24, 8, "optional header");
            countAt = at + 108;
        } else {
            throw Malformed("unknown optional header magic");
        }
        const std::uint32_t count = read_.u32(countAt, "optional header");
        if (count > 16) {
            throw Malformed("more than 16 data directories");
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t entry = countAt + 4 + i * 8;
            file_.directories.push_back(
                {read_.u32(entry, "data directory"), read_.u32(entry + 4, "data directory")});
        }
    }

    bool is64() const { return file_.optionalMagic == kPeMagic64; }
    std::size_t pointerSize() const { return is64() ? 8 : 4; }

    // The file offset of an RVA, through the section that maps it from the file.
    std::size_t offsetOf(std::uint32_t rva, const char* what) const {
        for (const PeSection& section : file_.sections) {
            if (rva >= section.virtualAddress && rva - section.virtualAddress < section.rawSize) {
                return static_cast<std::size_t>(section.rawOffset) + (rva - section.virtualAddress);
            }
        }
        throw Malformed(std::string(what) + " at RVA " + std::to_string(rva) +
                        " is in no section's file data");
    }

    void readExports() {
        const PeDataDirectory directory = file_.directory(kPeExportDirectory);
        if (directory.size == 0) {
            return;
        }
        const std::size_t at = offsetOf(directory.rva, "export directory");
        file_.exportedFunctionCount = read_.u32(at + 20, "export directory");
        const std::uint32_t nameCount = read_.u32(at + 24, "export directory");
        if (nameCount > kMaxTableEntries || file_.exportedFunctionCount > kMaxTableEntries) {
            throw Malformed("export directory with implausibly many entries");
        }
        const std::uint32_t functions = read_.u32(at + 28, "export directory");
        const std::uint32_t names = read_.u32(at + 32, "export directory");
        const std::uint32_t ordinals = read_.u32(at + 36, "export directory");
        for (std::uint32_t i = 0; i < nameCount; ++i) {
            PeExport entry;
            const std::uint32_t nameRva =
                read_.u32(offsetOf(names, "export names") + 4 * i, "export name table");
            entry.name = read_.text(offsetOf(nameRva, "export name"), "export name");
            const std::uint16_t index =
                read_.u16(offsetOf(ordinals, "export ordinals") + 2 * i, "export ordinal table");
            if (index >= file_.exportedFunctionCount) {
                throw Malformed("export " + entry.name + " names no exported address");
            }
            entry.rva = read_.u32(offsetOf(functions, "export addresses") + 4 * index,
                                  "export address table");
            file_.exports.push_back(entry);
        }
    }

    void readImports() {
        const PeDataDirectory directory = file_.directory(kPeImportDirectory);
        if (directory.size == 0) {
            return;
        }
        const std::size_t at = offsetOf(directory.rva, "import directory");
        for (std::uint32_t i = 0;; ++i) {
            if (i == kMaxTableEntries) {
                throw Malformed("import directory without its ending entry");
            }
            const std::size_t entry = at + i * kImportDescriptorSize;
            const std::uint32_t nameRva = read_.u32(entry + 12, "import descriptor");
            const std::uint32_t thunks = read_.u32(entry + 16, "import descriptor");
            if (nameRva == 0 && thunks == 0) {
                return;
            }
            file_.importedDlls.push_back(
                read_.text(offsetOf(nameRva, "imported DLL name"), "imported DLL name"));
        }
    }

    void readTls() {
        const PeDataDirectory directory = file_.directory(kPeTlsDirectory);
        if (directory.size == 0) {
            return;
        }
        file_.hasTlsDirectory = true;
        const std::size_t at = offsetOf(directory.rva, "TLS directory");
        const std::size_t word = pointerSize();
        // Start, end and index addresses come first; then the address of the callback list.
        const std::uint64_t listVa = read_.word(at + 3 * word, word, "TLS directory");
        if (listVa == 0) {
            return;
        }
        const std::size_t list = offsetOf(rvaOf(listVa), "TLS callback list");
        for (std::uint32_t i = 0;; ++i) {
            if (i == kMaxTableEntries) {
                throw Malformed("TLS callback list without its ending zero");
            }
            const std::uint64_t callback = read_.word(list + i * word, word, "TLS callback list");
            if (callback == 0) {
                return;
            }
            file_.tlsCallbacks.push_back(callback);
        }
    }

    std::uint32_t rvaOf(std::uint64_t va) const {
        if (va < file_.imageBase || va - file_.imageBase > 0xFFFFFFFFu) {
            throw Malformed("an address outside the image");
        }
        return static_cast<std::uint32_t>(va - file_.imageBase);
    }

    ByteReader read_;
    PeFile& file_;
};

} // namespace

PeDataDirectory PeFile::directory(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < directories.size()
               ? directories[static_cast<std::size_t>(index)]
               : PeDataDirectory{};
}

const PeSection* PeFile::sectionAt(std::uint32_t rva) const {
    for (const PeSection& section : sections) {
        const std::uint32_t extent =
            section.virtualSize > section.rawSize ? section.virtualSize : section.rawSize;
        if (rva >= section.virtualAddress && rva - section.virtualAddress < extent) {
            return &section;
        }
    }
    return nullptr;
}

bool readPeImage(const std::vector<unsigned char>& bytes, PeFile* file, std::string* error) {
    *file = PeFile{};
    try {
        PeParser(bytes, file).parse();
        return true;
    } catch (const Malformed& malformed) {
        *error = malformed.what();
        return false;
    }
}

bool readPeFile(const std::string& path, PeFile* file, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    if (!readPeImage(bytes, file, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

} // namespace vellary::test
