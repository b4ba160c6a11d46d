#include "TqrpKOVA.h"

#include "CalculaCodigoBarra.h"
#include "FormatacaoImpressao.h"
#include "TDM.h"

namespace kova {
namespace {

TFonte Fonte(const char* familia, double tamanho, bool negrito = false, bool italico = false,
             bool cinza = false) {
    TFonte f;
    f.familia = familia;
    f.tamanho = tamanho;
    f.negrito = negrito;
    f.italico = italico;
    f.cinza = cinza;
    return f;
}

TComponente Rotulo(const char* nome, double left, double top, double width, double height,
                   std::string caption, TFonte fonte, TAlinhamento al = TAlinhamento::Esquerda) {
    TComponente c;
    c.tipo = TComponente::Tipo::Rotulo;
    c.nome = nome;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.caption = std::move(caption);
    c.fonte = fonte;
    c.alinhamento = al;
    return c;
}

TComponente Campo(const char* nome, const char* campo, double left, double top, double width,
                  TFonte fonte, TAlinhamento al = TAlinhamento::Esquerda) {
    TComponente c = Rotulo(nome, left, top, width, 3.8, "", fonte, al);
    c.tipo = TComponente::Tipo::Campo;
    c.campo = campo;
    return c;
}

TComponente Caixa(const std::string& nome, double left, double top, double width, double height) {
    TComponente c;
    c.tipo = TComponente::Tipo::Retangulo;
    c.nome = nome;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    return c;
}

// A small pair of scissors, drawn once: two rings and two crossing blades.
std::shared_ptr<TBitmap1> Tesoura() {
    auto b = std::make_shared<TBitmap1>(44, 12);
    for (int x = 0; x < 44; ++x) {
        for (int y = 0; y < 12; ++y) {
            auto anel = [&](int cx, int cy) {
                int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                return d >= 6 && d <= 12;
            };
            bool lamina = x >= 9 && (y == 5 - (x - 9) / 7 || y == 6 + (x - 9) / 7) && x <= 43;
            if (anel(4, 3) || anel(4, 8) || (lamina && x < 42)) b->FillRect(x, y, x, y, true);
        }
    }
    return b;
}

}  // namespace

TqrpKOVA::TqrpKOVA() : Simbolo(std::make_shared<TBitmap1>(417, 41)) { Montar(); }

void TqrpKOVA::EscreveViaVertical(const std::string& entrada) {
    std::string texto = entrada;
    while (texto.size() < 28) {
        texto = " " + texto;
        if (texto.size() < 28) texto += " ";
    }
    TBanda& guia = Relatorio.Banda("qrbGuia");
    int n = 0;
    for (char c : texto) {
        if (c == '\xAA') {  // "ª" shares the label of the digit before it
            if (n >= 1) guia.Componente("qrlVia" + std::to_string(n)).caption += c;
            continue;
        }
        if (++n > 28) break;
        guia.Componente("qrlVia" + std::to_string(n)).caption = std::string(1, c);
    }
    for (int k = n + 1; k <= 28; ++k) guia.Componente("qrlVia" + std::to_string(k)).caption.clear();
}

void TqrpKOVA::Montar() {
    using T = TBanda::Tipo;
    TRelatorio& r = Relatorio;
    r.BeforePrint = [this] {
        ViaAtual = 0;
        CalculaCodigoBarra();
        SimboloDaKOVA(DM->cdsKOVA.FieldByName("CodigoBarra").AsString()).PaintBars(*Simbolo);
        Relatorio.Banda("qrbLinhaDigitavel").Componente("qrLinhaDigitavel").caption =
            LinhaDigitavel(DM->cdsKOVA.FieldByName("CodigoBarra").AsString());
    };
    r.OnNeedData = [this](bool& mais) {
        ++ViaAtual;
        mais = ViaAtual <= QtdeVias;
    };

    r.AdicionaBanda("qrbHeader", T::Cabecalho, 0).BeforePrint = [this](bool& p) {
        p = QtdeVias > 1;
    };
    r.AdicionaBanda("qrbDetalhe", T::Detalhe, 3.7).BeforePrint = [](bool& p) { p = false; };

    TBanda& barra = r.AdicionaBanda("qrbBarra", T::Filha, 13.2);
    TComponente imagem;
    imagem.tipo = TComponente::Tipo::Imagem;
    imagem.nome = "QRImage1";
    imagem.left = 80.4;
    imagem.top = 2.1;
    imagem.width = 110.3;
    imagem.height = 10.8;
    imagem.imagem = Simbolo;
    barra.Adiciona(imagem);
    barra.BeforePrint = [this](bool& p) { p = Faixas.qrbBarraBeforePrint(ViaAtual); };

    TBanda& linha = r.AdicionaBanda("qrbLinhaDigitavel", T::Filha, 2.9);
    linha.Adiciona(Rotulo("qrLinhaDigitavel", 81.5, -0.5, 109.3, 4.5,
                          "00000000000-0 00000000000-0 00000000000-0 00000000000-0",
                          Fonte("Courier New", 9, true), TAlinhamento::Centro));
    linha.BeforePrint = [this](bool& p) { p = Faixas.qrbLinhaDigitavelBeforePrint(); };

    TBanda& naoBarra = r.AdicionaBanda("qrbNaoBarra", T::Filha, 18.8);
    naoBarra.Adiciona(Rotulo("qrlBancoAutorizado", (191.0 - 157.4) / 2, 7.7, 157.4, 4.5,
                             kAvisoSemCodigoBarra, Fonte("Arial", 10, true), TAlinhamento::Centro));
    naoBarra.Adiciona(
        Rotulo("qrlBancoAutorizadoPeq", 0, 7.9, 191.0, 4.5, "", Fonte("Arial", 7, true)));
    naoBarra.BeforePrint = [this, &naoBarra](bool& p) {
        p = Faixas.qrbNaoBarraBeforePrint();
        naoBarra.Componente("qrlBancoAutorizado").caption = Faixas.qrlBancoAutorizado;
        naoBarra.Componente("qrlBancoAutorizadoPeq").caption = Faixas.qrlBancoAutorizadoPeq;
    };
    naoBarra.AfterPrint = [this] { Faixas.qrbNaoBarraAfterPrint(); };

    // Designed at 6.35 mm, printed at 15 pixels with its labels 2 pixels from the top.
    TBanda& micro = r.AdicionaBanda("qrbMicroFilme", T::Filha, 15 * kMmPorPixel);
    micro.Adiciona(Rotulo("qrlKOVA", 1.1, 2 * kMmPorPixel, 40, 3.4, "Fennolar - KOVA",
                          Fonte("Arial", 8, true)));
    TComponente& versao = micro.Adiciona(Rotulo("qrlVersao", 139.0, 2 * kMmPorPixel, 50.1, 3.4, "",
                                                Fonte("Arial Narrow", 7), TAlinhamento::Direita));
    versao.OnPrint = [](std::string& t) { t = TextoVersao(); };

    TBanda& guia = r.AdicionaBanda("qrbGuia", T::Filha, 69.85);
    MontarCorpo(guia);
    guia.BeforePrint = [this](bool&) {
        static const char* const nomes[] = {"PRIMEIRA VIA", "SEGUNDA VIA", "TERCEIRA VIA"};
        static const char* const vertical[] = {"1\xAA VIA BANCO / FISCO ORIGEM",
                                               "2\xAA VIA CONTRIBUINTE",
                                               "3\xAA VIA CONTRIBUINTE / FISCO"};
        const bool impressa = QtdeVias > 1 && ViaAtual >= 1 && ViaAtual <= 3;
        Relatorio.Banda("qrbGuia").Componente("qrlVia").caption =
            impressa ? nomes[ViaAtual - 1] : "";
        EscreveViaVertical(impressa ? vertical[ViaAtual - 1] : "");
    };

    TBanda& tesoura = r.AdicionaBanda("qrbTesoura", T::Filha, 5.3);
    TComponente pontilhada;
    pontilhada.tipo = TComponente::Tipo::LinhaPontilhada;
    pontilhada.nome = "QRShape1";
    pontilhada.left = 0;
    pontilhada.top = 2.5;
    pontilhada.width = 190.5;
    pontilhada.height = 1.4;
    tesoura.Adiciona(pontilhada);
    TComponente figura;
    figura.tipo = TComponente::Tipo::Imagem;
    figura.nome = "imgTesoura";
    figura.left = 177.1;
    figura.top = 0.4;
    figura.width = 11.6;
    figura.height = 3.2;
    figura.imagem = Tesoura();
    tesoura.Adiciona(figura);
    tesoura.BeforePrint = [this](bool& p) { p = ViaAtual != QtdeVias; };

    r.AdicionaBanda("qrbSummary", T::Sumario, 0);
}

void TqrpKOVA::MontarCorpo(TBanda& guia) {
    const TFonte legenda = Fonte("Arial Narrow", 7);
    guia.Adiciona(Caixa("qrsMoldura", 0, 0, 191.0, 69.85));
    auto caixa = [&](const char* numero, const char* legendaTexto, double left, double top,
                     double width, double height) {
        guia.Adiciona(Caixa(std::string("qrsBox") + numero, left, top, width, height));
        guia.Adiciona(Caixa(std::string("qrsNum") + numero, left, top, 3.5, 3.5));
        guia.Adiciona(Rotulo((std::string("qrlBox") + numero).c_str(), left + 0.4, top + 0.1,
                             width - 0.8, 3.0, std::string(numero) + "  " + legendaTexto, legenda));
    };
    struct Direita {
        const char *numero, *legenda, *campo, *componente;
    };
    const Direita direita[] = {
        {"01", "Código da UF Favorecida", "UFFavorecida", "QRDBText12"},
        {"02", "Código da Receita", "Receita", "QRDBText13"},
        {"03", "CNPJ / CPF do Contribuinte", "CICContribuinte", "QRDBText14"},
        {"04", "Nº do Documento de Origem", "DocumentoOrigem", "QRDBText15"},
        {"05", "Período de Referência / Nº Parcela", "Referencia", "QRDBText16"},
        {"06", "Valor Principal", "ValorPrincipal", "QRDBText17"},
        {"07", "Atualização Monetária", "AtualizacaoMonetaria", "QRDBText18"},
        {"08", "Juros", "Juros", "QRDBText19"},
        {"09", "Multa", "Multa", "QRDBText20"},
        {"10", "Total a Recolher", "TotalRecolher", "QRDBText21"},
    };
    for (int i = 0; i < 10; ++i) {
        const double top = 1.1 + 6.7 * i;
        caixa(direita[i].numero, direita[i].legenda, 146.8, top, 42.3, 7.1);
        guia.Adiciona(Campo(direita[i].componente, direita[i].campo, 149.9, top + 2.8, 37.0,
                            Fonte("Arial", 9), TAlinhamento::Direita));
    }
    guia.Componente("QRDBText12").OnPrint = [](std::string& t) { t = TextoCodigoUF(t); };
    guia.Componente("QRDBText13").OnPrint = [](std::string& t) { t = TextoReceita(t); };
    guia.Componente("QRDBText14").OnPrint = [](std::string& t) { t = FormataCIC(t); };
    guia.Componente("QRDBText15").OnPrint = [](std::string& t) { t = TextoDocumento(t); };
    guia.Componente("QRDBText16").OnPrint = [](std::string& t) {
        t = TextoReferencia(t, DM->cdsKOVA.FieldByName("UFFavorecida").AsString());
    };

    const TFonte f8 = Fonte("Arial", 8);
    caixa("13", "UF Favorecida", 4.6, 1.1, 104.4, 7.1);
    guia.Adiciona(Campo("QRDBText3", "UFFavorecida", 9.0, 4.5, 95.0, f8)).OnPrint =
        [](std::string& t) { t = TextoNomeUF(t); };
    caixa("14", "Data de Vencimento", 108.3, 1.1, 37.4, 7.1);
    guia.Adiciona(Campo("QRDBText4", "DataVencimento", 112.4, 4.0, 30.0, Fonte("Arial", 9)));
    caixa("15", "Nº do Convênio ou Protocolo / Especificação da Mercadoria", 4.6, 7.8, 141.1, 7.1);
    guia.Adiciona(Campo("QRDBText5", "Convenio", 9.0, 11.6, 135.0, f8));
    caixa("16", "Nome da Firma ou Razão Social", 4.6, 14.5, 94.9, 7.1);
    guia.Adiciona(Campo("QRDBText6", "RazaoSocial", 9.0, 18.3, 89.0, f8));
    caixa("17", "Inscrição Estadual na UF Favorecida", 99.1, 14.5, 46.6, 7.1);
    guia.Adiciona(Campo("QRDBText7", "InscricaoEstadual", 103.2, 18.3, 41.0, f8));
    caixa("18", "Endereço Completo", 4.6, 21.2, 141.1, 7.1);
    guia.Adiciona(Campo("QRDBText8", "Endereco", 8.7, 24.6, 135.0, f8));
    caixa("19", "Município", 4.6, 27.9, 55.0, 7.1);
    guia.Adiciona(Campo("QRDBText9", "Municipio", 8.7, 31.5, 50.0, f8));
    caixa("20", "UF", 59.3, 27.9, 15.9, 7.1);
    guia.Adiciona(Campo("QRDBText10", "UF", 62.4, 31.5, 12.0, f8));
    caixa("21", "CEP", 74.8, 27.9, 33.2, 7.1);
    guia.Adiciona(Campo("QRDBText11", "CEP", 79.4, 31.5, 27.0, f8));
    caixa("22", "DDD / Telefone", 107.6, 27.9, 38.1, 7.1);
    guia.Adiciona(Campo("QRDBText1", "Telefone", 111.1, 31.5, 33.0, f8));
    caixa("23", "Informações Complementares", 4.6, 34.6, 141.1, 20.5);
    TComponente& info = guia.Adiciona(
        Campo("QRDBText2", "Informacoes", 8.8, 37.7, 131.9, Fonte("Arial Narrow", 7)));
    info.height = 7.8;
    info.quebraLinhas = true;
    guia.Adiciona(Campo("QRDBText22", "Produto", 8.7, 45.5, 100.0, f8)).OnPrint =
        [](std::string& t) {
            TDataSet& kova = DM->cdsKOVA;
            t = TextoProduto(t, kova.FieldByName("UFFavorecida").AsString(),
                             kova.FieldByName("Receita").AsString());
        };
    guia.Adiciona(Rotulo("qrlValidade", 6.6, 49.5, 138.0, 4.4, "", Fonte("Arial", 10, true)))
        .OnPrint = [](std::string& t) { t = TextoValidade(); };
    guia.Adiciona(Rotulo("qrlVia", 6.0, 46.9, 138.3, 7.8, "VIA",
                         Fonte("Arial", 16, false, true, true), TAlinhamento::Direita));
    caixa("24", "Autenticação", 4.6, 54.7, 141.1, 13.8);
    guia.Adiciona(Rotulo("qrlTipoVersao", 6.0, 57.9, 138.3, 7.8, "",
                         Fonte("Arial", 16, false, true, true), TAlinhamento::Centro))
        .OnPrint = [](std::string& t) { t = TextoTipoVersao(); };
    for (int i = 1; i <= 28; ++i) {
        const double top = 0.4 + (i - 1) * (66.6 / 27.0);
        guia.Adiciona(Rotulo(("qrlVia" + std::to_string(i)).c_str(), 0.4, top, 3.5,
                             i == 12 ? 6.3 : 3.9, "", Fonte("Arial Narrow", 6),
                             TAlinhamento::Centro));
    }
}

std::vector<TPagina> TqrpKOVA::Executa(int vias) {
    QtdeVias = vias;
    Relatorio.tabela = &DM->cdsKOVA;
    return Relatorio.Executa();
}

}  // namespace kova
