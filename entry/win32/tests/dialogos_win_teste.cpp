// Every kind of box of the Windows dialog service shown for real, one after another, over a main
// window of the program's own; keys typed by a test (dialogos_win.py) answer them. Before a box the
// program prints "abre N <what>", after it "N <answer>" with what the answer left in the tables.
// Everything printed is ASCII.

#include <windows.h>

#include <cstdio>
#include <string>

#include "ContextoVisual.h"
#include "DialogosWin.h"
#include "TDataSet.h"
#include "TDataSource.h"

namespace {

using namespace kova;

// The service the screens get, with the web page written out instead of opened.
class Dialogos : public DialogosWin {
public:
    bool AbrirEndereco(const std::string& endereco) override {
        std::printf("endereco %s\n", endereco.c_str());
        std::fflush(stdout);
        return true;
    }
};

int passo = 0;

void Abre(const char* oque) {
    std::printf("abre %d %s\n", ++passo, oque);
    std::fflush(stdout);
}

void Resposta(const std::string& resposta) {
    std::printf("%d %s\n", passo, resposta.c_str());
    std::fflush(stdout);
}

const char* Nome(TModalResult r) {
    switch (r) {
        case TModalResult::mrYes:
            return "Sim";
        case TModalResult::mrNo:
            return "Nao";
        case TModalResult::mrCancel:
            return "Cancelar";
        case TModalResult::mrOk:
            return "OK";
        default:
            return "nenhuma";
    }
}

// Whether a box was seen owned by the main window while the main window was disabled: the modal
// loop of a box tells its owner when it waits for input.
HWND principal = nullptr;
bool donoVisto = false;

LRESULT CALLBACK Principal(HWND janela, UINT mensagem, WPARAM w, LPARAM l) {
    if (mensagem == WM_ENTERIDLE && w == MSGF_DIALOGBOX) {
        const HWND caixa = reinterpret_cast<HWND>(l);
        if (GetWindow(caixa, GW_OWNER) == principal && !IsWindowEnabled(principal)) {
            donoVisto = true;
        }
    }
    return DefWindowProcW(janela, mensagem, w, l);
}

void Pergunta(const char* oque, const std::string& texto, TMsgDlgType tipo, TMsgDlgButtons botoes) {
    Abre(oque);
    donoVisto = false;
    const TModalResult r = MessageDlg(texto, tipo, botoes);
    Resposta(std::string(Nome(r)) + (donoVisto ? " dono-desabilitado" : " dono-livre") +
             (IsWindowEnabled(principal) ? " dono-reabilitado" : " dono-preso"));
}

std::string Confirmado(bool sim) { return sim ? "confirmado" : "recusado"; }

HWND JanelaPrincipal() {
    WNDCLASSW classe{};
    classe.lpfnWndProc = Principal;
    classe.hInstance = GetModuleHandleW(nullptr);
    classe.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    classe.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    classe.lpszClassName = L"KovaTesteDialogos";
    RegisterClassW(&classe);
    const HWND janela =
        CreateWindowExW(0, classe.lpszClassName, L"Janela do teste", WS_OVERLAPPEDWINDOW, 20, 20,
                        500, 300, nullptr, nullptr, classe.hInstance, nullptr);
    ShowWindow(janela, SW_SHOW);
    SetForegroundWindow(janela);
    return janela;
}

void Executa() {
    Pergunta("pergunta-nao-padrao", "Descartar o que foi digitado?", TMsgDlgType::mtConfirmation,
             TMsgDlgButtons::mbNoYes);
    Pergunta("pergunta-escape", "Salvar as alterações da KOVA?", TMsgDlgType::mtWarning,
             TMsgDlgButtons::mbYesNoCancel);
    Pergunta("pergunta-alt-n", "Imprimir agora?", TMsgDlgType::mtConfirmation,
             TMsgDlgButtons::mbYesNo);
    Pergunta("pergunta-alt-s", "Gravar a KOVA?", TMsgDlgType::mtConfirmation,
             TMsgDlgButtons::mbYesNoCancel);
    Pergunta("pergunta-tab", "Incluir outra KOVA?\rA anterior já foi gravada.",
             TMsgDlgType::mtInformation, TMsgDlgButtons::mbYesNoCancel);
    std::string longo = "[Erro: 144] ICMS em atraso. Emitir o documento eletrônico no código 1058:";
    for (int i = 0; i < 30; ++i) longo += " uma frase longa que não cabe numa linha só";
    Pergunta("erro-longo", longo, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);

    // The payment date of the slip being edited.
    TDataSet kova("cdsKOVA");
    kova.AddField({"DataPagamento", TFieldType::ftDate});
    kova.CreateDataSet();
    kova.Append();
    TField& data = kova.FieldByName("DataPagamento");
    data.SetText("01/06/2026");
    TDataSource padrao("dtsPadrao");
    padrao.SetDataSet(&kova);
    TPedidoDialogo pedido{"TfrmDataPagamento", "Data de Pagamento",
                          "Cálculo para pagamento em:", "", &padrao};
    Abre("data-enter");
    bool sim = ExecutarDialogo(pedido);
    Resposta(Confirmado(sim) + " DataPagamento=" + data.Text());
    // A complete date is written as it is typed, also when the box is then declined.
    Abre("data-escape");
    sim = ExecutarDialogo(pedido);
    Resposta(Confirmado(sim) + " DataPagamento=" + data.Text());

    TDataSet produtos("cdsUFProduto");
    produtos.AddField({"Produto", TFieldType::ftInteger});
    produtos.AddField({"Descricao", TFieldType::ftString, 40});
    produtos.CreateDataSet();
    produtos.AppendRecord({10, std::string("Arroz")});
    produtos.AppendRecord({20, std::string("Feijão")});
    produtos.AppendRecord({30, std::string("Milho")});
    produtos.First();
    produtos.Next();
    TDataSource fonteProdutos("dtsUFProduto");
    fonteProdutos.SetDataSet(&produtos);
    const TPedidoDialogo escolha{"TfrmSelecionaProduto", "Selecione Produto", "", "",
                                 &fonteProdutos};
    TField& produto = produtos.FieldByName("Produto");
    Abre("produto-enter");
    sim = ExecutarDialogo(escolha);
    Resposta(Confirmado(sim) + " Produto=" + produto.AsString());
    Abre("produto-escape");
    sim = ExecutarDialogo(escolha);
    Resposta(Confirmado(sim) + " Produto=" + produto.AsString());

    Abre("link");
    sim = ExecutarDialogo(
        {"TfrmMsgLink", "Atenção",
         "Emissão da KOVA desta UF deverá ser efetuada em programa específico desenvolvido pela "
         "mesma.\r\n\r\nPara mais informações e emissão, consulte a página:",
         "https://www.sefaz.exemplo.gov.br/kova", nullptr});
    Resposta(Confirmado(sim));

    Abre("texto");
    sim = ExecutarDialogo({"TfrmOutro", "Outro pedido", "Continuar?", "", nullptr});
    Resposta(Confirmado(sim));

    // The busy pointer while a slow step runs, the usual one afterwards.
    Abre("ampulheta");
    const HCURSOR espera = LoadCursorW(nullptr, IDC_WAIT);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    bool ocupado = false;
    {
        const BusyCursor ampulheta;
        ocupado = GetCursor() == espera;
    }
    Resposta(std::string(ocupado ? "espera" : "sem-espera") +
             (GetCursor() != espera ? " normal" : " ainda-espera"));

    // The manifest of the controls' current look is found in the module that links them.
    Abre("manifesto");
    const ContextoVisual visual;
    Resposta(visual.Ativo() ? "ativo" : "ausente");
}

}  // namespace

int main() {
    principal = JanelaPrincipal();
    Dialogos dialogos;
    const ScopedDialogService servico(dialogos);
    try {
        Executa();
    } catch (const std::exception& e) {
        std::printf("falha %s\n", e.what());
        return 1;
    }
    std::printf("fim\n");
    return 0;
}
