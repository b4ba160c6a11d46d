#include "Incorporacao.h"

#include <algorithm>
#include <exception>
#include <fstream>

#include "Conversoes.h"
#include "Desligado.h"
#include "Dialogs.h"
#include "Errors.h"
#include "FluxosImpressao.h"
#include "GravacaoKOVA.h"
#include "Preenchimento.h"
#include "TDM.h"
#include "Texto.h"
#include "TfrmDigitar.h"
#include "TqrpKOVA.h"

namespace kova {
namespace {

bool Controle(char c) { return static_cast<unsigned char>(c) <= ' '; }

// A byte no text of a slip holds: the control characters of Windows-1252 (the blank is not one).
bool CaractereDeControle(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < ' ' || b == 0x7F;
}

// A refused line may be anything, a whole file without line ends among them: its message quotes
// its start only, with the control characters made visible, and says how long it was.
constexpr size_t kInicioCitado = 500;

std::string Citacao(const std::string& linha) {
    std::string r = linha.substr(0, kInicioCitado);
    for (char& c : r) {
        if (CaractereDeControle(c) && c != '\t') c = '?';
    }
    if (linha.size() > kInicioCitado)
        r += " [...] (linha de " + std::to_string(linha.size()) + " caracteres)";
    return r;
}

// No number or date is this long: such a text is refused with its start quoted.
constexpr size_t kMaiorNumeroOuData = 64;

std::string SemFinal(std::string_view texto) {
    size_t fim = texto.size();
    while (fim > 0 && Controle(texto[fim - 1])) --fim;
    return std::string(texto.substr(0, fim));
}

// The table engine's plain text assignment: an empty text leaves the field without a value. An
// amount is held to the cent before its check reads it.
void Atribui(TField& campo, const std::string& texto) {
    double valor;
    if (texto.empty()) {
        campo.Clear();
    } else if (campo.DataType() == TFieldType::ftCurrency && TryStrToFloat(texto, valor)) {
        campo.SetAsFloat(ArredondaValor(valor));
    } else if (campo.DataType() != TFieldType::ftString && texto.size() > kMaiorNumeroOuData) {
        campo.SetAsString(texto.substr(0, kMaiorNumeroOuData) + "...");
    } else {
        campo.SetAsString(texto);
    }
}

// Positions 1 to 20 of a line and how each is treated before it is assigned.
enum class Tratamento { Nenhum, Aparado, SemMascara, Maiusculas, Contribuinte };
struct TColuna {
    const char* campo;
    Tratamento tratamento;
};
constexpr TColuna kColunas[20] = {
    // State codes in capitals, as the screen types them, before any rule compares them.
    {"UFFavorecida", Tratamento::Maiusculas},
    {"Receita", Tratamento::Nenhum},
    {"CICContribuinte", Tratamento::Contribuinte},
    {"DocumentoOrigem", Tratamento::SemMascara},
    {"Referencia", Tratamento::Nenhum},
    {"ValorPrincipal", Tratamento::Nenhum},
    {"AtualizacaoMonetaria", Tratamento::Nenhum},
    {"Juros", Tratamento::Nenhum},
    {"Multa", Tratamento::Nenhum},
    {"TotalRecolher", Tratamento::Nenhum},
    {"DataVencimento", Tratamento::Nenhum},
    {"Convenio", Tratamento::Nenhum},
    {"RazaoSocial", Tratamento::Aparado},
    {"InscricaoEstadual", Tratamento::SemMascara},
    {"Endereco", Tratamento::Nenhum},
    {"Municipio", Tratamento::Nenhum},
    {"UF", Tratamento::Maiusculas},
    {"CEP", Tratamento::Nenhum},
    {"Telefone", Tratamento::Nenhum},
    {"Informacoes", Tratamento::Nenhum},
};

bool Inserindo(TDataSet& t) { return t.State() == TDataSetState::dsInsert; }

}  // namespace

std::vector<std::string> SeparaCampos(const std::string& linha) {
    std::vector<std::string> campos;
    std::string_view resto = linha;
    while (!resto.empty()) {
        const size_t tab = resto.find('\t');
        if (tab == std::string_view::npos) {
            campos.push_back(TrimRight(resto));
            break;
        }
        campos.push_back(SemFinal(resto.substr(0, tab)));
        resto.remove_prefix(tab + 1);
    }
    return campos;
}

std::string RetiraMascara(const std::string& texto) {
    std::string s;
    s.reserve(texto.size());
    for (char c : texto) {
        if (c != '-' && c != '/' && c != '.') s += c;
    }
    return s;
}

TIncorporacao::TIncorporacao(TDM& dm, TfrmDigitar& formulario, TqrpKOVA& relatorio)
    : dm_(dm), formulario_(formulario), relatorio_(relatorio) {}

void TIncorporacao::IncorporarArquivo(const std::string& nomeArquivo, bool desassistido) {
    Ligado modo(dm_.ModoImportacao);
    TDataSet& k = dm_.cdsKOVA;
    IdInicial = dm_.UltimoIdKOVA;
    Linha = 0;
    Incorporadas = 0;
    Impressas = 0;
    FalhaGravacao = false;
    std::exception_ptr falha;
    // The slips of the file are written once, when the lines are read, and before anyone is told
    // of them or any of them is printed.
    TDM::TAdiaGravacao umaGravacao(dm_);
    try {
        std::ifstream arquivo(nomeArquivo, std::ios::binary);
        if (!arquivo)
            throw Exception("Não foi possível abrir o arquivo de incorporação\r\r" + nomeArquivo);
        std::string linha;
        // Blank lines are held back: at the end of the file they are no slips, before another
        // line the first of them stops the import as any short line does.
        int brancas = 0;
        std::string primeiraBranca;
        while (std::getline(arquivo, linha)) {
            ++Linha;
            if (!linha.empty() && linha.back() == '\r') linha.pop_back();
            if (Trim(linha).empty()) {
                if (brancas++ == 0) primeiraBranca = linha;
                continue;
            }
            if (brancas > 0) {
                Linha -= brancas;
                Incorpora(primeiraBranca, SeparaCampos(primeiraBranca));
            }
            Incorpora(linha, SeparaCampos(linha));
            if (Progresso && IntervaloProgresso > 0 && Linha % IntervaloProgresso == 0)
                Progresso(Linha);
        }
        if (arquivo.bad())
            throw Exception("Erro de leitura no arquivo de incorporação\r\r" + nomeArquivo);
        if (Progresso) Progresso(Linha);
        GravaNovas(umaGravacao);
        if (!desassistido) {
            MessageDlg(std::to_string(Incorporadas) + " KOVA incorporadas com sucesso",
                       TMsgDlgType::mtInformation);
        }
    } catch (...) {
        falha = std::current_exception();
        if (!FalhaGravacao) {
            if (Inserindo(k)) k.Cancel();
            try {
                // The slips imported before the failure are on disk before the question tells of
                // them.
                GravaNovas(umaGravacao);
            } catch (...) {
                // Not written after all: this failure is the one to tell.
                falha = std::current_exception();
            }
        }
        if (!FalhaGravacao) {
            MessageDlg("Erro na incorporação das KOVA.\r\rRegistro Nº " + std::to_string(Linha) +
                           " com problemas",
                       TMsgDlgType::mtError);
            if (Incorporadas > 0 &&
                MessageDlg("Foram incorporadas com sucesso as primeiras " +
                               std::to_string(Incorporadas) + " KOVA\r\rDeseja preservá-las?",
                           TMsgDlgType::mtConfirmation,
                           TMsgDlgButtons::mbYesNo) == TModalResult::mrNo) {
                TDM::TAdiaGravacao umaRemocao(dm_);
                DesfazNovas();
                try {
                    umaRemocao.Concluir();
                } catch (const EGravacaoKOVA&) {
                    FalhaGravacao = true;
                    falha = std::current_exception();
                }
            }
        }
    }
    try {
        if (!FalhaGravacao && dm_.UltimoIdKOVA > IdInicial &&
            (desassistido ||
             MessageDlg("Deseja imprimir todas as KOVA incorporadas?", TMsgDlgType::mtConfirmation,
                        TMsgDlgButtons::mbYesNo) == TModalResult::mrYes)) {
            // The printed marks reach the disk as soon as the print run is over, also when it
            // stopped half-way.
            TDM::TAdiaGravacao marcas(dm_);
            try {
                ImprimeNovas();
            } catch (...) {
                marcas.Concluir();
                throw;
            }
            marcas.Concluir();
            MessageDlg(std::to_string(Incorporadas) + " KOVA impressas com sucesso",
                       TMsgDlgType::mtInformation);
        }
    } catch (const EGravacaoKOVA& e) {
        if (!falha) {
            FalhaGravacao = true;
            falha = std::make_exception_ptr(EGravacaoKOVA(
                std::to_string(Impressas) +
                " KOVA foram impressas, mas não foi possível gravar que estão impressas.\r\r" +
                e.what()));
        }
    } catch (...) {
        // A print failure is told after the import's own failure, if there was one.
        if (!falha) falha = std::current_exception();
    }
    if (AtualizaMenus) AtualizaMenus();
    if (desassistido && FecharPrincipal) FecharPrincipal();
    if (falha) std::rethrow_exception(falha);
}

void TIncorporacao::GravaNovas(TDM::TAdiaGravacao& adiamento) {
    try {
        adiamento.Concluir();
    } catch (const EGravacaoKOVA& e) {
        // Nothing of this file is on disk: nothing of it stays in memory either, and its numbers
        // are handed out again.
        FalhaGravacao = true;
        const int incorporadas = Incorporadas;
        const bool gravar = dm_.GravarAposAlteracao;
        dm_.GravarAposAlteracao = false;
        DesfazNovas();
        dm_.GravarAposAlteracao = gravar;
        Incorporadas = 0;
        throw EGravacaoKOVA(std::string(e.what()) + "\r\rAs " + std::to_string(incorporadas) +
                            " KOVA deste arquivo não foram incorporadas.");
    }
}

void TIncorporacao::Incorpora(const std::string& linha, const std::vector<std::string>& campos) {
    const std::string invalido =
        "Registro Nº " + std::to_string(Linha) + " inválido para incorporação\r\r";
    if (campos.size() > 24 || campos.size() < 20) {
        throw Exception(invalido + "Número de campos inválido\r\r" + Citacao(linha));
    }
    // A NUL, an escape or a line break inside a field would be stored and printed as it is.
    for (size_t i = 0; i < campos.size() && i < 21; ++i) {
        if (std::any_of(campos[i].begin(), campos[i].end(), CaractereDeControle)) {
            throw Exception(invalido + "O campo " + std::to_string(i + 1) + " (" +
                            (i < 20 ? kColunas[i].campo : "Produto") +
                            ") contém caracteres de controle");
        }
    }
    TDataSet& k = dm_.cdsKOVA;
    k.Append();
    // The columns in their order, then the payment date the due date may raise, then the product.
    std::vector<std::string> preenchidos;
    for (const TColuna& c : kColunas) preenchidos.emplace_back(c.campo);
    preenchidos.emplace_back("DataPagamento");
    if (campos.size() > 20) preenchidos.emplace_back("Produto");
    TPreenchimento preenchimento(formulario_, std::move(preenchidos));
    for (size_t i = 0; i < 20; ++i) {
        const TColuna& c = kColunas[i];
        switch (c.tratamento) {
            case Tratamento::Nenhum:
                Atribui(k.FieldByName(c.campo), campos[i]);
                break;
            case Tratamento::Aparado:
                Atribui(k.FieldByName(c.campo), Trim(campos[i]));
                break;
            case Tratamento::SemMascara:
                Atribui(k.FieldByName(c.campo), RetiraMascara(Trim(campos[i])));
                break;
            case Tratamento::Maiusculas:
                Atribui(k.FieldByName(c.campo), UpperCase(campos[i]));
                break;
            // Without its mask and with the letters of an alphanumeric CNPJ in capitals.
            case Tratamento::Contribuinte:
                Atribui(k.FieldByName(c.campo), UpperCase(RetiraMascara(Trim(campos[i]))));
                break;
        }
        preenchimento.Preenchido(c.campo);
        // A picker the person declined (the revenue's sub-code) has cancelled the new slip: the
        // line ends there without an engine message.
        if (!Inserindo(k)) Abort();
    }
    TField& pagamento = k.FieldByName("DataPagamento");
    const TField& vencimento = k.FieldByName("DataVencimento");
    if (!pagamento.IsNull() && !vencimento.IsNull() && pagamento.AsDate() < vencimento.AsDate()) {
        pagamento.SetAsDate(vencimento.AsDate());
    }
    preenchimento.Preenchido("DataPagamento");
    if (!Inserindo(k)) Abort();
    if (campos.size() > 20) {
        Atribui(k.FieldByName("Produto"), campos[20]);
        preenchimento.Preenchido("Produto");
        if (!Inserindo(k)) Abort();
    }
    Grava();
}

void TIncorporacao::Grava() {
    TDataSet& k = dm_.cdsKOVA;
    for (;;) {
        try {
            k.Post();
            ++Incorporadas;
            return;
        } catch (const EAbort&) {
            throw;
        } catch (const std::exception& e) {
            const std::string mensagem = e.what();
            if (mensagem.find("Informe produto") == std::string::npos) throw;
            if (!EscolheProduto()) {
                k.Cancel();
                MessageDlg(mensagem, TMsgDlgType::mtError);
                Abort();
            }
        }
    }
}

bool TIncorporacao::EscolheProduto() {
    TDataSet& k = dm_.cdsKOVA;
    const TField& vencimento = k.FieldByName("DataVencimento");
    return formulario_.EscolherProduto(
        " - Reg Nº " + std::to_string(Linha) + " - " + k.FieldByName("UFFavorecida").AsString() +
        " - " + k.FieldByName("Receita").AsString() + " - " +
        (vencimento.IsNull() ? std::string() : DateToStr(vencimento.AsDate())) + " - " +
        FormatarMoeda(k.FieldByName("ValorPrincipal").AsFloat()));
}

void TIncorporacao::DesfazNovas() {
    TDataSet& k = dm_.cdsKOVA;
    for (int id = dm_.UltimoIdKOVA; id > IdInicial; --id) {
        if (k.Locate("IdKOVA", {id})) k.Delete();
    }
    dm_.UltimoIdKOVA = IdInicial;
}

void TIncorporacao::ImprimeNovas() {
    TDataSet& k = dm_.cdsKOVA;
    const std::string indice = k.IndexName();
    k.SetIndexName("pk_IdKOVA");
    const int campoId = k.FieldByName("IdKOVA").Index();
    std::vector<TBookmark> novas;
    for (TBookmark b : k.VisibleRecords()) {
        const TValue id = k.ValueAt(b, campoId);
        if (!IsNull(id) && std::get<int32_t>(id) > IdInicial) novas.push_back(b);
    }
    // Each slip is marked once its copies exist; a failure leaves the rest unmarked.
    TFluxosImpressao fluxos(relatorio_);
    fluxos.AbrirSaida = AbrirSaida;
    try {
        fluxos.ImprimirLista(novas);
    } catch (...) {
        Impressas = fluxos.Marcadas;
        if (!indice.empty()) k.SetIndexName(indice);
        throw;
    }
    Impressas = fluxos.Marcadas;
    if (!indice.empty()) k.SetIndexName(indice);
}

}  // namespace kova
