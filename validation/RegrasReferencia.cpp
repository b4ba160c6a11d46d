// The reference period (DMMAAAA) or instalment number (errors 74 to 85).

#include "Dialogs.h"
#include "DigitosVerificadores.h"
#include "Errors.h"
#include "Predicados.h"
#include "Regras.h"
#include "TDM.h"
#include "Texto.h"

namespace kova {
namespace {

int UltimoDia(int mes, int ano) {
    if (mes == 2) return ano % 4 == 0 ? 29 : 28;
    if (mes == 4 || mes == 6 || mes == 9 || mes == 11) return 30;
    return 31;
}

// The day a period ends by the state's periodicity; a digit outside its range forms no date.
int DiaDoPeriodo(const std::string& periodicidade, int p, int ultimo) {
    if (periodicidade == "D") {
        if (p == 1) return 10;
        if (p == 2) return 20;
        if (p == 3) return ultimo;
    } else if (periodicidade == "Q") {
        if (p == 1) return 15;
        if (p == 2) return ultimo;
    } else {
        return 1;
    }
    const char* divisao = periodicidade == "D" ? "três decêndios (períodos 1 a 3)"
                                               : "duas quinzenas (períodos 1 e 2)";
    throw EConvertError("Período de referência inválido: a UF favorecida divide o mês em " +
                        std::string(divisao) + " e não tem o período " + std::to_string(p));
}

}  // namespace

void RegraReferencia(TCritica& c) {
    TDM& dm = c.dm;
    const std::string& v = c.v;
    const std::string uf = c.Campo("UFFavorecida");
    const std::string receita = c.Campo("Receita");
    if (!dm.cdsReceita.FindKey({receita})) return c.Erro("74");
    const std::string tipo = dm.TipoReferencia();
    const bool periodo = tipo == "D" || tipo == "d";
    const bool parcela = tipo == "P" || tipo == "p";

    if (tipo == "D" && EstaVazio(v)) return c.ErroPar("75", "76");
    if (tipo == "P" && EstaVazio(v)) return c.Erro("77");
    if (periodo) {
        bool invalido = v.size() != 7 || TemNaoDigito(v);
        if (!invalido) {
            const int mes = std::stoi(v.substr(1, 2));
            const int ano = std::stoi(v.substr(3, 4));
            // The highest year follows the calendar, as the year picker offers it.
            invalido = mes < 1 || mes > 12 || ano < 1971 || ano > dm.AnoAtual + 1;
        }
        if (invalido) return c.ErroPar("78", "79");
    }
    if (parcela) {
        if (NaoEhInteiro(v)) return c.ErroPar("80", "81");
        const int32_t n = InteiroOuFalha(v);
        if (n < 1 || n > 999) return c.ErroPar("82", "83");
        // A longer text keeps only the number; the field is checked again and this check goes on.
        if (v.size() > 3) c.kova.FieldByName("Referencia").SetAsString(std::to_string(n));
    }

    const TField& fVencimento = c.kova.FieldByName("DataVencimento");
    const bool temVencimento = !fVencimento.IsNull();
    bool temVencReferencia = false;
    TDate vencReferencia{};
    if (periodo && temVencimento && dm.cdsUF.FindKey({uf})) {
        const int p = InteiroOuFalha(v.substr(0, 1));
        const int mes = InteiroOuFalha(v.substr(1, 2));
        const int ano = InteiroOuFalha(v.substr(3, 4));
        const int dia =
            DiaDoPeriodo(dm.cdsUF.FieldByName("Periodicidade").AsString(), p, UltimoDia(mes, ano));
        if (!std::chrono::year_month_day(std::chrono::year(ano) / mes / dia).ok()) {
            throw EConvertError("Período de referência inválido: " + v + " não forma uma data");
        }
        vencReferencia = MakeDate(ano, unsigned(mes), unsigned(dia));
        temVencReferencia = true;
        if (fVencimento.AsDate() < vencReferencia) {
            c.mensagem = Mensagem84(vencReferencia, fVencimento.AsDate());
            return;
        }
    }
    if (uf == "MG" && temVencimento && temVencReferencia) {
        const TDate limite = MakeDate(2008, 1, 1);
        if (fVencimento.AsDate() >= limite && vencReferencia < limite) return c.Erro("85");
    }
    if (receita == "100048" && uf == "PE" && temVencimento) {
        const int mesVencimento = int(MonthOf(fVencimento.AsDate()));
        if (mesVencimento == InteiroOuFalha(v.size() >= 3 ? v.substr(1, 2) : std::string())) {
            // Nobody answers the unattended request: it goes on as if confirmed.
            if (!dm.ModoSilencioso &&
                MessageDlg("Confirma mês de vencimento igual mês período de referência?",
                           TMsgDlgType::mtConfirmation,
                           TMsgDlgButtons::mbYesNo) == TModalResult::mrNo) {
                if (dm.FocarControle) dm.FocarControle("cbxPeriodoMes");
                c.encerrada = true;
                return;
            }
        }
    }
}

}  // namespace kova
