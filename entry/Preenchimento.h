#pragma once
// A slip filled field by field from outside the screen: the items of a library request, the
// columns of an import line. Each field filled is judged (its check and what its change refuses
// or opens) once every field its rules read holds what it will hold, and the fields are judged in
// the order they were filled: a field whose rules read a field still to come waits for it, and the
// fields filled after it wait their turn behind it. The first refusal is therefore that of the
// first field, in filling order, whose rules refuse the whole slip, whatever order the fields
// come in. While a slip is filled, the total the amounts add up on the way is not judged at each
// amount: the total's own field or the whole-slip check judges it.
//
// One object for the span of one slip's filling, on the stack of whoever fills it; it registers
// itself with the entry form, whose data notification asks it whether a change waits. The one who
// fills tells it, in order, each field it has filled; in unattended mode the judging stops at the
// first refusal, as the request itself does.

#include <string>
#include <string_view>
#include <vector>

namespace kova {

class TField;
class TfrmDigitar;

class TPreenchimento {
public:
    // campos: the slip fields that will be filled, in the order they will be.
    TPreenchimento(TfrmDigitar& frm, const std::vector<std::string>& campos);
    // The same by the fields' positions in the slips table.
    TPreenchimento(TfrmDigitar& frm, std::vector<int> posicoes);
    ~TPreenchimento();
    TPreenchimento(const TPreenchimento&) = delete;
    TPreenchimento& operator=(const TPreenchimento&) = delete;

    // A field was filled: the fields waiting in front whose rules read nothing still to come are
    // judged, in the order they were filled.
    void Preenchido(std::string_view campo);
    void Preenchido(int posicao);

    // Asked by the data notification on a change of a field: true when its judgement waits for a
    // field still to come (the field is then judged later).
    bool Adia(TField& campo);

private:
    // The fields a field's judgement reads, as positions in the slips table (each field's list is
    // worked out once per process: the rules and the table's layout are fixed).
    const std::vector<int>& Lidos(const TField& campo) const;
    bool AindaVem(const std::vector<int>& lidos) const;

    TfrmDigitar& frm_;
    TPreenchimento* anterior_;
    // The fillings still to come, by position (-1: a name the slips table does not have).
    std::vector<int> aVir_;
    // How many fillings each field of the slips table still has to come, by position.
    std::vector<int> porVir_;
    std::vector<TField*> aguardando_;
    // The field being judged: a value its own rules write back is judged at once.
    TField* julgando_ = nullptr;
};

}  // namespace kova
