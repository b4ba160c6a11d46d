// The data module's start-up and files: the clock check, the configuration, the new-version
// installation, the load of the table files with their checksums, and the saving of the slips.

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Clock.h"
#include "DadosDoUsuario.h"
#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "TChecksum.h"
#include "TDM.h"
#include "TIniFile.h"
#include "TTableFile.h"
#include "Texto.h"

namespace kova {

namespace {

constexpr const char* kMarcaGravacao = "KOVA.gravacao";
constexpr const char* kNovo = ".novo";

void Erro(const std::string& texto) { MessageDlg(texto, TMsgDlgType::mtError, TMsgDlgButtons::mbOK); }

std::string TrocaBarras(std::string s) {
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    return s;
}

}  // namespace

TDM::TAdiaGravacao::~TAdiaGravacao() noexcept(false) {
    if (--dm_.adiamentos_ == 0 && dm_.pendente_ && !std::uncaught_exceptions()) dm_.KOVAAlterada();
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
    // Old settings files write Windows separators; this system uses "/".
    std::string s = TrocaBarras(Trim(caminho));
    std::string programa = TrocaBarras(Trim(DirPrograma));
    std::string r;
    if (s.rfind("../", 0) == 0) {
        if (!programa.empty() && programa.back() == '/') programa.pop_back();
        while (!programa.empty() && programa.back() != '/') programa.pop_back();
        r = programa + s.substr(3, 255);
    } else if (s.rfind("./", 0) == 0) {
        r = programa + s.substr(2, 255);
    } else {
        r = s;
    }
    if (r.empty() || r.back() != '/') r += '/';
    return r;
}

bool TDM::Configurar() {
    if (AnoAtual < 1998) {
        Erro("A data do seu computador está desatualizada.\r\rAtualize seu relógio do Windows e reinicialize o Sistema.");
        SolicitarTerminacao();
        return false;
    }
    DirWindows = IncluiBarra(Trim(DiretorioWindows()));
    std::string dirConfig = DirPrograma;
    const bool temConfig = ExisteArquivoDisco(DirPrograma + "Config.ini");
    if (!temConfig && !ExisteArquivoDisco(DirWindows + "KOVA.INI")) {
        try {
            PreparaDadosDoUsuario(DirPrograma, DirWindows, DiretorioSistema(), DadosInstalados());
        } catch (const std::exception& e) {
            Erro(e.what());
            SolicitarTerminacao();
            return false;
        }
    }
    if (!temConfig && ExisteArquivoDisco(DirWindows + "KOVA.INI")) {
        TIniFile kovaIni(DirWindows + "KOVA.INI");
        DirDados = NormalizaCaminho(kovaIni.ReadString("KOVA", "DirDados", DirWindows + "Dados"));
        const std::string pasta = kovaIni.ReadString("KOVA", "PastaImpressao", "");
        if (!Trim(pasta).empty()) PastaImpressao = NormalizaCaminho(pasta);
        return true;
    }
    if (!temConfig) {
        std::string dirExe = TIniFile("KOVA.ini").ReadString("KOVA", "DirExe", "");
        if (ExisteArquivoDisco(dirExe + "Config.ini")) dirConfig = dirExe;
    }
    TIniFile config(dirConfig + "Config.ini");
    std::string instalacao = config.ReadString("Opções", "Instalação", "none");
    TopMargin = config.ReadInteger("Opções", "TopMargin", -1);
    DirDados = NormalizaCaminho(config.ReadString("Dados", "Path", DirPrograma + "Dados"));
    EnderecoAutuacoesMG = config.ReadString("Opções", "EnderecoAutuacoesMG", EnderecoAutuacoesMG);
    EnderecoFazendaCE = config.ReadString("Opções", "EnderecoFazendaCE", EnderecoFazendaCE);
    const std::string pasta = config.ReadString("Opções", "PastaImpressao", "");
    if (!Trim(pasta).empty()) PastaImpressao = NormalizaCaminho(pasta);

    const std::string pedido = UpperCase(instalacao);
    for (const char* forma : {"NovaVersão", "Nova Versão", "NovaVersao", "Nova Versao"}) {
        if (pedido == UpperCase(forma)) {
            if (InstalaNovaVersao()) config.DeleteKey("Opções", "Instalação");
            break;
        }
    }
    return !TerminacaoSolicitada;
}

bool TDM::InstalaNovaVersao() {
    bool resultado = true;
    const std::string sistema = IncluiBarra(Trim(DiretorioSistema()));
    const std::string programa = Trim(DirPrograma);

    TIniFile kovaIni(DirWindows + "KOVA.INI");
    kovaIni.WriteString("KOVA", "Programa", CaminhoPrograma());
    kovaIni.WriteString("KOVA", "DirExe", programa);
    kovaIni.WriteString("KOVA", "DirDados", programa + "Dados");

    const char* componente = "DllInscE32.Dll";
    if (ExisteArquivoDisco(programa + componente)) {
        CopiaArquivo(programa + componente, sistema + componente);
        if (!ExisteArquivoDisco(sistema + componente)) Erro(std::string("Erro ao Copiar arquivo DLL: ") + componente);
    }

    try {
        cdsKOVA.Close();
        cdsKOVA.CreateDataSet();
        cdsKOVA.SetIndexName("pk_IdKOVA");
        const std::string antigo = DirDados + "KOVA.cds";
        if (ExisteArquivoDisco(antigo)) {
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
                            if (TField* novo = cdsKOVA.FindField(velho.FieldName())) novo->SetValue(velho.Value());
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
        SalvarKOVA();
    } catch (const std::exception& e) {
        if (MessageDlg("Erro na rotina de recuperação das KOVA\r\rDeseja criar novo arquivo de KOVA?",
                       TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesCancel) == TModalResult::mrYes) {
            try {
                cdsKOVA.Close();
                cdsKOVA.CreateDataSet();
                SalvarKOVA();
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

bool TDM::ConfereCRC(const std::string& path) {
    if (!ExisteArquivo(path)) {
        SolicitarTerminacao();
        return false;
    }
    TChecksum checksum;
    std::string crc = checksum.FileCRC(path);
    if (cdsControleCRC.Active() && cdsControleCRC.FindKey({UpperCase(NomeArquivo(path))}) &&
        cdsControleCRC.FieldByName("CRC").AsString() != crc) {
        Erro("Erro na abertura dos arquivos\r\rCRC não confere: \r" + path);
        SolicitarTerminacao();
        return false;
    }
    return true;
}

bool TDM::CarregarTabelas() {
    struct Arquivo {
        const char* nome;
        TDataSet* tabela;
    };
    const Arquivo arquivos[] = {
        {"ControleCRC.cds", &cdsControleCRC}, {"Controle.cds", &cdsControle},
        {"UF.cds", &cdsUF},                   {"Receita.cds", &cdsReceita},
        {"SubReceita.cds", &cdsSubReceita},   {"UFReceita.cds", &cdsUFReceita},
        {"UFProduto.cds", &cdsUFProduto},     {"Feriado.cds", &cdsFeriado},
        {"EmpresaCourier.cds", &cdsEmpresaCourier}, {"Banco.cds", &cdsBanco},
        {"UFBanco.cds", &cdsUFBanco},         {"KOVA.cds", &cdsKOVA},
    };
    RecuperarGravacao(DirDados);
    for (const Arquivo& a : arquivos) {
        const std::string path = DirDados + a.nome;
        try {
            a.tabela->Close();
            const bool ok = a.tabela == &cdsControleCRC ? ExisteArquivo(path) : ConfereCRC(path);
            if (!ok) return false;
            LoadFromFile(*a.tabela, path);
            if (!a.tabela->IndexDefs().empty()) a.tabela->SetIndexName(a.tabela->IndexDefs().front().name);
            a.tabela->First();
            if (a.tabela == &cdsControle) {
                VersaoRelease = cdsControle.FieldByName("VersaoRelease").AsString();
                if (VersaoRelease.size() == 1) VersaoRelease = "0" + VersaoRelease;
                Versao = cdsControle.FieldByName("Versao").AsInteger();
                VersaoTestes = cdsControle.FieldByName("VersaoTestes").AsInteger();
                VersaoCodigoBarras = cdsControle.FieldByName("VersaoCodigoBarras").AsInteger();
                ValidadeDocumento = cdsControle.FieldByName("ValidadeDocumento").AsInteger();
            } else if (a.tabela == &cdsKOVA) {
                cdsKOVA.Last();
                UltimoIdKOVA = cdsKOVA.IsEmpty() ? 0 : cdsKOVA.FieldByName("IdKOVA").AsInteger();
                cdsKOVA.First();
                if (cdsKOVA.RecordCount() > 250) {
                    MessageDlg("Arquivo de digitação de KOVA está muito grande\r\rUtilize a opção "
                               "Utilitários | Remover KOVA já impressas\rpara limpar o arquivo",
                               TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
                }
            }
        } catch (const std::exception& e) {
            Erro(std::string("Erro na abertura da tabela: ") + a.nome + "\r\r" + e.what());
            a.tabela->Close();
            SolicitarTerminacao();
            return false;
        }
    }
    return true;
}

void TDM::DMCreate() {
    if (Configurar()) CarregarTabelas();
}

void TDM::DMDestroy() { GravaKOVA(); }

// ------------------------------------------------------------------ saving

void TDM::GarantirControleCRC() {
    if (cdsControleCRC.Active()) return;
    const std::string path = DirDados + "ControleCRC.cds";
    // A missing file has been reported; the engine's failure on the closed table reaches the caller.
    if (ExisteArquivo(path)) LoadFromFile(cdsControleCRC, path);
}

void TDM::AtualizaCRC(const std::string& path) {
    TChecksum checksum;
    const std::string crc = checksum.FileCRC(path);
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
    if (ExisteArquivoDisco(marca)) {
        // The new pair was complete before the mark was written: finish putting it in place.
        std::ifstream in(marca);
        std::string nome;
        while (std::getline(in, nome)) {
            if (nome.empty()) continue;
            const std::string novo = dirDados + nome + kNovo;
            if (ExisteArquivoDisco(novo)) std::rename(novo.c_str(), (dirDados + nome).c_str());
        }
        SincronizarCaminho(dirDados);
        std::remove(marca.c_str());
        SincronizarCaminho(dirDados);
        return;
    }
    // Without the mark the new files may be incomplete: the old pair stands.
    for (const char* nome : {"KOVA.cds", "ControleCRC.cds"}) std::remove((dirDados + nome + kNovo).c_str());
}

void TDM::SalvarKOVA() {
    RecuperarGravacao(DirDados);
    const std::string kova = DirDados + "KOVA.cds";
    const std::string controle = DirDados + "ControleCRC.cds";
    std::remove((kova + kNovo).c_str());
    std::remove((controle + kNovo).c_str());
    // A save that cannot be done names the slips file, not the working copy, and says the file on
    // disk is still the previous one.
    auto naoGravou = [&](const std::exception& e) {
        std::string causa = e.what();
        const size_t dois = causa.rfind("): ");
        if (dois != std::string::npos) causa = causa.substr(dois + 3);
        return Exception("Erro ao gravar o arquivo " + kova + ": " + causa +
                         "\r\rO arquivo anterior foi mantido; as últimas alterações não foram gravadas.");
    };
    try {
        WriteTableFile(cdsKOVA, kova + kNovo);
    } catch (const std::exception& e) {
        std::remove((kova + kNovo).c_str());
        throw naoGravou(e);
    }
    TChecksum checksum;
    const std::string crc = checksum.FileCRC(kova + kNovo);

    std::string marca = "KOVA.cds\n";
    GarantirControleCRC();
    const bool achou = cdsControleCRC.Locate("NomeTabela", {std::string("KOVA.CDS")}, {.caseInsensitive = true});
    const std::string anterior = achou ? cdsControleCRC.FieldByName("CRC").AsString() : std::string();
    const bool mudou = !achou || anterior != crc;
    auto gravarCRC = [&](const std::string& valor) {
        if (cdsControleCRC.Locate("NomeTabela", {std::string("KOVA.CDS")}, {.caseInsensitive = true})) {
            cdsControleCRC.Edit();
        } else {
            cdsControleCRC.Append();
        }
        cdsControleCRC.FieldByName("NomeTabela").SetAsString("KOVA.CDS");
        cdsControleCRC.FieldByName("CRC").SetAsString(valor);
        cdsControleCRC.Post();
    };
    try {
        if (mudou) {
            gravarCRC(crc);
            WriteTableFile(cdsControleCRC, controle + kNovo);
            marca += "ControleCRC.cds\n";
        }
        // The mark is the moment the new pair becomes the truth.
        EscreverArquivoAtomico(DirDados + kMarcaGravacao, marca);
    } catch (const std::exception& e) {
        // The disk keeps the old pair; so must the table in memory.
        if (mudou && achou) {
            gravarCRC(anterior);
        } else if (mudou && cdsControleCRC.Locate("NomeTabela", {std::string("KOVA.CDS")}, {.caseInsensitive = true})) {
            cdsControleCRC.Delete();
        }
        std::remove((kova + kNovo).c_str());
        std::remove((controle + kNovo).c_str());
        throw naoGravou(e);
    }
    RecuperarGravacao(DirDados);
}

}  // namespace kova
