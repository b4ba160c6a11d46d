#include "Requisicao.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <span>

#include "CalculaCodigoBarra.h"
#include "Conversoes.h"
#include "Desligado.h"
#include "Errors.h"
#include "Predicados.h"
#include "Preenchimento.h"
#include "TDM.h"
#include "Texto.h"
#include "ValidaCampo.h"

namespace kova {
namespace {

struct TChave {
    const char* chave;
    const char* campo;  // nullptr: not a slip field
};

// Tested in this order, so that "UFFAVORECIDA=" is never taken for "UF=".
constexpr TChave kChaves[] = {
    {"VERSAO=", nullptr},
    {"UFFAVORECIDA=", "UFFavorecida"},
    {"RECEITA=", "Receita"},
    {"EMPRESACOURIER=", nullptr},
    {"SUBRECEITA=", "SubReceita"},
    {"CICCONTRIBUINTE=", "CICContribuinte"},
    {"DOCUMENTOORIGEM=", "DocumentoOrigem"},
    {"REFERENCIA=", "Referencia"},
    {"CONVENIO=", "Convenio"},
    {"RAZAOSOCIAL=", "RazaoSocial"},
    {"INSCRICAOESTADUAL=", "InscricaoEstadual"},
    {"ENDERECO=", "Endereco"},
    {"MUNICIPIO=", "Municipio"},
    {"UF=", "UF"},
    {"CEP=", "CEP"},
    {"TELEFONE=", "Telefone"},
    {"VALORPRINCIPAL=", "ValorPrincipal"},
    {"DATAVENCIMENTO=", "DataVencimento"},
    {"DATAPAGAMENTO=", "DataPagamento"},
    {"INFORMACOES=", "Informacoes"},
    {"ATUALIZACAOMONETARIA=", "AtualizacaoMonetaria"},
    {"JUROS=", "Juros"},
    {"MULTA=", "Multa"},
    {"TOTALRECOLHER=", "TotalRecolher"},
    {"PRODUTO=", "Produto"},
};

constexpr const char* kRejeitada = "Retorno=001;Mensagem_Retorno=";

double Decimal(const std::string& v) {
    double d;
    if (!TryStrToFloat(v, d)) throw EConvertError("'" + v + "' não é um número válido");
    return d;
}

TDate Data(const std::string& v) {
    TDate d;
    if (!TryStrToDate(v, d)) throw EConvertError("'" + v + "' não é uma data válida");
    return d;
}

// The keys' lengths, and each key by its length and first letter (no two keys share both).
struct TIndiceDasChaves {
    static constexpr size_t kMaiorTamanho = 32;
    std::array<size_t, std::size(kChaves)> tamanhos{};
    std::array<std::array<int8_t, 26>, kMaiorTamanho> porTamanhoELetra{};
    constexpr TIndiceDasChaves() {
        for (auto& l : porTamanhoELetra) {
            for (auto& i : l) i = -1;
        }
        for (size_t i = 0; i < tamanhos.size(); ++i) {
            tamanhos[i] = std::char_traits<char>::length(kChaves[i].chave);
            porTamanhoELetra[tamanhos[i]][size_t(kChaves[i].chave[0] - 'A')] = int8_t(i);
        }
    }
};

constexpr TIndiceDasChaves kIndice;

const TIndiceDasChaves& IndiceDasChaves() { return kIndice; }

// The key of an item, or null when it has none.
// Every key ends at its only "=", so the item's text up to its first "=" is the one candidate.
const TChave* ChaveDoItem(std::string_view item) {
    const size_t igual = item.find('=');
    if (igual == std::string_view::npos) return nullptr;
    const std::string_view candidata(item.data(), igual + 1);
    const TIndiceDasChaves& indice = IndiceDasChaves();
    if (candidata.size() >= TIndiceDasChaves::kMaiorTamanho) return nullptr;
    // Every key begins with a capital: a first character that is no letter, or not that one in
    // either case, rules a key out before its text is compared.
    const unsigned letra = (static_cast<unsigned char>(candidata.front()) & ~0x20u) - 'A';
    if (letra >= 26) return nullptr;
    const int i = indice.porTamanhoELetra[candidata.size()][letra];
    if (i < 0) return nullptr;
    // The keys are capitals and "=": a letter of the item in either case matches. Hosts write
    // them as they are documented, in capitals, which one comparison finds.
    const char* chave = kChaves[i].chave;
    if (std::memcmp(candidata.data(), chave, candidata.size()) == 0) return &kChaves[i];
    for (size_t j = 0; j < candidata.size(); ++j) {
        char c = candidata[j];
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (c != chave[j]) return nullptr;
    }
    return &kChaves[i];
}

bool EhCourier(const TChave& c) { return std::strcmp(c.chave, "EMPRESACOURIER=") == 0; }

// An item of a request with its key, in the order it will be applied.
struct TItem {
    const TChave* chave;
    std::string_view texto;
};

// Whether an item's value would change its field: an empty value changes nothing.
bool TemValor(const TChave& c, std::string_view item) {
    if (!c.campo) return true;
    const size_t tamanho = IndiceDasChaves().tamanhos[size_t(&c - kChaves)];
    const std::string_view valor = item.substr(std::min(item.size(), tamanho), 255);
    // Blank as Trim counts it: the value is trimmed before it is assigned.
    for (char ch : valor) {
        if (static_cast<unsigned char>(ch) > ' ') return true;
    }
    return false;
}

// The items that act on the slip, in the slip's own field order, so that the reply depends on the
// items given and not on the order they came in. Of a key given more than once only the last
// value counts (the earlier ones would be overwritten, and judging them on the way would make the
// answer depend on where they stood). The courier company comes right after the revenue code:
// its rule, which every field's check ends with from then on, reads the revenue.
std::vector<TItem> ItensNaOrdemDaKOVA(std::span<const std::string_view> itens, const TDataSet& k) {
    constexpr size_t n = std::size(kChaves);
    // The keys by the position of their field in the slip.
    static const auto ordem = [&k] {
        std::array<size_t, n> o{};
        for (size_t i = 0; i < n; ++i) o[i] = i;
        auto posicao = [&k](size_t i) {
            if (EhCourier(kChaves[i])) return 2 * k.FieldByName("Receita").Index() + 1;
            return kChaves[i].campo ? 2 * k.FieldByName(kChaves[i].campo).Index() : -1;
        };
        std::stable_sort(o.begin(), o.end(),
                         [&](size_t a, size_t b) { return posicao(a) < posicao(b); });
        return o;
    }();
    std::array<std::string_view, n> ultimo{};
    std::array<bool, n> dado{};
    for (std::string_view item : itens) {
        const TChave* c = ChaveDoItem(item);
        if (!c || !(c->campo || EhCourier(*c)) || !TemValor(*c, item)) continue;
        const size_t i = size_t(c - kChaves);
        ultimo[i] = item;
        dado[i] = true;
    }
    std::vector<TItem> r;
    r.reserve(n);
    for (size_t i : ordem) {
        if (dado[i]) r.push_back({&kChaves[i], ultimo[i]});
    }
    return r;
}

// How an item's value goes into its field.
enum class TAtribuicao { Texto, Maiusculas, Vencimento, Pagamento, Valor };

TAtribuicao AtribuicaoDo(const TField& f) {
    const std::string& nome = f.FieldName();
    if (SameText(nome, "DataVencimento")) return TAtribuicao::Vencimento;
    if (SameText(nome, "DataPagamento")) return TAtribuicao::Pagamento;
    if (SameText(nome, "UFFavorecida") || SameText(nome, "UF") ||
        SameText(nome, "CICContribuinte")) {
        return TAtribuicao::Maiusculas;
    }
    if (f.DataType() == TFieldType::ftCurrency) return TAtribuicao::Valor;
    return TAtribuicao::Texto;
}

// The field of each key and how it is assigned, worked out once: the slips table's layout is
// fixed.
struct TCampoDaChave {
    int posicao = -1;
    TAtribuicao atribuicao = TAtribuicao::Texto;
};

const TCampoDaChave& CampoDaChave(const TDataSet& k, const TChave& c) {
    static const auto campos = [&k] {
        std::array<TCampoDaChave, std::size(kChaves)> r{};
        for (size_t i = 0; i < r.size(); ++i) {
            if (!kChaves[i].campo) continue;
            const TField& f = k.FieldByName(kChaves[i].campo);
            r[i] = {f.Index(), AtribuicaoDo(f)};
        }
        return r;
    }();
    return campos[size_t(&c - kChaves)];
}

// The slip fields the items fill, in the order they fill them, by position.
std::vector<int> CamposDosItens(const TDataSet& k, const std::vector<TItem>& itens) {
    std::vector<int> campos;
    campos.reserve(itens.size());
    for (const TItem& i : itens) {
        if (i.chave->campo) campos.push_back(CampoDaChave(k, *i.chave).posicao);
    }
    return campos;
}

// Assigns a value to a field as kova2 does; false when the value is empty and nothing was
// assigned.
bool Atribui(TDataSet& k, TField& f, TAtribuicao atribuicao, std::string_view item,
             size_t posicao) {
    std::string valor =
        Trim(item.size() > posicao ? item.substr(posicao, 255) : std::string_view());
    if (valor.empty()) return false;
    switch (atribuicao) {
        case TAtribuicao::Vencimento:
            f.SetAsDate(Data(valor));
            break;
        case TAtribuicao::Pagamento: {
            f.SetAsDate(Data(valor));
            // A payment before the due date is paid on the due date.
            const TField& venc = k.FieldByName("DataVencimento");
            if (!venc.IsNull() && f.AsDate() < venc.AsDate()) f.SetAsDate(venc.AsDate());
            break;
        }
        case TAtribuicao::Maiusculas:
            // In capitals, as the screen types them, before any rule compares them (the letters
            // of an alphanumeric CNPJ as well).
            f.SetAsString(UpperCase(valor));
            break;
        case TAtribuicao::Valor:
            f.SetAsFloat(ArredondaValor(Decimal(valor)));
            break;
        case TAtribuicao::Texto:
            f.SetAsString(std::move(valor));
            break;
    }
    return true;
}

// The items of a request as DivideEmVistas cuts them, read once without being kept: how many there
// are, and the last favoured state given with a value (the one the slip would be filled with).
struct TPrimeiraLeitura {
    size_t itens = 0;
    std::optional<std::string_view> estadoFavorecido;
};

TPrimeiraLeitura LePrimeira(std::string_view texto) {
    TPrimeiraLeitura r;
    ParaCadaItem(';', texto, [&r](std::string_view v) {
        ++r.itens;
        // Only two keys begin with a U, and the other one is "UF=".
        if (v.size() < 13 || (v[0] != 'U' && v[0] != 'u') || (v[2] != 'F' && v[2] != 'f')) return;
        const TChave* c = ChaveDoItem(v);
        if (c && std::strcmp(c->chave, "UFFAVORECIDA=") == 0 && TemValor(*c, v))
            r.estadoFavorecido = v;
    });
    return r;
}

// A request whose first field is a favoured state the states table does not have is refused by
// that field's own check, which reads nothing else of the slip: the refusal is told without the
// request's items being ordered, nor a new slip opened and cancelled. The favoured state is the
// first field of the slip a request fills whenever it is given. Empty when it is not given or
// passes its check, or when no number is left for a new slip (opening it is then what refuses the
// request).
std::string RecusaDoEstadoFavorecido(TDM& dm, std::string_view item) {
    if (dm.UltimoIdKOVA >= kMaiorIdKOVA) return {};
    TDataSet& k = dm.cdsKOVA;
    const TChave& chave = *ChaveDoItem(item);
    const TField& f = k.Fields(CampoDaChave(k, chave).posicao);
    const size_t n = IndiceDasChaves().tamanhos[size_t(&chave - kChaves)];
    // The value as the field would hold it: trimmed, in capitals, cut to the field's size.
    std::string valor = UpperCase(Trim(item.substr(std::min(n, item.size()), 255)));
    if (f.Size() > 0 && valor.size() > size_t(f.Size())) valor.resize(size_t(f.Size()));
    return RecusaUFFavorecida(Trim(std::string_view(valor)));
}

void CancelaAberta(TDataSet& k) {
    const TDataSetState s = k.State();
    if (s == TDataSetState::dsEdit || s == TDataSetState::dsInsert || s == TDataSetState::dsSetKey)
        k.Cancel();
}

}  // namespace

std::string AssinaResposta(TfrmDigitar& frm, const std::string& texto) {
    std::string assinada;
    // Room for the signature and the ";" some replies end with.
    assinada.reserve(texto.size() + 16);
    assinada += texto;
    assinada += ";CRC=";
    assinada += frm.Checksum.StringCRC(texto);
    return assinada;
}

bool PreencheCampo(TfrmDigitar&, std::string_view campo, std::string_view item, size_t posicao) {
    TDataSet& k = DM->cdsKOVA;
    TField& f = k.FieldByName(campo);
    return Atribui(k, f, AtribuicaoDo(f), item, posicao);
}

namespace {

// Posts the new slip with the barcode the whole-slip check builds before the post, as the edit that
// stores it after the post leaves the slip: its content and the mark of a changed slip, set without
// the screen hearing of them. A second edit and post would run the screen's steps for nothing.
void PostaComCodigoBarra(TfrmDigitar& frm, TDM& dm) {
    TDataSet& k = dm.cdsKOVA;
    struct TRestaura {
        TDataSet::TEvent& evento;
        TDataSet::TEvent original;
        ~TRestaura() { evento = std::move(original); }
    } verifica{k.BeforePost, k.BeforePost};
    k.BeforePost = [&frm, &dm, &verifica](TDataSet& d) {
        if (verifica.original) verifica.original(d);
        if (frm.CodigoBarraConferido.empty()) return;
        std::function<void(TDataSource&, TField*)> semUso;
        Desligado<std::function<void(TDataSource&, TField*)>> dados(
            dm.dtsEntrada ? dm.dtsEntrada->OnDataChange : semUso);
        d.FieldByName("CodigoBarra").SetAsString(frm.CodigoBarraConferido);
        dm.LerRelogio();
        d.FieldByName("Situacao").SetAsString("A");
    };
    k.Post();
}

}  // namespace

bool ValidaRequisicao(TfrmDigitar& frm) {
    TDM& dm = *DM;
    dm.ModoBiblioteca = true;
    dm.ModoSilencioso = true;
    frm.QtdeIncluidas = 0;
    dm.CodigoCourier.clear();
    dm.SelecionarSubReceita = 0;

    const TPrimeiraLeitura leitura = LePrimeira(frm.Requisicao);
    if (leitura.itens < 5 || leitura.itens > 25) {
        frm.Requisicao = AssinaResposta(
            frm, std::string(kRejeitada) + "Número de Campos Inválido - KOVA Rejeitada");
        return false;
    }
    TDataSet& k = dm.cdsKOVA;
    if (!k.Active()) throw Exception("cdsKOVA não ativo");
    CancelaAberta(k);
    dm.UltimoErro.clear();
    if (std::string recusa = leitura.estadoFavorecido
                                 ? RecusaDoEstadoFavorecido(dm, *leitura.estadoFavorecido)
                                 : std::string();
        !recusa.empty()) {
        dm.UltimoErro = std::move(recusa);
        frm.Requisicao = AssinaResposta(frm, kRejeitada + dm.UltimoErro);
        frm.Requisicao += ';';
        return false;
    }
    try {
        k.Append();
    } catch (const ENumeracaoEsgotada& e) {
        // A refusal of the slip, told to the caller as any other.
        frm.Requisicao = AssinaResposta(frm, kRejeitada + std::string(e.what()));
        return false;
    } catch (const std::exception& e) {
        throw Exception(std::string("Erro no append: ") + e.what());
    }

    try {
        const std::vector<TItem> plano = ItensNaOrdemDaKOVA(DivideEmVistas(';', frm.Requisicao), k);
        TPreenchimento preenchimento(frm, CamposDosItens(k, plano));
        for (const auto& [c, item] : plano) {
            const size_t n = IndiceDasChaves().tamanhos[size_t(c - kChaves)];
            if (!c->campo) {
                int32_t courier;
                if (TryStrToInt(item.substr(n, 2), courier)) {
                    dm.CodigoCourier = std::to_string(courier);
                } else {
                    dm.UltimoErro =
                        "O campo COURIER não está preenchido ou o valor informado é inválido";
                }
            } else {
                const TCampoDaChave& campo = CampoDaChave(k, *c);
                Atribui(k, k.Fields(campo.posicao), campo.atribuicao, item, n);
                preenchimento.Preenchido(campo.posicao);
            }
            if (!dm.UltimoErro.empty()) {
                frm.Requisicao = AssinaResposta(frm, kRejeitada + dm.UltimoErro) + ";";
                CancelaAberta(k);
                return false;
            }
        }
    } catch (...) {
        CancelaAberta(k);
        throw;
    }

    bool guardada = false;
    frm.CodigoBarraConferido.clear();
    try {
        PostaComCodigoBarra(frm, dm);
        guardada = true;
        // The whole-slip check before the post built the content of this very slip, and the post
        // stored it; otherwise it is built and stored now.
        const std::string conteudo =
            frm.CodigoBarraConferido.empty() ? CalculaCodigoBarra() : frm.CodigoBarraConferido;
        ++frm.QtdeIncluidas;
        frm.Requisicao = conteudo + ";Retorno=000;Mensagem_Retorno=KOVA Validada com sucesso";
    } catch (const std::exception& e) {
        std::string motivo = dm.UltimoErro;
        if (guardada) {
            // The caller is told the slip was rejected, so it is not kept without its barcode.
            CancelaAberta(k);
            k.Delete();
            motivo = std::string("Não foi possível calcular o código de barras da KOVA: ") +
                     std::string(e.what());
        } else if (motivo.empty()) {
            // A refusal always says why.
            motivo = std::string("KOVA não incluída: ") + e.what();
        }
        frm.Requisicao = kRejeitada + motivo;
        CancelaAberta(k);
    }
    CancelaAberta(k);
    frm.Requisicao = AssinaResposta(frm, frm.Requisicao);
    return frm.QtdeIncluidas > 0;
}

// ------------------------------------------------------------------ the hosted request

void PreencheCampoHospedado(TfrmDigitar& frm, std::string_view campo, std::string_view item,
                            size_t posicao) {
    // The payment date never comes this way: the hosted request leaves it to the person.
    if (!PreencheCampo(frm, campo, item, posicao)) return;
    // What the request filled is not the person's to change.
    for (const auto& c : frm.Controles.Controls()) {
        if (c->field.empty()) continue;
        bool livre = false;
        if (c->kind == TControlKind::Edit) {
            for (const char* nome : {"ValorPrincipal", "AtualizacaoMonetaria", "Juros", "Multa",
                                     "DataVencimento", "Convenio"}) {
                livre = livre || SameText(c->field, nome);
            }
        } else if (c->kind == TControlKind::LookupCombo) {
            livre = SameText(c->field, "UFFavorecida") || SameText(c->field, "Receita");
        } else {
            continue;
        }
        if (!livre) frm.Controles.SetEnabled(c->name, false);
    }
}

bool ProcessaRequisicao(TfrmDigitar& frm) {
    TDM& dm = *DM;
    TDataSet& k = dm.cdsKOVA;
    frm.PaginaAtiva = "tbsKOVA";
    dm.ModoBiblioteca = true;
    dm.ModoSilencioso = false;
    frm.QtdeIncluidas = 0;
    dm.ConfirmarDataPagamento = 0;
    dm.PedirDataPagamento = 0;
    dm.CodigoCourier.clear();
    if (!k.Active()) throw Exception("cdsKOVA não ativo");

    // A slip left open by a failed call is shown as it stands, without this request.
    if (k.State() != TDataSetState::dsInsert && k.State() != TDataSetState::dsEdit) {
        // The favoured-state list and every data box open; the request then closes what it fills.
        for (const auto& c : frm.Controles.Controls()) {
            if (!c->field.empty() &&
                (c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo)) {
                frm.Controles.SetEnabled(c->name, true);
            }
        }
        k.Append();
        const std::vector<std::string_view> itens = DivideEmVistas(';', frm.Requisicao);
        // The payment date, the total and the courier company are the person's or not kova's.
        std::vector<TItem> plano;
        for (const TItem& i : ItensNaOrdemDaKOVA(itens, k)) {
            if (i.chave->campo && std::strcmp(i.chave->chave, "DATAPAGAMENTO=") != 0 &&
                std::strcmp(i.chave->chave, "TOTALRECOLHER=") != 0) {
                plano.push_back(i);
            }
        }
        TPreenchimento preenchimento(frm, CamposDosItens(k, plano));
        for (const auto& [c, item] : plano) {
            PreencheCampoHospedado(frm, c->campo, item, std::strlen(c->chave));
            preenchimento.Preenchido(c->campo);
        }
        frm.Controles.SetEnabled("dblcReceita", true);
    }
    if (!k.FieldByName("DataVencimento").Text().empty()) dm.PedirDataPagamento = 1;

    frm.TimerAtivo = true;
    frm.Mostrar();
    if (!frm.OnExibirModal) throw Exception("Não há onde mostrar a tela de digitação");
    frm.OnExibirModal();
    // A display that ended without the screen's own close leaves nothing half-done; no one is
    // there to be asked.
    if (frm.Visivel) frm.Descartar();

    if (frm.QtdeIncluidas < 1) {
        frm.Requisicao += ";Retorno=001;Mensagem_Retorno=KOVA não incluída";
    } else {
        std::string resposta;
        for (int i = 0; i < k.FieldCount(); ++i) {
            const TField& f = k.Fields(i);
            if (i > 0) resposta += ";";
            resposta += f.FieldName() + "=" + (f.IsNull() ? std::string() : f.AsString());
        }
        const int32_t produto =
            k.FieldByName("Produto").IsNull() ? 0 : k.FieldByName("Produto").AsInteger();
        if (produto != 0) {
            TDataSet& produtos = dm.cdsUFProduto;
            produtos.SetFilter("UF='" + k.FieldByName("UFFavorecida").AsString() +
                               "' and Receita ='" + k.FieldByName("Receita").AsString() + "'");
            produtos.SetFiltered(true);
            if (produtos.Locate("Produto", {produto})) {
                resposta +=
                    ";Produto_Descricao=" + Trim(produtos.FieldByName("Descricao").AsString());
            }
            produtos.SetFiltered(false);
        }
        frm.Requisicao = resposta + ";Retorno=000;Mensagem_Retorno=KOVA incluída com sucesso";
    }
    frm.Requisicao = AssinaResposta(frm, frm.Requisicao);
    return frm.QtdeIncluidas > 0;
}

}  // namespace kova
