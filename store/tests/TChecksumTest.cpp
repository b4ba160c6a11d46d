#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "TChecksum.h"

using namespace kova;

TEST(TChecksum, TextoConhecidoEVazio) {
    TChecksum c;
    EXPECT_EQ(c.StringCRC("abc"), "352441C2");
    EXPECT_EQ(c.StringRecord, "abc");
    EXPECT_EQ(c.CRCResult, "352441C2");
    EXPECT_EQ(c.StringCRC(""), "00000000");
    c.StringRecord = "123456789";
    c.SetCRCStringExecute(true);
    EXPECT_EQ(c.CRCResult, "CBF43926");
    EXPECT_EQ(c.ErrorResult, "********");
}

TEST(TChecksum, ArquivoIgualAoZlibEmMuitosTamanhos) {
    std::mt19937 gerador(42);
    const std::string path = ::testing::TempDir() + "kova_crc.bin";
    for (size_t tamanho : {size_t(0), size_t(1), size_t(3), size_t(32767), size_t(32768),
                           size_t(32769), size_t(65536), size_t(100000), size_t(250001)}) {
        std::string dados(tamanho, '\0');
        for (char& ch : dados) ch = char(gerador());
        std::ofstream(path, std::ios::binary) << dados;
        uLong esperado =
            crc32(0L, reinterpret_cast<const Bytef*>(dados.data()), uInt(dados.size()));
        TChecksum c;
        EXPECT_EQ(c.FileCRC(path), TChecksum::Hex(uint32_t(esperado))) << tamanho;
    }
    std::remove(path.c_str());
}

// Fed in pieces of every length from every start, eight bytes at a time and the rest one by one,
// the sum is zlib's of the whole.
TEST(TChecksum, EmPedacosIgualAoZlib) {
    std::mt19937 gerador(7);
    std::string dados(200, '\0');
    for (char& ch : dados) ch = char(gerador());
    const auto* bytes = reinterpret_cast<const Bytef*>(dados.data());
    for (size_t inicio = 0; inicio < 9; ++inicio) {
        for (size_t pedaco = 1; pedaco <= 17; ++pedaco) {
            uint32_t crc = 0xFFFFFFFFu;
            for (size_t p = inicio; p < dados.size(); p += pedaco)
                crc = TChecksum::Update(crc, dados.data() + p, std::min(pedaco, dados.size() - p));
            const uLong esperado = crc32(0L, bytes + inicio, uInt(dados.size() - inicio));
            EXPECT_EQ(~crc, uint32_t(esperado)) << inicio << " " << pedaco;
        }
    }
}

TEST(TChecksum, ArquivoIlegivelDaErrorResultEAvisa) {
    TChecksum c;
    int avisos = 0;
    c.OnFileOpenError = [&] { ++avisos; };
    EXPECT_EQ(c.FileCRC("/nao/existe/arquivo.cds"), "********");
    EXPECT_EQ(c.CRCResult, "********");
    EXPECT_EQ(avisos, 1);
}
