// A table file of the system changed by any SQL someone could run on it (views, triggers, columns
// and indexes that compute, other tables, a different journal, values of any size): the loader
// and the file changed row by row either read it or refuse it with a message, and never run what
// the file holds, never loop, never take more memory than a plain file of its size would.

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "TArquivoTabela.h"
#include "TDataSet.h"
#include "TTableFile.h"

namespace {

using namespace kova;

void Campos(TDataSet& t) {
    t.AddField({"Nome", TFieldType::ftString, 20});
    t.AddField({"Valor", TFieldType::ftInteger});
    t.AddField({"Quando", TFieldType::ftDate});
    t.AddField({"Quanto", TFieldType::ftCurrency});
}

// What the SQL may do to the file is bounded too: it works on this file only (no other file
// attached or written, no extension loaded) and stops after a while.
int Autoriza(void*, int acao, const char*, const char*, const char*, const char*) {
    return acao == SQLITE_ATTACH || acao == SQLITE_DETACH ? SQLITE_DENY : SQLITE_OK;
}
int Para(void* passos) { return ++*static_cast<int*>(passos) > 20000; }

void Altera(const std::string& caminho, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(caminho.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        int passos = 0;
        sqlite3_set_authorizer(db, &Autoriza, nullptr);
        sqlite3_progress_handler(db, 100, &Para, &passos);
        sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(db);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    static const std::string caminho =
        "/dev/shm/kova-fuzz-esquema-" + std::to_string(getpid()) + ".cds";
    static const TDataSet* modelo = [] {
        auto* t = new TDataSet;
        Campos(*t);
        t->CreateDataSet();
        t->AppendRecord({std::string("um"), int32_t(1), TValue(), TValue()});
        t->AppendRecord({std::string("dois"), int32_t(2), TValue(), TValue()});
        return t;
    }();
    std::string sql(reinterpret_cast<const char*>(dados), tamanho);
    std::string minusculas = sql;
    std::transform(minusculas.begin(), minusculas.end(), minusculas.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    // VACUUM INTO writes wherever it is told.
    if (minusculas.find("vacuum") != std::string::npos) return -1;
    for (const char* resto : {"", "-journal", "-wal", "-shm"})
        std::remove((caminho + resto).c_str());
    WriteTableFileSelado(*modelo, caminho, {"Valor"});
    Altera(caminho, sql);

    try {
        TDataSet t;
        Campos(t);
        LoadFromFile(t, caminho);
        for (t.First(); !t.Eof(); t.Next()) {
            for (int i = 0; i < t.FieldCount(); ++i) (void)t.Fields(i).AsString();
        }
    } catch (const std::exception&) {
    }
    // Read as a program that only reads it, then as the one that writes slips into it.
    for (bool escrita : {false, true}) {
        try {
            auto arquivo = std::make_shared<TArquivoTabela>(caminho, *modelo, escrita);
            TDataSet t;
            Campos(t);
            arquivo->CarregaResidentes(t, {"Valor"});
            (void)arquivo->Linhas();
            (void)arquivo->Maximo("Nome");
            for (t.First(); !t.Eof(); t.Next()) {
                for (int i = 0; i < t.FieldCount(); ++i) (void)t.Fields(i).AsString();
            }
            if (escrita) {
                t.AppendRecord({std::string("tres"), int32_t(3), TValue(), TValue()});
                arquivo->GravaAlteracoes(t, {"Valor"});
            }
        } catch (const std::exception&) {
        }
    }
    return 0;
}
