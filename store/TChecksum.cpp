#include "TChecksum.h"

#include <array>
#include <fstream>
#include <memory>
#include <new>

#include "Crc32.h"
#include "Diretorios.h"

namespace kova {
namespace {

constexpr size_t kBloco = 32768;

}  // namespace

TChecksum::TChecksum() {
    // "major.minor" of the system compared as text with "3.51".
    if (const std::string r = VersaoSistema(); !r.empty()) {
        size_t p = r.find('.');
        size_t q =
            p == std::string::npos ? std::string::npos : r.find_first_not_of("0123456789", p + 1);
        UseLFNs = r.substr(0, q) >= "3.51";
    }
}

uint32_t TChecksum::Update(uint32_t crc, const void* data, size_t size) {
    return Crc32(crc, data, size);
}

std::string TChecksum::Hex(uint32_t crc) {
    static constexpr char kDigitos[] = "0123456789ABCDEF";
    std::string b(8, '0');
    for (int i = 7; i >= 0; --i, crc >>= 4) b[size_t(i)] = kDigitos[crc & 0xF];
    return b;
}

void TChecksum::Processar() {
    if (Background && ProcessMessages) ProcessMessages();
}

std::string TChecksum::FileCRC(const std::string& path) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBloco]);
    if (!buffer) {
        CRCResult = ErrorResult;
        if (OnMemAllocError) OnMemAllocError();
        return CRCResult;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        CRCResult = ErrorResult;
        if (OnFileOpenError) OnFileOpenError();
        return CRCResult;
    }
    uint32_t crc = 0xFFFFFFFFu;
    while (in) {
        in.read(buffer.get(), kBloco);
        crc = Update(crc, buffer.get(), size_t(in.gcount()));
        Processar();
    }
    if (in.bad()) {
        CRCResult = ErrorResult;
        if (OnFileOpenError) OnFileOpenError();
        return CRCResult;
    }
    CRCResult = Hex(~crc);
    return CRCResult;
}

std::string TChecksum::StringCRC(const std::string& text) {
    StringRecord = text;
    CRCResult = Hex(~Update(0xFFFFFFFFu, text.data(), text.size()));
    Processar();
    return CRCResult;
}

void TChecksum::SetCRCStringExecute(bool value) {
    if (value) StringCRC(StringRecord);
}

}  // namespace kova
