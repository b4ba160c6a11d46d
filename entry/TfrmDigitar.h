#pragma once
// The entry form object: the one object (frmDigitar) through which every change of a slip is
// checked, whether a person types it, the import reads it or a library request sends it. It holds
// the data link dtsPadrao to the slips table for its whole life (automatic editing off), the
// link's two notifications, the library's request state and the control-state model of the entry
// screen, which the Qt view mirrors when the screen is shown. Creating it starts no editing and
// checks nothing. Needs the data module (DM) to exist for its whole life.

#include <string>

#include "TControlModel.h"
#include "TDM.h"
#include "TDataSource.h"

namespace kova {

class TfrmDigitar {
public:
    explicit TfrmDigitar(TDM& dm);
    ~TfrmDigitar();
    TfrmDigitar(const TfrmDigitar&) = delete;
    TfrmDigitar& operator=(const TfrmDigitar&) = delete;

    TDataSource dtsPadrao{"dtsPadrao"};
    TControlModel Controles;

    // Library request state: the request on entry, the reply on exit; slips saved in the request.
    std::string Requisicao;
    int QtdeIncluidas = 0;
    // Calendar month when the screen was created.
    int MesAtual = 0;
    // True while the screen is shown and is the active window: only then does a check move focus.
    bool Ativa = false;
    // The page in front: "tbsKOVA" (the slip) or "tbsPesquisar" (the search grid).
    std::string PaginaAtiva = "tbsKOVA";

    void dtsPadraoDataChange(TDataSource& sender, TField* field);
    void dtsPadraoStateChange(TDataSource& sender);

    // Checks one field and reports its message the way the modes ask: raised as ECritica while
    // importing, stored in UltimoErro while silent, an error box otherwise; then focuses the
    // field's box. True when a message was reported.
    bool CriticaField(const std::string& campo, bool sempre);
    // The per-field check of the data notification.
    bool CriticaCampoAlterado(TDataSource& fonte, TField* campo);
    // Every field of the slip in field order, up to the first failure; true when one failed.
    bool CriticaTodos(TDataSet& tabela);

    void AtualizarCores();

private:
    void FormCreate();
    void CriarControles();

    TDM& dm_;
};

// The one entry form object of the process, or null before it is created.
extern TfrmDigitar* frmDigitar;

}  // namespace kova
