#include "CopiasDeSeguranca.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "Diretorios.h"
#include "SistemaDeArquivos.h"
#include "TArquivoTabela.h"
#include "TDataSet.h"

namespace kova {
namespace {

constexpr const char* kPrefixo = "KOVA-";
constexpr const char* kExtensao = ".cds";
constexpr size_t kTamanhoDoNome = 19;  // KOVA-AAAA-MM-DD.cds

bool Digitos(const std::string& s, size_t inicio, size_t quantos) {
    for (size_t i = inicio; i < inicio + quantos; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

// The day a copy's name gives; false for any other file of the folder (a file kept aside by a
// restore, a copy being written).
bool DiaDoNome(const std::string& nome, TDate& dia) {
    if (nome.size() != kTamanhoDoNome || nome.rfind(kPrefixo, 0) != 0 ||
        nome.compare(15, 4, kExtensao) != 0 || !Digitos(nome, 5, 4) || nome[9] != '-' ||
        !Digitos(nome, 10, 2) || nome[12] != '-' || !Digitos(nome, 13, 2)) {
        return false;
    }
    const int ano = std::stoi(nome.substr(5, 4));
    const auto mes = unsigned(std::stoi(nome.substr(10, 2)));
    const auto d = unsigned(std::stoi(nome.substr(13, 2)));
    const std::chrono::year_month_day ymd{std::chrono::year(ano), std::chrono::month(mes),
                                          std::chrono::day(d)};
    if (!ymd.ok()) return false;
    dia = std::chrono::sys_days(ymd);
    return true;
}

std::vector<std::string> NomesDaPasta(const std::string& pasta) {
    std::vector<std::string> nomes;
    DIR* d = ::opendir(pasta.c_str());
    if (!d) return nomes;
    while (dirent* e = ::readdir(d)) nomes.emplace_back(e->d_name);
    ::closedir(d);
    return nomes;
}

// The copies of the folder by day, the newest first.
std::vector<std::pair<TDate, std::string>> CopiasDaPasta(const std::string& pasta) {
    std::vector<std::pair<TDate, std::string>> copias;
    for (const std::string& nome : NomesDaPasta(pasta)) {
        TDate dia;
        if (DiaDoNome(nome, dia)) copias.emplace_back(dia, pasta + nome);
    }
    std::sort(copias.begin(), copias.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    return copias;
}

std::string Numero(int64_t n) { return FormatFloat("#,##0", double(n)); }

}  // namespace

std::string PastaDasCopias(const std::string& dirDados) {
    return IncluiBarra(dirDados) + "Copias" + kBarra;
}

std::string NomeDaCopia(TDate dia) {
    char nome[32];
    std::snprintf(nome, sizeof nome, "%s%04d-%02u-%02u%s", kPrefixo, YearOf(dia), MonthOf(dia),
                  DayOf(dia), kExtensao);
    return nome;
}

std::vector<TCopiaKOVA> ListaCopias(const std::string& dirDados, const TDataSet& definicao) {
    std::vector<TCopiaKOVA> copias;
    for (const auto& [dia, caminho] : CopiasDaPasta(PastaDasCopias(dirDados))) {
        TCopiaKOVA c;
        c.caminho = caminho;
        c.dia = dia;
        try {
            auto arquivo = std::make_shared<TArquivoTabela>(caminho, definicao, false);
            if (!arquivo->Selado()) throw ESeloInvalido("a cópia não tem selo");
            arquivo->ConfereSelo();
            c.kovas = arquivo->Linhas();
            const auto impressa = [](const std::vector<TValue>& v) {
                const auto* situacao = std::get_if<std::string>(&v[0]);
                return situacao && *situacao == "I";
            };
            c.impressas = int64_t(arquivo->LinhasQue({"Situacao"}, impressa).size());
            c.naoImpressas = c.kovas - c.impressas;
        } catch (const ESeloInvalido&) {
            c.problema = "o selo não confere com as KOVA: a cópia foi alterada por outros meios";
        } catch (const std::exception& e) {
            c.problema = e.what();
        }
        copias.push_back(std::move(c));
    }
    return copias;
}

std::string ConteudoDaCopia(const TCopiaKOVA& c) {
    if (!c.problema.empty()) return "não pode ser restaurada: " + c.problema;
    return Numero(c.kovas) + " KOVA: " + Numero(c.impressas) + " impressas, " +
           Numero(c.naoImpressas) + " não impressas";
}

std::string AvisoDeCopias(const std::string& dirDados) {
    const std::string pasta = PastaDasCopias(dirDados);
    const auto copias = CopiasDaPasta(pasta);
    if (copias.empty()) return "";
    return "\r\rHá cópias de segurança do arquivo de KOVA em\r" + pasta +
           "\r(a mais recente é de " + DateToStr(copias.front().first) +
           "). Para restaurar uma delas: Utilitários | Restaurar cópia de segurança, no KOVA, ou "
           "\"kovacli restaurar\".";
}

void PodaCopias(const std::string& dirDados) {
    const std::string pasta = PastaDasCopias(dirDados);
    const auto copias = CopiasDaPasta(pasta);
    for (size_t i = kCopiasGuardadas; i < copias.size(); ++i) Arquivos().Remove(copias[i].second);
    // A copy whose writing died is of no use.
    for (const std::string& nome : NomesDaPasta(pasta)) {
        TDate dia;
        if (nome.size() > 5 && nome.compare(nome.size() - 5, 5, ".novo") == 0 &&
            DiaDoNome(nome.substr(0, nome.size() - 5), dia)) {
            Arquivos().Remove(pasta + nome);
        }
    }
}

}  // namespace kova
