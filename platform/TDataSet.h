#pragma once
// The table engine: an in-memory keyed record set. A table has typed fields (some calculated),
// records kept in the order they were added (the order of its file), named indexes on one or more
// fields (optionally without regard to case) of which one is current, a current record, the
// states browse / edit / insert / set-key, a filter expression and a filter callback that hide
// records while filtering is switched on, bookmarks, events around every editing step, and data
// links (TDataSource) that hear of every change unless controls are disabled.
//
// A table that grows for years (the slips) may keep in memory only its resident fields: those that
// order, filter and list its records. Its other fields are read from the table's file the first
// time they are asked for, and memory holds a bounded number of such whole records at a time.
// Every table keeps track of the records posted and deleted since it was loaded or last saved, so
// that its file can be changed row by row.
//
// Single-threaded, like the rest of the system. Event handlers may change the table; a handler
// that throws stops the operation at that point, with the table in the state the operation had
// reached (before-post and before-cancel leave the record as it was being edited), except the
// after-post and after-delete handlers: when one of them throws, the post or delete is undone (the
// record is back being edited with its new values, or back in the table), so a handler that puts
// the change on disk can refuse it.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "NomesLembrados.h"
#include "TField.h"
#include "TFonteRegistros.h"
#include "TValue.h"

namespace kova {

class TDataSource;
class TFilterExpression;

enum class TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter
};

struct TIndexDef {
    std::string name;
    std::string fields;  // "UF;Receita;Flag"
    bool caseInsensitive = true;
};

struct TLocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false;
};

using TBookmark = uint64_t;  // 0 = no record

class TDataSet {
public:
    using TEvent = std::function<void(TDataSet&)>;
    using TFilterEvent = std::function<bool(TDataSet&)>;

    explicit TDataSet(std::string name = {});
    ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    const std::string& Name() const { return name_; }

    // --- Definition (fields only while the table is closed) ---
    TField& AddField(TFieldDef def);
    void ClearFields();
    int FieldCount() const { return int(fields_.size()); }
    TField& Fields(int i) const { return *fields_[size_t(i)]; }
    TField& FieldByName(std::string_view name) const {
        TField* f = FindField(name);
        if (!f) CampoInexistente(name);
        return *f;
    }
    TField* FindField(std::string_view name) const {
        // A literal of the program, or a field's own name, asked for again: found without a look
        // at its text.
        if (TField* f = camposLembrados_.Fixo(name)) return f;
        return ProcuraCampo(name);
    }
    void AddIndex(const std::string& name, const std::string& fields, bool caseInsensitive = true);
    void ClearIndexes();
    const std::vector<TIndexDef>& IndexDefs() const { return indexDefs_; }
    // "" = the order in which records were added.
    void SetIndexName(const std::string& name);
    std::string IndexName() const;

    // --- Life ---
    void CreateDataSet();
    void Close();
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    void EmptyDataSet();
    TDataSetState State() const { return state_; }
    bool Modified() const { return modified_; }

    // --- Navigation (respects the filter) ---
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool IsEmpty() const;
    int RecordCount() const;
    int RecNo() const;  // 1-based position among the visible records; 0 when none

    // --- Editing ---
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Append, assign the values in field order, post.
    void AppendRecord(const std::vector<TValue>& values);
    // Posts a pending change when the record was modified, cancels it otherwise.
    void CheckBrowseMode();

    // --- Keys (current index) ---
    bool FindKey(const std::vector<TValue>& keys);
    bool FindKey(std::initializer_list<std::string_view> keys);
    void FindNearest(const std::vector<TValue>& keys);
    void SetKey();
    bool GotoKey();
    void GotoNearest();
    bool Locate(const std::string& fields, const std::vector<TValue>& values,
                TLocateOptions options = {});
    // The value of resultField in the first visible record matching, or null; does not move.
    TValue Lookup(const std::string& keyFields, const std::vector<TValue>& values,
                  const std::string& resultField);

    // --- Filter ---
    // Throws EDatabaseError for a malformed expression; "" removes it.
    void SetFilter(const std::string& text);
    const std::string& Filter() const { return filterText_; }
    void SetFiltered(bool on);
    bool Filtered() const { return filtered_; }
    // Shows only the records of this filter expression: filtering is turned off, the expression
    // set and filtering turned on again, unless that expression is already the one in force.
    void AplicaFiltro(const std::string& text);
    // Goes up with every change of records, order or filter: a cache of answers drawn from the
    // table is good while it stays the same.
    uint64_t Versao() const { return versao_; }
    // What tells the visible records apart: equal while the records, their order and the filter in
    // force (with what its event reads, where the event says so) are the same. A filter switched
    // off and on again, or a search, leaves it as it was; Versao() moves.
    struct TVisiveis {
        uint64_t versao = ~uint64_t(0);
        uint64_t filtro = 0;
        std::string chaveFiltro;
        bool operator==(const TVisiveis&) const = default;
    };
    TVisiveis Visiveis() const;
    // Edit sessions and assignments, numbered so that a check can tell whether a value it judged
    // has changed since: each Append or Edit opens a session; each assignment in one stamps its
    // field with the next number of the dataset's count.
    uint64_t Sessao() const { return sessao_; }
    uint64_t Carimbo() const { return carimbo_; }
    // The stamp of the field's last assignment, 0 when none was made.
    uint64_t CarimboDoCampo(int indice) const {
        return size_t(indice) < carimbos_.size() ? carimbos_[size_t(indice)] : 0;
    }
    bool FilterCaseInsensitive = false;
    // Re-applies the filter to the current record after a change of the filter callback's data.
    void Refresh();

    // --- Bookmarks ---
    TBookmark GetBookmark() const;
    // Throws EDatabaseError "registro não encontrado" when the record is gone or hidden by the
    // filter.
    void GotoBookmark(TBookmark bookmark);
    bool BookmarkValid(TBookmark bookmark) const;
    void FreeBookmark(TBookmark) {}
    // Releases the records of the bookmarks in one pass over each order, without events or
    // notifications: housekeeping of memory, not a person's deletion. The current record and
    // bookmarks no longer valid are left alone. Browse state only.
    void ReleaseRecords(const std::vector<TBookmark>& bookmarks);

    // --- Data links ---
    void DisableControls();
    void EnableControls();
    // Ends a DisableControls without telling the sources anything, for a caller after which they
    // are told of the whole record anyway (the defaults of a new record, which Append announces).
    void EnableControlsSilently() {
        if (disableCount_ > 0) --disableCount_;
    }
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // --- Events ---
    TEvent BeforeInsert, AfterInsert, OnNewRecord;
    TEvent BeforeEdit, AfterEdit;
    TEvent BeforePost, AfterPost;
    TEvent BeforeCancel, AfterCancel;
    TEvent BeforeDelete, AfterDelete;
    TEvent AfterScroll;
    TEvent OnCalcFields;
    TFilterEvent OnFilterRecord;
    // Everything the filter event reads, written as one text: while it stays the same the event
    // answers as before, so searches under the event may keep their answers.
    std::function<std::string()> OnFilterKey;

    // --- Whole-table access for the file layer and grids (no events) ---
    size_t StoredCount() const { return natural_.size(); }
    // Every field of the i-th record in table order (read from the file when it is not in memory).
    const std::vector<TValue>& StoredValues(size_t i) const;
    // Adds records as they were read from a file, in file order (calculated slots are ignored);
    // `linhas`, when given, holds each one's row in the file.
    void LoadRecords(std::vector<std::vector<TValue>> records, std::vector<int64_t> linhas = {});
    // Opens the table (or adds to an open one) records of which only the fields named in
    // `residentes` are in memory: each entry is a record's row in the file and the values of those
    // fields, in that order, in file order. Every index field and every field the filter reads must
    // be resident; the table may have no calculated field.
    struct TRegistroResidente {
        int64_t linha;
        std::vector<TValue> valores;
    };
    void LoadResidentRecords(std::shared_ptr<TFonteRegistros> fonte,
                             const std::vector<std::string>& residentes,
                             std::vector<TRegistroResidente> registros);
    // How many whole records read from the file memory holds at most, beside those being changed.
    static constexpr size_t kRegistrosLidos = 1024;
    // How many records of the file are whole in memory now (for tests and measurements).
    size_t WholeRecordsInMemory() const;

    // --- Changes not yet in the file ---
    // The rows deleted, and the records posted (new ones have row 0), since the table was loaded or
    // its changes were last confirmed saved.
    struct TPendencias {
        std::vector<int64_t> removidas;
        std::vector<TBookmark> gravar;
    };
    TPendencias Pendencias() const;
    bool TemPendencias() const { return !pendentes_.empty() || !removidas_.empty(); }
    // The record's row in the file (0: not there yet).
    int64_t RowOf(TBookmark bookmark) const;
    // The records at these rows of the file, in table order; one pass over the table.
    std::vector<TBookmark> BookmarksOfRows(const std::vector<int64_t>& linhas) const;
    // The changes of `Pendencias()` are in the file now; `linhasNovas` gives the row each new
    // record was given.
    void ConfirmaGravacao(const TPendencias& gravadas,
                          const std::vector<std::pair<TBookmark, int64_t>>& linhasNovas);
    // Deletes the records of the bookmarks in one pass over each order, as Delete would one by one
    // (each deletion pending for the file, the current record moving on when it goes); AfterDelete
    // runs once at the end. Browse state only.
    void DeleteRecords(const std::vector<TBookmark>& bookmarks);
    // The visible records in the current order.
    std::vector<TBookmark> VisibleRecords() const;
    // A field of a visible record as the current record would show it (calculated fields are
    // calculated for it); does not move.
    const TValue& ValueAt(TBookmark bookmark, int field);
    // The display text of a field of a record (its get-text event sees that record); no move.
    std::string DisplayTextAt(TBookmark bookmark, int field);

    // Used by TField.
    const TValue& GetFieldValue(int index) const;
    void SetFieldValue(TField& field, TValue value);

private:
    friend class TDataSource;
    struct Record {
        uint64_t seq = 0;
        // Every field; empty while the record waits in the file with only its resident fields.
        std::vector<TValue> values;
        std::vector<TValue> residentes;
        int64_t linha = 0;      // its row in the table's file; 0 while it is not there
        bool pendente = false;  // posted since it was last written to the file
        bool fixo = false;      // whole and out of the queue of records read, until written
    };
    struct Index {
        TIndexDef def;
        std::vector<int> fields;
        std::vector<Record*> order;
        // An index not in use takes new records at its end and is put in order when it is next
        // chosen: an import of many slips would otherwise shift it once per slip.
        bool desordenado = false;
        // After a load of the file, one not in use keeps no order at all until chosen: with many
        // slips, keeping it would cost each edit a search of it.
        bool foraDeUso = false;
    };
    class StateGuard;

    void AttachSource(TDataSource* s);
    void DetachSource(TDataSource* s);
    void NotifyData(TField* field);
    void NotifyState();
    template <typename F>
    void ForEachSource(F&& notify);

    void CheckActive() const;
    Record* ActiveRecord() const;
    const std::vector<Record*>& Order() const;
    Index* CurrentIndex() const;
    bool Less(const Index& ix, const Record* a, const Record* b) const;
    int CompareKey(const Index& ix, const Record* r, const std::vector<TValue>& keys) const;
    size_t PosOf(const Record* r) const;
    void InsertInOrders(Record* r);
    void RemoveFromOrders(Record* r);
    void InsertInIndex(Index& ix, Record* r);
    void RemoveFromIndex(Index& ix, Record* r);
    bool ChaveMuda(const Index& ix, const Record* r, const std::vector<TValue>& novos) const;
    void SortIndex(Index& ix);
    bool Accept(Record* r) const;
    Record* NextVisible(size_t from) const;     // first visible at or after position
    Record* PriorVisible(size_t before) const;  // last visible before position
    Record* NearestVisible(size_t pos) const;   // at/after pos, else before it
    void MoveTo(Record* r);
    void Calculate(Record* r);
    // A field of a record, read from the file first when it is neither whole nor resident.
    const TValue& Valor(const Record* r, size_t field) const;
    void Materializa(Record* r) const;
    // A record written (or no longer pending) goes back to the queue of records that may be let go.
    void Solta(Record* r) const;
    void DescartaLidos() const;
    void MarcaPendente(Record* r);
    void DesmarcaPendente(Record* r);
    // Takes the found records of `bookmarks` out of the orders, the pending list, the counters and
    // memory. Deleted ones (`apagados`) owe their rows a deletion in the file; records only let go
    // keep their rows and spare the current record. Returns whether any went, and the current one.
    std::pair<bool, bool> TiraRegistros(const std::vector<TBookmark>& bookmarks, bool apagados);
    void Invalidate(Record* r) {
        if (calculated_ == r) calculated_ = nullptr;
    }
    std::vector<TValue> KeysFor(const Index& ix, const std::vector<TValue>& keys) const;
    // Position of the first record not below the keys on the current index.
    size_t LowerBound(const std::vector<TValue>& keys, std::vector<TValue>& converted);
    std::vector<TValue> EndSetKey();
    const std::vector<int>& ResolveFields(const std::string& fields) const;
    std::unique_ptr<Record> NewRecord();

    std::string name_;
    std::vector<std::unique_ptr<TField>> fields_;
    // Field lookup by exact name first; other spellings fall back to a comparison without case.
    struct HashNome {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, TField*, HashNome, std::equal_to<>> fieldsByName_;
    // Field names mostly come as the same literals again and again: the last field found through
    // each text address.
    mutable TNomesLembrados<TField, 9> camposLembrados_;
    mutable std::deque<std::pair<std::string, std::vector<int>>> listasResolvidas_;
    TField* ProcuraCampo(std::string_view name) const;
    [[noreturn]] void CampoInexistente(std::string_view name) const;
    void EsqueceCampos() {
        listasResolvidas_.clear();
        camposLembrados_.Esquece();
        // An expression read holds the places of the fields it names.
        filtrosLidos_.clear();
    }
    bool hasCalculated_ = false;
    // The record whose calculated fields are up to date: they are worked out when first read.
    mutable const Record* calculated_ = nullptr;
    std::vector<TIndexDef> indexDefs_;
    std::vector<std::unique_ptr<Index>> indexes_;
    int currentIndex_ = -1;

    std::unordered_map<uint64_t, std::unique_ptr<Record>> owned_;
    std::vector<Record*> natural_;
    uint64_t nextSeq_ = 1;

    // Records kept in the file: where they are read from, which slot of `residentes` holds each
    // field (-1: none), and the records read whole, oldest first (by sequence number).
    std::shared_ptr<TFonteRegistros> fonte_;
    std::vector<int> posResidente_;
    std::vector<std::string> nomesResidentes_;
    mutable std::deque<uint64_t> lidos_;
    mutable size_t inteiros_ = 0;
    mutable size_t fixos_ = 0;  // of inteiros_, those held whole until written
    // Changes not yet in the file.
    std::vector<Record*> pendentes_;
    std::vector<int64_t> removidas_;

    mutable TDataSetState state_ = TDataSetState::dsInactive;
    Record* current_ = nullptr;
    std::unique_ptr<Record> buffer_;  // record being edited or inserted
    std::unique_ptr<Record> keyBuffer_;
    mutable Record* override_ = nullptr;  // record under calculation or filtering
    bool modified_ = false;
    bool bof_ = true;
    bool eof_ = true;

    std::string filterText_;
    std::shared_ptr<const TFilterExpression> filter_;
    bool filtered_ = false;
    // Any change of records, order or filter bumps versao_; versaoDados_ leaves out the filter,
    // whose state a kept answer records apart (geracaoFiltro_ names the expression in force, the
    // same number for the same text while the fields stay), so that turning a filter off and on
    // again, or going back to an earlier one, finds the earlier answers still good.
    uint64_t versao_ = 0;
    uint64_t versaoDados_ = 0;
    uint64_t sessao_ = 0;
    uint64_t carimbo_ = 0;
    std::vector<uint64_t> carimbos_;
    uint64_t geracaoFiltro_ = 0;
    // The expressions set lately, read once each, with their numbers: a screen that filters by
    // the state and revenue of each slip goes back and forth between a few of them.
    struct FiltroLido {
        std::string texto;
        std::shared_ptr<const TFilterExpression> expressao;
        uint64_t geracao;
    };
    static constexpr size_t kFiltrosLidos = 64;
    std::deque<FiltroLido> filtrosLidos_;
    uint64_t ultimaGeracao_ = 0;
    uint64_t EstadoFiltro() const {
        return geracaoFiltro_ * 4 + (filtered_ ? 2 : 0) + (FilterCaseInsensitive ? 1 : 0);
    }
    // The latest key searches and their answers, good while nothing that could change them
    // happens. Checking a slip looks up the same few rule rows again and again.
    struct UltimaBusca {
        uint64_t versao = ~uint64_t(0);
        uint64_t estadoFiltro = 0;
        const void* indice = nullptr;
        uint64_t resumo = 0;  // a hash of the keys, compared before the keys themselves
        std::vector<TValue> chaves;
        std::string chaveFiltro;  // the filter event's inputs when the answer was found
        Record* registro = nullptr;
    };
    // Enough places for every rule row a day's mix of states and revenues asks for; made on the
    // first search, so a table never searched by key holds none.
    static constexpr size_t kBuscasGuardadas = 1024;
    // The kept answer for these keys, or null; *achou tells whether there is one.
    template <typename Chaves>
    const UltimaBusca* BuscaGuardada(const Chaves& keys, uint64_t resumo,
                                     const std::string& chaveFiltro) const;
    // Whether a search's answer may be kept, and under which filter inputs.
    bool BuscaGuardavel(std::string& chaveFiltro) const;
    std::vector<UltimaBusca> buscas_;
    // The first visible record, kept for the version and filter inputs it was found under.
    struct PrimeiroGuardado {
        uint64_t versao = ~uint64_t(0);
        uint64_t estadoFiltro = 0;
        std::string chaveFiltro;
        Record* registro = nullptr;
    };
    mutable PrimeiroGuardado primeiro_;
    Record* PrimeiroVisivel() const;
    void Mudou() {
        ++versao_;
        ++versaoDados_;
    }
    void MudouFiltro() { ++versao_; }

    std::vector<TDataSource*> sources_;
    int disableCount_ = 0;
    TDataSetState disableState_ = TDataSetState::dsInactive;
};

}  // namespace kova
