// What a Windows module file says about itself, read from its bytes alone: the machine it is
// built for, whether it is a DLL, the names it exports, the DLLs it imports from and its TLS
// callbacks (code the loader would run on load before anything else). Plain byte reading, no
// Windows API, so the same reader works on any platform and on any file it is pointed at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellary::test {

inline constexpr std::uint16_t kPeMachineI386 = 0x014C;
inline constexpr std::uint16_t kPeMagic32 = 0x010B; // PE32
inline constexpr std::uint16_t kPeMagic64 = 0x020B; // PE32+
inline constexpr std::uint16_t kPeFileDll = 0x2000; // file header characteristic
inline constexpr std::uint32_t kPeSectionExecute = 0x20000000;
inline constexpr std::uint32_t kPeSectionWrite = 0x80000000;

// Indexes of the data directories read here.
enum PeDirectory : int {
    kPeExportDirectory = 0,
    kPeImportDirectory = 1,
    kPeTlsDirectory = 9,
    kPeDelayImportDirectory = 13,
};

struct PeSection {
    std::string name;
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawOffset = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t characteristics = 0;
};

struct PeExport {
    std::string name;
    std::uint32_t rva = 0; // where the exported symbol lives in the image
};

struct PeDataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

struct PeFile {
    std::uint16_t machine = 0;
    std::uint16_t characteristics = 0;
    std::uint16_t optionalMagic = 0;
    std::uint64_t imageBase = 0;
    std::vector<PeSection> sections;
    std::vector<PeDataDirectory> directories;
    std::uint32_t exportedFunctionCount = 0; // entries of the export address table
    std::vector<PeExport> exports;           // the named ones
    std::vector<std::string> importedDlls;   // in import-directory order
    bool hasTlsDirectory = false;
    std::vector<std::uint64_t> tlsCallbacks; // addresses (VAs), without the ending zero

    bool isDll() const { return (characteristics & kPeFileDll) != 0; }
    PeDataDirectory directory(int index) const;
    // The section holding an RVA, or null.
    const PeSection* sectionAt(std::uint32_t rva) const;
};

// Parses an image held in memory. False, with the reason in *error, for anything that is not a
// well-formed PE image (another format, a truncated file, a table pointing outside the file).
bool readPeImage(const std::vector<unsigned char>& bytes, PeFile* file, std::string* error);
// readPeImage of a file's contents.
bool readPeFile(const std::string& path, PeFile* file, std::string* error);

} // namespace vellary::test
