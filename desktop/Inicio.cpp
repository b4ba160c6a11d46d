#include "Inicio.h"

#include <cstdlib>
#include <cstring>

#include "CopiasDeSeguranca.h"
#include "DadosDoUsuario.h"
#include "Dialogs.h"
#include "Diretorios.h"
#include "TDM.h"

namespace kova {

std::unique_ptr<TDM> CriaModuloDeDados(const std::function<bool(TDM&)>& restaurar) {
    std::unique_ptr<TDM> dm;
    for (;;) {
        dm.reset();
        dm = std::make_unique<TDM>();
        // The desktop shows amounts without a currency symbol.
        FormatSettings().CurrencyString.clear();
        // The desktop writes the slips file: one such program at a time on a data directory.
        dm->Escritor = true;
        dm->DMCreate();
        if (!dm->TerminacaoSolicitada) break;
        // A slips file that does not load is put right from its copies, if the person wants it.
        if (!restaurar || !dm->FalhaNoArquivoDeKOVA ||
            ListaCopias(dm->DirDados, dm->cdsKOVA).empty() ||
            MessageDlg("Deseja restaurar agora uma cópia de segurança do arquivo de KOVA?",
                       TMsgDlgType::mtConfirmation,
                       TMsgDlgButtons::mbYesNo) != TModalResult::mrYes ||
            !restaurar(*dm)) {
            return nullptr;
        }
    }
    dm->GravarAposAlteracao = true;
    // The person is told once of the tables an upgrade brought (whichever program replaced them).
    try {
        const std::string aviso = RetiraAvisoDeTabelas(dm->KovaIni);
        if (!aviso.empty()) MessageDlg(aviso, TMsgDlgType::mtInformation);
    } catch (const std::exception&) {
        // The notice stays for the next start.
    }
    return dm;
}

bool SemSessaoGrafica() {
    auto definida = [](const char* nome) {
        const char* v = std::getenv(nome);
        return v && *v;
    };
    return !definida("DISPLAY") && !definida("WAYLAND_DISPLAY") && !definida("QT_QPA_PLATFORM");
}

const char* MensagemSemSessaoGrafica() {
    return "kova: o KOVA precisa de uma sessão gráfica (um display X11 ou Wayland) para abrir suas "
           "janelas, e nenhuma foi encontrada.\n"
           "Inicie-o de dentro da área de trabalho. Sem sessão gráfica, use kovacli para enviar "
           "pedidos e "
           "incorporar arquivos (kovacli --help).\n";
}

bool ArgumentoDeImportacao(int argc, char** argv) {
    if (argc < 2 || !ExisteArquivoDisco(argv[1])) return false;
    return std::strcmp(argv[1], "C:\\Arquivos de Programas\\KOVA\\KOVA.exe") != 0 &&
           std::strcmp(argv[1], "C:\\Arquiv~1\\KOVA\\KOVA.exe") != 0;
}

}  // namespace kova
