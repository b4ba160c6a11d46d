#include "Restaurar.h"

#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Conversao.h"
#include "CopiasDeSeguranca.h"
#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "TDM.h"

using namespace kova;

namespace {

const char* kAjuda =
    "uso: kovacli restaurar [DIA] [--programa DIR]\n"
    "\n"
    "O KOVA guarda uma cópia do arquivo de KOVA de cada dia em que ele mudou (as sete mais\n"
    "recentes), na pasta Copias da pasta de dados.\n"
    "  sem DIA          lista as cópias, da mais recente para a mais antiga, com o que cada\n"
    "                   uma tem\n"
    "  DIA              (dd/mm/aaaa) restaura a cópia desse dia no lugar do arquivo de KOVA;\n"
    "                   o arquivo substituído é guardado na pasta das cópias, nunca apagado\n"
    "  --programa DIR   pasta cujo Config.ini (ou subpasta Dados) indica os dados;\n"
    "                   sem ela, a pasta deste programa\n"
    "\n"
    "A restauração espera as leituras de outros programas na pasta de dados e é recusada\n"
    "enquanto outro programa grava KOVA nela (o KOVA, \"kovacli incorporar\").\n"
    "\n"
    "Saída:\n"
    "  0  cópias listadas, ou a cópia foi restaurada\n"
    "  1  não há cópia desse dia, ou ela não pode ser restaurada (nada foi restaurado)\n"
    "  2  os dados não puderam ser abertos\n"
    "  3  outro programa está gravando KOVA na mesma pasta de dados; nada foi restaurado\n";

// Nobody answers here: messages go to the error output, questions are never asked.
class DialogosConsole : public IDialogService {
public:
    TModalResult MessageDlg(const std::string& text, TMsgDlgType, TMsgDlgButtons) override {
        std::cerr << Legivel(text) << "\n";
        return TModalResult::mrNo;
    }
    bool Executar(const TPedidoDialogo&) override { return false; }
    bool AbrirEndereco(const std::string&) override { return false; }
};

}  // namespace

int Restaurar(int argc, char** argv) {
    std::string programa, dia;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << ParaUtf8(kAjuda);
            return 0;
        }
        if (a == "--programa" && i + 1 < argc) {
            programa = argv[++i];
        } else if (dia.empty() && a.rfind("--", 0) != 0) {
            dia = a;
        } else {
            std::cerr << ParaUtf8("kovacli: argumento inválido: ") << a << "\n\n"
                      << ParaUtf8(kAjuda);
            return 2;
        }
    }

    DialogosConsole dialogos;
    ScopedDialogService servico(dialogos);
    auto dm = std::make_unique<TDM>();
    if (!programa.empty()) dm->DirPrograma = IncluiBarra(programa);
    // The slips file is neither loaded nor needed to load: it may be the one to put right.
    if (!dm->DMConfigura()) return 2;
    const std::string kova = dm->DirDados + "KOVA.cds";
    const std::vector<TCopiaKOVA> copias = ListaCopias(dm->DirDados, dm->cdsKOVA);

    if (dia.empty()) {
        if (copias.empty()) {
            std::cout << ParaUtf8("Não há cópias de segurança de " + kova +
                                  ".\nElas são feitas em " + PastaDasCopias(dm->DirDados) +
                                  " a cada dia em que o arquivo muda.\n");
            return 0;
        }
        std::cout << ParaUtf8("Cópias de segurança de " + kova + ", em " +
                              PastaDasCopias(dm->DirDados) + ":\n");
        for (const TCopiaKOVA& c : copias)
            std::cout << "  " << ParaUtf8(DateToStr(c.dia) + "  " + ConteudoDaCopia(c)) << "\n";
        std::cout << ParaUtf8(
            "Para restaurar uma delas: kovacli restaurar DIA (por exemplo, "
            "kovacli restaurar " +
            DateToStr(copias.front().dia) + ")\n");
        return 0;
    }

    TDate pedido;
    if (!TryStrToDate(dia, pedido)) {
        std::cerr << ParaUtf8("kovacli: dia inválido: " + dia + " (use dd/mm/aaaa)\n");
        return 2;
    }
    const TCopiaKOVA* escolhida = nullptr;
    for (const TCopiaKOVA& c : copias) {
        if (c.dia == pedido) escolhida = &c;
    }
    if (!escolhida) {
        std::cerr << ParaUtf8("kovacli: não há cópia de segurança de " + DateToStr(pedido) +
                              " em " + PastaDasCopias(dm->DirDados) +
                              " (\"kovacli restaurar\" lista as que há). Nada foi restaurado.\n");
        return 1;
    }
    if (!escolhida->problema.empty()) {
        std::cerr << ParaUtf8("kovacli: a cópia de segurança de " + DateToStr(pedido) + " " +
                              ConteudoDaCopia(*escolhida) + ". Nada foi restaurado.\n");
        return 1;
    }
    try {
        const std::string guardado = dm->RestaurarCopia(escolhida->caminho);
        std::cout << ParaUtf8("Cópia de segurança de " + DateToStr(pedido) + " restaurada em " +
                              kova + ": " + ConteudoDaCopia(*escolhida) + ".\n");
        if (!guardado.empty())
            std::cout << ParaUtf8("O arquivo substituído foi guardado em " + guardado + "\n");
    } catch (const EOutroEscritor& e) {
        std::cerr << "kovacli: " << Legivel(e.what()) << "\n";
        return 3;
    } catch (const std::exception& e) {
        std::cerr << "kovacli: " << Legivel(e.what()) << "\n";
        return 1;
    }
    return 0;
}
