#include "FrmConsultaWin.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "ControladorDigitar.h"
#include "JanelaWin.h"
#include "TDM.h"
#include "Utilitarios.h"

namespace kova {
namespace {

enum : int { kGrade = 10, kUF };

}  // namespace

void ConsultaWin(HWND dono, TipoConsulta tipo) {
    const char* titulo = "Relação de Unidades da Federação";
    TDataSet* tabela = &DM->cdsUF;
    std::vector<GradeWin::Coluna> colunas;
    std::vector<std::string> ufs;
    if (tipo == TipoConsulta::UF) {
        colunas = {{"UF", "UF", LVCFMT_CENTER},
                   {"Descricao", "Nome", LVCFMT_LEFT},
                   {"ImprimeCodigoBarras", "Imprime Código de Barras?", LVCFMT_CENTER},
                   {"ImprimeCodigoBarrasVencido", "Imprime quando vencida?", LVCFMT_CENTER}};
    } else if (tipo == TipoConsulta::UFReceita) {
        titulo = "Relação de Receitas por Unidade da Federação";
        tabela = &DM->cdsReceita;
        colunas = {{"Codigo", "Receita", LVCFMT_CENTER},
                   {"Descricao", "Descrição", LVCFMT_LEFT},
                   {"LayoutCodigoBarra2", "LayOut", LVCFMT_CENTER}};
        DM->cdsUF.SetFiltered(false);
        const int campo = DM->cdsUF.FieldByName("UF").Index();
        for (TBookmark b : DM->cdsUF.VisibleRecords())
            ufs.push_back(ValueToString(DM->cdsUF.ValueAt(b, campo)));
    } else {
        titulo = "Relação de Produtos por Unidade da Federação";
        tabela = &DM->cdsUFProduto;
        colunas = {{"Receita", "Receita", LVCFMT_CENTER},
                   {"Descricao", "Produto", LVCFMT_LEFT},
                   {"Produto", "Código", LVCFMT_CENTER}};
        ufs = UFsDosProdutos(*DM);
    }
    // The tables as the other windows expect them, however the browser closes.
    struct Fecho {
        TipoConsulta tipo;
        ~Fecho() {
            if (!DM) return;
            if (tipo == TipoConsulta::UFReceita) FechaConsultaReceitas(*DM);
            if (tipo == TipoConsulta::UFProduto) DM->cdsUFProduto.SetFiltered(false);
        }
    } fecho{tipo};

    JanelaModal janela(dono, titulo, 720, 480, true);
    janela.Topico = kAjudaConsultas;
    HWND uf = nullptr;
    if (tipo != TipoConsulta::UF) {
        janela.Cria(WC_STATICW, "UF:", SS_LEFT | SS_CENTERIMAGE, 0, 8, 8, 30, 24);
        // Twenty states seen at once when it opens.
        uf = janela.Cria(WC_COMBOBOXW, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kUF, 40, 8,
                         80, 24 + 20 * 18);
        for (const std::string& u : ufs)
            SendMessageW(uf, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Largo(u).c_str()));
    }
    GradeWin grade(janela, kGrade, *tabela, colunas);
    HWND fechar =
        janela.Cria(WC_BUTTONW, "&Fechar", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL, 0, 0, 90, 28);
    janela.Dispoe = [&](int l, int a) {
        const int m = janela.E(8), topo = uf ? janela.E(40) : m;
        const int lb = janela.E(90), ab = janela.E(28);
        MoveWindow(grade.Janela(), m, topo, l - 2 * m, a - topo - ab - 2 * m, TRUE);
        MoveWindow(fechar, l - m - lb, a - m - ab, lb, ab, TRUE);
    };
    // The rows of the state chosen.
    auto mudouUF = [&] {
        if (uf) {
            const auto i = SendMessageW(uf, CB_GETCURSEL, 0, 0);
            const std::string escolhida = i >= 0 && size_t(i) < ufs.size() ? ufs[size_t(i)] : "";
            if (tipo == TipoConsulta::UFReceita) ConsultaReceitasDaUF(*DM, escolhida);
            if (tipo == TipoConsulta::UFProduto) ConsultaProdutosDaUF(*DM, escolhida);
        }
        grade.Mostra(tabela->VisibleRecords());
    };
    janela.Comando = [&](int id, int notificacao) {
        if (id == kUF && notificacao == CBN_SELCHANGE) mudouUF();
    };
    janela.Notificacao = [&](NMHDR& n) -> LRESULT {
        grade.Notificacao(n);
        return 0;
    };
    if (uf) SendMessageW(uf, CB_SETCURSEL, 0, 0);
    mudouUF();
    janela.Exibe(grade.Janela());
}

}  // namespace kova
