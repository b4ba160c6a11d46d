#include "DadosDoUsuario.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <vector>

#include "Diretorios.h"
#include "Errors.h"
#include "TChecksum.h"
#include "TDM.h"
#include "TIniFile.h"
#include "TTableFile.h"
#include "TTrava.h"
#include "Texto.h"
#include "VersaoKOVA.h"

namespace kova {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSecao = "KOVA";
constexpr const char* kChaveTabelas = "TabelasInstaladas";
constexpr const char* kChaveVersaoAntiga = "TabelasAtualizadasDe";
constexpr const char* kChaveVersaoNova = "TabelasAtualizadasPara";
constexpr const char* kChaveAlteradas = "TabelasAlteradas";

// Name (in capitals, as the checksum table keeps it) to checksum, from a ControleCRC.cds.
std::map<std::string, std::string> LeChecksums(const std::string& controleCRC) {
    std::map<std::string, std::string> crcs;
    TDataSet t;
    LoadFromFile(t, controleCRC);
    const int nome = t.FieldByName("NomeTabela").Index();
    const int crc = t.FieldByName("CRC").Index();
    for (TBookmark b : t.VisibleRecords()) {
        crcs[UpperCase(ValueToString(t.ValueAt(b, nome)))] = ValueToString(t.ValueAt(b, crc));
    }
    return crcs;
}

bool EhReferencia(const std::string& nomeMaiusculo) {
    return nomeMaiusculo != "KOVA.CDS" && nomeMaiusculo != "CONTROLECRC.CDS";
}

// The shipped reference tables as one value: changes with any of them, not with the empty slips
// file that ships beside them.
std::string Assinatura(const std::map<std::string, std::string>& crcs) {
    std::string texto;
    for (const auto& [nome, crc] : crcs) {
        if (EhReferencia(nome)) texto += nome + "=" + crc + "\n";
    }
    return TChecksum().StringCRC(texto);
}

// The signature of the installed tables, or empty when they cannot be read.
std::string AssinaturaInstalada(const std::string& instalados) {
    try {
        return Assinatura(LeChecksums(instalados + "ControleCRC.cds"));
    } catch (const std::exception&) {
        return {};
    }
}

std::string VersaoDoControle(const std::string& controle) {
    try {
        TDataSet t;
        LoadFromFile(t, controle);
        t.First();
        if (t.Eof()) return {};
        return VersaoDasTabelas(t.FieldByName("Versao").AsInteger(),
                                t.FieldByName("VersaoRelease").AsString(),
                                t.FieldByName("VersaoTestes").AsInteger());
    } catch (const std::exception&) {
        return {};
    }
}

// The reference table files the package ships, by their own names.
std::vector<std::string> TabelasDeReferencia(const std::string& instalados) {
    std::vector<std::string> nomes;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(instalados, ec)) {
        const std::string nome = e.path().filename().string();
        const std::string maiusculo = UpperCase(nome);
        if (e.is_regular_file(ec) && maiusculo.size() > 4 &&
            maiusculo.compare(maiusculo.size() - 4, 4, ".CDS") == 0 && EhReferencia(maiusculo)) {
            nomes.push_back(nome);
        }
    }
    std::sort(nomes.begin(), nomes.end());
    return nomes;
}

// Whether two paths name one folder. Windows' file system, whose names ignore case, is not asked:
// the standard library cannot tell its folders apart there, so their names are compared.
bool MesmaPasta(const std::string& a, const std::string& b) {
    if constexpr (kBarra == '\\') {
        const auto nome = [](std::string p) {
            for (char& c : p) {
                if (c == '/') c = kBarra;
            }
            return UpperCase(IncluiBarra(p));
        };
        return nome(a) == nome(b);
    } else {
        std::error_code ec;
        return fs::equivalent(a, b, ec);
    }
}

// Copies a folder's files, and its folders with theirs, into another: each copy the user's to
// write (tables installed read-only keep that attribute in their copies on Windows). Stops at the
// first failure, which ec tells.
void CopiaPasta(const std::string& origem, const std::string& destino, std::error_code& ec) {
    for (const fs::directory_entry& e : fs::directory_iterator(origem, ec)) {
        const std::string alvo = IncluiBarra(destino) + e.path().filename().string();
        if (e.is_directory(ec)) {
            if (!CriaPastaPrivada(alvo)) ec = std::error_code(errno, std::generic_category());
            if (!ec) CopiaPasta(e.path().string(), alvo, ec);
        } else if (!ec) {
            fs::copy_file(e.path(), alvo, ec);
            if (!ec) fs::permissions(alvo, fs::perms::owner_write, fs::perm_options::add, ec);
        }
        if (ec) return;
    }
}

}  // namespace

std::string DadosInstalados() { return DiretorioDadosInstalados(); }

bool ProgramaInstalado(const std::string& dirPrograma, const std::string& instalados) {
    std::error_code ec;
    if (instalados.empty() || !fs::is_directory(instalados, ec)) return false;
    // The installed tables themselves may stand beside the program (on Windows): a template for
    // its users, never their data directory.
    const std::string aoLado = dirPrograma + "Dados";
    return !fs::is_directory(aoLado, ec) || MesmaPasta(aoLado, instalados);
}

std::string DadosDoPacote(const std::string& dirUsuario) {
    return IncluiBarra(IncluiBarra(dirUsuario) + "Dados");
}

std::string PreparaDadosDoUsuario(const std::string& dirPrograma,
                                  const std::string& dirConfiguracao, const std::string& dirUsuario,
                                  const std::string& instalados) {
    std::error_code ec;
    if (!ProgramaInstalado(dirPrograma, instalados)) return {};
    const std::string dados = DadosDoPacote(dirUsuario);
    const std::string kovaIni = IncluiBarra(dirConfiguracao) + "KOVA.INI";
    // A directory the user already has keeps its slips: only a missing one is made.
    const bool nova = !fs::exists(dados + "ControleCRC.cds", ec);
    if (nova) {
        // Copied under a temporary name and renamed whole, so that a start killed half-way leaves
        // no half directory behind to be taken for a data directory.
        const std::string temporario = IncluiBarra(dirUsuario) + "Dados.novo";
        fs::remove_all(temporario, ec);
        // The slips that will be kept there are the user's alone, from the first moment.
        if (!CriaPastaPrivada(temporario)) ec = std::error_code(errno, std::generic_category());
        if (!ec) CopiaPasta(instalados, temporario, ec);
        if (!ec) TornaPrivado(IncluiBarra(temporario) + "KOVA.cds");
        if (!ec) {
            fs::remove_all(dados, ec);
            fs::rename(temporario, dados, ec);
        }
        if (ec) {
            throw Exception("Não foi possível criar a pasta de dados do usuário\r\r" + dados);
        }
    }
    CriaPastaPrivada(dirConfiguracao);
    TIniFile ini(kovaIni);
    ini.WriteString(kSecao, "DirDados", dados);
    // The copies just made are the shipped tables as they are now.
    if (nova) {
        if (const std::string assinatura = AssinaturaInstalada(instalados); !assinatura.empty()) {
            ini.WriteString(kSecao, kChaveTabelas, assinatura);
        }
    }
    if (!ExisteArquivoDisco(kovaIni)) {
        throw Exception("Não foi possível gravar a configuração do usuário\r\r" + kovaIni);
    }
    ProtegeDadosDoUsuario(dirConfiguracao, dirUsuario);
    return dados;
}

void ProtegeDadosDoUsuario(const std::string& dirConfiguracao, const std::string& dirUsuario) {
    const auto semBarra = [](std::string p) {
        while (p.size() > 1 && (p.back() == '/' || p.back() == kBarra)) p.pop_back();
        return p;
    };
    const std::string dados = DadosDoPacote(dirUsuario);
    for (const std::string& pasta : {dirConfiguracao, dirUsuario, dados, dados + "Impressoes"})
        TornaPrivado(semBarra(pasta));
    TornaPrivado(IncluiBarra(dirConfiguracao) + "KOVA.INI");
    for (const char* nome : {"KOVA.cds", "KOVA.cds-journal"}) TornaPrivado(dados + nome);
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dados + "Impressoes", ec)) {
        const std::string nome = UpperCase(e.path().filename().string());
        if (nome.size() > 4 && nome.compare(nome.size() - 4, 4, ".PDF") == 0)
            TornaPrivado(e.path().string());
    }
}

bool AtualizaTabelasDoUsuario(const std::string& dirPrograma, const std::string& dirDados,
                              const std::string& kovaIni, const std::string& dirUsuario,
                              const std::string& instalados) {
    if (!ProgramaInstalado(dirPrograma, instalados) ||
        IncluiBarra(dirDados) != DadosDoPacote(dirUsuario) ||
        !ExisteArquivoDisco(dirDados + "ControleCRC.cds")) {
        return false;
    }
    std::map<std::string, std::string> novos;
    try {
        novos = LeChecksums(instalados + "ControleCRC.cds");
    } catch (const std::exception&) {
        return false;  // a package half removed or half installed: nothing to take from it
    }
    const std::string assinatura = Assinatura(novos);
    TIniFile ini(kovaIni);
    const std::string registrada = ini.ReadString(kSecao, kChaveTabelas, "");
    if (registrada == assinatura) return false;

    const std::string erro = "Não foi possível atualizar as tabelas de referência da pasta " +
                             dirDados + " com as da nova versão instalada (";
    std::map<std::string, std::string> antigos;
    try {
        antigos = LeChecksums(dirDados + "ControleCRC.cds");
    } catch (const std::exception& e) {
        throw Exception(erro + e.what() + ").\r\rAs tabelas anteriores continuam em uso.");
    }
    // The tables whose checksum changed, by their own file names.
    std::vector<std::string> alteradas;
    for (const std::string& nome : TabelasDeReferencia(instalados)) {
        auto novo = novos.find(UpperCase(nome));
        auto velho = antigos.find(UpperCase(nome));
        if (novo == novos.end() || velho == antigos.end() || velho->second != novo->second)
            alteradas.push_back(nome);
    }
    if (alteradas.empty()) {
        // Already the shipped ones (a directory made before the signature was kept).
        ini.WriteString(kSecao, kChaveTabelas, assinatura);
        return false;
    }

    // The desktop or an import holds the tables it loaded and rewrites the checksum table with
    // their checksums at each save: the tables change only while no such program runs.
    TTrava escritor = TTrava::TentarEscritor(dirDados, "atualização das tabelas");
    if (!escritor.Obtida()) return false;
    TTrava trava;
    try {
        trava = TTrava::Aguardar(dirDados, TTrava::TModo::Exclusiva);
    } catch (const ETravaOcupada&) {
        return false;  // held past the bound: the next start replaces them
    }
    TDM::RecuperarGravacao(dirDados);
    const std::string versaoAntiga = VersaoDoControle(dirDados + "Controle.cds");
    std::vector<std::string> gravados;
    auto descarta = [&] {
        for (const std::string& nome : gravados) std::remove((dirDados + nome + ".novo").c_str());
    };
    try {
        for (const std::string& nome : TabelasDeReferencia(instalados)) {
            gravados.push_back(nome);
            if (!CopiaArquivo(instalados + nome, dirDados + nome + ".novo")) {
                throw Exception("a cópia de " + instalados + nome + " falhou");
            }
        }
        // The shipped checksums hold for the copies, byte for byte; the slips file keeps its own.
        TDataSet controle;
        LoadFromFile(controle, instalados + "ControleCRC.cds");
        std::string crcKOVA;
        if (auto k = antigos.find("KOVA.CDS"); k != antigos.end()) crcKOVA = k->second;
        if (crcKOVA.empty()) crcKOVA = TChecksum().FileCRC(dirDados + "KOVA.cds");
        if (controle.Locate("NomeTabela", {std::string("KOVA.CDS")}, {.caseInsensitive = true})) {
            controle.Edit();
            controle.FieldByName("CRC").SetAsString(crcKOVA);
            controle.Post();
        }
        gravados.push_back("ControleCRC.cds");
        std::remove((dirDados + "ControleCRC.cds.novo").c_str());
        WriteTableFile(controle, dirDados + "ControleCRC.cds.novo");
    } catch (const std::exception& e) {
        descarta();
        throw Exception(erro + e.what() + ").\r\rAs tabelas anteriores continuam em uso.");
    }
    try {
        TDM::ConcluirGravacao(dirDados, gravados);
    } catch (const std::exception& e) {
        throw Exception(erro + e.what() + ").\r\rAs tabelas anteriores continuam em uso.");
    }
    std::string lista;
    for (const std::string& nome : alteradas) lista += (lista.empty() ? "" : ", ") + nome;
    ini.WriteString(kSecao, kChaveTabelas, assinatura);
    ini.WriteString(kSecao, kChaveVersaoAntiga, versaoAntiga);
    ini.WriteString(kSecao, kChaveVersaoNova, VersaoDoControle(instalados + "Controle.cds"));
    ini.WriteString(kSecao, kChaveAlteradas, lista);
    return true;
}

std::string RetiraAvisoDeTabelas(const std::string& kovaIni) {
    if (!ExisteArquivoDisco(kovaIni)) return {};
    TIniFile ini(kovaIni);
    if (!ini.ValueExists(kSecao, kChaveAlteradas)) return {};
    const std::string antiga = ini.ReadString(kSecao, kChaveVersaoAntiga, "");
    const std::string nova = ini.ReadString(kSecao, kChaveVersaoNova, "");
    const std::string alteradas = ini.ReadString(kSecao, kChaveAlteradas, "");
    for (const char* chave : {kChaveVersaoAntiga, kChaveVersaoNova, kChaveAlteradas})
        ini.DeleteKey(kSecao, chave);
    std::string aviso =
        "As tabelas de referência foram atualizadas com as da nova versão do KOVA.\r\r";
    if (!nova.empty()) {
        aviso += "Versão das tabelas: " + nova;
        if (!antiga.empty() && antiga != nova) aviso += " (antes: " + antiga + ")";
        aviso += "\r";
    }
    aviso += "Tabelas alteradas: " + alteradas + "\r\rAs KOVA digitadas foram mantidas.";
    return aviso;
}

std::string VersaoDasTabelas(int versao, const std::string& release, int testes) {
    std::string r = std::to_string(versao) + "." + (release.size() == 1 ? "0" + release : release);
    if (testes > 0) r += ".T-" + std::to_string(testes);
    return r;
}

std::string AssinaturaDoPedido(const std::string& configIni) {
    std::ifstream f(configIni, std::ios::binary);
    std::ostringstream conteudo;
    conteudo << f.rdbuf();
    return std::string(VersaoKOVA()) + " " + TChecksum().StringCRC(conteudo.str());
}

}  // namespace kova
