#include "RestauracaoCopia.h"

#include "Dialogs.h"
#include "TDM.h"

namespace kova {

namespace {

std::string Numero(int64_t n) { return FormatFloat("#,##0", double(n)); }

}  // namespace

TRestauracaoCopia::TRestauracaoCopia(TDM& dm) : dm_(dm) { Atualiza(); }

void TRestauracaoCopia::Atualiza() { copias_ = ListaCopias(dm_.DirDados, dm_.cdsKOVA); }

const std::vector<std::string>& TRestauracaoCopia::Titulos() {
    static const std::vector<std::string> titulos = {"Cópia do dia", "KOVA", "Impressas",
                                                     "Não impressas", "Observação"};
    return titulos;
}

std::vector<std::string> TRestauracaoCopia::Linha(size_t i) const {
    const TCopiaKOVA& c = copias_.at(i);
    if (!c.problema.empty())
        return {DateToStr(c.dia), "", "", "", "Não pode ser restaurada: " + c.problema};
    return {DateToStr(c.dia), Numero(c.kovas), Numero(c.impressas), Numero(c.naoImpressas), ""};
}

bool TRestauracaoCopia::Restauravel(size_t i) const {
    return i < copias_.size() && copias_[i].problema.empty();
}

bool TRestauracaoCopia::Restaurar(size_t i) {
    if (!Restauravel(i)) return false;
    const TCopiaKOVA c = copias_[i];
    const std::string dia = DateToStr(c.dia);
    if (MessageDlg("Restaurar a cópia de segurança de " + dia + "?\r\rEla tem " +
                       ConteudoDaCopia(c) +
                       ".\r\rO arquivo de KOVA atual será substituído por ela e guardado na pasta "
                       "das cópias. As KOVA incluídas, alteradas, impressas ou removidas depois "
                       "desse dia não estarão no arquivo restaurado.",
                   TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) != TModalResult::mrYes) {
        return false;
    }
    std::string guardado;
    try {
        guardado = dm_.RestaurarCopia(c.caminho);
    } catch (const std::exception& e) {
        MessageDlg(e.what(), TMsgDlgType::mtError);
        Atualiza();
        return false;
    }
    MessageDlg("Cópia de segurança de " + dia + " restaurada: " + ConteudoDaCopia(c) + "." +
                   (guardado.empty() ? std::string()
                                     : "\r\rO arquivo substituído foi guardado em\r" + guardado),
               TMsgDlgType::mtInformation);
    Atualiza();
    return true;
}

}  // namespace kova
