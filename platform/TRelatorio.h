#pragma once
// The banded report engine. A report is an A4 page with margins in millimetres and bands printed
// top to bottom: a page header, a detail band repeated while the need-data event asks for another
// record, chains of child bands that follow their parent, and a summary. Each band holds
// components (labels, data fields, shapes, images) placed in millimetres from its top-left corner,
// and may refuse to print or change its components in its before-print event. A run produces
// pages of drawing items in millimetres that a painter turns into paper, PDF or pictures.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TBitmap1.h"

namespace kova {

class TDataSet;

struct TFonte {
    std::string familia = "Arial";  // "Arial", "Arial Narrow", "Courier New"
    double tamanho = 10;            // points
    bool negrito = false;
    bool italico = false;
    bool cinza = false;
};

enum class TAlinhamento { Esquerda, Centro, Direita };

// One thing drawn on a page, in millimetres from the paper's top-left corner.
struct TItemDesenho {
    enum class Tipo { Texto, Retangulo, LinhaPontilhada, Imagem } tipo = Tipo::Texto;
    std::string nome;  // the component that drew it
    double x = 0, y = 0, largura = 0, altura = 0;
    std::string texto;  // Windows-1252
    TFonte fonte;
    TAlinhamento alinhamento = TAlinhamento::Esquerda;
    bool quebraLinhas = false;
    std::shared_ptr<const TBitmap1> imagem;
};

struct TPagina {
    std::vector<TItemDesenho> itens;
};

struct TComponente {
    enum class Tipo { Rotulo, Campo, Retangulo, LinhaPontilhada, Imagem } tipo = Tipo::Rotulo;
    std::string nome;
    double left = 0, top = 0, width = 0, height = 0;
    std::string caption;  // labels
    std::string campo;    // data fields: the field of the report's table
    TFonte fonte;
    TAlinhamento alinhamento = TAlinhamento::Esquerda;
    bool quebraLinhas = false;
    bool visivel = true;
    std::shared_ptr<const TBitmap1> imagem;
    // Receives the text about to print and may change it.
    std::function<void(std::string& texto)> OnPrint;
};

class TBanda {
public:
    enum class Tipo { Cabecalho, Detalhe, Filha, Sumario };
    TBanda(std::string nome, Tipo tipo, double altura)
        : nome(std::move(nome)), tipo(tipo), altura(altura) {}

    TComponente& Adiciona(TComponente c);
    TComponente& Componente(const std::string& nome);
    // The lowest edge of what the band holds: below it the band is blank.
    double FundoDoConteudo() const;

    std::string nome;
    Tipo tipo;
    double altura;
    std::vector<TComponente> componentes;
    std::function<void(bool& imprime)> BeforePrint;
    std::function<void()> AfterPrint;
};

class TRelatorio {
public:
    // Bands print in the order they are added; child bands follow the band before them.
    TBanda& AdicionaBanda(std::string nome, TBanda::Tipo tipo, double altura);
    TBanda& Banda(const std::string& nome);

    double larguraPapel = 210, alturaPapel = 297;
    double margemSuperior = 10, margemEsquerda = 10, margemDireita = 9, margemInferior = 0;
    TDataSet* tabela = nullptr;  // data fields read its current record
    // When the last detail's bands would cross the bottom margin, their trailing blank space
    // gives way (nothing printed moves) before a new page is begun.
    bool cederEspacoFinal = true;

    std::function<void()> BeforePrint;                // run start
    std::function<void(bool& maisDados)> OnNeedData;  // before each detail
    std::function<void()> AfterPrint;

    // Runs the report; failures of the run-start event reach the caller before anything is laid
    // out.
    std::vector<TPagina> Executa();

private:
    std::vector<std::unique_ptr<TBanda>> bandas_;
};

}  // namespace kova
