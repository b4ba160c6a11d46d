#include "FluxosImpressao.h"

#include <algorithm>
#include <exception>

#include "Errors.h"
#include "TDM.h"

namespace kova {
namespace {

// The engine's conversion failures speak of the text that did not convert; the person reads them
// in the system's words.
std::string Motivo(const std::exception& e) {
    const std::string m = e.what();
    if (!dynamic_cast<const EConvertError*>(&e)) return m;
    const size_t fim = m.rfind('\'');
    if (m.empty() || m[0] != '\'' || fim == 0 || fim == std::string::npos) {
        return "Valor inválido na KOVA: " + m;
    }
    const std::string valor = m.substr(0, fim + 1);
    if (m.find("integer") != std::string::npos)
        return "Valor inválido na KOVA: " + valor + " não é um número inteiro";
    if (m.find("date") != std::string::npos)
        return "Valor inválido na KOVA: " + valor + " não é uma data";
    return "Valor inválido na KOVA: " + valor + " não é um número";
}

// Prints of a list run with the filter off (a marked slip would leave the list of unprinted
// slips under the cursor) and give it back as it was, also after a failure.
class TSemFiltro {
public:
    explicit TSemFiltro(TDataSet& t) : t_(t), filtrado_(t.Filtered()) { t_.SetFiltered(false); }
    ~TSemFiltro() {
        try {
            t_.SetFiltered(filtrado_);
        } catch (...) {
            // Only a list in browse mode is filtered: nothing is pending that could fail here.
        }
    }
    TSemFiltro(const TSemFiltro&) = delete;
    TSemFiltro& operator=(const TSemFiltro&) = delete;

private:
    TDataSet& t_;
    bool filtrado_;
};

}  // namespace

void ConfereViasNaPagina(const TRelatorio& r, const std::vector<TPagina>& paginas) {
    // Labels may reach half a millimetre above their band, as designed; a text's box may reach
    // below the paper while its letters, one line high, stay on it.
    constexpr double folga = 0.6;
    bool fora = paginas.empty();
    for (const TPagina& p : paginas) {
        if (p.itens.empty()) fora = true;
        for (const TItemDesenho& item : p.itens) {
            if (item.tipo == TItemDesenho::Tipo::Texto && item.texto.empty()) continue;
            const double altura = item.tipo == TItemDesenho::Tipo::Texto
                                      ? std::min(item.altura, item.fonte.tamanho * 25.4 / 72)
                                      : item.altura;
            if (item.x < -folga || item.y < -folga ||
                item.x + item.largura > r.larguraPapel + folga ||
                item.y + altura > r.alturaPapel + folga) {
                fora = true;
            }
        }
    }
    if (fora) {
        throw Exception(
            "As vias da KOVA ficariam fora da página\r\rConfira a margem superior (TopMargin) "
            "na configuração do KOVA");
    }
}

void TFluxosImpressao::Visualizar() {
    auto paginas = relatorio_.Executa(1);
    if (AbrirVisualizacao) AbrirVisualizacao(paginas);
}

void TFluxosImpressao::Imprimir() {
    TDataSet& k = DM->cdsKOVA;
    if (k.IsEmpty()) throw Exception("Não há KOVA para imprimir");
    ImprimirLista({k.GetBookmark()});
}

void TFluxosImpressao::ImprimirTodos() { ImprimirLista(DM->cdsKOVA.VisibleRecords()); }

int TFluxosImpressao::ImprimirLista(const std::vector<TBookmark>& kovas) {
    Marcadas = 0;
    if (kovas.empty()) return 0;
    if (!AbrirSaida) throw Exception("Não há impressora para imprimir a KOVA");
    std::unique_ptr<TSaidaImpressao> saida = AbrirSaida();
    TDataSet& k = DM->cdsKOVA;
    const int campoId = k.FieldByName("IdKOVA").Index();
    std::string falha;
    std::exception_ptr aborto;
    {
        // The marks reach the slips file once, when the run is over, failed or not.
        TDM::TAdiaGravacao umaGravacao(*DM);
        TSemFiltro semFiltro(k);
        std::vector<TBookmark> aguardando;  // copies written to a file not yet complete
        // A slip being edited (the entry screen's preview) is printed where it stands.
        auto vaiPara = [&](TBookmark b) {
            if (k.GetBookmark() != b) k.GotoBookmark(b);
        };
        auto marca = [&](TBookmark b) {
            vaiPara(b);
            DM->MarcaImpressa();
            ++Marcadas;
        };
        // Taken off the list before the file is completed: a file that fails marks none of them.
        std::vector<TBookmark> perdidas;  // the slips of a file that could not be completed
        auto marcaAguardando = [&] {
            const std::vector<TBookmark> prontas = std::move(aguardando);
            aguardando.clear();
            try {
                saida->Conclui();
            } catch (...) {
                if (perdidas.empty()) perdidas = prontas;
                throw;
            }
            for (TBookmark b : prontas) marca(b);
        };
        auto numero = [&](TBookmark b) {
            const TValue id = k.ValueAt(b, campoId);
            return IsNull(id) ? std::string() : " Nº " + std::to_string(std::get<int32_t>(id));
        };
        TBookmark atual = kovas.front();
        try {
            for (TBookmark b : kovas) {
                atual = b;
                vaiPara(b);
                auto paginas = relatorio_.Executa(3);
                ConfereViasNaPagina(relatorio_.Relatorio, paginas);
                if (saida->Envia(paginas)) {
                    marca(b);
                } else {
                    aguardando.push_back(b);
                }
            }
            marcaAguardando();
        } catch (const EAbort&) {
            aborto = std::current_exception();
        } catch (const std::exception& e) {
            // A file of several slips that could not be completed holds none of them.
            if (perdidas.size() > 1) {
                falha = "As " + std::to_string(perdidas.size()) + " KOVA," +
                        numero(perdidas.front()) + " a" + numero(perdidas.back()) +
                        ", não foram impressas\r\r" + Motivo(e);
            } else {
                falha = "A KOVA" + numero(perdidas.empty() ? atual : perdidas.front()) +
                        " não foi impressa\r\r" + Motivo(e);
            }
        }
        if (aborto || !falha.empty()) {
            // The slips whose copies were already written are kept in the file and marked.
            try {
                marcaAguardando();
            } catch (...) {
            }
        }
    }
    if (aborto) std::rethrow_exception(aborto);
    if (!falha.empty()) throw Exception(falha);
    return Marcadas;
}

}  // namespace kova
