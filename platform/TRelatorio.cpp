#include "TRelatorio.h"

#include <algorithm>
#include <stdexcept>

#include "TDataSet.h"

namespace kova {

TComponente& TBanda::Adiciona(TComponente c) {
    componentes.push_back(std::move(c));
    return componentes.back();
}

TComponente& TBanda::Componente(const std::string& n) {
    for (auto& c : componentes) {
        if (c.nome == n) return c;
    }
    throw std::out_of_range("no component " + n);
}

double TBanda::FundoDoConteudo() const {
    double fundo = 0;
    for (const auto& c : componentes) {
        if (c.visivel) fundo = std::max(fundo, c.top + c.height);
    }
    return std::min(fundo, altura);
}

TBanda& TRelatorio::AdicionaBanda(std::string nome, TBanda::Tipo tipo, double altura) {
    bandas_.push_back(std::make_unique<TBanda>(std::move(nome), tipo, altura));
    return *bandas_.back();
}

TBanda& TRelatorio::Banda(const std::string& nome) {
    for (auto& b : bandas_) {
        if (b->nome == nome) return *b;
    }
    throw std::out_of_range("no band " + nome);
}

namespace {

// A band as laid out: its items relative to its top, and which detail it belongs to.
struct Colocada {
    double altura;
    double conteudo;
    int detalhe;  // -1 for page header and summary
    std::vector<TItemDesenho> itens;
};

std::vector<TItemDesenho> Desenha(TBanda& banda, TDataSet* tabela) {
    std::vector<TItemDesenho> itens;
    for (auto& c : banda.componentes) {
        if (!c.visivel) continue;
        TItemDesenho item;
        item.nome = c.nome;
        item.x = c.left;
        item.y = c.top;
        item.largura = c.width;
        item.altura = c.height;
        item.fonte = c.fonte;
        item.alinhamento = c.alinhamento;
        item.quebraLinhas = c.quebraLinhas;
        switch (c.tipo) {
            case TComponente::Tipo::Rotulo:
            case TComponente::Tipo::Campo: {
                std::string texto = c.caption;
                if (c.tipo == TComponente::Tipo::Campo && tabela) {
                    TField* f = tabela->FindField(c.campo);
                    texto = f ? f->DisplayText() : std::string();
                }
                if (c.OnPrint) c.OnPrint(texto);
                item.texto = texto;
                item.tipo = TItemDesenho::Tipo::Texto;
                break;
            }
            case TComponente::Tipo::Retangulo:
                item.tipo = TItemDesenho::Tipo::Retangulo;
                break;
            case TComponente::Tipo::LinhaPontilhada:
                item.tipo = TItemDesenho::Tipo::LinhaPontilhada;
                break;
            case TComponente::Tipo::Imagem:
                item.tipo = TItemDesenho::Tipo::Imagem;
                item.imagem = c.imagem;
                break;
        }
        itens.push_back(std::move(item));
    }
    return itens;
}

}  // namespace

std::vector<TPagina> TRelatorio::Executa() {
    if (BeforePrint) BeforePrint();
    std::vector<Colocada> colocadas;
    auto imprime = [&](TBanda& b, int detalhe) {
        bool sim = true;
        if (b.BeforePrint) b.BeforePrint(sim);
        if (!sim) return false;
        colocadas.push_back({b.altura, b.FundoDoConteudo(), detalhe, Desenha(b, tabela)});
        if (b.AfterPrint) b.AfterPrint();
        return true;
    };
    // Children follow their parent only when it printed or when it is a detail band.
    auto cadeia = [&](size_t i, int detalhe) {
        imprime(*bandas_[i], detalhe);
        for (size_t j = i + 1; j < bandas_.size() && bandas_[j]->tipo == TBanda::Tipo::Filha; ++j) {
            imprime(*bandas_[j], detalhe);
        }
    };
    for (auto& b : bandas_) {
        if (b->tipo == TBanda::Tipo::Cabecalho) imprime(*b, -1);
    }
    int detalhes = 0;
    for (size_t i = 0; i < bandas_.size(); ++i) {
        if (bandas_[i]->tipo != TBanda::Tipo::Detalhe) continue;
        for (;;) {
            bool mais = false;
            if (OnNeedData) OnNeedData(mais);
            if (!mais) break;
            cadeia(i, detalhes++);
        }
    }
    for (auto& b : bandas_) {
        if (b->tipo == TBanda::Tipo::Sumario) imprime(*b, -1);
    }
    if (AfterPrint) AfterPrint();
    if (detalhes == 0) return {};

    const double limite = alturaPapel - margemInferior;
    double total = margemSuperior;
    for (const auto& c : colocadas) total += c.altura;
    if (cederEspacoFinal && total > limite) {
        // The last detail's bands give up their blank bottoms, the last band first.
        double excesso = total - limite;
        for (auto it = colocadas.rbegin(); it != colocadas.rend() && excesso > 0; ++it) {
            if (it->detalhe != detalhes - 1 && it->detalhe != -1) break;
            const double folga = std::max(0.0, it->altura - it->conteudo);
            const double cede = std::min(folga, excesso);
            it->altura -= cede;
            excesso -= cede;
        }
    }

    std::vector<TPagina> paginas(1);
    double y = margemSuperior;
    for (auto& c : colocadas) {
        if (y + c.altura > limite + 1e-9 && y > margemSuperior) {
            paginas.emplace_back();
            y = margemSuperior;
        }
        for (auto& item : c.itens) {
            item.x += margemEsquerda;
            item.y += y;
            paginas.back().itens.push_back(std::move(item));
        }
        y += c.altura;
    }
    return paginas;
}

}  // namespace kova
