#include "tools/program_image.h"

namespace {

constexpr std::uint16_t ExecutableImage = 0x0002, Library = 0x2000;  // of the characteristics

std::uint16_t Word(const unsigned char* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }
std::uint32_t DoubleWord(const unsigned char* at) {
    return Word(at) | static_cast<std::uint32_t>(Word(at + 2)) << 16;
}

}  // namespace

std::uint32_t PeHeaderOffset(const unsigned char* dos) {
    if (dos[0] != 'M' || dos[1] != 'Z') return 0;
    const std::uint32_t offset = DoubleWord(dos + 0x3C);  // e_lfanew
    return offset < 0x80000000u ? offset : 0;  // a positive LONG
}

std::optional<TImageHeader> ReadPeHeader(const unsigned char* pe) {
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return std::nullopt;
    return TImageHeader{Word(pe + 4), Word(pe + 22)};
}

bool RunsAsProgram(const TImageHeader& image, std::uint16_t machine) {
    return image.Machine == machine && (image.Characteristics & ExecutableImage) && !(image.Characteristics & Library);
}
