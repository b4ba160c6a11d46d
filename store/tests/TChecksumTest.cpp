#include <gtest/gtest.h>
#include <zlib.h>

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

TEST(TChecksum, ArquivoIlegivelDaErrorResultEAvisa) {
    TChecksum c;
    int avisos = 0;
    c.OnFileOpenError = [&] { ++avisos; };
    EXPECT_EQ(c.FileCRC("/nao/existe/arquivo.cds"), "********");
    EXPECT_EQ(c.CRCResult, "********");
    EXPECT_EQ(avisos, 1);
}
