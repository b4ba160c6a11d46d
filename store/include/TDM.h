#pragma once
// The data module: the one object (DM) that owns every table of the system (the user's slips and
// the reference tables that drive the rules), the run-time settings and the process-wide mode
// flags. Everything else reaches slips and reference data through it. Creating it sets the
// regional formats, clears every flag and defines the tables (fields in their fixed order,
// indexes, calculated fields, filters and the slips table's rules); destroying it leaves nothing
// behind, so tests may create and destroy it as often as they like, one at a time.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "DM.h"
#include "Errors.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TTrava.h"

namespace kova {

class TArquivoTabela;

// A new slip refused because its number would pass the greatest a slip number can hold.
class ENumeracaoEsgotada : public Exception {
public:
    using Exception::Exception;
};

// Something refused because another program writes slips in the data directory.
class EOutroEscritor : public Exception {
public:
    using Exception::Exception;
};

// The greatest slip number: IdKOVA is a 32-bit integer in the file and in every reply.
inline constexpr int32_t kMaiorIdKOVA = INT32_MAX;

class TDM {
public:
    TDM();
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    // Opens every table empty, with its indexes and its first index current.
    void AbrirTabelasVazias();

    // --- Start-up and the table files ---
    // The creation event: clock check, configuration (Config.ini, KOVA.INI, the new-version
    // installation) and the load of the twelve table files with their checksums. Every failure has
    // been shown to the user when it returns, and TerminacaoSolicitada is set.
    void DMCreate();
    // The creation event's first part alone: the clock check, the configuration (which sets
    // DirDados) and, for a writer, the writer lock; no table is loaded. What a restore of the slips
    // file needs, which must work when that file does not load. False (told, termination
    // requested) when the start cannot go on.
    bool DMConfigura();
    // The destruction event of the desktop program: writes the slips file.
    void DMDestroy();
    // A folder named in a settings file, as the system knows it ("..\" and ".\" from the
    // program's folder, the separator at the end, the name as CaminhoNoSistema gives it).
    std::string NormalizaCaminho(const std::string& caminho) const;
    // True when the installation key may be removed from Config.ini.
    bool InstalaNovaVersao();
    bool ExisteArquivo(const std::string& path);
    bool ConfereCRC(const std::string& path);
    // Records the checksum of a file the program has just written (nothing when unchanged).
    void AtualizaCRC(const std::string& path);
    // Writes the slips changed since the last save (whatever the filter).
    void GravaKOVA();
    // Writes to the slips file, in one transaction, the slips posted and deleted since the last
    // save (nothing at all when there are none): whatever instant the process dies, the next start
    // finds the slips of before or those of after, each file passing its check. The file carries
    // its own check (each row's CRC and a seal over them, TArquivoTabela), so that the cost is the
    // same at any size; ControleCRC.cds holds no entry for it. Holds the directory's lock
    // exclusively only when more than the slips file changes (see TTrava). Throws EGravacaoKOVA,
    // with the reason, when the changes could not be written (another program held the file past
    // the bound of the wait included); the file stays as it was and the changes stay to be saved.
    void SalvarKOVA();
    // Writes every slip of the table as a new slips file put in place of the old one in one step
    // (the new-version installation, which may change the layout).
    void GravarKOVAInteiro();
    // Puts a copy of the slips file (ListaCopias) in its place, after checking that it opens and
    // its seal matches, as the directory's one writer and under its exclusive lock: refused
    // (Exception, nothing changed) while another program writes slips there or a slip is being
    // typed (EOutroEscritor for the first). The replaced file (with a journal a killed program left
    // it) is kept aside in the
    // copies' folder, never removed. Slips this module had loaded are read again from the copy.
    // Returns the path of the file kept aside (empty when there was none).
    std::string RestaurarCopia(const std::string& copia);
    // Finishes or discards a save that a crash interrupted, and removes the temporary files such a
    // save leaves. Only under the directory's exclusive lock, held by no one else.
    static void RecuperarGravacao(const std::string& dirDados);
    // Makes the new files of a save (each NAME written completely as NAME.novo) the directory's
    // files as one step; under the exclusive lock. Throws EErroGravacao, and removes them, when
    // the step cannot be taken.
    static void ConcluirGravacao(const std::string& dirDados,
                                 const std::vector<std::string>& nomes);

    // Holds back the writing of the slips file during a run of many changes (an import, a print
    // of every slip, a removal); the file is written once when the last guard ends.
    class TAdiaGravacao {
    public:
        explicit TAdiaGravacao(TDM& dm) : dm_(dm) { ++dm_.adiamentos_; }
        ~TAdiaGravacao() noexcept(false);
        TAdiaGravacao(const TAdiaGravacao&) = delete;
        TAdiaGravacao& operator=(const TAdiaGravacao&) = delete;
        // Ends the holding back at once: the file is written now when this was the last guard
        // (throws as SalvarKOVA does), and the end of the guard does nothing more.
        void Concluir();

    private:
        TDM& dm_;
        bool concluido_ = false;
    };
    // Defines the slips table's fields and indexes (also used to rebuild the slips file).
    void DefinirCamposKOVA(TDataSet& t);

    // The reference-period kind of the current slip's revenue in its receiving state: the first
    // character of its "RE" rule, else of the current revenue record's Referencia.
    std::string TipoReferencia();
    // Reads the clock for the slip about to be typed, imported or requested: the current year
    // bounds its reference period and import declaration, also in a program that has run since
    // last year.
    void LerRelogio();
    // Marks the current slip printed (situation "I"), without validation and without making it
    // "A"; the cursor returns to it when the filter still shows it.
    void MarcaImpressa();

    // --- Tables (declared before their data sources, which must go first) ---
    TDataSet cdsKOVA{"cdsKOVA"};
    TDataSet cdsUF{"cdsUF"};
    TDataSet cdsReceita{"cdsReceita"};
    TDataSet cdsSubReceita{"cdsSubReceita"};
    TDataSet cdsUFReceita{"cdsUFReceita"};
    TDataSet cdsUFProduto{"cdsUFProduto"};
    TDataSet cdsFeriado{"cdsFeriado"};
    TDataSet cdsEmpresaCourier{"cdsEmpresaCourier"};
    TDataSet cdsBanco{"cdsBanco"};
    TDataSet cdsUFBanco{"cdsUFBanco"};
    TDataSet cdsControle{"cdsControle"};
    TDataSet cdsControleCRC{"cdsControleCRC"};
    TDataSet cdsGenerico{"cdsGenerico"};

    TDataSource dtsKOVA{"dtsKOVA"};
    TDataSource dtsUF{"dtsUF"};
    TDataSource dtsReceita{"dtsReceita"};
    TDataSource dtsSubReceita{"dtsSubReceita"};
    TDataSource dtsUFReceita{"dtsUFReceita"};
    TDataSource dtsUFProduto{"dtsUFProduto"};
    TDataSource dtsFeriado{"dtsFeriado"};
    TDataSource dtsEmpresaCourier{"dtsEmpresaCourier"};
    TDataSource dtsBanco{"dtsBanco"};
    TDataSource dtsUFBanco{"dtsUFBanco"};
    TDataSource dtsControleCRC{"dtsControleCRC"};

    // --- Where things are ---
    // The program's directory (for the library, its host's); set at creation, tests may change it.
    std::string DirPrograma;
    std::string DirWindows;
    // KOVA.INI: the user's own, the only one written, and the machine's, read under it (empty where
    // there is none: on Linux the Windows directory is the user's already). Set at creation.
    std::string KovaIni;
    std::string KovaIniMaquina;
    // Set when the program must end (a failed load): the desktop obeys it, the library answers
    // every request with a failure and never ends its host.
    bool TerminacaoSolicitada = false;
    // The desktop writes the slips file after every change that stores, deletes or marks slips;
    // the library never writes it.
    bool GravarAposAlteracao = false;
    // Set before DMCreate by a program that writes the slips file (the desktop, an import): the
    // creation takes the data directory's writer lock for the rest of the run, and refuses to go
    // on (EscritaRecusada, termination requested) while another program holds it.
    bool Escritor = false;
    bool EscritaRecusada = false;
    // Set, with termination requested, when the load found the data directory held by another
    // program past the bound of the wait (the library answers such a call as a refusal that says
    // so).
    bool DadosEmUso = false;
    // Set when the start failed on the slips file itself (missing, unreadable, its seal not
    // matching): a copy of it may put that right.
    bool FalhaNoArquivoDeKOVA = false;

    // How the start reads the slips file: every slip with its resident fields (the desktop and its
    // lists), or only the last number (a program that only adds slips: an import, the library's
    // requests). Set before DMCreate.
    enum class TCargaKOVA { Residentes, SoNumeracao };
    TCargaKOVA CargaKOVA = TCargaKOVA::Residentes;
    // The fields of every slip kept in memory: what the lists order, filter, search and show, and
    // what the removal of printed slips reads. The others are read from the file when asked for.
    static const std::vector<std::string>& CamposResidentesKOVA();
    // Adds the slips of the file (their resident fields) to the slips table, when the start read
    // only the last number: the hosted screen lists them. Once; failures as the load's.
    void CarregarKOVAsGuardadas();
    // The slips of the table whose values of the named fields (in that order) meet the criterion,
    // in no particular order. The fields that are not in memory are read from the file, one column
    // at a time, never the slips whole; the slips not yet written are judged in memory.
    using TCriterioKOVA = std::function<bool(const std::vector<TValue>& valores)>;
    std::vector<TBookmark> KOVAsQue(const std::vector<std::string>& campos,
                                    const TCriterioKOVA& criterio);

    // --- Run-time settings ---
    std::string DirDados;  // always ends with the path separator once configured
    int TopMargin = -1;
    int AnoAtual = 0;
    int Versao = 0;
    std::string VersaoRelease;
    int VersaoTestes = 0;
    int VersaoCodigoBarras = 0;
    // The barcode's base year: 1998 until a barcode build sets it (1998 or 1999).
    int AnoBase = 1998;
    int ValidadeDocumento = 0;
    // Web addresses quoted in messages: the Minas Gerais page on infraction notices (error 64)
    // and the Ceará finance office (overdue notices). Config.ini may replace them.
    std::string EnderecoAutuacoesMG = "https://www.fazenda.mg.gov.br";
    std::string EnderecoFazendaCE = "https://www.sefaz.ce.gov.br";
    // Where the library writes a print as a PDF file when the machine has no printer; empty: the
    // folder "Impressoes" of the data directory.
    std::string PastaImpressao;

    // --- Mode flags ---
    bool ModoImportacao = false;
    bool ModoBiblioteca = false;
    bool ModoSilencioso = false;
    bool ModoConsultaUFReceita = false;
    std::string CodigoCourier;

    // --- Module state ---
    // The last slip number handed out; a new slip past kMaiorIdKOVA is refused
    // (ENumeracaoEsgotada), the table left as it was.
    int32_t UltimoIdKOVA = 0;
    bool CriandoRegistro = false;
    std::string UltimoErro;
    int ConfirmarDataPagamento = 0;
    int PedirDataPagamento = 0;
    int SelecionarSubReceita = 0;

    // --- Wiring done by the entry form object, which sits above this module ---
    // The whole-record check run before a slip is saved; true when a field failed.
    std::function<bool(TDataSet&)> CriticaTodos;
    // The entry form object's data link while that object exists; its data-change handler is
    // detached while a slip is marked printed.
    TDataSource* dtsEntrada = nullptr;
    // Moves the entry screen's focus to a named control, while that object exists.
    std::function<void(const std::string& controle)> FocarControle;

    // --- Events of the tables ---
    void cdsKOVANewRecord(TDataSet& ds);
    void cdsKOVABeforePost(TDataSet& ds);
    void cdsKOVABeforeCancel(TDataSet& ds);
    void cdsKOVAAfterEdit(TDataSet& ds);
    void cdsKOVAValorPrincipalSetText(TField& field, const std::string& text);
    void cdsUFCalcFields(TDataSet& ds);
    void cdsReceitaCalcFields(TDataSet& ds);
    void cdsReceitaDescricaoGetText(TField& field, std::string& text, bool displayText);
    bool cdsReceitaFilterRecord(TDataSet& ds);
    std::string cdsReceitaFilterKey();
    std::string UFDoFiltroReceita();
    bool cdsSubReceitaFilterRecord(TDataSet& ds);

private:
    void DefinirTabelas();
    bool Configurar();
    bool CarregarTabelas();
    bool CarregarArquivos(const std::function<std::string(const std::string& nome)>& lido);
    // Checks the file read in the place of path (a save's new file) against path's entry.
    bool ConfereCRC(const std::string& path, const std::string& lido);
    // The writer lock of DirDados; false (the refusal shown) when another program holds it.
    bool TomarEscrita();
    void GarantirControleCRC();
    void KOVAAlterada();
    void SolicitarTerminacao() { TerminacaoSolicitada = true; }

    // Opens the slips file (as the program's mode asks) and reads what the start needs of it.
    bool CarregarKOVA(const std::string& path, const std::string& arquivo);
    // ControleCRC.cds without its entry for the slips file, which carries its own check now.
    void RetiraCRCDoKOVA();
    // At a save, before anything is written: the copy of the day the file last changed, when that
    // day is over and has none yet (CopiasDeSeguranca.h). A failure costs the copy, never the save.
    void CopiaDoDia(TArquivoTabela& fonte);

    int adiamentos_ = 0;
    bool pendente_ = false;
    TTrava escritor_;
    std::shared_ptr<TArquivoTabela> arquivoKOVA_;
    bool guardadasCarregadas_ = false;
};

// The slips filter: the slips not yet printed.
inline constexpr const char* kFiltroKOVANaoImpressas = "(Situacao = 'N') or (Situacao = 'A')";

}  // namespace kova
