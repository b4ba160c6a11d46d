#pragma once
// The places a print command sends a slip's copies to: a print queue of the system (one job per
// slip, which exists once the queue accepts it), one PDF file for a whole run (complete when the
// run ends), or a PDF file of its own per slip in a folder. Also the printer the desktop's prints
// use: the one chosen in the printer set-up dialog, or else the system's default.

#include <memory>
#include <string>
#include <vector>

#include "FluxosImpressao.h"

namespace kova {

class TArquivoPDF;

// One job per slip on the named queue.
class TSaidaFila : public TSaidaImpressao {
public:
    explicit TSaidaFila(std::string impressora) : impressora_(std::move(impressora)) {}
    bool Envia(const std::vector<TPagina>& paginas) override;
    const std::string& Impressora() const { return impressora_; }
    int Trabalhos() const { return trabalhos_; }

private:
    std::string impressora_;
    int trabalhos_ = 0;
};

// Every slip of the run in one PDF file, written as it goes and complete at Conclui.
class TSaidaArquivoPDF : public TSaidaImpressao {
public:
    explicit TSaidaArquivoPDF(std::string caminho);
    ~TSaidaArquivoPDF() override;
    bool Envia(const std::vector<TPagina>& paginas) override;
    void Conclui() override;
    const std::string& Caminho() const { return caminho_; }
    int Paginas() const { return paginas_; }

private:
    std::string caminho_;
    std::unique_ptr<TArquivoPDF> arquivo_;
    int paginas_ = 0;
};

// Each slip in its own file KOVA_<number>.pdf in a folder (made when missing).
class TSaidaPastaPDF : public TSaidaImpressao {
public:
    explicit TSaidaPastaPDF(std::string pasta) : pasta_(std::move(pasta)) {}
    bool Envia(const std::vector<TPagina>& paginas) override;
    const std::string& Pasta() const { return pasta_; }
    const std::string& Ultimo() const { return ultimo_; }

private:
    std::string pasta_;
    std::string ultimo_;
};

// The printer the desktop's next prints go to, as chosen in the printer set-up dialog: a queue's
// name, or a PDF file when the dialog printed to a file. Empty: the system's default printer.
struct TImpressoraEscolhida {
    std::string impressora;
    std::string arquivoPDF;
};
TImpressoraEscolhida& ImpressoraEscolhida();

// The output of a desktop print: the chosen printer, else the default one; on a machine without
// printers, a PDF file of the whole run at semImpressoraArquivo when given, otherwise one file
// per slip in semImpressoraPasta.
std::unique_ptr<TSaidaImpressao> AbreSaidaDaMesa(const std::string& semImpressoraArquivo,
                                                 const std::string& semImpressoraPasta);

}  // namespace kova
