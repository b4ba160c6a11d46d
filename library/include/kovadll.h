/*
 * KOVADll: the request library of KOVA, for programs that create and print slips.
 *
 * Load libkovadll.so (dlopen or link it) and call its exports. They are plain C functions with the
 * platform's standard C calling convention (on x86-64 Linux the System V ABI: arguments in
 * registers, the callee cleans nothing up), the same for every export. All texts are zero-ended
 * Windows-1252.
 *
 * On Windows the library is kovadll.dll (32-bit and 64-bit builds). Load it with LoadLibrary and
 * find an export by its name or its ordinal: teste 1, kova 2, kova2 3, imprime 4, kova_n 5,
 * kova2_n 6, kova_ultimo_erro 7. Every export uses __stdcall (KOVADLL_CALL): on 32-bit Windows the
 * callee removes the arguments and the names are exported undecorated ("kova2", not "_kova2@4");
 * on 64-bit Windows it is the system's one calling convention. That build has no screen: kova2
 * and imprime work fully (imprime through the Windows print system, below); kova and teste show
 * nothing (see each). Config.ini is read beside the host program; each user's KOVA.INI is kept
 * in their profile (%APPDATA%\KOVA), read over the one in the Windows directory, which is the
 * machine's and never written; paths use backslashes. An installed program's tables (a Dados
 * beside the library that its users may not write) are copied into each user's own data
 * directory, %LOCALAPPDATA%\KOVA\Dados, on their first call. A data directory is the same on both
 * systems: one written on Linux is used on Windows as it stands, and the reverse. Any number of
 * host programs may load one data directory at once.
 *
 * The state-registration component DllInscE32.Dll is taken from the first place that holds it:
 * the system directory, the host program's folder, then the library's own folder (on Linux the
 * package's folder of it). Nothing is copied or written, so a user who may not write the system
 * directory uses the component beside the program. It is loaded on the first request that checks a
 * registration and kept for the life of the process. With none anywhere, a request that needs it
 * fails with "DllInscE32.Dll não carregada (procurada em <the places tried>)".
 *
 * The library creates nothing when it is loaded; the first call creates the data module (reading
 * Config.ini beside the host program, or KOVA.INI, and loading the data directory) and keeps it
 * for the life of the process. Slips stored through the library live in memory only:
 * the library never writes the slips file. It keeps the newest of them, at most the number set by
 * MaximoKOVAsGuardadas in section [KOVA] of KOVA.INI (10,000 when unset): past it the oldest are
 * released, a tenth of that number at a time, and the numbering goes on.
 *
 * Threads: the library serves one call at a time in the whole process. Every export holds one
 * process-wide lock for its whole call, so a call from a second thread waits until the first one
 * returns (a kova showing its screen holds the lock until the person saves or cancels; the other
 * thread never acts on the slip being shown). A call made on the same thread from inside another
 * (a host's event handler running while the screen is shown) is not served: it fails at once with
 * its reason in kova_ultimo_erro, and the buffer keeps the request.
 *
 * No export lets a failure reach the caller: a failure leaves the request in the buffer and its
 * text can be read with kova_ultimo_erro.
 *
 * No call waits longer than ten seconds, counted from the call (its wait for another thread's call
 * included), for what another program holds in the data directory (its lock, the slips file in
 * the middle of a save). Past that, kova2 answers
 *   Retorno=001;Mensagem_Retorno=KOVA não incluída: o arquivo está em uso por outro programa;CRC=..
 * and kova the same after the request and ";"; kova_ultimo_erro gives the whole message, naming
 * the file. The next call tries again.
 *
 * On Linux kova and teste show the entry screen with Qt on the calling thread. A host that runs
 * its own QApplication keeps it: the screen opens inside it. A host without one gets one made by
 * the library on the first call that needs it, kept for the life of the process. With no display
 * (neither DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM set), kova and teste fail with
 * "Não há tela onde mostrar a KOVA" and imprime works off screen.
 *
 * Requests are items KEY=value separated by ";" (at most 255 characters a value, no ";" inside):
 * VERSAO, UFFAVORECIDA, RECEITA, EMPRESACOURIER, SUBRECEITA, CICCONTRIBUINTE, DOCUMENTOORIGEM,
 * REFERENCIA, CONVENIO, RAZAOSOCIAL, INSCRICAOESTADUAL, ENDERECO, MUNICIPIO, UF, CEP, TELEFONE,
 * VALORPRINCIPAL, DATAVENCIMENTO, DATAPAGAMENTO, INFORMACOES, ATUALIZACAOMONETARIA, JUROS, MULTA,
 * TOTALRECOLHER, PRODUTO. Keys compare without regard to case; an item with a blank before its key
 * is ignored. Amounts use "," before the decimals; dates are dd/mm/yyyy.
 *
 * The reply depends on the items of a request, not on their order. Whatever order they come in, the
 * items are applied in the slip's own field order: EMPRESACOURIER first, then UFFAVORECIDA,
 * RECEITA, SUBRECEITA, PRODUTO, CICCONTRIBUINTE, DOCUMENTOORIGEM, REFERENCIA, VALORPRINCIPAL,
 * ATUALIZACAOMONETARIA, JUROS, MULTA, TOTALRECOLHER, DATAVENCIMENTO, DATAPAGAMENTO, CONVENIO,
 * RAZAOSOCIAL, INSCRICAOESTADUAL, ENDERECO, MUNICIPIO, UF, CEP, TELEFONE, INFORMACOES. The first
 * item that fails its check in that order gives the reply's message (followed by a final ";"); a
 * slip whose items all pass is checked once more as a whole, with every rule, before it is stored
 * (a refusal there has no final ";"). Where two items act on each other by definition, that order
 * decides: a DATAPAGAMENTO earlier than DATAVENCIMENTO is stored as the due date, and TOTALRECOLHER
 * is compared with the amounts once they are all in. Of a key given more than once only its last
 * value counts, and an empty value changes nothing. kova fills the slip it shows the same way.
 *
 * The rules of dates read the clock at each request (today, this month, this year), so a host that
 * runs for days answers as one started that day. A slip is stored only when its barcode comes out
 * as 44 digits: a value the barcode cannot carry (a document of origin with letters where the
 * revenue's barcode packs it as typed, a reference year before the barcode's base year) is refused
 * with the numbered message of its field.
 *
 * Every reply ends with ";CRC=" and the CRC-32 (IEEE 802.3, as zlib's crc32) of the reply text
 * before ";CRC=", as 8 upper-case hexadecimal digits; a rejection of a field adds a final ";".
 * Amounts in messages carry the currency symbol "R$".
 */
#ifndef KOVADLL_H
#define KOVADLL_H

#include <stdbool.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef _WIN32
#define KOVADLL_API
#define KOVADLL_CALL __stdcall
#else
#define KOVADLL_API __attribute__((visibility("default")))
#define KOVADLL_CALL
#endif

/* Runs the hosted request (the entry screen shown to a person) on the text the library holds as its
 * request: after a kova call that is that call's reply (the saved slip's fields, or the request
 * followed by its refusal), after a kova2 call its reply, and before any call an empty request,
 * which opens an empty slip. True when at least one slip was saved. The Windows build has no
 * screen: teste returns false at once, and kova's reply tells why (below). */
KOVADLL_API bool KOVADLL_CALL teste(void);

/* The hosted request: the entry screen, filled from the request, is shown modally until the
 * person saves or cancels; the fields the request filled stay closed, but for the amounts, the
 * due date, the agreement number and the state and revenue lists. A request with a due date asks
 * for the payment date at the save. The buffer holds the request and receives the reply, which
 * may be up to 1,500 bytes:
 *   IdKOVA=<n>;UFFavorecida=..;...;DataHora=[;Produto_Descricao=..];Retorno=000;
 *       Mensagem_Retorno=KOVA incluída com sucesso;CRC=XXXXXXXX
 *   <the request>;Retorno=001;Mensagem_Retorno=KOVA não incluída;CRC=XXXXXXXX
 * A value a field cannot take (a date that does not exist) fails the call; the slip stays open
 * and the next kova or teste shows it as it stands.
 * The Windows build has no screen: kova shows nothing and answers, whatever the request,
 *   <the request>;Retorno=001;Mensagem_Retorno=KOVA não incluída: esta versão da KOVADll não tem
 *       tela;CRC=XXXXXXXX
 * (the message on one line), which differs from a person's cancel only in its message: a host
 * tells "not available in this build" from "cancelled" by it.
 * kova never writes more than 1,500 bytes, the zero byte included. A refusal answers the request
 * itself and about 60 bytes more, so a request longer than about 1,440 bytes may get a reply that
 * does not fit: nothing is written then, the buffer keeps the request and kova_ultimo_erro says
 * why. kova_n takes a buffer of any size. */
KOVADLL_API void KOVADLL_CALL kova(char *requisicao);

/* The unattended request: fills, checks and stores a slip without showing anything. The buffer
 * holds the request and receives the reply, always under 400 bytes:
 *   <44 digits>;Retorno=000;Mensagem_Retorno=KOVA Validada com sucesso;CRC=XXXXXXXX
 *   Retorno=001;Mensagem_Retorno=<why>;CRC=XXXXXXXX[;]
 * Between 5 and 25 items (a final ";" adds none). kova2 never writes more than 400 bytes, the zero
 * byte included: a reply that would is not written, the buffer keeps the request and
 * kova_ultimo_erro says why. */
KOVADLL_API void KOVADLL_CALL kova2(char *requisicao);

/* Prints the three copies of the current slip of the library's slips table (normally the slip of
 * the last request) on one A4 page and writes "000" into resultado; when nothing was printed it
 * writes "001KOVA não incluida" (resultado must hold 21 bytes) and the reason is kept for
 * kova_ultimo_erro. The slip is not marked printed. The three texts are kept with the report and
 * not printed.
 * Linux: the page goes to the system's default printer, "000" once its queue accepted the job (a
 * stopped queue, or one not taking jobs, gets nothing); on a machine without one it is written as
 * the PDF file KOVA_<IdKOVA>.pdf in the folder of the setting PastaImpressao (section [KOVA] of
 * KOVA.INI, or [Opções] of Config.ini), by default the folder Impressoes of the data directory.
 * Windows: the page is drawn through GDI on the user's default printer, "000" once the print
 * spooler accepted the whole job; a paused or offline printer gets nothing, and a machine without
 * printers answers "001" ("Não há impressora instalada: a KOVA não foi impressa"). */
KOVADLL_API void KOVADLL_CALL imprime(const char *texto1, const char *texto2, const char *texto3,
                                      char *resultado);

/* Length-checked forms of kova and kova2: they never write more than tamanho bytes (the reply is
 * cut to tamanho - 1 bytes and a zero byte when it does not fit) and return the size the whole
 * reply needs, zero byte included; 0 when the call failed (the buffer keeps the request). A null
 * buffer, a size of 0 or a request without a zero byte within tamanho is refused with 0 and its
 * reason in kova_ultimo_erro. */
KOVADLL_API size_t KOVADLL_CALL kova_n(char *requisicao, size_t tamanho);
KOVADLL_API size_t KOVADLL_CALL kova2_n(char *requisicao, size_t tamanho);

/* The text of the last failure of a call (empty when the last call succeeded), cut to fit
 * tamanho bytes; returns the size the whole text needs, zero byte included. */
KOVADLL_API size_t KOVADLL_CALL kova_ultimo_erro(char *texto, size_t tamanho);

#ifdef __cplusplus
}
#endif

#endif /* KOVADLL_H */
