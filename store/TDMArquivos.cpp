// The data module's start-up and files: the clock check, the configuration, the new-version
// installation, the load of the table files with their checksums, and the saving of the slips.

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Clock.h"
#include "CopiasDeSeguranca.h"
#include "DadosDoUsuario.h"
#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "GravacaoKOVA.h"
#include "SistemaDeArquivos.h"
#include "TArquivoTabela.h"
#include "TChecksum.h"
#include "TDM.h"
#include "TIniFile.h"
#include "TTableFile.h"
#include "TTrava.h"
#include "Texto.h"

namespace kova {

namespace {

constexpr const char* kMarcaGravacao = "KOVA.gravacao";
constexpr const char* kNovo = ".novo";

// Messages of a load wait until its lock is released: a dialog waiting for a person must not hold
// up another program's save.
std::vector<std::pair<TMsgDlgType, std::string>>* mensagensAdiadas = nullptr;

void Mostra(const std::string& texto, TMsgDlgType tipo) {
    if (mensagensAdiadas) {
        mensagensAdiadas->emplace_back(tipo, texto);
    } else {
        MessageDlg(texto, tipo, TMsgDlgButtons::mbOK);
    }
}

void Erro(const std::string& texto) { Mostra(texto, TMsgDlgType::mtError); }

class TAdiaMensagens {
public:
    TAdiaMensagens() { mensagensAdiadas = &fila_; }
    ~TAdiaMensagens() {
        try {
            Mostrar();
        } catch (...) {
            // Only the messages are lost; the failure that ended the load goes on.
        }
    }
    TAdiaMensagens(const TAdiaMensagens&) = delete;
    TAdiaMensagens& operator=(const TAdiaMensagens&) = delete;
    // Adds to the last message held.
    void Acrescenta(const std::string& texto) {
        if (!fila_.empty()) fila_.back().second += texto;
    }
    void Mostrar() {
        mensagensAdiadas = nullptr;
        for (const auto& [tipo, texto] : fila_) MessageDlg(texto, tipo, TMsgDlgButtons::mbOK);
        fila_.clear();
    }

private:
    std::vector<std::pair<TMsgDlgType, std::string>> fila_;
};

// The files a crashed save leaves behind: its new pair, and the temporary files of the mark and of
// the checksum table ("KOVA.gravacao.Ab12Cd", made by mkstemp).
bool EhTemporarioDe(const std::string& nome, const std::string& base) {
    if (nome.size() != base.size() + 7 || nome.compare(0, base.size(), base) != 0 ||
        nome[base.size()] != '.') {
        return false;
    }
    for (size_t i = base.size() + 1; i < nome.size(); ++i) {
        const char c = nome[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

std::vector<std::string> Temporarios(const std::string& dirDados) {
    std::vector<std::string> r;
    DIR* d = ::opendir(dirDados.c_str());
    if (!d) return r;
    while (dirent* e = ::readdir(d)) {
        const std::string nome = e->d_name;
        if (EhTemporarioDe(nome, "KOVA.gravacao") || EhTemporarioDe(nome, "ControleCRC.cds") ||
            EhTemporarioDe(nome, "KOVA.cds")) {
            r.push_back(nome);
        }
    }
    ::closedir(d);
    return r;
}

// The files of the mark of a complete save whose pair is not all in place yet.
std::vector<std::string> NomesDaMarca(const std::string& dirDados) {
    std::vector<std::string> nomes;
    std::string marca;
    Arquivos().Ler(dirDados + "KOVA.gravacao", marca);
    std::istringstream in(marca);
    std::string nome;
    while (std::getline(in, nome)) {
        if (!nome.empty() && nome.back() == '\r') nome.pop_back();
        if (!nome.empty() && nome.find_first_of("/\\") == std::string::npos) nomes.push_back(nome);
    }
    return nomes;
}

// Whatever a crashed save may have left in the directory.
bool HaRestos(const std::string& dirDados) {
    if (Arquivos().Existe(dirDados + "KOVA.gravacao")) return true;
    for (const char* nome : {"KOVA.cds", "ControleCRC.cds"}) {
        if (Arquivos().Existe(dirDados + nome + ".novo")) return true;
    }
    return !Temporarios(dirDados).empty();
}

// What decides where a person's slips go (Config.ini, a data directory beside the program) is
// obeyed only when no other user could have written it: else the slips would go where that user
// reads them.
std::string DeOutroUsuario(const std::string& caminho, const char* oQue) {
    const std::string motivo = GravavelPorOutros(caminho);
    if (motivo.empty()) return {};
    return "Erro na configuração do KOVA\r\r" + motivo + ".\r\rPor segurança o KOVA não usa " +
           oQue + " que outro usuário possa ter gravado: " + caminho;
}

std::string NomePrograma() {
    std::string nome = NomeArquivo(CaminhoPrograma());
    return nome.empty() ? std::string("KOVA") : nome;
}

// Settings files may write either separator; the paths kept use the system's own.
std::string TrocaBarras(std::string s) {
    for (char& c : s) {
        if (c == '\\' || c == '/') c = kBarra;
    }
    return s;
}

}  // namespace

TDM::TAdiaGravacao::~TAdiaGravacao() noexcept(false) {
    if (concluido_) return;
    concluido_ = true;
    if (--dm_.adiamentos_ == 0 && dm_.pendente_ && !std::uncaught_exceptions()) dm_.KOVAAlterada();
}

void TDM::TAdiaGravacao::Concluir() {
    if (concluido_) return;
    concluido_ = true;
    if (--dm_.adiamentos_ == 0 && dm_.pendente_) dm_.KOVAAlterada();
}

void TDM::KOVAAlterada() {
    if (!GravarAposAlteracao) return;
    if (adiamentos_ > 0) {
        pendente_ = true;
        return;
    }
    pendente_ = false;
    SalvarKOVA();
}

// ------------------------------------------------------------------ configuration

std::string TDM::NormalizaCaminho(const std::string& caminho) const {
    std::string s = TrocaBarras(Trim(CaminhoNoSistema(caminho)));
    std::string programa = TrocaBarras(Trim(DirPrograma));
    const std::string pai = std::string("..") + kBarra;
    const std::string atual = std::string(".") + kBarra;
    std::string r;
    if (s.rfind(pai, 0) == 0) {
        if (!programa.empty() && programa.back() == kBarra) programa.pop_back();
        while (!programa.empty() && programa.back() != kBarra) programa.pop_back();
        r = programa + s.substr(3, 255);
    } else if (s.rfind(atual, 0) == 0) {
        r = programa + s.substr(2, 255);
    } else {
        r = s;
    }
    if (r.empty() || r.back() != kBarra) r += kBarra;
    return r;
}

bool TDM::Configurar() {
    if (AnoAtual < 1998) {
        Erro(
            "A data do seu computador está desatualizada.\r\rAtualize seu relógio do Windows e "
            "reinicialize o Sistema.");
        SolicitarTerminacao();
        return false;
    }
    DirWindows = IncluiBarra(Trim(DiretorioWindows()));
    // Each user's settings are their own; the machine's KOVA.INI (Windows), which standard users
    // may not write, is read under them.
    KovaIni = IncluiBarra(Trim(DiretorioConfiguracao())) + "KOVA.INI";
    KovaIniMaquina = KovaIniDaMaquina();
    // The folder of the user's own data, looked for (and made) only when it is needed.
    std::string dirUsuario;
    const auto usuario = [&dirUsuario]() -> const std::string& {
        if (dirUsuario.empty()) dirUsuario = DiretorioDoUsuario();
        return dirUsuario;
    };
    std::string dirConfig = DirPrograma;
    const bool temConfig = ExisteArquivoDisco(DirPrograma + "Config.ini");
    const bool temKovaIni = ExisteArquivoDisco(KovaIni) ||
                            (!KovaIniMaquina.empty() && ExisteArquivoDisco(KovaIniMaquina));
    if (!temConfig && !temKovaIni) {
        try {
            PreparaDadosDoUsuario(DirPrograma, PastaDe(KovaIni), usuario(), DadosInstalados());
        } catch (const std::exception& e) {
            Erro(e.what());
            SolicitarTerminacao();
            return false;
        }
    }
    // The tables of an upgraded installation reach the data directory it made for this user, which
    // is closed to other users also when an earlier version made it.
    auto atualizaTabelas = [this, &usuario] {
        if (IncluiBarra(DirDados) == DadosDoPacote(usuario()))
            ProtegeDadosDoUsuario(PastaDe(KovaIni), usuario());
        try {
            AtualizaTabelasDoUsuario(DirPrograma, DirDados, KovaIni, usuario(), DadosInstalados());
        } catch (const std::exception& e) {
            Erro(e.what());
        }
    };
    if (!temConfig && (temKovaIni || ExisteArquivoDisco(KovaIni))) {
        const TIniFile kovaIni(KovaIni, KovaIniMaquina);
        DirDados = NormalizaCaminho(kovaIni.ReadString("KOVA", "DirDados", DirWindows + "Dados"));
        const std::string pasta = kovaIni.ReadString("KOVA", "PastaImpressao", "");
        if (!Trim(pasta).empty()) PastaImpressao = NormalizaCaminho(pasta);
        atualizaTabelas();
        return true;
    }
    if (!temConfig) {
        std::string dirExe =
            CaminhoNoSistema(TIniFile("KOVA.ini").ReadString("KOVA", "DirExe", ""));
        if (ExisteArquivoDisco(dirExe + "Config.ini")) dirConfig = dirExe;
    }
    const auto recusa = [this](const std::string& motivo) {
        if (motivo.empty()) return false;
        Erro(motivo);
        SolicitarTerminacao();
        return true;
    };
    if (ExisteArquivoDisco(dirConfig + "Config.ini") &&
        recusa(DeOutroUsuario(dirConfig + "Config.ini", "um arquivo de configuração"))) {
        return false;
    }
    TIniFile config(dirConfig + "Config.ini");
    std::string instalacao = config.ReadString("Opções", "Instalação", "none");
    TopMargin = config.ReadInteger("Opções", "TopMargin", -1);
    // An installed program has no data beside it: without a directory named by the administrator,
    // each user works in their own.
    const bool instalado = ProgramaInstalado(DirPrograma, DadosInstalados());
    if (instalado && !config.ValueExists("Dados", "Path")) {
        try {
            DirDados =
                PreparaDadosDoUsuario(DirPrograma, PastaDe(KovaIni), usuario(), DadosInstalados());
        } catch (const std::exception& e) {
            Erro(e.what());
            SolicitarTerminacao();
            return false;
        }
        atualizaTabelas();
    } else {
        DirDados = NormalizaCaminho(config.ReadString("Dados", "Path", DirPrograma + "Dados"));
        const std::string aoLado = DirPrograma + "Dados";
        if (IncluiBarra(DirDados) == IncluiBarra(aoLado) && ExisteDiretorio(aoLado) &&
            recusa(DeOutroUsuario(aoLado, "uma pasta de dados"))) {
            return false;
        }
    }
    EnderecoAutuacoesMG = config.ReadString("Opções", "EnderecoAutuacoesMG", EnderecoAutuacoesMG);
    EnderecoFazendaCE = config.ReadString("Opções", "EnderecoFazendaCE", EnderecoFazendaCE);
    const std::string pasta = config.ReadString("Opções", "PastaImpressao", "");
    if (!Trim(pasta).empty()) PastaImpressao = NormalizaCaminho(pasta);

    const std::string pedido = UpperCase(instalacao);
    for (const char* forma : {"NovaVersão", "Nova Versão", "NovaVersao", "Nova Versao"}) {
        if (pedido == UpperCase(forma)) {
            // The request beside an installed program is every user's: each carries it out once on
            // their own directory, and it stays for the others. So is one in a Config.ini the user
            // may not change (an administrator's, on Windows).
            const std::string feito = AssinaturaDoPedido(dirConfig + "Config.ini");
            TIniFile meuKovaIni(KovaIni);
            if (meuKovaIni.ReadString("KOVA", "NovaVersaoInstalada", "") == feito) break;
            // The installation rewrites the slips file: not while another program writes it.
            if (!TomarEscrita()) return false;
            const bool instalou = InstalaNovaVersao();
            if (!Escritor) escritor_.Liberar();
            if (!instalou || TerminacaoSolicitada) break;
            bool retirado = false;
            if (!instalado) {
                try {
                    config.DeleteKey("Opções", "Instalação");
                    retirado = true;
                } catch (const std::exception&) {
                    // Not this user's to change: the request stays, done once for each user.
                }
            }
            if (!retirado) {
                try {
                    meuKovaIni.WriteString("KOVA", "NovaVersaoInstalada", feito);
                } catch (const std::exception& e) {
                    // Installed; the next start installs again, which keeps the slips.
                    Erro("A nova versão foi instalada, mas não foi possível gravar em " + KovaIni +
                         " que ela foi instalada:\r" + e.what());
                }
            }
            break;
        }
    }
    return !TerminacaoSolicitada;
}

bool TDM::InstalaNovaVersao() {
    bool resultado = true;
    const std::string sistema = IncluiBarra(Trim(DiretorioSistema()));
    const std::string programa = Trim(DirPrograma);

    try {
        TIniFile kovaIni(KovaIni);
        kovaIni.WriteString("KOVA", "Programa", CaminhoPrograma());
        kovaIni.WriteString("KOVA", "DirExe", programa);
        // Never a folder of an installed program, which its users cannot write.
        kovaIni.WriteString(
            "KOVA", "DirDados",
            ProgramaInstalado(DirPrograma, DadosInstalados()) ? DirDados : programa + "Dados");
    } catch (const std::exception& e) {
        // Nothing else is done: the request stays in Config.ini for a start that can record it.
        const auto* g = dynamic_cast<const EErroGravacao*>(&e);
        Erro("Erro na instalação da nova versão: não foi possível gravar " + KovaIni + " (" +
             (g ? g->Causa() : std::string(e.what())) + ").\r\rVerifique se a pasta " +
             PastaDe(KovaIni) + " existe e permite gravar.");
        SolicitarTerminacao();
        return false;
    }

    // The component is copied to the system directory where the user may write there; a user who
    // may not (a standard user) is not told: it is found beside the program as well.
    const char* componente = "DllInscE32.Dll";
    if (ExisteArquivoDisco(programa + componente))
        CopiaArquivo(programa + componente, sistema + componente);

    try {
        cdsKOVA.Close();
        cdsKOVA.CreateDataSet();
        cdsKOVA.SetIndexName("pk_IdKOVA");
        const std::string antigo = DirDados + "KOVA.cds";
        if (ExisteArquivoDisco(antigo)) {
            // The installation rewrites the slips file whole, sealed anew: one whose rows no
            // longer match its seal is refused first, as every start refuses it, never made to
            // pass.
            try {
                TArquivoTabela::ConfereSeloDoArquivo(antigo);
            } catch (const ESeloInvalido&) {
                FalhaNoArquivoDeKOVA = true;
                Erro("Erro na abertura dos arquivos\r\rCRC não confere: \r" + antigo +
                     AvisoDeCopias(DirDados));
                SolicitarTerminacao();
                return false;
            }
            cdsGenerico.Close();
            cdsGenerico.ClearFields();
            LoadFromFile(cdsGenerico, antigo);
            cdsGenerico.First();
            if (!cdsGenerico.IsEmpty() &&
                MessageDlg("Deseja preservar as KOVA já digitadas?", TMsgDlgType::mtConfirmation,
                           TMsgDlgButtons::mbYesNo) == TModalResult::mrYes) {
                for (; !cdsGenerico.Eof(); cdsGenerico.Next()) {
                    try {
                        cdsKOVA.Append();
                        for (int i = 0; i < cdsGenerico.FieldCount(); ++i) {
                            const TField& velho = cdsGenerico.Fields(i);
                            if (TField* novo = cdsKOVA.FindField(velho.FieldName()))
                                novo->SetValue(velho.Value());
                        }
                        cdsKOVA.Post();
                    } catch (const std::exception&) {
                        // A slip that no longer fits the layout is left out; the others go on.
                        if (cdsKOVA.State() == TDataSetState::dsInsert) cdsKOVA.Cancel();
                    }
                }
            }
            cdsGenerico.Close();
        }
        GravarKOVAInteiro();
    } catch (const std::exception& e) {
        if (MessageDlg(
                "Erro na rotina de recuperação das KOVA\r\rDeseja criar novo arquivo de KOVA?",
                TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesCancel) == TModalResult::mrYes) {
            try {
                cdsKOVA.Close();
                cdsKOVA.CreateDataSet();
                GravarKOVAInteiro();
                return resultado;
            } catch (const std::exception& e2) {
                Erro(std::string("Erro no CreateDataSet: KOVA.cds\r\r") + e2.what());
                SolicitarTerminacao();
                return false;
            }
        }
        Erro(std::string("Erro no CreateDataSet: KOVA.cds\r\r") + e.what());
        SolicitarTerminacao();
        resultado = false;
    }
    return resultado;
}

// ------------------------------------------------------------------ checks and load

bool TDM::ExisteArquivo(const std::string& path) {
    if (ExisteArquivoDisco(path)) return true;
    Erro("Erro na abertura dos arquivos\r\rArquivo não localizado: \r" + path);
    SolicitarTerminacao();
    return false;
}

bool TDM::ConfereCRC(const std::string& path) { return ConfereCRC(path, path); }

bool TDM::ConfereCRC(const std::string& path, const std::string& lido) {
    if (!ExisteArquivo(lido)) {
        SolicitarTerminacao();
        return false;
    }
    TChecksum checksum;
    std::string crc = checksum.FileCRC(lido);
    if (cdsControleCRC.Active() && cdsControleCRC.FindKey({UpperCase(NomeArquivo(path))}) &&
        cdsControleCRC.FieldByName("CRC").AsString() != crc) {
        Erro("Erro na abertura dos arquivos\r\rCRC não confere: \r" + path);
        SolicitarTerminacao();
        return false;
    }
    return true;
}

bool TDM::CarregarTabelas() {
    // A save in progress elsewhere is waited for; what a crashed one left is put right only when no
    // other program holds the lock, otherwise the load reads through it.
    TAdiaMensagens mensagens;
    TTrava trava;
    try {
        if (HaRestos(DirDados)) {
            trava = TTrava::TentarExclusiva(DirDados);
            if (trava.Travada()) {
                RecuperarGravacao(DirDados);
                trava.Compartilhar();
            } else {
                trava.Liberar();
            }
        }
        if (!trava.Travada()) trava = TTrava::Aguardar(DirDados, TTrava::TModo::Compartilhada);
    } catch (const ETravaOcupada& e) {
        // Held past the bound (a program stopped in the middle of its work, or someone holding
        // the lock on purpose): told, and the next start or library call tries again.
        Erro("Erro na abertura dos arquivos\r\rO arquivo está em uso por outro programa: \r" +
             e.Arquivo() + "\r\rTente de novo quando o outro programa terminar.");
        DadosEmUso = true;
        SolicitarTerminacao();
        return false;
    }
    // A crashed save that had completed its pair (its mark lists it) without putting it in place:
    // the new files are the truth.
    std::vector<std::string> vigentes;
    if (ExisteArquivoDisco(DirDados + kMarcaGravacao)) vigentes = NomesDaMarca(DirDados);
    const bool carregou = CarregarArquivos([&](const std::string& nome) {
        for (const std::string& v : vigentes) {
            if (v == nome && ExisteArquivoDisco(DirDados + nome + kNovo))
                return DirDados + nome + kNovo;
        }
        return DirDados + nome;
    });
    trava.Liberar();
    // The person who cannot start for a damaged slips file reads where its copies are.
    if (!carregou && FalhaNoArquivoDeKOVA) mensagens.Acrescenta(AvisoDeCopias(DirDados));
    mensagens.Mostrar();
    return carregou;
}

bool TDM::CarregarArquivos(const std::function<std::string(const std::string&)>& lido) {
    struct Arquivo {
        const char* nome;
        TDataSet* tabela;
    };
    const Arquivo arquivos[] = {
        {"ControleCRC.cds", &cdsControleCRC},
        {"Controle.cds", &cdsControle},
        {"UF.cds", &cdsUF},
        {"Receita.cds", &cdsReceita},
        {"SubReceita.cds", &cdsSubReceita},
        {"UFReceita.cds", &cdsUFReceita},
        {"UFProduto.cds", &cdsUFProduto},
        {"Feriado.cds", &cdsFeriado},
        {"EmpresaCourier.cds", &cdsEmpresaCourier},
        {"Banco.cds", &cdsBanco},
        {"UFBanco.cds", &cdsUFBanco},
        {"KOVA.cds", &cdsKOVA},
    };
    for (const Arquivo& a : arquivos) {
        const std::string path = DirDados + a.nome;
        const std::string arquivo = lido(a.nome);
        try {
            a.tabela->Close();
            if (a.tabela == &cdsKOVA) {
                if (!CarregarKOVA(path, arquivo)) {
                    FalhaNoArquivoDeKOVA = true;
                    return false;
                }
                continue;
            }
            const bool ok =
                a.tabela == &cdsControleCRC ? ExisteArquivo(arquivo) : ConfereCRC(path, arquivo);
            if (!ok) return false;
            LoadFromFile(*a.tabela, arquivo);
            if (!a.tabela->IndexDefs().empty())
                a.tabela->SetIndexName(a.tabela->IndexDefs().front().name);
            a.tabela->First();
            if (a.tabela == &cdsControle) {
                VersaoRelease = cdsControle.FieldByName("VersaoRelease").AsString();
                if (VersaoRelease.size() == 1) VersaoRelease = "0" + VersaoRelease;
                Versao = cdsControle.FieldByName("Versao").AsInteger();
                VersaoTestes = cdsControle.FieldByName("VersaoTestes").AsInteger();
                VersaoCodigoBarras = cdsControle.FieldByName("VersaoCodigoBarras").AsInteger();
                ValidadeDocumento = cdsControle.FieldByName("ValidadeDocumento").AsInteger();
            }
        } catch (const ESeloInvalido&) {
            // Its seal or a row does not match what the file holds: changed by other means.
            if (a.tabela == &cdsKOVA) FalhaNoArquivoDeKOVA = true;
            Erro("Erro na abertura dos arquivos\r\rCRC não confere: \r" + path);
            a.tabela->Close();
            arquivoKOVA_.reset();
            SolicitarTerminacao();
            return false;
        } catch (const std::exception& e) {
            if (a.tabela == &cdsKOVA) FalhaNoArquivoDeKOVA = true;
            Erro(std::string("Erro na abertura da tabela: ") + a.nome + "\r\r" + e.what());
            if (dynamic_cast<const EArquivoEmUso*>(&e)) DadosEmUso = true;
            a.tabela->Close();
            arquivoKOVA_.reset();
            SolicitarTerminacao();
            return false;
        }
    }
    return true;
}

const std::vector<std::string>& TDM::CamposResidentesKOVA() {
    static const std::vector<std::string> campos = {"IdKOVA", "CICContribuinte", "Situacao"};
    return campos;
}

bool TDM::CarregarKOVA(const std::string& path, const std::string& arquivo) {
    arquivoKOVA_.reset();
    if (!ExisteArquivo(arquivo)) return false;
    // Opened for writing by the one program that writes it (the writer's lock says which).
    auto kova = std::make_shared<TArquivoTabela>(arquivo, cdsKOVA, Escritor);
    // A file an earlier version wrote whole is checked whole, as it was then; the program that
    // writes it next gives it its own check. A sealed file checks itself: an entry left in
    // ControleCRC.cds by a save that died before removing it means nothing.
    if (!kova->Selado() && !ConfereCRC(path, arquivo)) return false;
    // Whoever only adds slips reads none of the stored ones, but checks first that the rows are
    // the ones the seal counts, as the desktop's start does in reading them: a file changed by
    // other means is neither added to nor numbered from.
    if (CargaKOVA == TCargaKOVA::SoNumeracao) kova->ConfereSelo();
    const TValue ultimo = kova->Maximo("IdKOVA");
    UltimoIdKOVA = IsNull(ultimo) ? 0 : std::get<int32_t>(ultimo);
    if (CargaKOVA == TCargaKOVA::Residentes) {
        kova->CarregaResidentes(cdsKOVA, CamposResidentesKOVA());
        guardadasCarregadas_ = true;
    } else {
        cdsKOVA.CreateDataSet();
    }
    cdsKOVA.SetIndexName(cdsKOVA.IndexDefs().front().name);
    cdsKOVA.First();
    if (Escritor || CargaKOVA == TCargaKOVA::Residentes) arquivoKOVA_ = kova;
    if (kova->Linhas() > 250) {
        Mostra(
            "Arquivo de digitação de KOVA está muito grande\r\rUtilize a opção "
            "Utilitários | Remover KOVA já impressas\rpara limpar o arquivo",
            TMsgDlgType::mtInformation);
    }
    return true;
}

std::vector<TBookmark> TDM::KOVAsQue(const std::vector<std::string>& campos,
                                     const TCriterioKOVA& criterio) {
    std::vector<TBookmark> achadas;
    if (!cdsKOVA.Active()) return achadas;
    // A slip changed or new since the last save is judged as memory holds it; the file, for the
    // others.
    const TDataSet::TPendencias pendentes = cdsKOVA.Pendencias();
    std::unordered_set<TBookmark> naMemoria(pendentes.gravar.begin(), pendentes.gravar.end());
    if (arquivoKOVA_ && guardadasCarregadas_) {
        for (TBookmark b : cdsKOVA.BookmarksOfRows(arquivoKOVA_->LinhasQue(campos, criterio))) {
            if (!naMemoria.count(b)) achadas.push_back(b);
        }
    }
    std::vector<int> indices;
    for (const std::string& c : campos) indices.push_back(cdsKOVA.FieldByName(c).Index());
    std::vector<TValue> valores(campos.size());
    for (TBookmark b : pendentes.gravar) {
        for (size_t k = 0; k < indices.size(); ++k) valores[k] = cdsKOVA.ValueAt(b, indices[k]);
        if (criterio(valores)) achadas.push_back(b);
    }
    return achadas;
}

void TDM::CarregarKOVAsGuardadas() {
    if (guardadasCarregadas_ || !cdsKOVA.Active()) return;
    const std::string path = DirDados + "KOVA.cds";
    // The slips file alone, read in one look (TArquivoTabela): no lock of the directory is needed.
    try {
        auto kova = std::make_shared<TArquivoTabela>(path, cdsKOVA, false);
        const std::string indice = cdsKOVA.IndexName();
        kova->CarregaResidentes(cdsKOVA, CamposResidentesKOVA());
        if (!indice.empty()) cdsKOVA.SetIndexName(indice);
        arquivoKOVA_ = kova;
        guardadasCarregadas_ = true;
    } catch (const ESeloInvalido&) {
        throw Exception("Erro na abertura dos arquivos\r\rCRC não confere: \r" + path +
                        AvisoDeCopias(DirDados));
    } catch (const std::exception& e) {
        throw Exception(std::string("Erro na abertura da tabela: KOVA.cds\r\r") + e.what() +
                        AvisoDeCopias(DirDados));
    }
}

namespace {

// Whatever the start meets (a settings file that cannot be read or written) is told and the program
// ends; it never aborts.
bool NaInicializacao(const std::function<bool()>& passo, const std::function<void()>& encerra) {
    try {
        return passo();
    } catch (const EAbort&) {
        encerra();
    } catch (const std::exception& e) {
        Erro(std::string("Erro na inicialização do KOVA\r\r") + e.what());
        encerra();
    }
    return false;
}

}  // namespace

bool TDM::DMConfigura() {
    return NaInicializacao([this] { return Configurar() && (!Escritor || TomarEscrita()); },
                           [this] { SolicitarTerminacao(); });
}

void TDM::DMCreate() {
    if (!DMConfigura()) return;
    NaInicializacao([this] { return CarregarTabelas(); }, [this] { SolicitarTerminacao(); });
}

bool TDM::TomarEscrita() {
    if (escritor_.Obtida()) return true;
    escritor_ = TTrava::TentarEscritor(DirDados, NomePrograma());
    if (escritor_.Obtida()) return true;
    EscritaRecusada = true;
    const std::string quem =
        escritor_.Ocupante().empty() ? std::string() : ":\r" + escritor_.Ocupante();
    Erro("As KOVA da pasta de dados\r" + DirDados + "\restão sendo gravadas por outro programa" +
         quem + "\r\rEncerre esse programa antes de iniciar este. Nada foi gravado.");
    SolicitarTerminacao();
    return false;
}

void TDM::DMDestroy() { GravaKOVA(); }

// ------------------------------------------------------------------ saving

void TDM::GarantirControleCRC() {
    if (cdsControleCRC.Active()) return;
    const std::string path = DirDados + "ControleCRC.cds";
    // A missing file has been reported; the engine's failure on the closed table reaches the
    // caller.
    if (ExisteArquivo(path)) LoadFromFile(cdsControleCRC, path);
}

void TDM::AtualizaCRC(const std::string& path) {
    TTrava trava = TTrava::Aguardar(DirDados, TTrava::TModo::Exclusiva);
    TChecksum checksum;
    const std::string crc = checksum.FileCRC(path);
    if (crc == checksum.ErrorResult) {
        throw Exception("Erro ao calcular o CRC do arquivo " + path +
                        "\r\rO controle de CRC não foi alterado.");
    }
    GarantirControleCRC();
    const std::string nome = UpperCase(NomeArquivo(path));
    if (cdsControleCRC.Locate("NomeTabela", {nome}, {.caseInsensitive = true})) {
        if (cdsControleCRC.FieldByName("CRC").AsString() == crc) return;
        cdsControleCRC.Edit();
    } else {
        cdsControleCRC.Append();
    }
    cdsControleCRC.FieldByName("NomeTabela").SetAsString(nome);
    cdsControleCRC.FieldByName("CRC").SetAsString(crc);
    cdsControleCRC.Post();
    SaveToFile(cdsControleCRC, DirDados + "ControleCRC.cds");
}

void TDM::GravaKOVA() {
    if (!cdsKOVA.Active()) return;
    if (cdsKOVA.Filtered()) cdsKOVA.SetFiltered(false);
    SalvarKOVA();
}

void TDM::RecuperarGravacao(const std::string& dirDados) {
    const std::string marca = dirDados + kMarcaGravacao;
    if (Arquivos().Existe(marca)) {
        // The new files were complete before the mark was written: finish putting them in place.
        for (const std::string& nome : NomesDaMarca(dirDados)) {
            const std::string novo = dirDados + nome + kNovo;
            if (Arquivos().Existe(novo)) Arquivos().Renomeia(novo, dirDados + nome);
        }
        Arquivos().Sincroniza(dirDados);
        Arquivos().Remove(marca);
    }
    // Without the mark the new files may be incomplete: the old ones stand. Temporary files of a
    // save that died are of no use to anyone.
    if (DIR* d = ::opendir(dirDados.c_str())) {
        std::vector<std::string> novos;
        while (dirent* e = ::readdir(d)) {
            const std::string nome = e->d_name;
            if (nome.size() > 9 && nome.compare(nome.size() - 9, 9, ".cds.novo") == 0)
                novos.push_back(nome);
        }
        ::closedir(d);
        for (const std::string& nome : novos) Arquivos().Remove(dirDados + nome);
    }
    for (const std::string& nome : Temporarios(dirDados)) Arquivos().Remove(dirDados + nome);
    Arquivos().Sincroniza(dirDados);
}

void TDM::ConcluirGravacao(const std::string& dirDados, const std::vector<std::string>& nomes) {
    std::string marca;
    for (const std::string& nome : nomes) marca += nome + "\n";
    try {
        // The mark is the moment the new files become the truth.
        Arquivos().GravaAtomico(dirDados + kMarcaGravacao, marca);
    } catch (...) {
        for (const std::string& nome : nomes) Arquivos().Remove(dirDados + nome + kNovo);
        throw;
    }
    RecuperarGravacao(dirDados);
}

namespace {

// A save that cannot be done names the slips file, says why in a few words and says the file on
// disk is still the previous one.
EGravacaoKOVA NaoGravou(const std::string& kova, const std::exception& e) {
    const auto* g = dynamic_cast<const EErroGravacao*>(&e);
    return EGravacaoKOVA(
        "Erro ao gravar o arquivo " + kova + ": " + (g ? g->Causa() : std::string(e.what())) +
        "\r\rO arquivo anterior foi mantido; as últimas alterações não foram gravadas.");
}

}  // namespace

void TDM::RetiraCRCDoKOVA() {
    const auto entrada = [this] {
        return cdsControleCRC.Active() &&
               cdsControleCRC.Locate("NomeTabela", {std::string("KOVA.CDS")},
                                     {.caseInsensitive = true});
    };
    // Mostly there is none, and the file is not read again.
    if (!entrada()) return;
    const std::string controle = DirDados + "ControleCRC.cds";
    // The table on disk is the one to amend: the table tool may have replaced it since the load.
    if (Arquivos().Existe(controle)) {
        LoadFromFile(cdsControleCRC, controle);
        cdsControleCRC.SetIndexName("pk_NomeTabela");
    } else {
        GarantirControleCRC();
    }
    if (!entrada()) return;
    cdsControleCRC.Delete();
    SaveToFile(cdsControleCRC, controle);
}

void TDM::SalvarKOVA() {
    if (!cdsKOVA.Active() || !cdsKOVA.TemPendencias()) return;
    const std::string kova = DirDados + "KOVA.cds";
    TTrava trava;
    try {
        // The slips of a sealed file change in one SQLite transaction, which loads read around
        // through SQLite's own locks. The directory's lock is taken (no load and no table tool
        // meanwhile) only when more changes: what a crashed save left is put right, the checksum
        // table loses its entry for the file, or a file of an earlier version gets its seal.
        const bool soOArquivo = arquivoKOVA_ && arquivoKOVA_->Path() == kova &&
                                arquivoKOVA_->Selado() && !HaRestos(DirDados) &&
                                !(cdsControleCRC.Active() &&
                                  cdsControleCRC.Locate("NomeTabela", {std::string("KOVA.CDS")},
                                                        {.caseInsensitive = true}));
        if (!soOArquivo) {
            trava = TTrava::Aguardar(DirDados, TTrava::TModo::Exclusiva);
            RecuperarGravacao(DirDados);
        }
        // The file the slips came from, unless a save of an earlier version put another one in its
        // place since (its crash recovered only now).
        if (!arquivoKOVA_ || arquivoKOVA_->Path() != kova) {
            if (!Arquivos().Existe(kova)) throw EErroGravacao(kova, "o arquivo não existe mais");
            arquivoKOVA_ = std::make_shared<TArquivoTabela>(kova, cdsKOVA, true);
        }
        CopiaDoDia(*arquivoKOVA_);
        arquivoKOVA_->GravaAlteracoes(cdsKOVA, CamposResidentesKOVA());
    } catch (const std::exception& e) {
        throw NaoGravou(kova, e);
    }
    try {
        // The file now checks itself: its old entry in ControleCRC.cds goes. A failure here loses
        // nothing (the entry of a sealed file is not read) and is tried again at the next save.
        RetiraCRCDoKOVA();
    } catch (const std::exception&) {
        // The checksum table in memory goes back to what the disk holds.
        try {
            if (Arquivos().Existe(DirDados + "ControleCRC.cds")) {
                LoadFromFile(cdsControleCRC, DirDados + "ControleCRC.cds");
                cdsControleCRC.SetIndexName("pk_NomeTabela");
            }
        } catch (const std::exception&) {
            // Read again at the next save.
        }
    }
}

void TDM::GravarKOVAInteiro() {
    const std::string kova = DirDados + "KOVA.cds";
    TTrava trava;
    try {
        trava = TTrava::Aguardar(DirDados, TTrava::TModo::Exclusiva);
    } catch (const std::exception& e) {
        throw NaoGravou(kova, e);
    }
    RecuperarGravacao(DirDados);
    arquivoKOVA_.reset();
    try {
        // The file being replaced is copied as any file about to change (its layout, if it is an
        // earlier one the table does not read, goes without).
        if (Arquivos().Existe(kova)) {
            TArquivoTabela antigo(kova, cdsKOVA, false);
            CopiaDoDia(antigo);
        }
    } catch (const std::exception&) {
    }
    try {
        // Complete beside the old file first; the rename is the moment the new one counts. Its seal
        // makes any entry of ControleCRC.cds for it meaningless, so a death before the entry goes
        // leaves a directory that loads.
        Arquivos().Remove(kova + kNovo);
        WriteTableFileSelado(cdsKOVA, kova + kNovo, CamposResidentesKOVA());
        if (!Arquivos().Renomeia(kova + kNovo, kova))
            throw EErroGravacao(kova, DescricaoErroSistema(errno));
        Arquivos().Sincroniza(DirDados);
    } catch (const std::exception& e) {
        Arquivos().Remove(kova + kNovo);
        throw NaoGravou(kova, e);
    }
    try {
        RetiraCRCDoKOVA();
    } catch (const std::exception&) {
        // The file checks itself; the next save tries again.
    }
    cdsKOVA.Close();
}

// ------------------------------------------------------------------ copies of the slips file

void TDM::CopiaDoDia(TArquivoTabela& fonte) {
    try {
        int ano = 0;
        unsigned mes = 0, dia = 0;
        if (!DiaDaAlteracao(fonte.Path(), ano, mes, dia)) return;
        const TDate alterado = MakeDate(ano, mes, dia);
        if (alterado >= Clock::Today()) return;
        const std::string pasta = PastaDasCopias(DirDados);
        const std::string copia = pasta + NomeDaCopia(alterado);
        if (Arquivos().Existe(copia)) return;
        if (!CriaPastaPrivada(pasta)) return;
        // Complete beside its name first: a copy that died half-way is never taken for one.
        Arquivos().Remove(copia + kNovo);
        fonte.CopiaPara(copia + kNovo, CamposResidentesKOVA());
        if (!Arquivos().Renomeia(copia + kNovo, copia)) {
            Arquivos().Remove(copia + kNovo);
            return;
        }
        Arquivos().Sincroniza(pasta);
        PodaCopias(DirDados);
    } catch (const std::exception&) {
        // The save goes on without the copy of that day: what the person asked for comes first,
        // and the save's own failure, if the disk is at fault, is the one told.
    }
}

namespace {

// "2024-03-15-103000" for the name of the file a restore keeps aside.
std::string Momento() {
    const TDateTime agora = Clock::Now();
    const TDate dia = DateOf(agora);
    const auto segundos =
        std::chrono::duration_cast<std::chrono::seconds>(agora - TDateTime(dia)).count();
    char texto[40];
    std::snprintf(texto, sizeof texto, "%04d-%02u-%02u-%02d%02d%02d", YearOf(dia), MonthOf(dia),
                  DayOf(dia), int(segundos / 3600), int(segundos / 60 % 60), int(segundos % 60));
    return texto;
}

}  // namespace

std::string TDM::RestaurarCopia(const std::string& copia) {
    // As the one program that writes slips here: the desktop is that program already.
    TTrava escritor;
    if (!escritor_.Obtida()) {
        escritor = TTrava::TentarEscritor(DirDados, NomePrograma());
        if (!escritor.Obtida()) {
            const std::string quem =
                escritor.Ocupante().empty() ? std::string() : ":\r" + escritor.Ocupante();
            throw EOutroEscritor("As KOVA da pasta de dados\r" + DirDados +
                                 "\restão sendo gravadas por outro programa" + quem +
                                 "\r\rEncerre esse programa antes de restaurar uma cópia de "
                                 "segurança. Nada foi restaurado.");
        }
    }
    if (cdsKOVA.Active() && cdsKOVA.State() != TDataSetState::dsBrowse) {
        throw Exception(
            "Conclua ou cancele a KOVA em digitação antes de restaurar uma cópia de segurança. "
            "Nada foi restaurado.");
    }
    const std::string kova = DirDados + "KOVA.cds";
    const std::string novo = kova + kNovo;
    const bool carregada = cdsKOVA.Active();
    // The desk's slips are read again from whichever file is in place at the end, restored or not.
    auto recarrega = [&] {
        if (!carregada || cdsKOVA.Active()) return;
        TAdiaMensagens mensagens;
        TTrava trava = TTrava::Aguardar(DirDados, TTrava::TModo::Compartilhada);
        bool ok = false;
        try {
            ok = CarregarKOVA(kova, kova);
        } catch (const std::exception& e) {
            Erro(std::string("Erro na abertura da tabela: KOVA.cds\r\r") + e.what());
        }
        trava.Liberar();
        mensagens.Mostrar();
        if (!ok) SolicitarTerminacao();
    };
    std::string guardado;
    try {
        // No load and no save of this directory meanwhile.
        TTrava trava = TTrava::Aguardar(DirDados, TTrava::TModo::Exclusiva);
        RecuperarGravacao(DirDados);
        // The copy is checked and made whole beside the file before anything of it changes.
        try {
            TArquivoTabela fonte(copia, cdsKOVA, false);
            if (!fonte.Selado()) throw ESeloInvalido("a cópia não tem selo");
            fonte.ConfereSelo();
            Arquivos().Remove(novo);
            fonte.CopiaPara(novo, CamposResidentesKOVA());
        } catch (const ESeloInvalido&) {
            throw Exception("A cópia de segurança " + copia +
                            " foi alterada por outros meios (o selo não confere com as KOVA) e "
                            "não pode ser restaurada. Nada foi restaurado.");
        } catch (const std::exception& e) {
            throw Exception("Não foi possível restaurar a cópia de segurança " + copia + "\r\r" +
                            e.what() + "\r\rNada foi restaurado.");
        }
        try {
            if (Arquivos().Existe(kova)) {
                guardado = PastaDasCopias(DirDados) + "KOVA-substituido-" + Momento() + ".cds";
                if (!LigaArquivo(kova, guardado) && !CopiaArquivo(kova, guardado)) {
                    throw EErroGravacao(guardado, DescricaoErroSistema(errno));
                }
                // A journal a killed program left belongs to the file it goes with: applied to
                // the restored one it would damage it.
                const std::string diario = kova + "-journal";
                if (Arquivos().Existe(diario) &&
                    !Arquivos().Renomeia(diario, guardado + "-journal")) {
                    throw EErroGravacao(diario, DescricaoErroSistema(errno));
                }
            }
            // The slips in memory, and the file they are read from, are those being replaced.
            if (carregada) cdsKOVA.Close();
            arquivoKOVA_.reset();
            guardadasCarregadas_ = false;
            ConcluirGravacao(DirDados, {"KOVA.cds"});
        } catch (const std::exception& e) {
            Arquivos().Remove(novo);
            throw Exception("Não foi possível restaurar a cópia de segurança " + copia + "\r\r" +
                            e.what() + "\r\rO arquivo de KOVA anterior foi mantido.");
        }
        try {
            RetiraCRCDoKOVA();
        } catch (const std::exception&) {
            // The restored file checks itself; the next save tries again.
        }
    } catch (...) {
        recarrega();
        throw;
    }
    recarrega();
    return guardado;
}

}  // namespace kova
