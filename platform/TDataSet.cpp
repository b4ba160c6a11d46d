#include "TDataSet.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

#include "Errors.h"
#include "FilterExpression.h"
#include "TDataSource.h"
#include "Texto.h"

namespace kova {

namespace {
const TValue kNull{};
}

// Puts the table in a passing state (calculation, filtering) around one record and restores it
// whatever happens inside.
class TDataSet::StateGuard {
public:
    StateGuard(const TDataSet& ds, TDataSetState st, Record* r)
        : ds_(ds), oldState_(ds.state_), oldOverride_(ds.override_) {
        ds_.state_ = st;
        ds_.override_ = r;
    }
    ~StateGuard() {
        ds_.state_ = oldState_;
        ds_.override_ = oldOverride_;
    }

private:
    const TDataSet& ds_;
    TDataSetState oldState_;
    Record* oldOverride_;
};

TDataSet::TDataSet(std::string name) : name_(std::move(name)) {}

TDataSet::~TDataSet() {
    for (TDataSource* s : sources_) s->dataSet_ = nullptr;
}

// ---------------------------------------------------------------- definition

TField& TDataSet::AddField(TFieldDef def) {
    if (Active())
        throw EDatabaseError(name_ + ": não é possível acrescentar campos a uma tabela aberta");
    if (FindField(def.name))
        throw EDatabaseError(name_ + ": Duplicate field name '" + def.name + "'");
    hasCalculated_ = hasCalculated_ || def.calculated;
    fields_.push_back(std::make_unique<TField>(*this, int(fields_.size()), std::move(def)));
    fieldsByName_[fields_.back()->FieldName()] = fields_.back().get();
    EsqueceCampos();
    return *fields_.back();
}

void TDataSet::ClearFields() {
    Mudou();
    if (Active())
        throw EDatabaseError(name_ + ": não é possível remover campos de uma tabela aberta");
    filter_.reset();
    filterText_.clear();
    indexDefs_.clear();
    indexes_.clear();
    currentIndex_ = -1;
    fields_.clear();
    fieldsByName_.clear();
    EsqueceCampos();
    hasCalculated_ = false;
    calculated_ = nullptr;
}

TField* TDataSet::ProcuraCampo(std::string_view name) const {
    if (TField* f = camposLembrados_.Conferido(
            name, [](const TField& c) -> const std::string& { return c.FieldName(); }))
        return f;
    if (auto it = fieldsByName_.find(name); it != fieldsByName_.end()) {
        TField* campo = it->second;
        if (campo->FieldName().size() == name.size()) {
            camposLembrados_.Guarda(
                name, campo, name.data() == campo->FieldName().data() || TextoFixo(name.data()));
        }
        return campo;
    }
    for (const auto& f : fields_) {
        if (SameText(f->FieldName(), name)) return f.get();
    }
    return nullptr;
}

void TDataSet::CampoInexistente(std::string_view name) const {
    throw EDatabaseError(name_ + ": campo '" + std::string(name) + "' não encontrado");
}

const std::vector<int>& TDataSet::ResolveFields(const std::string& fields) const {
    // Searches name the same few field lists (the program's own texts) over and over. Kept
    // lists stay where they are while more are added, as a search may be running on one.
    for (const auto& [texto, indices] : listasResolvidas_) {
        if (texto == fields) return indices;
    }
    std::vector<int> r;
    size_t ini = 0;
    while (ini <= fields.size()) {
        size_t fim = fields.find(';', ini);
        if (fim == std::string::npos) fim = fields.size();
        std::string n = Trim(fields.substr(ini, fim - ini));
        if (!n.empty()) r.push_back(FieldByName(n).Index());
        ini = fim + 1;
    }
    if (r.empty()) throw EDatabaseError(name_ + ": No fields given");
    listasResolvidas_.emplace_back(fields, std::move(r));
    return listasResolvidas_.back().second;
}

void TDataSet::AddIndex(const std::string& name, const std::string& fields, bool caseInsensitive) {
    Mudou();
    for (const auto& d : indexDefs_) {
        if (SameText(d.name, name))
            throw EDatabaseError(name_ + ": Duplicate index name '" + name + "'");
    }
    auto ix = std::make_unique<Index>();
    ix->def = {name, fields, caseInsensitive};
    ix->fields = ResolveFields(fields);
    if (Active()) {
        ix->order = natural_;
        SortIndex(*ix);
    }
    indexDefs_.push_back(ix->def);
    indexes_.push_back(std::move(ix));
}

void TDataSet::ClearIndexes() {
    Mudou();
    indexDefs_.clear();
    indexes_.clear();
    currentIndex_ = -1;
}

void TDataSet::SetIndexName(const std::string& name) {
    Mudou();
    int novo = -1;
    if (!name.empty()) {
        for (size_t i = 0; i < indexes_.size(); ++i) {
            if (SameText(indexes_[i]->def.name, name)) novo = int(i);
        }
        if (novo < 0) throw EDatabaseError(name_ + ": índice '" + name + "' não encontrado");
    }
    if (novo == currentIndex_) return;
    if (Active()) CheckBrowseMode();
    currentIndex_ = novo;
    if (novo >= 0 && indexes_[size_t(novo)]->desordenado) SortIndex(*indexes_[size_t(novo)]);
    if (Active()) {
        bof_ = eof_ = false;
        NotifyData(nullptr);
    }
}

std::string TDataSet::IndexName() const {
    return currentIndex_ < 0 ? std::string() : indexes_[size_t(currentIndex_)]->def.name;
}

// ---------------------------------------------------------------- life

void TDataSet::CreateDataSet() {
    Mudou();
    if (fields_.empty()) throw EDatabaseError(name_ + ": Missing data provider or data packet");
    if (Active()) Close();
    state_ = TDataSetState::dsBrowse;
    bof_ = eof_ = true;
    NotifyState();
    NotifyData(nullptr);
}

void TDataSet::Close() {
    Mudou();
    if (!Active()) return;
    calculated_ = nullptr;
    buffer_.reset();
    keyBuffer_.reset();
    current_ = nullptr;
    natural_.clear();
    owned_.clear();
    for (auto& ix : indexes_) ix->order.clear();
    fonte_.reset();
    posResidente_.clear();
    nomesResidentes_.clear();
    lidos_.clear();
    inteiros_ = fixos_ = 0;
    pendentes_.clear();
    removidas_.clear();
    modified_ = false;
    state_ = TDataSetState::dsInactive;
    bof_ = eof_ = true;
    NotifyState();
}

void TDataSet::EmptyDataSet() {
    Mudou();
    CheckActive();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) Cancel();
    calculated_ = nullptr;
    current_ = nullptr;
    // The file loses every row it holds at the next save.
    for (const Record* r : natural_) {
        if (r->linha != 0) removidas_.push_back(r->linha);
    }
    natural_.clear();
    owned_.clear();
    for (auto& ix : indexes_) ix->order.clear();
    lidos_.clear();
    inteiros_ = fixos_ = 0;
    pendentes_.clear();
    bof_ = eof_ = true;
    NotifyData(nullptr);
}

void TDataSet::CheckActive() const {
    if (!Active()) throw EDatabaseError(name_ + ": operação impossível em uma tabela fechada");
}

// ---------------------------------------------------------------- order and filter

const std::vector<TDataSet::Record*>& TDataSet::Order() const {
    return currentIndex_ < 0 ? natural_ : indexes_[size_t(currentIndex_)]->order;
}

TDataSet::Index* TDataSet::CurrentIndex() const {
    return currentIndex_ < 0 ? nullptr : indexes_[size_t(currentIndex_)].get();
}

bool TDataSet::Less(const Index& ix, const Record* a, const Record* b) const {
    for (int f : ix.fields) {
        int c = CompareValues(Valor(a, size_t(f)), Valor(b, size_t(f)), ix.def.caseInsensitive);
        if (c != 0) return c < 0;
    }
    return a->seq < b->seq;  // equal keys keep the order in which the records were added
}

int TDataSet::CompareKey(const Index& ix, const Record* r, const std::vector<TValue>& keys) const {
    for (size_t i = 0; i < keys.size() && i < ix.fields.size(); ++i) {
        int c = CompareValues(Valor(r, size_t(ix.fields[i])), keys[i], ix.def.caseInsensitive);
        if (c != 0) return c;
    }
    return 0;
}

void TDataSet::SortIndex(Index& ix) {
    Mudou();
    if (ix.foraDeUso) {
        ix.order = natural_;
        ix.foraDeUso = false;
    }
    const auto menor = [&](const Record* a, const Record* b) { return Less(ix, a, b); };
    // An order that follows the file's (the slip number) is mostly in order already.
    if (!std::is_sorted(ix.order.begin(), ix.order.end(), menor))
        std::sort(ix.order.begin(), ix.order.end(), menor);
    ix.desordenado = false;
}

size_t TDataSet::PosOf(const Record* r) const {
    const auto& o = Order();
    Index* ix = CurrentIndex();
    auto it =
        ix ? std::lower_bound(o.begin(), o.end(), r,
                              [&](const Record* a, const Record* b) { return Less(*ix, a, b); })
           : std::lower_bound(o.begin(), o.end(), r,
                              [](const Record* a, const Record* b) { return a->seq < b->seq; });
    return size_t(it - o.begin());
}

void TDataSet::InsertInOrders(Record* r) {
    Mudou();
    auto itn = std::lower_bound(natural_.begin(), natural_.end(), r,
                                [](const Record* a, const Record* b) { return a->seq < b->seq; });
    natural_.insert(itn, r);
    for (auto& ix : indexes_) InsertInIndex(*ix, r);
}

void TDataSet::InsertInIndex(Index& ix, Record* r) {
    if (ix.foraDeUso) return;  // built whole when chosen
    if (&ix != CurrentIndex()) {
        if (!ix.desordenado && !ix.order.empty() && Less(ix, r, ix.order.back()))
            ix.desordenado = true;
        ix.order.push_back(r);
        return;
    }
    auto it = std::lower_bound(ix.order.begin(), ix.order.end(), r,
                               [&](const Record* a, const Record* b) { return Less(ix, a, b); });
    ix.order.insert(it, r);
}

void TDataSet::RemoveFromOrders(Record* r) {
    Mudou();
    natural_.erase(
        std::lower_bound(natural_.begin(), natural_.end(), r,
                         [](const Record* a, const Record* b) { return a->seq < b->seq; }));
    for (auto& ix : indexes_) RemoveFromIndex(*ix, r);
}

void TDataSet::RemoveFromIndex(Index& ix, Record* r) {
    if (ix.foraDeUso) return;
    auto it =
        ix.desordenado
            ? ix.order.end()
            : std::lower_bound(ix.order.begin(), ix.order.end(), r,
                               [&](const Record* a, const Record* b) { return Less(ix, a, b); });
    if (it == ix.order.end() || *it != r) {
        // An order not kept sorted has its newest records at the back, where edits mostly fall.
        auto atras = std::find(ix.order.rbegin(), ix.order.rend(), r);
        it = atras == ix.order.rend() ? ix.order.end() : std::prev(atras.base());
    }
    if (it != ix.order.end()) ix.order.erase(it);
}

bool TDataSet::ChaveMuda(const Index& ix, const Record* r, const std::vector<TValue>& novos) const {
    for (int f : ix.fields) {
        if (CompareValues(Valor(r, size_t(f)), novos[size_t(f)], ix.def.caseInsensitive) != 0)
            return true;
    }
    return false;
}

bool TDataSet::Accept(Record* r) const {
    if (!filtered_) return true;
    if (filter_) {
        bool ok =
            filter_->Evaluate([this, r](int i) -> const TValue& { return Valor(r, size_t(i)); },
                              FilterCaseInsensitive);
        if (!ok) return false;
    }
    if (OnFilterRecord) {
        StateGuard g(*this, TDataSetState::dsFilter, r);
        return OnFilterRecord(const_cast<TDataSet&>(*this));
    }
    return true;
}

TDataSet::Record* TDataSet::NextVisible(size_t from) const {
    const auto& o = Order();
    for (size_t i = from; i < o.size(); ++i) {
        if (Accept(o[i])) return o[i];
    }
    return nullptr;
}

TDataSet::Record* TDataSet::PrimeiroVisivel() const {
    std::string chave;
    if (!BuscaGuardavel(chave)) return NextVisible(0);
    // A filter that hides every record would otherwise be run over the whole table each time.
    if (primeiro_.versao == versaoDados_ && primeiro_.estadoFiltro == EstadoFiltro() &&
        primeiro_.chaveFiltro == chave) {
        return primeiro_.registro;
    }
    Record* r = NextVisible(0);
    primeiro_ = {versaoDados_, EstadoFiltro(), std::move(chave), r};
    return r;
}

TDataSet::Record* TDataSet::PriorVisible(size_t before) const {
    const auto& o = Order();
    for (size_t i = std::min(before, o.size()); i > 0; --i) {
        if (Accept(o[i - 1])) return o[i - 1];
    }
    return nullptr;
}

TDataSet::Record* TDataSet::NearestVisible(size_t pos) const {
    Record* r = NextVisible(pos);
    return r ? r : PriorVisible(pos);
}

void TDataSet::SetFilter(const std::string& text) {
    MudouFiltro();
    if (filter_ && text == filterText_) {
        if (Active() && filtered_) Refresh();
        return;
    }
    if (Trim(text).empty()) {
        filter_.reset();
        filterText_.clear();
        geracaoFiltro_ = 0;
    } else {
        auto lido = std::find_if(filtrosLidos_.begin(), filtrosLidos_.end(),
                                 [&](const FiltroLido& f) { return f.texto == text; });
        if (lido == filtrosLidos_.end()) {
            std::shared_ptr<const TFilterExpression> expressao = TFilterExpression::Parse(
                text, [this](const std::string& n, int& idx, TFieldType& t) {
                    TField* f = FindField(n);
                    if (!f) return false;
                    idx = f->Index();
                    t = f->DataType();
                    return true;
                });
            if (filtrosLidos_.size() >= kFiltrosLidos) filtrosLidos_.pop_front();
            filtrosLidos_.push_back({text, std::move(expressao), ++ultimaGeracao_});
            lido = std::prev(filtrosLidos_.end());
        }
        filter_ = lido->expressao;
        filterText_ = text;
        geracaoFiltro_ = lido->geracao;
    }
    if (Active() && filtered_) Refresh();
}

void TDataSet::AplicaFiltro(const std::string& text) {
    // With the filter in force the current record is already a visible one: nothing would change.
    if (filtered_ && filter_ && text == filterText_) return;
    SetFiltered(false);
    SetFilter(text);
    SetFiltered(true);
}

void TDataSet::SetFiltered(bool on) {
    if (filtered_ == on) return;
    MudouFiltro();
    if (Active()) CheckBrowseMode();
    filtered_ = on;
    if (Active()) Refresh();
}

void TDataSet::Refresh() {
    MudouFiltro();
    CheckActive();
    CheckBrowseMode();
    // The current record stays when it is still visible; otherwise the view starts over.
    if (!current_ || !Accept(current_)) {
        current_ = PrimeiroVisivel();
        bof_ = true;
        eof_ = current_ == nullptr;
    }
    calculated_ = nullptr;
    NotifyData(nullptr);
}

// ---------------------------------------------------------------- navigation

void TDataSet::MoveTo(Record* r) {
    current_ = r;
    calculated_ = nullptr;  // a fetch works the calculated fields out anew
    NotifyData(nullptr);
    if (AfterScroll) AfterScroll(*this);
}

void TDataSet::First() {
    CheckActive();
    CheckBrowseMode();
    MoveTo(PrimeiroVisivel());
    bof_ = true;
    eof_ = current_ == nullptr;
}

void TDataSet::Last() {
    CheckActive();
    CheckBrowseMode();
    MoveTo(PriorVisible(Order().size()));
    eof_ = true;
    bof_ = current_ == nullptr;
}

void TDataSet::Next() {
    CheckActive();
    CheckBrowseMode();
    Record* r = current_ ? NextVisible(PosOf(current_) + 1) : nullptr;
    if (!r) {
        eof_ = true;
        return;
    }
    MoveTo(r);
    bof_ = eof_ = false;
}

void TDataSet::Prior() {
    CheckActive();
    CheckBrowseMode();
    Record* r = current_ ? PriorVisible(PosOf(current_)) : nullptr;
    if (!r) {
        bof_ = true;
        return;
    }
    MoveTo(r);
    bof_ = eof_ = false;
}

bool TDataSet::IsEmpty() const { return !Active() || PrimeiroVisivel() == nullptr; }

int TDataSet::RecordCount() const {
    if (!Active()) return 0;
    if (!filtered_) return int(natural_.size());
    int n = 0;
    for (Record* r : Order()) n += Accept(r) ? 1 : 0;
    return n;
}

int TDataSet::RecNo() const {
    if (!Active() || !current_ || state_ == TDataSetState::dsInsert) return 0;
    size_t pos = PosOf(current_);
    const auto& o = Order();
    if (!filtered_) return int(pos) + 1;
    int n = 0;
    for (size_t i = 0; i <= pos && i < o.size(); ++i) n += Accept(o[i]) ? 1 : 0;
    return n;
}

// ---------------------------------------------------------------- editing

std::unique_ptr<TDataSet::Record> TDataSet::NewRecord() {
    auto r = std::make_unique<Record>();
    r->seq = nextSeq_++;
    r->values.resize(fields_.size());
    return r;
}

void TDataSet::Append() {
    Mudou();
    CheckActive();
    CheckBrowseMode();
    if (BeforeInsert) BeforeInsert(*this);
    buffer_ = NewRecord();
    ++sessao_;
    state_ = TDataSetState::dsInsert;
    modified_ = false;
    bof_ = eof_ = false;
    calculated_ = nullptr;
    NotifyState();
    try {
        if (OnNewRecord) OnNewRecord(*this);
    } catch (...) {
        buffer_.reset();
        state_ = TDataSetState::dsBrowse;
        calculated_ = nullptr;
        NotifyState();
        NotifyData(nullptr);
        throw;
    }
    modified_ = false;
    NotifyData(nullptr);
    if (AfterInsert) AfterInsert(*this);
}

void TDataSet::Insert() { Append(); }

void TDataSet::Edit() {
    Mudou();
    CheckActive();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
    if (!current_) {
        Append();
        return;
    }
    CheckBrowseMode();
    if (BeforeEdit) BeforeEdit(*this);
    if (current_->values.empty()) Materializa(current_);
    buffer_ = std::make_unique<Record>();
    buffer_->seq = current_->seq;
    buffer_->values = current_->values;
    ++sessao_;
    state_ = TDataSetState::dsEdit;
    modified_ = false;
    NotifyState();
    NotifyData(nullptr);
    if (AfterEdit) AfterEdit(*this);
}

void TDataSet::Post() {
    Mudou();
    CheckActive();
    if (state_ == TDataSetState::dsSetKey) {
        state_ = TDataSetState::dsBrowse;
        NotifyState();
        return;
    }
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
    if (BeforePost) BeforePost(*this);
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
    const TDataSetState estado = state_;
    Record* const anterior = current_;
    std::vector<TValue> antigos;
    Record* r;
    bool jaPendente = false;
    if (state_ == TDataSetState::dsInsert) {
        r = buffer_.get();
        uint64_t seq = r->seq;
        owned_[seq] = std::move(buffer_);
        InsertInOrders(r);
    } else {
        r = current_;
        jaPendente = r->pendente;
        // The record keeps its place in every order its change leaves in place: moving it in and
        // out of each one would shift the whole order once per edited slip.
        std::vector<TValue> novos = std::move(buffer_->values);
        buffer_.reset();
        std::vector<Index*> mudam;
        for (auto& ix : indexes_) {
            if (!ix->foraDeUso && ChaveMuda(*ix, r, novos)) mudam.push_back(ix.get());
        }
        for (Index* ix : mudam) RemoveFromIndex(*ix, r);
        if (AfterPost) antigos = r->values;
        r->values = std::move(novos);
        for (Index* ix : mudam) InsertInIndex(*ix, r);
    }
    MarcaPendente(r);
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    // A record the filter now hides gives way to its neighbour in the view.
    current_ = Accept(r) ? r : NearestVisible(PosOf(r) + 1);
    bof_ = eof_ = false;
    calculated_ = nullptr;
    NotifyState();
    NotifyData(nullptr);
    if (!AfterPost) return;
    try {
        AfterPost(*this);
    } catch (...) {
        // The post did not count: the record is back being edited, with its new values.
        RemoveFromOrders(r);
        Invalidate(r);
        if (!jaPendente) DesmarcaPendente(r);
        if (estado == TDataSetState::dsInsert) {
            auto it = owned_.find(r->seq);
            buffer_ = std::move(it->second);
            owned_.erase(it);
            current_ = anterior;
        } else {
            buffer_ = std::make_unique<Record>();
            buffer_->seq = r->seq;
            buffer_->values = std::move(r->values);
            r->values = std::move(antigos);
            InsertInOrders(r);
            current_ = r;
        }
        state_ = estado;
        modified_ = true;
        bof_ = eof_ = false;
        calculated_ = nullptr;
        // The record's values are the ones the links showed before the post: only the state
        // changes back.
        NotifyState();
        throw;
    }
}

void TDataSet::Cancel() {
    Mudou();
    CheckActive();
    if (state_ == TDataSetState::dsSetKey) {
        keyBuffer_.reset();
        state_ = TDataSetState::dsBrowse;
        NotifyState();
        return;
    }
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
    if (BeforeCancel) BeforeCancel(*this);
    buffer_.reset();
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    if (current_ && !Accept(current_)) current_ = NearestVisible(PosOf(current_));
    eof_ = current_ == nullptr;
    calculated_ = nullptr;
    NotifyState();
    NotifyData(nullptr);
    if (AfterCancel) AfterCancel(*this);
}

void TDataSet::Delete() {
    Mudou();
    CheckActive();
    if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) {
        Cancel();
        return;
    }
    if (!current_) throw EDatabaseError(name_ + ": operação impossível em uma tabela vazia");
    if (BeforeDelete) BeforeDelete(*this);
    TDataSetState antes = state_;
    Record* r = current_;
    size_t pos = PosOf(r);
    RemoveFromOrders(r);
    Invalidate(r);
    auto guardado = owned_.find(r->seq);
    std::unique_ptr<Record> apagado = std::move(guardado->second);
    owned_.erase(guardado);
    const bool eraPendente = r->pendente;
    DesmarcaPendente(r);
    if (r->linha != 0) removidas_.push_back(r->linha);
    const bool eraLido = r->linha != 0 && !r->values.empty();
    if (eraLido) --inteiros_;
    const bool eraFixo = r->fixo;
    if (eraFixo) --fixos_;
    buffer_.reset();
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    current_ = NearestVisible(pos);
    eof_ = current_ == nullptr;
    calculated_ = nullptr;
    if (antes != state_) NotifyState();
    NotifyData(nullptr);
    if (!AfterDelete) return;
    try {
        AfterDelete(*this);
    } catch (...) {
        // The delete did not count: the record is back, current.
        if (r->linha != 0) removidas_.pop_back();
        if (eraPendente) MarcaPendente(r);
        if (eraLido) ++inteiros_;
        if (eraFixo) ++fixos_;
        owned_[r->seq] = std::move(apagado);
        InsertInOrders(r);
        current_ = r;
        bof_ = eof_ = false;
        calculated_ = nullptr;
        NotifyData(nullptr);
        throw;
    }
}

void TDataSet::AppendRecord(const std::vector<TValue>& values) {
    Mudou();
    Append();
    try {
        for (size_t i = 0; i < values.size() && i < fields_.size(); ++i) {
            if (!fields_[i]->Calculated()) fields_[i]->SetValue(values[i]);
        }
        Post();
    } catch (...) {
        if (state_ == TDataSetState::dsInsert) Cancel();
        throw;
    }
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        if (modified_) {
            Post();
        } else {
            Cancel();
        }
    } else if (state_ == TDataSetState::dsSetKey) {
        Cancel();
    }
}

TDataSet::Record* TDataSet::ActiveRecord() const {
    if (override_) return override_;
    switch (state_) {
        case TDataSetState::dsEdit:
        case TDataSetState::dsInsert:
            return buffer_.get();
        case TDataSetState::dsSetKey:
            return keyBuffer_.get();
        default:
            return current_;
    }
}

const TValue& TDataSet::GetFieldValue(int index) const {
    Record* r = ActiveRecord();
    if (!r) return kNull;
    if (hasCalculated_ && r != calculated_ && state_ != TDataSetState::dsCalcFields &&
        fields_[size_t(index)]->Calculated()) {
        const_cast<TDataSet*>(this)->Calculate(r);
    }
    return Valor(r, size_t(index));
}

void TDataSet::SetFieldValue(TField& field, TValue value) {
    if (state_ == TDataSetState::dsCalcFields) {
        if (!field.Calculated()) {
            throw EDatabaseError(name_ + ": o campo '" + field.FieldName() +
                                 "' não pode ser alterado");
        }
        // Working out a record's calculated fields as it is read changes no record: the answers
        // and lists drawn from the table stay good.
        override_->values[size_t(field.Index())] = std::move(value);
        return;
    }
    Mudou();
    if (field.Calculated()) {
        throw EDatabaseError(name_ + ": o campo '" + field.FieldName() + "' não pode ser alterado");
    }
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert &&
        state_ != TDataSetState::dsSetKey) {
        throw EDatabaseError(name_ + ": Dataset not in edit or insert mode");
    }
    Record* r = ActiveRecord();
    r->values[size_t(field.Index())] = std::move(value);
    if (state_ == TDataSetState::dsSetKey) return;
    if (carimbos_.size() != fields_.size()) carimbos_.resize(fields_.size());
    carimbos_[size_t(field.Index())] = ++carimbo_;
    modified_ = true;
    Invalidate(r);
    if (field.OnChange) field.OnChange(field);
    NotifyData(&field);
}

void TDataSet::Calculate(Record* r) {
    if (!r || !hasCalculated_) return;
    calculated_ = r;
    for (const auto& f : fields_) {
        if (f->Calculated()) r->values[size_t(f->Index())] = TValue{};
    }
    if (!OnCalcFields) return;
    StateGuard g(*this, TDataSetState::dsCalcFields, r);
    OnCalcFields(*this);
}

// ---------------------------------------------------------------- keys

std::vector<TValue> TDataSet::KeysFor(const Index& ix, const std::vector<TValue>& keys) const {
    std::vector<TValue> k;
    for (size_t i = 0; i < keys.size() && i < ix.fields.size(); ++i) {
        k.push_back(ConvertValue(keys[i], fields_[size_t(ix.fields[i])]->DataType()));
    }
    return k;
}

size_t TDataSet::LowerBound(const std::vector<TValue>& keys, std::vector<TValue>& converted) {
    CheckActive();
    CheckBrowseMode();
    Index* ix = CurrentIndex();
    if (!ix) throw EDatabaseError(name_ + ": No index currently active");
    converted = KeysFor(*ix, keys);
    const auto& o = ix->order;
    auto it = std::lower_bound(o.begin(), o.end(), converted,
                               [&](const Record* r, const std::vector<TValue>& key) {
                                   return CompareKey(*ix, r, key) < 0;
                               });
    return size_t(it - o.begin());
}

namespace {

// FNV-1a over the keys' texts and kinds: cheap enough to run on every search.
uint64_t Mistura(uint64_t h, std::string_view s) {
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return (h ^ 0xff) * 1099511628211ull;
}

uint64_t Resumo(const std::vector<TValue>& keys) {
    uint64_t h = 14695981039346656037ull;
    for (const TValue& v : keys) {
        if (const auto* s = std::get_if<std::string>(&v)) {
            h = Mistura(h, *s);
        } else {
            h = Mistura(h, std::to_string(v.index()) + ValueToString(v));
        }
    }
    return h;
}

uint64_t Resumo(std::initializer_list<std::string_view> keys) {
    uint64_t h = 14695981039346656037ull;
    for (std::string_view s : keys) h = Mistura(h, s);
    return h;
}

bool MesmasChaves(const std::vector<TValue>& a, const std::vector<TValue>& b) { return a == b; }

bool MesmasChaves(const std::vector<TValue>& a, std::initializer_list<std::string_view> b) {
    if (a.size() != b.size()) return false;
    auto it = b.begin();
    for (const TValue& v : a) {
        const auto* s = std::get_if<std::string>(&v);
        if (!s || *s != *it++) return false;
    }
    return true;
}

}  // namespace

template <typename Chaves>
const TDataSet::UltimaBusca* TDataSet::BuscaGuardada(const Chaves& keys, uint64_t resumo,
                                                     const std::string& chaveFiltro) const {
    // Each search has one place, chosen by its hash.
    if (buscas_.empty()) return nullptr;
    const UltimaBusca& u = buscas_[resumo % kBuscasGuardadas];
    if (u.resumo == resumo && u.versao == versaoDados_ && u.estadoFiltro == EstadoFiltro() &&
        u.indice == CurrentIndex() && u.chaveFiltro == chaveFiltro &&
        MesmasChaves(u.chaves, keys)) {
        return &u;
    }
    return nullptr;
}

TDataSet::TVisiveis TDataSet::Visiveis() const {
    TVisiveis v;
    // A filter event that does not say what it reads may answer otherwise at any time: only the
    // version, which any change moves, tells its records apart.
    if (!BuscaGuardavel(v.chaveFiltro)) return {versao_, ~uint64_t(0), {}};
    v.versao = versaoDados_;
    v.filtro = EstadoFiltro();
    return v;
}

bool TDataSet::BuscaGuardavel(std::string& chaveFiltro) const {
    chaveFiltro.clear();
    if (!filtered_ || !OnFilterRecord) return true;
    // A filter event may look at anything: only one that says what it reads has answers kept.
    if (!OnFilterKey) return false;
    chaveFiltro = OnFilterKey();
    return true;
}

bool TDataSet::FindKey(const std::vector<TValue>& keys) {
    CheckActive();
    CheckBrowseMode();
    std::string chaveFiltro;
    const bool guardavel = BuscaGuardavel(chaveFiltro);
    // The filter's inputs take part in the hash: the same keys under other inputs keep their own
    // place.
    const uint64_t resumo = guardavel ? Mistura(Resumo(keys), chaveFiltro) : 0;
    if (guardavel) {
        if (const UltimaBusca* u = BuscaGuardada(keys, resumo, chaveFiltro)) {
            if (!u->registro) return false;
            MoveTo(u->registro);
            bof_ = eof_ = false;
            return true;
        }
    }
    std::vector<TValue> k;
    Record* achado = nullptr;
    const auto& o = Order();
    for (size_t i = LowerBound(keys, k); i < o.size() && CompareKey(*CurrentIndex(), o[i], k) == 0;
         ++i) {
        if (Accept(o[i])) {
            achado = o[i];
            break;
        }
    }
    if (guardavel) {
        if (buscas_.empty()) buscas_.resize(kBuscasGuardadas);
        UltimaBusca& u = buscas_[resumo % kBuscasGuardadas];
        u.versao = versaoDados_;
        u.estadoFiltro = EstadoFiltro();
        u.indice = CurrentIndex();
        u.resumo = resumo;
        u.chaves = keys;
        u.chaveFiltro = std::move(chaveFiltro);
        u.registro = achado;
    }
    if (!achado) return false;
    MoveTo(achado);
    bof_ = eof_ = false;
    return true;
}

bool TDataSet::FindKey(std::initializer_list<std::string_view> keys) {
    // Most searches repeat one already answered: that answer needs no list of values.
    std::string chaveFiltro;
    if (Active() && state_ == TDataSetState::dsBrowse && BuscaGuardavel(chaveFiltro)) {
        if (const UltimaBusca* u =
                BuscaGuardada(keys, Mistura(Resumo(keys), chaveFiltro), chaveFiltro)) {
            if (!u->registro) return false;
            MoveTo(u->registro);
            bof_ = eof_ = false;
            return true;
        }
    }
    std::vector<TValue> k;
    k.reserve(keys.size());
    for (std::string_view s : keys) k.emplace_back(std::in_place_type<std::string>, s);
    return FindKey(k);
}

void TDataSet::FindNearest(const std::vector<TValue>& keys) {
    std::vector<TValue> k;
    MoveTo(NearestVisible(LowerBound(keys, k)));
    bof_ = false;
    eof_ = current_ == nullptr;
}

void TDataSet::SetKey() {
    CheckActive();
    CheckBrowseMode();
    keyBuffer_ = NewRecord();
    state_ = TDataSetState::dsSetKey;
    NotifyState();
}

std::vector<TValue> TDataSet::EndSetKey() {
    if (state_ != TDataSetState::dsSetKey)
        throw EDatabaseError(name_ + ": Dataset not in set-key mode");
    Index* ix = CurrentIndex();
    if (!ix) throw EDatabaseError(name_ + ": No index currently active");
    // The key is the leading index fields given before the first one left empty.
    std::vector<TValue> k;
    for (int f : ix->fields) {
        if (IsNull(keyBuffer_->values[size_t(f)])) break;
        k.push_back(keyBuffer_->values[size_t(f)]);
    }
    keyBuffer_.reset();
    state_ = TDataSetState::dsBrowse;
    NotifyState();
    return k;
}

bool TDataSet::GotoKey() { return FindKey(EndSetKey()); }

void TDataSet::GotoNearest() { FindNearest(EndSetKey()); }

namespace {
bool Combina(const TValue& campo, const TValue& chave, TFieldType tipo, TLocateOptions o) {
    if (tipo == TFieldType::ftString) {
        std::string a = ValueToString(campo), b = ValueToString(chave);
        if (o.partialKey && a.size() > b.size()) a.resize(b.size());
        return o.caseInsensitive ? SameText(a, b) : a == b;
    }
    if (IsNull(chave) || IsNull(campo)) return IsNull(chave) && IsNull(campo);
    return CompareValues(campo, ConvertValue(chave, tipo), false) == 0;
}
}  // namespace

bool TDataSet::Locate(const std::string& fields, const std::vector<TValue>& values,
                      TLocateOptions options) {
    CheckActive();
    CheckBrowseMode();
    const std::vector<int>& fs = ResolveFields(fields);
    if (fs.size() != values.size())
        throw EDatabaseError(name_ + ": Locate needs one value per field");
    for (Record* r : Order()) {
        bool ok = true;
        for (size_t i = 0; i < fs.size() && ok; ++i) {
            ok = Combina(Valor(r, size_t(fs[i])), values[i], fields_[size_t(fs[i])]->DataType(),
                         options);
        }
        if (ok && Accept(r)) {
            MoveTo(r);
            bof_ = eof_ = false;
            return true;
        }
    }
    return false;
}

TValue TDataSet::Lookup(const std::string& keyFields, const std::vector<TValue>& values,
                        const std::string& resultField) {
    CheckActive();
    const std::vector<int>& fs = ResolveFields(keyFields);
    int res = FieldByName(resultField).Index();
    if (fs.size() != values.size())
        throw EDatabaseError(name_ + ": Lookup needs one value per field");
    for (Record* r : Order()) {
        bool ok = true;
        for (size_t i = 0; i < fs.size() && ok; ++i) {
            ok =
                Combina(Valor(r, size_t(fs[i])), values[i], fields_[size_t(fs[i])]->DataType(), {});
        }
        if (ok && Accept(r)) {
            if (fields_[size_t(res)]->Calculated()) Calculate(r);
            return Valor(r, size_t(res));
        }
    }
    return TValue{};
}

// ---------------------------------------------------------------- bookmarks

TBookmark TDataSet::GetBookmark() const { return current_ ? current_->seq : 0; }

bool TDataSet::BookmarkValid(TBookmark bookmark) const {
    return bookmark != 0 && owned_.count(bookmark) > 0;
}

void TDataSet::GotoBookmark(TBookmark bookmark) {
    CheckActive();
    CheckBrowseMode();
    auto it = owned_.find(bookmark);
    if (it == owned_.end() || !Accept(it->second.get())) {
        throw EDatabaseError(name_ + ": registro não encontrado");
    }
    MoveTo(it->second.get());
    bof_ = eof_ = false;
}

void TDataSet::ReleaseRecords(const std::vector<TBookmark>& bookmarks) {
    CheckActive();
    CheckBrowseMode();
    TiraRegistros(bookmarks, false);
}

// ---------------------------------------------------------------- whole-table access

void TDataSet::LoadRecords(std::vector<std::vector<TValue>> records, std::vector<int64_t> linhas) {
    Mudou();
    CheckActive();
    for (size_t k = 0; k < records.size(); ++k) {
        auto& values = records[k];
        auto r = NewRecord();
        for (size_t i = 0; i < values.size() && i < r->values.size(); ++i) {
            if (!fields_[i]->Calculated()) r->values[i] = std::move(values[i]);
        }
        if (k < linhas.size()) r->linha = linhas[k];
        natural_.push_back(r.get());
        uint64_t seq = r->seq;
        owned_[seq] = std::move(r);
    }
    for (auto& ix : indexes_) {
        ix->order = natural_;
        SortIndex(*ix);
    }
    current_ = NextVisible(0);
    bof_ = true;
    eof_ = current_ == nullptr;
    calculated_ = nullptr;
    NotifyData(nullptr);
}

std::vector<TBookmark> TDataSet::VisibleRecords() const {
    std::vector<TBookmark> r;
    if (!Active()) return r;
    for (Record* rec : Order()) {
        if (Accept(rec)) r.push_back(rec->seq);
    }
    return r;
}

const TValue& TDataSet::ValueAt(TBookmark bookmark, int field) {
    static const TValue nenhum;
    auto it = owned_.find(bookmark);
    if (it == owned_.end()) return nenhum;
    Record* r = it->second.get();
    if (fields_[size_t(field)]->Calculated()) Calculate(r);
    return Valor(r, size_t(field));
}

std::string TDataSet::DisplayTextAt(TBookmark bookmark, int field) {
    auto it = owned_.find(bookmark);
    if (it == owned_.end()) return std::string();
    StateGuard g(*this, state_, it->second.get());
    return fields_[size_t(field)]->DisplayText();
}

// ---------------------------------------------------------------- records kept in the file

const TValue& TDataSet::Valor(const Record* r, size_t field) const {
    if (!r->values.empty()) return r->values[field];
    const int slot = field < posResidente_.size() ? posResidente_[field] : -1;
    if (slot >= 0) return r->residentes[size_t(slot)];
    Materializa(const_cast<Record*>(r));
    return r->values[field];
}

void TDataSet::Materializa(Record* r) const {
    if (!r->values.empty()) return;
    if (!fonte_) throw EDatabaseError(name_ + ": record not in memory");
    std::vector<TValue> valores = fonte_->Ler(r->linha, r->residentes);
    valores.resize(fields_.size());
    r->values = std::move(valores);
    std::vector<TValue>().swap(r->residentes);
    lidos_.push_back(r->seq);
    ++inteiros_;
    if (inteiros_ - fixos_ > kRegistrosLidos) DescartaLidos();
}

void TDataSet::DescartaLidos() const {
    // The oldest half goes back to its resident fields; what is being changed, shown or worked on
    // stays whole. The newest half stays, so a value just read is never taken from under its
    // reader.
    const size_t alvo = kRegistrosLidos / 2;
    std::deque<uint64_t> ficam;
    while (!lidos_.empty() && inteiros_ - fixos_ > alvo) {
        const uint64_t seq = lidos_.front();
        lidos_.pop_front();
        auto it = owned_.find(seq);
        if (it == owned_.end()) continue;
        Record* r = it->second.get();
        if (r->values.empty() || r->fixo) continue;
        if (r->pendente) {
            // Whole until it is written: out of the queue meanwhile, which would otherwise be
            // walked past every record changed and not yet saved at each read.
            r->fixo = true;
            ++fixos_;
            continue;
        }
        if (r->linha == 0 || r == current_ || r == calculated_ || r == override_) {
            ficam.push_back(seq);
            continue;
        }
        std::vector<TValue> residentes(nomesResidentes_.size());
        for (size_t f = 0; f < posResidente_.size(); ++f) {
            if (posResidente_[f] >= 0)
                residentes[size_t(posResidente_[f])] = std::move(r->values[f]);
        }
        r->residentes = std::move(residentes);
        std::vector<TValue>().swap(r->values);
        --inteiros_;
    }
    lidos_.insert(lidos_.begin(), ficam.begin(), ficam.end());
}

void TDataSet::LoadResidentRecords(std::shared_ptr<TFonteRegistros> fonte,
                                   const std::vector<std::string>& residentes,
                                   std::vector<TRegistroResidente> registros) {
    if (hasCalculated_)
        throw EDatabaseError(name_ + ": a table with calculated fields is read whole");
    std::vector<int> pos(fields_.size(), -1);
    for (size_t i = 0; i < residentes.size(); ++i)
        pos[size_t(FieldByName(residentes[i]).Index())] = int(i);
    for (const auto& ix : indexes_) {
        for (int f : ix->fields) {
            if (pos[size_t(f)] < 0) {
                throw EDatabaseError(name_ + ": o campo '" + fields_[size_t(f)]->FieldName() +
                                     "' do índice não está em memória");
            }
        }
    }
    // An open table keeps the records it has (those it made itself) beside the file's.
    if (!Active()) CreateDataSet();
    CheckBrowseMode();
    Mudou();
    fonte_ = std::move(fonte);
    posResidente_ = std::move(pos);
    nomesResidentes_ = residentes;
    natural_.reserve(natural_.size() + registros.size());
    owned_.reserve(owned_.size() + registros.size());
    for (auto& registro : registros) {
        auto r = std::make_unique<Record>();
        r->seq = nextSeq_++;
        r->linha = registro.linha;
        r->residentes = std::move(registro.valores);
        r->residentes.resize(residentes.size());
        natural_.push_back(r.get());
        uint64_t seq = r->seq;
        owned_[seq] = std::move(r);
    }
    // Only the order in use is put in order now; another is when it is chosen (a start with many
    // slips would otherwise sort them by taxpayer for nothing).
    const Index* atual = CurrentIndex();
    for (auto& ix : indexes_) {
        if (ix.get() == atual) {
            ix->order = natural_;
            SortIndex(*ix);
        } else {
            // Not kept at all until chosen: each edit would otherwise have to search it whole.
            ix->order.clear();
            ix->desordenado = ix->foraDeUso = true;
        }
    }
    if (!current_ || !Accept(current_)) {
        current_ = NextVisible(0);
        bof_ = true;
        eof_ = current_ == nullptr;
    }
    calculated_ = nullptr;
    NotifyData(nullptr);
}

size_t TDataSet::WholeRecordsInMemory() const { return inteiros_; }

const std::vector<TValue>& TDataSet::StoredValues(size_t i) const {
    Record* r = natural_[i];
    if (r->values.empty()) Materializa(r);
    return r->values;
}

void TDataSet::MarcaPendente(Record* r) {
    if (r->pendente) return;
    r->pendente = true;
    pendentes_.push_back(r);
}

void TDataSet::DesmarcaPendente(Record* r) {
    if (!r->pendente) return;
    r->pendente = false;
    Solta(r);
    pendentes_.erase(std::find(pendentes_.begin(), pendentes_.end(), r));
}

TDataSet::TPendencias TDataSet::Pendencias() const {
    TPendencias p;
    p.removidas = removidas_;
    p.gravar.reserve(pendentes_.size());
    for (const Record* r : pendentes_) p.gravar.push_back(r->seq);
    return p;
}

int64_t TDataSet::RowOf(TBookmark bookmark) const {
    auto it = owned_.find(bookmark);
    return it == owned_.end() ? 0 : it->second->linha;
}

std::vector<TBookmark> TDataSet::BookmarksOfRows(const std::vector<int64_t>& linhas) const {
    const std::unordered_set<int64_t> procuradas(linhas.begin(), linhas.end());
    std::vector<TBookmark> r;
    for (const Record* rec : natural_) {
        if (rec->linha != 0 && procuradas.count(rec->linha)) r.push_back(rec->seq);
    }
    return r;
}

void TDataSet::ConfirmaGravacao(const TPendencias& gravadas,
                                const std::vector<std::pair<TBookmark, int64_t>>& linhasNovas) {
    for (const auto& [bookmark, linha] : linhasNovas) {
        auto it = owned_.find(bookmark);
        if (it == owned_.end()) continue;
        // A record that had no row is now one of the file's: it may be let go from memory like
        // them.
        if (fonte_ && it->second->linha == 0 && !it->second->values.empty()) {
            lidos_.push_back(bookmark);
            ++inteiros_;
        }
        it->second->linha = linha;
    }
    for (TBookmark b : gravadas.gravar) {
        auto it = owned_.find(b);
        if (it == owned_.end()) continue;
        it->second->pendente = false;
        Solta(it->second.get());
    }
    std::erase_if(pendentes_, [](const Record* r) { return !r->pendente; });
    // Rows deleted after the snapshot stay pending.
    removidas_.erase(removidas_.begin(),
                     removidas_.begin() +
                         std::ptrdiff_t(std::min(removidas_.size(), gravadas.removidas.size())));
    if (fonte_ && inteiros_ - fixos_ > kRegistrosLidos) DescartaLidos();
}

void TDataSet::Solta(Record* r) const {
    if (!r->fixo) return;
    r->fixo = false;
    --fixos_;
    if (!r->values.empty() && r->linha != 0) lidos_.push_back(r->seq);
}

std::pair<bool, bool> TDataSet::TiraRegistros(const std::vector<TBookmark>& bookmarks,
                                              bool apagados) {
    std::unordered_set<const Record*> fora;
    for (TBookmark b : bookmarks) {
        auto it = owned_.find(b);
        // Letting go from memory spares the current record: a view still shows it.
        if (it != owned_.end() && (apagados || it->second.get() != current_)) {
            fora.insert(it->second.get());
        }
    }
    if (fora.empty()) return {false, false};
    Mudou();
    const bool saiAtual = fora.count(current_) > 0;
    auto sai = [&fora](const Record* r) { return fora.count(r) > 0; };
    std::erase_if(natural_, sai);
    for (auto& ix : indexes_) std::erase_if(ix->order, sai);
    std::erase_if(pendentes_, sai);
    for (const Record* r : fora) {
        if (apagados && r->linha != 0) removidas_.push_back(r->linha);
        if (!r->values.empty() && r->linha != 0) --inteiros_;
        if (r->fixo) --fixos_;
        if (calculated_ == r) calculated_ = nullptr;
        owned_.erase(r->seq);
    }
    return {true, saiAtual};
}

void TDataSet::DeleteRecords(const std::vector<TBookmark>& bookmarks) {
    CheckActive();
    CheckBrowseMode();
    const auto [algum, saiAtual] = TiraRegistros(bookmarks, true);
    if (!algum) return;
    if (saiAtual) {
        current_ = PrimeiroVisivel();
        bof_ = true;
        eof_ = current_ == nullptr;
    }
    NotifyData(nullptr);
    if (AfterDelete) AfterDelete(*this);
}

// ---------------------------------------------------------------- data links

void TDataSet::AttachSource(TDataSource* s) { sources_.push_back(s); }

void TDataSet::DetachSource(TDataSource* s) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), s), sources_.end());
}

template <typename F>
void TDataSet::ForEachSource(F&& notify) {
    // A handler may attach or detach links: walk a snapshot and skip links gone meanwhile.
    TDataSource* fixos[8];
    std::vector<TDataSource*> muitos;
    TDataSource** copia = fixos;
    const size_t n = sources_.size();
    if (n > 8) {
        muitos = sources_;
        copia = muitos.data();
    } else {
        std::copy(sources_.begin(), sources_.end(), fixos);
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::find(sources_.begin(), sources_.end(), copia[i]) != sources_.end())
            notify(copia[i]);
    }
}

void TDataSet::NotifyData(TField* field) {
    if (disableCount_ > 0) return;
    ForEachSource([field](TDataSource* s) { s->DataChanged(field); });
}

void TDataSet::NotifyState() {
    if (disableCount_ > 0) return;
    ForEachSource([](TDataSource* s) { s->StateChanged(); });
}

void TDataSet::DisableControls() {
    if (disableCount_++ == 0) disableState_ = state_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ == 0) {
        if (disableState_ != state_) NotifyState();
        if (state_ != TDataSetState::dsInactive) NotifyData(nullptr);
    }
}

}  // namespace kova
