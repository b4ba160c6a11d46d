// What a crash or a full disk at any step of a save leaves behind, with the files in memory
// (TArquivosEmMemoria), so that it runs the same on Linux and on Windows, step by step, without
// killing processes or filling real disks. A program of its own, without a test framework, so that
// the Windows build runs it under wine as it stands.
//
//   kova_quedas_em_memoria        runs every case; status 0 when all hold

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ArquivosEmMemoria.h"
#include "Errors.h"
#include "SistemaDeArquivos.h"
#include "TArquivoTabela.h"
#include "TTableFile.h"

using namespace kova;

namespace {

int falhas = 0;

void Confere(bool condicao, const std::string& caso, int passo, const std::string& texto) {
    if (condicao) return;
    ++falhas;
    std::printf("FALHOU %s, passo %d: %s\n", caso.c_str(), passo, texto.c_str());
}

const std::string kKova = "/dados/KOVA.cds";
const std::string kUF = "/dados/UF.cds";
const std::vector<std::string> kResidentes = {"IdKOVA", "Situacao"};

void Define(TDataSet& t) {
    t.AddField({"IdKOVA", TFieldType::ftInteger});
    t.AddField({"Situacao", TFieldType::ftString, 1});
    t.AddField({"Contribuinte", TFieldType::ftString, 40});
}

// The slips as "id situacao contribuinte" lines, in file order.
using TConteudo = std::vector<std::string>;

TConteudo Conteudo(TDataSet& t) {
    TConteudo c;
    for (t.First(); !t.Eof(); t.Next()) {
        c.push_back(std::to_string(t.FieldByName("IdKOVA").AsInteger()) + " " +
                    t.FieldByName("Situacao").AsString() + " " +
                    t.FieldByName("Contribuinte").AsString());
    }
    return c;
}

std::string Texto(const TConteudo& c) {
    std::string t;
    for (const std::string& l : c) t += "[" + l + "]";
    return t;
}

// The slips file as the next start of the writer finds it: opened for writing (which puts back a
// change left half made), each row checked against the seal.
TConteudo CarregaKOVA() {
    TDataSet definicao;
    Define(definicao);
    auto arquivo = std::make_shared<TArquivoTabela>(kKova, definicao, true);
    TDataSet t;
    Define(t);
    arquivo->CarregaResidentes(t, kResidentes);
    return Conteudo(t);
}

// A save of the slips: one changed, one removed, two new, in one transaction. The table keeps what
// did not reach the file, for the next save.
struct TSalvaKOVA {
    TDataSet definicao, t;
    std::shared_ptr<TArquivoTabela> arquivo;
    TSalvaKOVA() {
        Define(definicao);
        Define(t);
        arquivo = std::make_shared<TArquivoTabela>(kKova, definicao, true);
        arquivo->CarregaResidentes(t, kResidentes);
        t.First();
        t.Edit();
        t.FieldByName("Situacao").SetAsString("I");
        t.Post();
        t.Next();
        t.Delete();
        t.AppendRecord({int32_t(4), std::string("D"), std::string("Quarta Ltda")});
        t.AppendRecord({int32_t(5), std::string("D"), std::string("Quinta S.A.")});
    }
    void Grava() { arquivo->GravaAlteracoes(t, kResidentes); }
};

void Inicia(TArquivosEmMemoria& disco) {
    TDataSet t;
    Define(t);
    t.CreateDataSet();
    t.AppendRecord({int32_t(1), std::string("D"), std::string("Primeira Ltda")});
    t.AppendRecord({int32_t(2), std::string("D"), std::string("Segunda ME")});
    t.AppendRecord({int32_t(3), std::string("D"), std::string("Terceira")});
    WriteTableFileSelado(t, kKova, kResidentes);
    TDataSet uf;
    uf.AddField({"UF", TFieldType::ftString, 2});
    uf.AddField({"Nome", TFieldType::ftString, 30});
    uf.CreateDataSet();
    uf.AppendRecord({std::string("PR"), std::string("Paraná")});
    uf.AppendRecord({std::string("SC"), std::string("Santa Catarina")});
    WriteTableFile(uf, kUF);
    disco.Religa();
}

// Runs `acao` from the same disk with a crash at each of its steps in turn, then with a full disk
// at each; `confere` judges what the next start finds (the step, whether the action reported a
// failure).
void CadaPasso(TArquivosEmMemoria& disco, const std::string& caso,
               const std::function<void()>& acao,
               const std::function<void(int, bool, bool)>& confere) {
    const TArquivosEmMemoria::TDisco inicial = disco.Disco();
    disco.ZeraPassos();
    acao();
    const int total = disco.Passos();
    Confere(total > 3, caso, 0, "a gravação deu só " + std::to_string(total) + " passos");
    for (bool queda : {true, false}) {
        for (int n = 1; n <= total; ++n) {
            disco.Restaura(inicial);
            disco.Religa();
            disco.ZeraPassos();
            if (queda) {
                disco.CaiNoPasso(n);
            } else {
                disco.FalhaNoPasso(n);
            }
            bool falhou = false;
            try {
                acao();
            } catch (const std::exception&) {
                falhou = true;
            }
            if (!queda) {
                confere(n, queda, falhou);
                continue;
            }
            Confere(disco.Caiu(), caso, n, "a queda não aconteceu");
            // Every file keeps, or loses, what it was written since its last flush.
            const TArquivosEmMemoria::TDisco caido = disco.Disco();
            for (unsigned guardados = 0; guardados < (1u << caido.size()); ++guardados) {
                disco.Restaura(caido);
                disco.Religa(guardados);
                confere(n, queda, falhou);
            }
        }
    }
    disco.Restaura(inicial);
    disco.Religa();
}

void SlipsFile(TArquivosEmMemoria& disco) {
    const TArquivosEmMemoria::TDisco inicial = disco.Disco();
    const TConteudo antes = CarregaKOVA();
    TConteudo depois;
    {
        TSalvaKOVA s;
        s.Grava();
    }
    depois = CarregaKOVA();
    disco.Restaura(inicial);
    Confere(antes.size() == 3 && depois.size() == 4 && antes != depois, "KOVA.cds", 0,
            "antes " + Texto(antes) + ", depois " + Texto(depois));
    // The program saves once, or (repete) saves again after a failure told, as the next save does
    // with the changes still pending.
    bool repete = false;
    int avisos = 0;
    int antigas = 0, novas = 0;
    const auto salva = [&] {
        TSalvaKOVA s;
        try {
            s.Grava();
        } catch (const EErroGravacao&) {
            ++avisos;
            if (!repete || disco.Caiu()) throw;
            Confere(s.t.TemPendencias(), "KOVA.cds, disco cheio", disco.Passos(),
                    "as alterações se perderam");
            s.Grava();
        }
    };
    const auto confere = [&](int n, bool queda, bool falhou) {
        const std::string caso = std::string(queda ? "KOVA.cds, queda" : "KOVA.cds, disco cheio") +
                                 (repete ? " e nova gravação" : "");
        TConteudo achado;
        try {
            achado = CarregaKOVA();
        } catch (const std::exception& e) {
            Confere(false, caso, n, std::string("a carga falhou: ") + e.what());
            return;
        }
        Confere(achado == antes || achado == depois, caso, n,
                "nem antigas nem novas: " + Texto(achado));
        if (!queda) {
            // A failure told leaves the slips as they were; one not told, the new ones; a save
            // made again after it, the new ones.
            Confere(achado == (falhou ? antes : depois), caso, n,
                    std::string(falhou ? "falhou e mudou" : "não falhou e não mudou") + ": " +
                        Texto(achado));
            Confere(avisos <= 1, caso, n, "a falha foi dita " + std::to_string(avisos) + " vezes");
        }
        if (queda && !repete) (achado == antes ? antigas : novas)++;
        avisos = 0;
    };
    CadaPasso(disco, "KOVA.cds", salva, confere);
    // The journal's removal is the moment the save counts, and the last step: until then a crash
    // leaves the old slips.
    Confere(antigas > 0, "KOVA.cds", 0,
            "antigas " + std::to_string(antigas) + ", novas " + std::to_string(novas));
    repete = true;
    CadaPasso(disco, "KOVA.cds", salva, confere);
}

TConteudo CarregaUF() {
    TDataSet t;
    LoadFromFile(t, kUF);
    TConteudo c;
    for (t.First(); !t.Eof(); t.Next())
        c.push_back(t.FieldByName("UF").AsString() + " " + t.FieldByName("Nome").AsString());
    return c;
}

void TableFile(TArquivosEmMemoria& disco) {
    const TConteudo antes = CarregaUF();
    TDataSet nova;
    nova.AddField({"UF", TFieldType::ftString, 2});
    nova.AddField({"Nome", TFieldType::ftString, 30});
    nova.CreateDataSet();
    for (int i = 0; i < 200; ++i)
        nova.AppendRecord({std::string("RS"), "Rio Grande do Sul " + std::to_string(i)});
    int antigas = 0, novas = 0;
    CadaPasso(
        disco, "UF.cds", [&] { SaveToFile(nova, kUF); },
        [&](int n, bool queda, bool falhou) {
            TConteudo achado;
            try {
                achado = CarregaUF();
            } catch (const std::exception& e) {
                Confere(false, "UF.cds", n, std::string("a carga falhou: ") + e.what());
                return;
            }
            Confere(achado == antes || achado.size() == 200, "UF.cds", n,
                    "nem a antiga nem a nova: " + Texto(achado));
            // A failure told leaves the old table, and nothing beside it.
            if (!queda && falhou) {
                Confere(achado == antes, "UF.cds, disco cheio", n, "falhou e mudou");
                Confere(disco.Disco().size() == 2, "UF.cds, disco cheio", n,
                        "ficou um arquivo temporário");
            }
            if (!queda && !falhou)
                Confere(achado.size() == 200, "UF.cds, disco cheio", n, "gravou e não mudou");
            if (queda) (achado == antes ? antigas : novas)++;
        });
    // The rename is the last step: a crash at any step leaves the old table.
    Confere(antigas > 0 && novas == 0, "UF.cds", 0,
            "antigas " + std::to_string(antigas) + ", novas " + std::to_string(novas));
    Confere(CarregaUF().size() == 2, "UF.cds", 0, "o disco não voltou ao início");
}

void WholeFile(TArquivosEmMemoria& disco) {
    const std::string marca = "/dados/KOVA.gravacao";
    disco.GravaAtomico(marca, "antiga\n");
    disco.Religa();
    CadaPasso(
        disco, "KOVA.gravacao", [&] { disco.GravaAtomico(marca, "nova\n"); },
        [&](int n, bool queda, bool falhou) {
            std::string lido;
            Confere(disco.Ler(marca, lido), "KOVA.gravacao", n, "sumiu");
            Confere(lido == "antiga\n" || lido == "nova\n", "KOVA.gravacao", n, "lido: " + lido);
            if (!queda)
                Confere(lido == (falhou ? "antiga\n" : "nova\n"), "KOVA.gravacao", n,
                        "lido: " + lido);
        });
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    TArquivosEmMemoria disco;
    TTrocaSistemaDeArquivos troca(disco);
    try {
        Inicia(disco);
        SlipsFile(disco);
        TableFile(disco);
        WholeFile(disco);
    } catch (const std::exception& e) {
        std::printf("FALHOU: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", falhas ? "com falhas" : "ok");
    return falhas ? 1 : 0;
}
