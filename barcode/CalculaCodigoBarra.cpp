#include "CalculaCodigoBarra.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "Desligado.h"
#include "Digitos.h"
#include "Errors.h"
#include "RegrasDaUF.h"
#include "TDM.h"
#include "Texto.h"
#include "VersaoCodigoBarra.h"

namespace kova {
namespace {

// A whole number written with at least n digits (a minus sign before them when negative).
std::string N(long long v, int n) {
    // Zero-padded to n digits (more when the number needs them), a "-" before a negative one.
    const unsigned long long a = v < 0 ? 0ULL - (unsigned long long)v : (unsigned long long)v;
    std::string digitos = std::to_string(a);
    if (int(digitos.size()) < n) digitos.insert(0, size_t(n) - digitos.size(), '0');
    return v < 0 ? "-" + digitos : digitos;
}

std::string Pad(const std::string& texto, int n) { return CompletaEsquerda(texto, "0", n); }

// A part of the slip that a layout reads as a number; `parte` names it in the failure and `campo`
// is the slip's field it comes from (empty for a reference table).
int ParaInteiro(const std::string& texto, const char* parte, const char* campo = "") {
    int32_t v;
    if (!TryStrToInt(texto, v)) {
        throw ECodigoBarra(campo, std::string(parte) + " '" + texto +
                                      "' não é um número válido para o código de barras");
    }
    return v;
}

bool SoDigitos(std::string_view s) {
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A piece of the content taken from a field of the slip: digits only, or the field is named.
std::string Digitos(const char* campo, std::string pedaco) {
    if (!SoDigitos(pedaco)) {
        throw ECodigoBarra(campo, "O código de barras não comporta o valor do campo " +
                                      std::string(campo) + " ('" +
                                      DM->cdsKOVA.FieldByName(campo).AsString() + "')");
    }
    return pedaco;
}

int ParaInteiroPadrao(const std::string& texto, int padrao) {
    int32_t v;
    return TryStrToInt(texto, v) ? v : padrao;
}

// Characters de..de+n-1 (from 1) of a text, as much of them as there is.
std::string Copia(const std::string& s, size_t de, size_t n) {
    return de - 1 < s.size() ? s.substr(de - 1, n) : std::string();
}

bool TemLetra(const std::string& cic) {
    return cic.find_first_not_of("0123456789") != std::string::npos;
}

std::string MensagemContribuinteComLetras(const std::string& receita) {
    return "O código de barras da receita " + receita +
           " leva os dígitos do CNPJ/CPF do contribuinte e não comporta um CNPJ com letras";
}

// Layouts that pack the document of origin as it was typed, not only its digits; the import
// declaration layouts also read its year from it.
bool LevaDocumentoComoEsta(int L) {
    switch (L) {
        case 2:
        case 6:
        case 7:
        case 8:
        case 11:
        case 13:
        case 15:
        case 16:
        case 17:
        case 19:
            return true;
        default:
            return false;
    }
}
bool LeAnoDoDocumento(int L) { return L == 2 || L == 17; }

// Layouts whose 22 positions carry the taxpayer's digits.
bool LevaContribuinte(int L) {
    switch (L) {
        case 1:
        case 2:
        case 9:
        case 12:
        case 14:
        case 15:
        case 17:
        case 18:
        case 20:
        case 21:
        case 22:
        case 23:
        case 24:
        case 25:
        case 26:
        case 27:
        case 28:
        case 29:
        case 30:
            return true;
        default:
            return false;
    }
}

// The layout (1 to 30, 0 for none) that packs the 22 last positions: the revenue's, the state's
// "LY" row for it, or the courier layout.
int Layout(TDM& dm, const std::string& uf, const std::string& receita) {
    int L = dm.cdsReceita.FindKey({receita})
                ? dm.cdsReceita.FieldByName("LayoutCodigoBarra").AsInteger()
                : 0;
    if (const auto ly = RegraUF(dm, uf, receita, TFlagRegra::LY)) {
        L = ParaInteiro(ly->texto, "O leiaute do código de barras");
    }
    if (!dm.CodigoCourier.empty()) L = 30;
    return L;
}

// An empty date counts as the zero date of the calendar the slips were first kept in.
TDate DataOuZero(const TField& f) { return f.IsNull() ? MakeDate(1899, 12, 30) : f.AsDate(); }

int PeriodoTabelaA(const std::string& periodicidade, int p) {
    if (periodicidade == "Q") return p + 1;
    if (periodicidade == "D") return p + 3;
    if (periodicidade == "T") {
        static const int t[] = {0, 4, 2, 1, 5, 3, 6};
        return p >= 1 && p <= 6 ? t[p] : p;
    }
    if (periodicidade == "DM") {
        static const int t[] = {0, 4, 5, 6, 1};
        return p >= 1 && p <= 4 ? t[p] : p;
    }
    return p;
}

int PeriodoTabelaB(const std::string& periodicidade, int p) {
    if (periodicidade == "M") return p + 1;
    if (periodicidade == "Q") return p + 3;
    if (periodicidade == "D") return p + 4;
    if (periodicidade == "T") {
        static const int t[] = {0, 5, 3, 2, 6, 4, 7};
        return p >= 1 && p <= 6 ? t[p] : p;
    }
    if (periodicidade == "DM") {
        static const int t[] = {0, 5, 6, 7, 2};
        return p >= 1 && p <= 4 ? t[p] : p;
    }
    return p;
}

// Everything a build reads and derives, gathered once.
struct Montagem {
    TDM& dm;
    std::string uf, receita, cic, doc, referencia, periodicidade, inscricao;
    int subReceita = 0, produto = 0;
    double principal = 0, juros = 0, multa = 0, total = 0;
    TDate vencimento;
    int V = 4, B = 1998, T = 0, Tl = 1, R = 0;
    long double PR = 0, JR = 0, MR = 0;
    int p = 1, m = 1, y = 1998;

    explicit Montagem(TDM& d) : dm(d) {
        TDataSet& k = dm.cdsKOVA;
        uf = k.FieldByName("UFFavorecida").AsString();
        receita = k.FieldByName("Receita").AsString();
        cic = k.FieldByName("CICContribuinte").AsString();
        doc = k.FieldByName("DocumentoOrigem").AsString();
        referencia = k.FieldByName("Referencia").AsString();
        inscricao = k.FieldByName("InscricaoEstadual").AsString();
        subReceita = k.FieldByName("SubReceita").AsInteger();
        produto = k.FieldByName("Produto").AsInteger();
        principal = k.FieldByName("ValorPrincipal").AsFloat();
        juros = k.FieldByName("Juros").AsFloat();
        multa = k.FieldByName("Multa").AsFloat();
        total = k.FieldByName("TotalRecolher").AsFloat();
        vencimento = DataOuZero(k.FieldByName("DataVencimento"));
        Tl = cic.size() == 11 ? 2 : 1;
    }

    // Year digit: Y - B - 10 (V - 4) as an unsigned 16-bit number.
    std::string Yd(int ano) const { return std::to_string(uint16_t(ano - B - 10 * (V - 4))); }
    static int AnoCompleto(int yy) { return int(uint16_t(yy >= 70 ? 1900 + yy : 2000 + yy)); }
    static int Decada(int ano) { return ((ano - 1970) / 10) % 10; }
    int J(int t) const {
        int dia = int((vencimento - MakeDate(YearOf(vencimento), 1, 1)).count()) + 1;
        return dia + (t - 1) * 367;
    }
    std::string AnoVencimento() const { return Yd(YearOf(vencimento)); }
    std::string CIC12(int t) const {
        if (TemLetra(cic))
            throw ECodigoBarra("CICContribuinte", MensagemContribuinteComLetras(receita));
        std::string c =
            t == 1 ? (cic.size() >= 2 ? cic.substr(0, cic.size() - 2) : std::string()) : cic;
        return Pad(c, 12);
    }
    // The month code; `campo` is where its month and year came from.
    std::string CodigoMes(int mes, int t, int d, bool reduzido,
                          const char* campo = "Referencia") const {
        int codigo = mes + 12 * (t - 1) + 25 * d;
        if (reduzido && d > 3) codigo -= 100;
        return Digitos(campo, N(codigo, 2));
    }
    std::string Documento(int n) const { return Digitos("DocumentoOrigem", Pad(doc, n)); }
    std::string Mes() const { return Digitos("Referencia", N(m, 2)); }
    std::string Produto() const { return Digitos("Produto", N(produto, 2)); }
    std::string SubCodigo() {
        if (subReceita == 0 || dm.cdsKOVA.FieldByName("SubReceita").IsNull()) return "00";
        if (!dm.cdsSubReceita.Locate("Codigo;SubReceita", {receita, int32_t(subReceita)}))
            return "00";
        return N(dm.cdsSubReceita.FieldByName("CodigoBarra").AsInteger(), 2);
    }
    std::string ReferenciaInteira3() const {
        int32_t v;
        return TryStrToInt(referencia, v) ? Digitos("Referencia", N(v, 3)) : "000";
    }
    std::string Parcela() const {
        return Digitos("Referencia",
                       N(ParaInteiro(referencia, "O número da parcela", "Referencia"), 3));
    }
    // A share of the total (a percentage); a negative amount has no digits for it.
    static std::string Fracao(const char* campo, long double v, long double fator, int n) {
        return Digitos(campo, N(static_cast<long long>(v * fator), n));
    }

    // Layouts 2 and 17: the document's year and the two overwritten positions. Position 22 takes
    // one digit of the year of `campoAno` (the reference, or the due date): a year before the base
    // year has none.
    std::string Declaracao(std::string& s, int anoPosicao22, int mes, const char* campoAno) {
        s[20] = doc.size() == 11 ? '6' : '5';
        s[21] = Digitos(campoAno, std::to_string(anoPosicao22 - B - 10 * (V - 4)).substr(0, 1))[0];
        const std::string docl = Digitos("DocumentoOrigem", doc.size() == 11 ? doc.substr(1) : doc);
        int Y = AnoCompleto(
            ParaInteiro(docl.substr(0, 2), "O ano do documento de origem", "DocumentoOrigem"));
        return CodigoMes(mes, T, Decada(Y), true, campoAno) + CIC12(T) + Pad(docl, 10).substr(1, 8);
    }

    std::string Layout(int L, std::string& s) {
        const bool pe = uf == "PE";
        const std::string pA = std::to_string(PeriodoTabelaA(periodicidade, p));
        switch (L) {
            case 1:
                return N(J(T), 3) + AnoVencimento() + CIC12(T) + pA + Mes() + Yd(y) + Produto();
            case 2:
                return Declaracao(s, y, m, "Referencia");
            case 3:
                return pe ? Pad(SomenteDigitos(doc), 16) + "000001"
                          : Pad(SomenteDigitos(doc), 15) + "0000000";
            case 4:
                return pe ? Pad(SomenteDigitos(doc), 16) + ReferenciaInteira3() + SubCodigo() + "1"
                          : Pad(SomenteDigitos(doc), 15) + ReferenciaInteira3() + SubCodigo() +
                                "00";
            case 5:
                return pe ? Pad(SomenteDigitos(doc), 16) + SubCodigo() + "000" + "1"
                          : Pad(SomenteDigitos(doc), 15) + SubCodigo() + "00000";
            case 6:
                return Documento(9) + Fracao("Juros", JR, 1000, 5) + Fracao("Multa", MR, 1000, 6) +
                       "00";
            case 7:
                return Documento(11) + Parcela() + Fracao("Juros", JR, 1000, 5) + "000";
            case 8:
                return Documento(12) + Fracao("Juros", JR, 1000, 5) + Fracao("Multa", MR, 1000, 5);
            case 9:
                return std::to_string(T) + CIC12(T) + pA + Mes() + Yd(y) +
                       Fracao("Juros", JR, 1000, 5);
            case 10: {
                long double pr = principal == total ? 0 : PR;
                return Pad(SomenteDigitos(doc), 15) + Fracao("ValorPrincipal", pr, 10, 3) +
                       Fracao("Juros", JR, 1, 2) + Fracao("Multa", MR, 1, 2);
            }
            case 11: {
                long double pr = principal == total ? 0 : PR;
                return Documento(12) + Parcela() + Fracao("ValorPrincipal", pr, 10, 3) +
                       Fracao("Juros", JR, 1, 2) + Fracao("Multa", MR, 1, 2);
            }
            case 12: {
                int pb = PeriodoTabelaB(periodicidade, p);
                int pm = m >= 1 && m <= 10 ? pb * 10 + m : (m == 11 ? 11 + pb : (m == 12 ? pb : 0));
                return CIC12(T) + N(pm, 2) + Yd(y) + Fracao("ValorPrincipal", PR, 10, 3) +
                       Fracao("Juros", JR, 1, 2) + Fracao("Multa", MR, 1, 2);
            }
            case 13:
                return Documento(15) + pA + Mes() + Yd(y) + "000";
            case 14: {
                std::string semUltimo = doc.empty() ? doc : doc.substr(0, doc.size() - 1);
                return CodigoMes(m, Tl, Decada(AnoCompleto(y)), false) + CIC12(Tl) +
                       Pad(SomenteDigitos(semUltimo), 8);
            }
            case 15: {
                int mes = ParaInteiro(Copia(referencia, 2, 2), "O mês do período de referência",
                                      "Referencia");
                int ano = ParaInteiro(Copia(referencia, 4, 4), "O ano do período de referência",
                                      "Referencia");
                return CodigoMes(mes, Tl, Decada(AnoCompleto(ano)), false) + CIC12(Tl) +
                       Documento(8);
            }
            case 16: {
                char b[16];
                std::snprintf(b, sizeof b, "%02u%02u%04d", DayOf(vencimento), MonthOf(vencimento),
                              YearOf(vencimento));
                return Documento(13) + b + "0";
            }
            case 17:
                return Declaracao(s, YearOf(vencimento), int(MonthOf(vencimento)),
                                  "DataVencimento");
            case 18:
                return N(J(T), 3) + AnoVencimento() + CIC12(T) + "000000";
            case 19:
                return Documento(13) + Digitos("InscricaoEstadual", Pad(inscricao, 9));
            case 20:
            case 24:
                return N(J(T), 3) + AnoVencimento() + CIC12(T) + pA + Mes() + Yd(y) + SubCodigo();
            case 21:
                if (TemLetra(cic))
                    throw ECodigoBarra("CICContribuinte", MensagemContribuinteComLetras(receita));
                return std::to_string(T) + Pad(cic, 14) + Pad(SomenteDigitos(doc), 6) + "0";
            case 22:
                return std::to_string(Tl) + CIC12(Tl) + Pad(SomenteDigitos(doc), 9);
            case 23:
                return N(J(T), 3) + AnoVencimento() + CIC12(T) + Pad(SomenteDigitos(doc), 6);
            case 25:
                return N(J(Tl), 3) + AnoVencimento() + CIC12(Tl) + Pad(SomenteDigitos(doc), 6);
            case 26:
                return CodigoMes(m, Tl, Decada(AnoCompleto(y)), true) +
                       Digitos("Referencia", Copia(referencia, 1, 1) + Copia(referencia, 7, 1)) +
                       CIC12(Tl) + Pad(SomenteDigitos(doc), 6);
            case 27: {
                int d = ((AnoCompleto(y) - 2000) / 10) % 10;
                return CodigoMes(m, Tl, d, false) + CIC12(Tl) + Pad(SomenteDigitos(doc), 6) +
                       Produto();
            }
            case 28: {
                std::string digitoProduto = produto == 37 ? "1" : (produto == 99 ? "9" : "0");
                const int ultimo =
                    ParaInteiro(Copia(referencia, 7, 1), "O último dígito do período de referência",
                                "Referencia");
                return CodigoMes(m, Tl, Decada(AnoCompleto(y)), true) + CIC12(Tl) +
                       Pad(SomenteDigitos(doc), 6) + Digitos("Referencia", std::to_string(ultimo)) +
                       digitoProduto;
            }
            case 29: {
                std::string d = SomenteDigitos(doc);
                return CIC12(Tl) + (receita == "100072" ? Copia(d, 6, 10) : Pad(d, 10));
            }
            case 30:
                return Digitos("Referencia",
                               N(ParaInteiroPadrao(Copia(referencia, 6, 2), B % 100), 2)) +
                       Mes() + Pad(dm.CodigoCourier, 2) + N(J(T), 3) + AnoVencimento() + CIC12(T);
            default:
                return std::string(22, '0');
        }
    }

    std::string Monta() {
        std::string s = "8580";
        // The cents the total check and the printed box read, also for a slip stored before
        // amounts were held to the cent.
        s += Digitos("TotalRecolher", N(std::llround(Arredonda(2, total) * 100), 11));

        const bool temUF = dm.cdsUF.FindKey({uf});
        if (temUF) periodicidade = dm.cdsUF.FieldByName("Periodicidade").AsString();
        if (uf == "PB" && receita == "100080" && subReceita == 13) {
            s += "0260";
        } else {
            s +=
                temUF ? N(dm.cdsUF.FieldByName("CodigoBarra").AsInteger(), 4) : std::string("0000");
        }

        const TVersaoCodigoBarra versao = VersaoCodigoBarra(uf, referencia, YearOf(vencimento));
        V = versao.versao;
        B = versao.anoBase;
        dm.AnoBase = B;
        dm.VersaoCodigoBarras = V;
        s += std::to_string(V);

        bool temReceita = dm.cdsReceita.FindKey({receita});
        if (temReceita) {
            R = dm.cdsReceita.FieldByName("CodigoBarra").AsInteger();
            std::string tipo = dm.cdsReceita.FieldByName("TipoDocumento").AsString();
            T = tipo == "0" ? Tl : ParaInteiro(tipo, "O tipo de documento da receita");
        }

        if (total > 0) {
            PR = static_cast<long double>(principal) * 100 / total;
            JR = static_cast<long double>(juros) * 100 / total;
            MR = static_cast<long double>(multa) * 100 / total;
        }

        if (uf == "GO" && R == 13) R = 99;
        s += receita == "100056" && !dm.CodigoCourier.empty() ? std::string("14") : N(R, 2);

        const int L = kova::Layout(dm, uf, receita);

        p = ParaInteiroPadrao(Copia(referencia, 1, 1), 1);
        m = ParaInteiroPadrao(Copia(referencia, 2, 2), 1);
        y = ParaInteiroPadrao(Copia(referencia, 4, 4), B);

        s += Layout(L, s);
        s = CompletaDireita(s, "0", 44);
        // Every piece a slip's value fills was checked above; what is left is the tables' own.
        if (!SoDigitos(s))
            throw ECodigoBarra("", "O código de barras '" + s + "' não é formado só de dígitos");
        std::string dv = Modulo11(s.substr(0, 3) + s.substr(4), 9);
        return s.substr(0, 3) + dv + s.substr(4);
    }
};

}  // namespace

std::string RecusaContribuinteNoCodigoBarra() {
    TDM& dm = *DM;
    const TDataSet& k = dm.cdsKOVA;
    const std::string receita = k.FieldByName("Receita").AsString();
    if (!TemLetra(Trim(k.FieldByName("CICContribuinte").AsString()))) return {};
    if (!LevaContribuinte(Layout(dm, k.FieldByName("UFFavorecida").AsString(), receita))) return {};
    return MensagemContribuinteComLetras(receita);
}

bool CodigoBarraComportaDocumento() {
    TDM& dm = *DM;
    const TDataSet& k = dm.cdsKOVA;
    const std::string doc = k.FieldByName("DocumentoOrigem").AsString();
    // Digits go into every layout.
    if (!doc.empty() && SoDigitos(doc)) return true;
    int L;
    try {
        L = Layout(dm, k.FieldByName("UFFavorecida").AsString(),
                   k.FieldByName("Receita").AsString());
    } catch (const ECodigoBarra&) {
        return true;  // a layout that is not a number: the build tells that fault of the tables
    }
    if (!LevaDocumentoComoEsta(L)) return true;
    return !doc.empty() ? false : !LeAnoDoDocumento(L);
}

std::string MontaCodigoBarra() {
    Montagem montagem(*DM);
    return montagem.Monta();
}

std::string CalculaCodigoBarra() { return GuardaCodigoBarra(MontaCodigoBarra()); }

std::string GuardaCodigoBarra(const std::string& conteudo) {
    TDM& dm = *DM;
    std::function<void(TDataSource&, TField*)> semUso;
    Desligado<std::function<void(TDataSource&, TField*)>> dados(
        dm.dtsEntrada ? dm.dtsEntrada->OnDataChange : semUso);
    Desligado<TDataSet::TEvent> antesGravar(dm.cdsKOVA.BeforePost);
    TDataSet& kova = dm.cdsKOVA;
    if (kova.State() != TDataSetState::dsEdit && kova.State() != TDataSetState::dsInsert)
        kova.Edit();
    kova.FieldByName("CodigoBarra").SetAsString(conteudo);
    kova.Post();
    return conteudo;
}

}  // namespace kova
