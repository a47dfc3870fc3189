#pragma once
// The headers of a Windows image as the system's loader reads them: the DOS header's "MZ" and
// the offset of the "PE" header it points to, then the file header's machine and
// characteristics. Pure byte work, so that it reads a file's first bytes and the program's own
// image in memory alike.
#include <cstddef>
#include <cstdint>
#include <optional>

constexpr std::size_t DosHeaderSize = 64, PeHeaderSize = 24;  // the signature and the file header

constexpr std::uint16_t MachineI386 = 0x014C, MachineAmd64 = 0x8664, MachineArm64 = 0xAA64;

struct TImageHeader {
    std::uint16_t Machine = 0;
    std::uint16_t Characteristics = 0;
};

// Where the PE header begins, given the DosHeaderSize bytes at the start of an image; 0 when
// they do not begin with "MZ" or give no offset past the start.
std::uint32_t PeHeaderOffset(const unsigned char* dos);

// The file header of the PeHeaderSize bytes at that offset, or nothing without "PE\0\0".
std::optional<TImageHeader> ReadPeHeader(const unsigned char* pe);

// Whether such an image starts as a program on a system that runs programs for machine: an
// executable image for that machine, not a library.
bool RunsAsProgram(const TImageHeader& image, std::uint16_t machine);
