#include "SaidasImpressao.h"

#include <QTemporaryDir>

#include "Diretorios.h"
#include "Errors.h"
#include "FilaImpressao.h"
#include "PintorQt.h"
#include "SistemaDeArquivos.h"
#include "TDM.h"

namespace kova {

bool TSaidaFila::Envia(const std::vector<TPagina>& paginas) {
    // The queue is given the same PDF file a print without printer writes.
    QTemporaryDir pasta;
    if (!pasta.isValid())
        throw Exception("Não foi possível preparar a impressão: pasta temporária indisponível");
    const std::string arquivo = pasta.filePath(QStringLiteral("KOVA.pdf")).toStdString();
    GravaPDF(paginas, arquivo);
    EnviaParaFila(impressora_, arquivo, "KOVA");
    ++trabalhos_;
    return true;
}

TSaidaArquivoPDF::TSaidaArquivoPDF(std::string caminho) : caminho_(std::move(caminho)) {}

TSaidaArquivoPDF::~TSaidaArquivoPDF() = default;

bool TSaidaArquivoPDF::Envia(const std::vector<TPagina>& paginas) {
    if (!arquivo_) arquivo_ = std::make_unique<TArquivoPDF>(caminho_);
    arquivo_->Acrescenta(paginas);
    paginas_ += int(paginas.size());
    return false;
}

void TSaidaArquivoPDF::Conclui() {
    if (!arquivo_) return;
    const std::unique_ptr<TArquivoPDF> arquivo = std::move(arquivo_);
    arquivo->Conclui();
    if (!Arquivos().Existe(caminho_))
        throw Exception("Não foi possível gravar o arquivo " + caminho_);
}

bool TSaidaPastaPDF::Envia(const std::vector<TPagina>& paginas) {
    // Printed slips hold the taxpayers' data: a folder made here is the user's alone.
    if (!CriaPastaPrivada(pasta_)) throw Exception("Não foi possível criar a pasta " + pasta_);
    ultimo_ = IncluiBarra(pasta_) + "KOVA_" + DM->cdsKOVA.FieldByName("IdKOVA").AsString() + ".pdf";
    GravaPDF(paginas, ultimo_);
    return true;
}

TImpressoraEscolhida& ImpressoraEscolhida() {
    static TImpressoraEscolhida escolha;
    return escolha;
}

std::unique_ptr<TSaidaImpressao> AbreSaidaDaMesa(const std::string& semImpressoraArquivo,
                                                 const std::string& semImpressoraPasta) {
    const TImpressoraEscolhida& escolha = ImpressoraEscolhida();
    if (!escolha.arquivoPDF.empty()) return std::make_unique<TSaidaArquivoPDF>(escolha.arquivoPDF);
    const std::string impressora =
        escolha.impressora.empty() ? ImpressoraPadrao() : escolha.impressora;
    if (!impressora.empty()) return std::make_unique<TSaidaFila>(impressora);
    if (!semImpressoraArquivo.empty())
        return std::make_unique<TSaidaArquivoPDF>(semImpressoraArquivo);
    return std::make_unique<TSaidaPastaPDF>(semImpressoraPasta);
}

}  // namespace kova
