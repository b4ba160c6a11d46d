// Builds the data directory that ships with the system: the twelve table files and the checksum
// table ControleCRC.cds, from the readable sources (one UTF-8 CSV file per table, ";" between
// fields, the first line naming the fields). Run by the build; an administrator runs it again
// after editing the sources:
//
//   kova_gera_tabelas <folder of the CSV files> <data directory to write>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "Diretorios.h"
#include "Errors.h"
#include "TChecksum.h"
#include "TDM.h"
#include "TTableFile.h"
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
    const unsigned char cor1[3] = {static_cast<unsigned char>(semente * 37), static_cast<unsigned char>(semente * 91),
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

void Carrega(TDataSet& tabela, const std::string& csv) {
    std::ifstream in(csv, std::ios::binary);
    if (!in) throw Exception("fonte não encontrada: " + csv);
    std::string linha;
    std::vector<TField*> campos;
    int numero = 0;
    while (std::getline(in, linha)) {
        ++numero;
        if (!linha.empty() && linha.back() == '\r') linha.pop_back();
        if (numero == 1 && linha.rfind("\xEF\xBB\xBF", 0) == 0) linha.erase(0, 3);
        if (Trim(linha).empty()) continue;
        std::vector<std::string> valores = CamposCSV(Utf8ToCp1252(linha));
        if (campos.empty()) {
            for (const auto& nome : valores) campos.push_back(&tabela.FieldByName(Trim(nome)));
            continue;
        }
        if (valores.size() != campos.size()) {
            throw Exception(csv + ", linha " + std::to_string(numero) + ": esperados " +
                            std::to_string(campos.size()) + " campos");
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
        } catch (const std::exception& e) {
            throw Exception(csv + ", linha " + std::to_string(numero) + ": " + e.what());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "uso: kova_gera_tabelas <pasta das fontes CSV> <pasta de dados>\n";
        return 2;
    }
    const std::string fontes = IncluiBarra(argv[1]);
    const std::string saida = IncluiBarra(argv[2]);
    try {
        TDM dm;
        dm.AbrirTabelasVazias();
        struct Tabela {
            const char* arquivo;
            TDataSet* tabela;
            const char* fonte;  // nullptr: written empty
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
        for (const Tabela& t : tabelas) {
            if (t.fonte) Carrega(*t.tabela, fontes + t.fonte);
            SaveToFile(*t.tabela, saida + t.arquivo);
            TChecksum checksum;
            dm.cdsControleCRC.AppendRecord(
                {UpperCase(t.arquivo), checksum.FileCRC(saida + t.arquivo)});
        }
        SaveToFile(dm.cdsControleCRC, saida + "ControleCRC.cds");
        std::remove((saida + "KOVA.gravacao").c_str());
    } catch (const std::exception& e) {
        std::cerr << "kova_gera_tabelas: " << Cp1252ToUtf8(e.what()) << "\n";
        return 1;
    }
    return 0;
}
