// Builds the data directory that ships with the system: the twelve table files and the checksum
// table ControleCRC.cds, from the readable sources (one UTF-8 CSV file per table, ";" between
// fields, the first line naming the fields). Run by the build; an administrator runs it again
// after editing the sources, also on a directory in use:
//
//   kova_gera_tabelas [--substituir-kova] <folder of the CSV files> <data directory to write>
//
// Every source is read and checked before anything is written; the tables then replace the
// directory's all together (a load by another program sees the old set or the new one), under the
// directory's exclusive lock. The user's slips file is kept unless --substituir-kova is given.

#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "ConfereRegras.h"
#include "Diretorios.h"
#include "Errors.h"
#include "TChecksum.h"
#include "TDM.h"
#include "TTableFile.h"
#include "TTrava.h"
#include "Texto.h"

using namespace kova;

namespace {

std::vector<std::string> CamposCSV(const std::string& linha) {
    std::vector<std::string> r;
    std::string atual;
    bool aspas = false;
    for (size_t i = 0; i < linha.size(); ++i) {
        char c = linha[i];
        if (aspas) {
            if (c == '"' && i + 1 < linha.size() && linha[i + 1] == '"') {
                atual += '"';
                ++i;
            } else if (c == '"') {
                aspas = false;
            } else {
                atual += c;
            }
        } else if (c == '"') {
            aspas = true;
        } else if (c == ';') {
            r.push_back(atual);
            atual.clear();
        } else {
            atual += c;
        }
    }
    r.push_back(atual);
    return r;
}

void Acrescenta16(std::string& s, uint16_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}
void Acrescenta32(std::string& s, uint32_t v) {
    Acrescenta16(s, uint16_t(v & 0xFFFF));
    Acrescenta16(s, uint16_t(v >> 16));
}

// A small 24-bit bitmap for a bank: two colour bands from its code and a bar pattern of its digits,
// enough for the accredited-banks strip to tell the banks apart.
TBytes Logotipo(const std::string& codigo) {
    const int w = 64, h = 24;
    const int linha = ((w * 3 + 3) / 4) * 4;
    std::string s = "BM";
    Acrescenta32(s, uint32_t(54 + linha * h));
    Acrescenta32(s, 0);
    Acrescenta32(s, 54);
    Acrescenta32(s, 40);
    Acrescenta32(s, uint32_t(w));
    Acrescenta32(s, uint32_t(h));
    Acrescenta16(s, 1);
    Acrescenta16(s, 24);
    for (int i = 0; i < 6; ++i) Acrescenta32(s, 0);
    unsigned semente = 0;
    for (char c : codigo) semente = semente * 31 + unsigned(c);
    const unsigned char cor1[3] = {static_cast<unsigned char>(semente * 37),
                                   static_cast<unsigned char>(semente * 91),
                                   static_cast<unsigned char>(semente * 53)};
    for (int y = 0; y < h; ++y) {
        std::string l;
        for (int x = 0; x < w; ++x) {
            bool banda = y >= h / 2;
            int digito = codigo.empty() ? 0 : codigo[size_t(x / 22) % codigo.size()] - '0';
            bool barra = y > 3 && y < h - 4 && (x % 22) < 2 + digito * 2 && (x % 22) >= 2;
            unsigned char b = barra ? 255 : (banda ? cor1[0] : 255 - cor1[0]);
            unsigned char g = barra ? 255 : (banda ? cor1[1] : 255 - cor1[1]);
            unsigned char r = barra ? 255 : (banda ? cor1[2] : 255 - cor1[2]);
            l += char(b);
            l += char(g);
            l += char(r);
        }
        while (int(l.size()) < linha) l += '\0';
        s += l;
    }
    return TBytes(s.begin(), s.end());
}

// The line in Windows-1252, or a refusal naming what cannot be stored exactly.
std::string ParaCp1252(const std::string& linha, const std::string& onde) {
    // Only the bytes' shape is checked here: the round trip below refuses what does not come
    // back the same.
    if (!EhUtf8(linha)) {
        throw Exception(
            onde +
            ": o texto não está em UTF-8 (um arquivo em Latin-1 ou Windows-1252 deve ser "
            "convertido para UTF-8)");
    }
    std::string texto = Utf8ToCp1252(linha);
    if (Cp1252ToUtf8(texto) == linha) return texto;
    // The first character that did not come back.
    for (size_t i = 0; i < linha.size();) {
        size_t n = 1;
        const auto c = static_cast<unsigned char>(linha[i]);
        if (c >= 0xF0)
            n = 4;
        else if (c >= 0xE0)
            n = 3;
        else if (c >= 0xC0)
            n = 2;
        const std::string caractere = linha.substr(i, n);
        if (Cp1252ToUtf8(Utf8ToCp1252(caractere)) != caractere) {
            uint32_t cp = n == 1 ? c : c & (0xFF >> (n + 1));
            for (size_t k = 1; k < n && k < caractere.size(); ++k)
                cp = (cp << 6) | (caractere[k] & 0x3F);
            char codigo[16];
            std::snprintf(codigo, sizeof codigo, "U+%04X", unsigned(cp));
            throw Exception(onde + ": o caractere " + codigo + " não existe em Windows-1252");
        }
        i += n;
    }
    throw Exception(onde + ": texto que não pode ser gravado exatamente em Windows-1252");
}

// Reads a source into its table; `lida`, when given, sees each record just stored with its line.
void Carrega(TDataSet& tabela, const std::string& csv,
             const std::function<void(int linha)>& lida = {}) {
    std::ifstream in(csv, std::ios::binary);
    if (!in) throw Exception("fonte não encontrada: " + csv);
    std::string linha;
    std::vector<TField*> campos;
    int numero = 0;
    int registros = 0;
    while (std::getline(in, linha)) {
        ++numero;
        const std::string onde = csv + ", linha " + std::to_string(numero);
        if (!linha.empty() && linha.back() == '\r') linha.pop_back();
        if (numero == 1 && linha.rfind("\xEF\xBB\xBF", 0) == 0) linha.erase(0, 3);
        if (Trim(linha).empty()) continue;
        std::vector<std::string> valores = CamposCSV(ParaCp1252(linha, onde));
        if (campos.empty()) {
            for (const auto& nome : valores) {
                TField* campo = tabela.FindField(Trim(nome));
                if (!campo || campo->Calculated()) {
                    throw Exception(onde + ": campo desconhecido \"" + Trim(nome) +
                                    "\" (a tabela não tem esse campo)");
                }
                campos.push_back(campo);
            }
            continue;
        }
        if (valores.size() != campos.size()) {
            throw Exception(onde + ": esperados " + std::to_string(campos.size()) + " campos");
        }
        try {
            tabela.Append();
            for (size_t i = 0; i < campos.size(); ++i) {
                // A text longer than its field would be cut silently: refuse it here instead.
                if (campos[i]->DataType() == TFieldType::ftString && campos[i]->Size() > 0 &&
                    int(valores[i].size()) > campos[i]->Size()) {
                    throw Exception("o campo " + campos[i]->FieldName() + " aceita no máximo " +
                                    std::to_string(campos[i]->Size()) + " caracteres");
                }
                campos[i]->SetAsString(valores[i]);
            }
            if (TField* logo = tabela.FindField("LogoTipo"); logo && logo->IsNull()) {
                logo->SetValue(Logotipo(tabela.FieldByName("ID").AsString()));
            }
            tabela.Post();
            ++registros;
            if (lida) lida(numero);
        } catch (const std::exception& e) {
            if (tabela.State() == TDataSetState::dsInsert) tabela.Cancel();
            throw Exception(onde + ": " + e.what());
        }
    }
    if (in.bad()) throw Exception(csv + ": erro de leitura");
    if (campos.empty())
        throw Exception(csv + ": arquivo vazio (falta a linha com os nomes dos campos)");
    if (&tabela == &DM->cdsControle && registros != 1) {
        throw Exception(csv + ": a tabela de controle deve ter exatamente um registro (a versão)");
    }
}

const char* kUso =
    "uso: kova_gera_tabelas [--substituir-kova] <pasta das fontes CSV> <pasta de dados>\n"
    "\n"
    "Lê e confere todas as fontes antes de gravar; depois substitui todas as tabelas da\n"
    "pasta de dados de uma vez. O arquivo de KOVA digitadas (KOVA.cds) é mantido; com\n"
    "--substituir-kova ele é trocado por um vazio (só quando nenhum programa grava KOVA\n"
    "nessa pasta).\n"
    "\n"
    "Saída: 0 gravou, 1 uma fonte foi recusada ou a gravação falhou (nada mudou),\n"
    "2 uso errado, 3 outro programa está gravando KOVA nessa pasta.\n";

}  // namespace

int main(int argc, char** argv) {
    bool substituirKOVA = false;
    std::vector<std::string> pastas;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--substituir-kova") {
            substituirKOVA = true;
        } else if (a == "--help" || a == "-h") {
            std::cout << Cp1252ToUtf8(kUso);
            return 0;
        } else {
            pastas.push_back(a);
        }
    }
    if (pastas.size() != 2) {
        std::cerr << Cp1252ToUtf8(kUso);
        return 2;
    }
    const std::string fontes = IncluiBarra(pastas[0]);
    const std::string saida = IncluiBarra(pastas[1]);
    try {
        TDM dm;
        dm.AbrirTabelasVazias();
        struct Tabela {
            const char* arquivo;
            TDataSet* tabela;
            const char* fonte;  // nullptr: the slips file
        };
        const Tabela tabelas[] = {
            {"Controle.cds", &dm.cdsControle, "Controle.csv"},
            {"UF.cds", &dm.cdsUF, "UF.csv"},
            {"Receita.cds", &dm.cdsReceita, "Receita.csv"},
            {"SubReceita.cds", &dm.cdsSubReceita, "SubReceita.csv"},
            {"UFReceita.cds", &dm.cdsUFReceita, "UFReceita.csv"},
            {"UFProduto.cds", &dm.cdsUFProduto, "UFProduto.csv"},
            {"Feriado.cds", &dm.cdsFeriado, "Feriado.csv"},
            {"EmpresaCourier.cds", &dm.cdsEmpresaCourier, "EmpresaCourier.csv"},
            {"Banco.cds", &dm.cdsBanco, "Banco.csv"},
            {"UFBanco.cds", &dm.cdsUFBanco, "UFBanco.csv"},
            {"KOVA.cds", &dm.cdsKOVA, nullptr},
        };
        // Nothing is written until every source has passed. A flag the system does not know
        // would leave its rule unread, as if the row were not there.
        std::vector<TRegraLida> regras;
        const std::function<void(int)> regraLida = [&](int linha) {
            const std::string sigla = SiglaCorrente(dm.cdsUFReceita);
            const std::optional<TFlagRegra> flag = FlagDaSigla(sigla);
            if (!flag) {
                throw Exception("flag desconhecida \"" + sigla + "\" (as flags de regra são " +
                                SiglasConhecidas() +
                                "); uma regra com essa flag nunca seria aplicada");
            }
            regras.push_back({linha, *flag, RegraCorrente(dm.cdsUFReceita)});
        };
        for (const Tabela& t : tabelas) {
            if (t.fonte)
                Carrega(*t.tabela, fontes + t.fonte,
                        t.tabela == &dm.cdsUFReceita ? regraLida : std::function<void(int)>());
        }
        // Written all the same: the administrator may be halfway through a change of the rules.
        for (const std::string& aviso : RegrasContraditorias(regras)) {
            std::cerr << "kova_gera_tabelas: aviso: " << Cp1252ToUtf8(aviso) << "\n";
        }
        if (!ExisteDiretorio(saida)) throw Exception("a pasta de dados não existe: " + saida);

        TTrava escritor;
        if (substituirKOVA) {
            escritor = TTrava::TentarEscritor(saida, "kova_gera_tabelas");
            if (!escritor.Obtida()) {
                std::cerr << "kova_gera_tabelas: "
                          << Cp1252ToUtf8(
                                 "as KOVA desta pasta de dados estão sendo gravadas por outro "
                                 "programa (" +
                                 escritor.Ocupante() + "); nada foi gravado.\n");
                return 3;
            }
        }
        TTrava trava = TTrava::Aguardar(saida, TTrava::TModo::Exclusiva);
        TDM::RecuperarGravacao(saida);
        const bool manterKOVA = !substituirKOVA && ExisteArquivoDisco(saida + "KOVA.cds");
        // The slips file kept keeps the checksum it had, so that a file changed by other means is
        // still caught at the next start.
        std::string crcKOVA;
        if (manterKOVA) {
            if (ExisteArquivoDisco(saida + "ControleCRC.cds")) {
                TDataSet antigo;
                LoadFromFile(antigo, saida + "ControleCRC.cds");
                if (antigo.Locate("NomeTabela", {std::string("KOVA.CDS")},
                                  {.caseInsensitive = true})) {
                    crcKOVA = antigo.FieldByName("CRC").AsString();
                }
            }
            if (crcKOVA.empty()) crcKOVA = TChecksum().FileCRC(saida + "KOVA.cds");
        }
        std::vector<std::string> novos;
        try {
            for (const Tabela& t : tabelas) {
                std::string crc;
                if (t.fonte || !manterKOVA) {
                    const std::string novo = saida + t.arquivo + ".novo";
                    std::remove(novo.c_str());
                    novos.push_back(t.arquivo);
                    // The slips file is its user's alone; the reference tables are for every
                    // reader.
                    WriteTableFile(*t.tabela, novo, t.tabela == &dm.cdsKOVA);
                    crc = TChecksum().FileCRC(novo);
                    if (crc == TChecksum().ErrorResult)
                        throw Exception("não foi possível ler " + novo);
                } else {
                    crc = crcKOVA;
                }
                dm.cdsControleCRC.AppendRecord({UpperCase(t.arquivo), crc});
            }
            std::remove((saida + "ControleCRC.cds.novo").c_str());
            novos.push_back("ControleCRC.cds");
            WriteTableFile(dm.cdsControleCRC, saida + "ControleCRC.cds.novo");
        } catch (...) {
            for (const std::string& nome : novos) std::remove((saida + nome + ".novo").c_str());
            throw;
        }
        TDM::ConcluirGravacao(saida, novos);
    } catch (const std::exception& e) {
        std::cerr << "kova_gera_tabelas: " << Cp1252ToUtf8(e.what()) << "\n";
        std::cerr << Cp1252ToUtf8("kova_gera_tabelas: nada foi gravado na pasta de dados.\n");
        return 1;
    }
    return 0;
}
