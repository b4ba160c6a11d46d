// The document of origin (errors 13 to 31): whether it is required, padding and length from the
// state's "DO" rule, the import-declaration format of revenue 100056, and the 21 format types of
// the states (errors 32 to 73 and 72A).

#include "RegrasDocumento.h"

#include <algorithm>
#include <string>

#include "DigitosVerificadores.h"
#include "Predicados.h"
#include "Regras.h"
#include "TDM.h"
#include "Texto.h"
#include "VersaoCodigoBarra.h"

namespace kova {
namespace {

// Characters i..j of v (from 1), as many as there are.
std::string Trecho(const std::string& v, size_t i, size_t j) {
    if (i == 0 || i > v.size() || j < i) return std::string();
    return v.substr(i - 1, j - i + 1);
}

// Character i of v, or nothing when v is shorter: then it never equals a check digit.
std::string Posicao(const std::string& v, size_t i) { return Trecho(v, i, i); }

std::string Base(const std::string& v) { return v.empty() ? v : v.substr(0, v.size() - 1); }
std::string Base2(const std::string& v) {
    return v.size() < 2 ? std::string() : v.substr(0, v.size() - 2);
}
std::string Ultimo(const std::string& v) { return v.empty() ? v : v.substr(v.size() - 1); }
std::string Ultimos2(const std::string& v) { return v.size() < 2 ? v : v.substr(v.size() - 2); }

bool Entre(int x, int a, int b) { return x >= a && x <= b; }

// One format type; v may be shortened (type 21). Returns the error number, or nullptr.
const char* Formato(TCritica& c, int tipo, std::string& v) {
    const size_t L = v.size();
    switch (tipo) {
        case 1:
            return Ultimo(v) == Modulo11(Base(v), 9) ? nullptr : "32";
        case 2:
            return Ultimos2(v) == DoisDigitosModulo11(Base2(v), 9) ? nullptr : "33";
        case 3: {
            int32_t y;
            if (!TryStrToInt(L >= 4 ? v.substr(L - 4) : v, y)) return "34";
            // The base year of this slip's own barcode, whatever slip was built before it.
            const TField& vencimento = c.kova.FieldByName("DataVencimento");
            const int base =
                VersaoCodigoBarra(c.Campo("UFFavorecida"),
                                  c.kova.FieldByName("Referencia").AsString(),
                                  vencimento.IsNull() ? 1899 : YearOf(vencimento.AsDate()))
                    .anoBase;
            return Entre(y, base - 20, base + 5) ? nullptr : "35";
        }
        case 4: {
            std::string d1 = Modulo10(Base2(v), true);
            std::string d2 = Modulo11(Base2(v) + d1, 9);
            return Ultimos2(v) == d1 + d2 ? nullptr : "36";
        }
        case 5: {
            if (Ultimo(v) != Modulo11(Base(v), 7)) return "37";
            const std::string c5 = Posicao(v, 5);
            if (c5 == "3" || c5 == "4")
                return Entre(InteiroOuFalha(Trecho(v, 3, 4)), 1, 16) ? nullptr : "38";
            if (c5 == "6" || c5 == "7")
                return InteiroOuFalha(Trecho(v, 3, 4)) == 0 ? nullptr : "39";
            return "40";
        }
        case 6:
            return Ultimo(v) == Modulo10(Base(v), true) ? nullptr : "41";
        case 7: {
            if (Trecho(v, 1, 4) != "0000") return "42";
            const std::string c5 = Posicao(v, 5);
            if (c5 != "1" && c5 != "2" && c5 != "3") return "44";
            return Ultimo(v) == Modulo11(Base(v), 7) ? nullptr : "43";
        }
        case 8: {
            if (v == "0000000000000") return "45";
            if (Trecho(v, 1, 2) == "00") return "46";
            int32_t n;
            if (!TryStrToInt(Trecho(v, 10, 12), n)) return "48";
            if (!Entre(n, 1, 120) && n != 965 && n != 999) return "47";
            if (Posicao(v, 9) != Modulo11(Trecho(v, 1, 8), 7)) return "49";
            return Ultimo(v) == Modulo11(Base(v), 7) ? nullptr : "50";
        }
        case 10: {
            const std::string p = Trecho(v, 1, 3);
            if (p != "111" && p != "112" && p != "113" && p != "114") return "51";
            return Posicao(v, 17) == Modulo11(Trecho(v, 1, 16), 9) ? nullptr : "52";
        }
        case 11:
            return Ultimo(v) == Modulo11(Base(v), -9) ? nullptr : "53";
        case 12:
            if (Trecho(v, 1, 2) == "00") return nullptr;
            return Ultimo(v) == Modulo11(Base(v), -9) ? nullptr : "54";
        case 13: {
            if (Ultimo(v) != Modulo10(Base(v), true)) return "55";
            int y = InteiroOuFalha(L >= 3 ? v.substr(L - 3, 2) : std::string());
            const bool ok = Entre(y, 30, 37) || y == 40 || Entre(y, 52, 60) || y == 63 || y == 65 ||
                            y == 70 || y == 71 || y == 75 || y == 80 || y == 82 || y == 85 ||
                            Entre(y, 89, 99);
            return ok ? nullptr : "56";
        }
        case 14:
            return Ultimos2(v) == Resto97(Base2(v)) ? nullptr : "57";
        case 15:
            if (Trecho(v, 1, 10) < "1994000000") return "58";
            return Ultimos2(v) == DoisDigitosModulo11(Base2(v), 9) ? nullptr : "59";
        case 16:
        case 18: {
            if (tipo == 18 && c.Campo("Receita") == "100064" && c.Campo("UFFavorecida") == "MG" &&
                Trecho(v, 1, 5) == "04002") {
                return "64";
            }
            std::string d1 = Modulo10Variante(Base2(v), true);
            std::string d2 = Modulo11Pesos2a11(Base2(v) + d1);
            return Ultimos2(v) == d1 + d2 ? nullptr : (tipo == 16 ? "61" : "66");
        }
        case 17: {
            const std::string p = Trecho(v, 1, 2);
            if (!(p >= "90" && p <= "99") && !(p >= "00" && p <= "05")) return "62";
            return Posicao(v, 9) == Modulo11(Trecho(v, 1, 8), 9) ? nullptr : "63";
        }
        case 19:
            return ClasseDocumento(v, int(L)) != 0 ? nullptr : "67";
        case 20: {
            if (!Entre(InteiroOuFalha(Trecho(v, 1, 4)), 1970, 2010)) return "68";
            return Posicao(v, 10) == Modulo11(Trecho(v, 1, 9), 10) ? nullptr : "69";
        }
        case 21: {
            if (Ultimo(v) == Modulo11(Base(v), 9)) return nullptr;
            if (Trecho(v, 1, 2) != "00") return "70";
            v = v.substr(2);
            if (Ultimo(v) == Modulo10(Base(v), false) || Ultimo(v) == Modulo10(Base(v), true))
                return nullptr;
            return "71";
        }
        case 22:
            return ConfereTipo22(v) ? nullptr : "72A";
        case 23:
            return Ultimo(v) == DigitoTipo23(v) ? nullptr : "73";
        default:
            return nullptr;  // types 0, 9 and unknown ones have no format
    }
}

// The import-declaration format of revenue 100056: AANNNNNNND or 4AANNNNNNND. Gives the message
// of the first failing rule, or the empty text.
std::string FormatoDeclaracao(TCritica& c, std::string& v) {
    const bool silencioso = c.Silencioso();
    if (SoZeros(v)) return Mensagem("17");
    const size_t L = v.size();
    if (L < 10 || L > 11) return MensagemPar("18", "19", silencioso);
    int32_t aa;
    if (L == 10) {
        if (!TryStrToInt(v.substr(0, 2), aa)) return Mensagem("20");
        // A regular or simplified number given without its first character, told by its check
        // digit.
        if (Modulo11("2" + v.substr(0, 9), 9) != v.substr(9, 1)) {
            if (Modulo11("4" + v.substr(0, 9), 9) != v.substr(9, 1)) return Mensagem("21");
            v = "4" + v;
        }
    } else {
        if (!TryStrToInt(v.substr(1, 2), aa)) return Mensagem("22");
        if (Modulo11(v.substr(0, 10), 9) != v.substr(10, 1)) return Mensagem("23");
        if (v[0] != '2' && v[0] != '4') return MensagemPar("24", "25", silencioso);
    }
    const int ano = aa < 70 ? aa + 2000 : aa + 1900;
    if (ano < 1970 || ano > c.dm.AnoAtual + 1) return Mensagem26ou27(silencioso, c.dm.AnoAtual);
    return std::string();
}

// Whether a beginning and one of the first characters a type demands can stand together: the
// shorter is where the longer begins.
bool CabeNoInicio(std::string_view inicio, std::string_view exigido) {
    const size_t n = std::min(inicio.size(), exigido.size());
    return inicio.substr(0, n) == exigido.substr(0, n);
}

bool AlgumCabe(std::string_view inicio, int de, int ate, int digitos) {
    for (int x = de; x <= ate; ++x) {
        std::string exigido = std::to_string(x);
        exigido.insert(0, size_t(digitos) - exigido.size(), '0');
        if (CabeNoInicio(inicio, exigido)) return true;
    }
    return false;
}

}  // namespace

// Each case mirrors the first test of its type in Formato above.
bool FormatoAdmiteInicio(int tipo, std::string_view inicio) {
    switch (tipo) {
        case 5:  // character 5 is 3 or 4 (a series), 6 or 7
            return inicio.size() < 5 ||
                   std::string_view("3467").find(inicio[4]) != std::string_view::npos;
        case 7:
            return CabeNoInicio(inicio, "0000");
        case 8:
            return !(inicio.size() >= 2 && inicio.substr(0, 2) == "00");
        case 10:
            return AlgumCabe(inicio, 111, 114, 3);
        case 15: {  // characters 1 to 10 from 1994000000 on
            std::string maior(inicio.substr(0, std::min<size_t>(inicio.size(), 10)));
            maior.resize(10, '9');
            return maior >= "1994000000";
        }
        case 17:
            return AlgumCabe(inicio, 90, 99, 2) || AlgumCabe(inicio, 0, 5, 2);
        case 20:
            return AlgumCabe(inicio, 1970, 2010, 4);
        default:
            return true;
    }
}

void RegraDocumentoOrigem(TCritica& c) {
    TDM& dm = c.dm;
    const std::string uf = c.Campo("UFFavorecida");
    const std::string receita = c.Campo("Receita");
    std::string v = c.v;

    if (!dm.cdsReceita.FindKey({receita})) return c.Erro("13");
    if (dm.cdsReceita.FieldByName("DocumentoOrigem").AsString() == "S") {
        if (EstaVazio(v)) {
            if (receita == "100099" && uf == "GO") return c.Erro("14");
            if (const auto regra = RegraUF(dm, uf, receita, TFlagRegra::DO);
                regra && regra->Posicao(LeiauteDO::kObrigatorio, 'N')) {
                c.encerrada = true;
                return;
            }
            if (receita == "100099" && c.Campo("Produto") == "99") {
                c.encerrada = true;
                return;
            }
            return c.Erro("15");
        }
        if (SoZeros(v)) return c.Erro("16");
    }

    if (receita == "100056" && dm.CodigoCourier.empty()) {
        c.mensagem = FormatoDeclaracao(c, v);
        if (!c.mensagem.empty()) return;
    }

    const auto regra =
        RegraUF(dm, uf, dm.cdsReceita.FieldByName("Codigo").AsString(), TFlagRegra::DO);
    if (!regra) return;
    const int maximo = InteiroOuFalha(regra->Trecho(LeiauteDO::kTamanhoMaximo));
    const int tipo = InteiroOuFalha(regra->Trecho(LeiauteDO::kTipoFormato));
    if (regra->Posicao(LeiauteDO::kObrigatorio, 'S') && EstaVazio(v)) return c.Erro("28");
    if (regra->Posicao(LeiauteDO::kSemSoZeros, 'S') && SoZeros(v)) return c.Erro("29");
    if (regra->Posicao(LeiauteDO::kNumerico, 'S') && !EstaVazio(v) && NaoEhNumero(v))
        return c.Erro("30");
    if (maximo != 0) {
        while (int(v.size()) < maximo) v = "0" + v;
        if (int(v.size()) > maximo) return c.Erro("31");
    }
    if (const char* erro = Formato(c, tipo, v)) {
        if (std::string(erro) == "64") {
            c.mensagem = Mensagem64(kSecretariaFazendaMG, dm.EnderecoAutuacoesMG);
            return;
        }
        return c.Erro(erro);
    }
    if (v != c.Campo("DocumentoOrigem")) {
        // The field takes the normalised number and is checked again with it.
        c.encerrada = true;
        c.kova.FieldByName("DocumentoOrigem").SetAsString(v);
    }
}

}  // namespace kova
