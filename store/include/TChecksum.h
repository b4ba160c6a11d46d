#pragma once
// The CRC-32 of IEEE 802.3 (the one zlib and ZIP use) over a file or a text, written as eight
// upper-case hexadecimal digits. It guards the table files and signs every library reply.
// An unreadable file gives ErrorResult ("********"), which matches no stored checksum.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kova {

class TChecksum {
public:
    TChecksum();

    // Process pending screen events after each block read (through ProcessMessages).
    bool Background = false;
    std::string ErrorResult = "********";
    // Whether the system's version is at least 3.51; kept for the record, not used by the CRC.
    bool UseLFNs = true;
    std::string CRCResult;
    std::string StringRecord;
    bool CRCStringExecute() const { return false; }
    // Setting it to true computes the CRC of StringRecord into CRCResult.
    void SetCRCStringExecute(bool value);

    std::function<void()> OnMemAllocError;
    std::function<void()> OnFileOpenError;
    // How pending screen events are processed when Background is set (the desktop installs it).
    std::function<void()> ProcessMessages;

    std::string FileCRC(const std::string& path);
    std::string StringCRC(const std::string& text);

    // The running CRC: start with 0xFFFFFFFF, finish by complementing.
    static uint32_t Update(uint32_t crc, const void* data, size_t size);
    static std::string Hex(uint32_t crc);

private:
    void Processar();
};

}  // namespace kova
