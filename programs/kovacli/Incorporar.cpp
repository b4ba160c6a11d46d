#include "Incorporar.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "Conversao.h"
#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "GravacaoKOVA.h"
#include "Incorporacao.h"
#include "ModuloDaTela.h"
#include "TDM.h"
#include "Tela.h"
#include "TfrmDigitar.h"
#include "TqrpKOVA.h"

using namespace kova;

namespace {

const char* kAjuda =
    "uso: kovacli incorporar ARQUIVO [--programa DIR] [--pdf SAIDA.pdf] [--sem-impressao] "
    "[--descartar]\n"
    "\n"
    "Incorpora as KOVA do arquivo (uma por linha, campos separados por tabulação, texto\n"
    "Windows-1252) como o menu \"Incorporar Arquivo\" do KOVA, sem ninguém à frente:\n"
    "  --programa DIR   pasta cujo Config.ini (ou subpasta Dados) indica os dados;\n"
    "                   sem ela, a pasta deste programa\n"
    "  --pdf SAIDA.pdf  onde as KOVA incorporadas são impressas (três vias cada);\n"
    "                   sem ela, ARQUIVO com a extensão .pdf\n"
    "  --sem-impressao  só incorpora; nada é impresso nem marcado\n"
    "  --descartar      após uma falha, remove as KOVA já incorporadas deste arquivo\n"
    "                   (sem ela, são preservadas)\n"
    "\n"
    "As KOVA vão para KOVA.cds da pasta de dados, gravadas antes de qualquer aviso e de\n"
    "qualquer impressão. Mensagens vão para a saída de erro.\n"
    "\n"
    "Enquanto incorpora, nenhum outro programa que grava KOVA (o KOVA, outro \"kovacli\n"
    "incorporar\") pode usar a mesma pasta de dados; as requisições da biblioteca podem.\n"
    "\n"
    "Saída:\n"
    "  0  todas as linhas foram incorporadas (e impressas)\n"
    "  1  a incorporação parou numa linha (a razão vai para a saída de erro)\n"
    "  2  os dados não puderam ser abertos\n"
    "  3  outro programa está gravando KOVA na mesma pasta de dados; nada foi feito\n"
    "  4  as KOVA não puderam ser gravadas no disco (disco cheio, pasta sem permissão):\n"
    "     nenhuma KOVA deste arquivo foi incorporada, ou as impressas não foram marcadas\n";

// The person at the desk, replaced by fixed answers: keep (or discard) what was imported, never
// print on request (the unattended run prints by itself), no product chosen.
class DialogosConsole : public IDialogService {
public:
    explicit DialogosConsole(bool descartar) : descartar_(descartar) {}
    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind,
                            TMsgDlgButtons buttons) override {
        if (buttons == TMsgDlgButtons::mbOK) {
            (kind == TMsgDlgType::mtError || kind == TMsgDlgType::mtWarning ? std::cerr : std::cout)
                << Legivel(text) << "\n";
            return TModalResult::mrOk;
        }
        const bool preservar = text.find("preserv") != std::string::npos;
        const TModalResult r = preservar && !descartar_ ? TModalResult::mrYes : TModalResult::mrNo;
        std::cerr << Legivel(text) << " " << ParaUtf8(r == TModalResult::mrYes ? "Sim" : "Não")
                  << "\n";
        return r;
    }
    bool Executar(const TPedidoDialogo& pedido) override {
        std::cerr << Legivel(pedido.titulo) << ParaUtf8(": sem escolha possível\n");
        return false;
    }
    bool AbrirEndereco(const std::string&) override { return false; }

private:
    bool descartar_;
};

}  // namespace

int Incorporar(int argc, char** argv) {
    std::string arquivo, programa, pdf;
    bool imprimir = true, descartar = false;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        auto valor = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(a);
            return argv[++i];
        };
        try {
            if (a == "--help" || a == "-h") {
                std::cout << ParaUtf8(kAjuda);
                return 0;
            } else if (a == "--programa") {
                programa = valor();
            } else if (a == "--pdf") {
                pdf = valor();
            } else if (a == "--sem-impressao") {
                imprimir = false;
            } else if (a == "--descartar") {
                descartar = true;
            } else if (arquivo.empty() && a.rfind("--", 0) != 0) {
                arquivo = a;
            } else {
                throw std::invalid_argument(a);
            }
        } catch (const std::invalid_argument&) {
            std::cerr << ParaUtf8("kovacli: argumento inválido: ") << a << "\n\n"
                      << ParaUtf8(kAjuda);
            return 2;
        }
    }
    if (arquivo.empty()) {
        std::cerr << ParaUtf8(kAjuda);
        return 2;
    }
    if (pdf.empty()) pdf = TrocaExtensao(arquivo, ".pdf");

    DialogosConsole dialogos(descartar);
    ScopedDialogService servico(dialogos);
    int resultado = 0;
    auto dm = std::make_unique<TDM>();
    FormatSettings().CurrencyString.clear();
    if (!programa.empty()) dm->DirPrograma = IncluiBarra(programa);
    // The import writes the slips file: one such program at a time on a data directory. It only
    // adds slips, so of the stored ones it reads the last number only.
    dm->Escritor = true;
    dm->CargaKOVA = TDM::TCargaKOVA::SoNumeracao;
    dm->DMCreate();
    if (dm->TerminacaoSolicitada) return dm->EscritaRecusada ? 3 : 2;
    dm->GravarAposAlteracao = true;
    AvisaTabelasAtualizadas(dm->KovaIni);
    try {
        TfrmDigitar formulario(*dm);
        TqrpKOVA relatorio;
        if (dm->TopMargin >= 0) relatorio.Relatorio.margemSuperior = dm->TopMargin;
        TIncorporacao importacao(*dm, formulario, relatorio);
        // The PDF writer is in the screen and printing module, loaded when the first slip is
        // printed: an import that prints nothing loads neither Qt nor its fonts.
        importacao.AbrirSaida = [&]() -> std::unique_ptr<TSaidaImpressao> {
            std::string motivo;
            const kovadll::TTela* tela =
                kovadll::CarregaModuloDaTela(kovadll::PastaDoMotor(), motivo);
            if (!tela) throw Exception(motivo);
            std::unique_ptr<TSaidaImpressao> saida(tela->SaidaPDF(pdf.c_str(), &motivo));
            if (!saida) throw Exception(motivo);
            return saida;
        };
        const bool terminal = isatty(2);
        importacao.IntervaloProgresso = 1000;
        importacao.Progresso = [&](int linhas) {
            if (terminal) std::cerr << "\r" << linhas << " linhas lidas" << std::flush;
        };
        const auto inicio = std::chrono::steady_clock::now();
        try {
            importacao.IncorporarArquivo(arquivo, imprimir);
        } catch (const EAbort&) {
            resultado = 1;
        } catch (const std::exception& e) {
            std::cerr << Legivel(e.what()) << "\n";
            resultado = 1;
        }
        if (importacao.FalhaGravacao) resultado = 4;
        const double segundos =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
        if (terminal) std::cerr << "\n";
        std::cerr << "kovacli: " << importacao.Linha << " linhas lidas, " << importacao.Incorporadas
                  << " KOVA incorporadas, " << importacao.Impressas << " impressas";
        if (importacao.Impressas > 0) std::cerr << " em " << pdf;
        char tempo[64];
        std::snprintf(tempo, sizeof tempo, " (%.2f s)", segundos);
        std::cerr << tempo << "\n";
        if (!importacao.FalhaGravacao) dm->DMDestroy();
    } catch (const EGravacaoKOVA& e) {
        std::cerr << "kovacli: " << Legivel(e.what()) << "\n";
        return 4;
    } catch (const std::exception& e) {
        std::cerr << "kovacli: " << Legivel(e.what()) << "\n";
        return 2;
    }
    return resultado;
}
