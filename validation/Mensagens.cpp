#include "Mensagens.h"

#include <stdexcept>
#include <string_view>

namespace kova {
namespace {

constexpr const char* kOrigemInvalido = "Número do documento origem inválido";
constexpr const char* kDigitoOrigem = "Dígito verificador do documento origem inválido";
constexpr const char* kFormatoDI =
    "Informe o número do documento origem no formato AANNNNNNND ou 4AANNNNNNND,\ronde: "
    "4=Simplificada, AA=ano, NNNNNNN=Sequencial e D=Dígito verificador";
constexpr const char* kFormatoDISilencioso =
    "Informe o número do documento origem no formato AANNNNNNND ou 4AANNNNNNND,onde: "
    "4=Simplificada, AA=ano, NNNNNNN=Sequencial e D=Dígito verificador";
constexpr const char* kFormatoDIAno =
    "Informe o número do documento origem no formato AANNNNNNND ou 4AANNNNNNND,\ronde: "
    "4=Simplificada, AA=ano (entre 1970 e ";
constexpr const char* kFormatoDIAnoSilencioso =
    "Informe o número do documento origem no formato AANNNNNNND ou 4AANNNNNNND,onde: "
    "4=Simplificada, AA=ano (entre 1970 e ";
constexpr const char* kEncargos =
    "Informe encargos para KOVA com pagamento em atraso\r\rEm caso de dúvidas pesquisar em "
    "\"Ajuda\" o tópico de \"Cálculo de encargos por Estado\"";
constexpr const char* kEncargosSilencioso =
    "Informe encargos para KOVA com pagamento em atrasoEm caso de dúvidas pesquisar em \"Ajuda\" "
    "o tópico de \"Cálculo de encargos por Estado\"";
constexpr const char* kCE1058 =
    "ICMS em atraso.Emitir DAE eletrônico no código de receita 1058 no site ";
constexpr const char* kCE1082 =
    "ICMS em atraso. Emitir DAE eletrônico no código de receita 1082 no site ";
constexpr const char* kInscricao = "Informe inscrição estadual na UF favorecida";

const std::vector<TMensagemCatalogo> kCatalogo = {
    {"1", "Informe UF Favorecida"},
    {"2", "Informe UF Favorecida válida"},
    {"3", "Informe Código da Receita"},
    {"4", "Informe Código da Subreceita"},
    {"5",
     "O campo Subreceita não foi informado ou a Subreceita informada não existe ou não está "
     "definida para esta UF"},
    {"6", "A Subreceita informada não está definida para esta receita desta UF"},
    {"7", "Informe CNPJ/CPF do contribuinte"},
    {"8", "CPF fictício não é válido"},
    {"9", "CPF inválido"},
    {"10", "CNPJ fictício não é válido"},
    {"11", "CNPJ inválido"},
    {"12", "CNPJ/CPF inválido"},
    {"13", "Informe uma natureza de receita válida antes do número do documento origem"},
    {"14", "Informe o número da Nota Fiscal no Documento de Origem"},
    {"15", "Informe número do documento origem"},
    {"16", "Informe número do documento origem diferente de zeros"},
    {"17", "Informe número do documento origem diferente de zeros"},
    {"18", kFormatoDI},
    {"19", kFormatoDISilencioso},
    {"20", kOrigemInvalido},
    {"21", kDigitoOrigem},
    {"22", kOrigemInvalido},
    {"23", kDigitoOrigem},
    {"24", kFormatoDI},
    {"25", kFormatoDISilencioso},
    {"26", kFormatoDIAno},
    {"27", kFormatoDIAnoSilencioso},
    {"28", "Informe número do documento origem"},
    {"29", "Informe número do documento origem"},
    {"30", "Informe apenas campo numérico no documento origem"},
    {"31", "Tamanho do número do documento origem maior que o esperado"},
    {"32", kDigitoOrigem},
    {"33", kDigitoOrigem},
    {"34", kOrigemInvalido},
    {"35", kOrigemInvalido},
    {"36", kDigitoOrigem},
    {"37", kDigitoOrigem},
    {"38", kOrigemInvalido},
    {"39", kOrigemInvalido},
    {"40", kOrigemInvalido},
    {"41", kDigitoOrigem},
    {"42", kOrigemInvalido},
    {"43", kDigitoOrigem},
    {"44", "Documento não disponível para emissão no sistema"},
    {"45", kOrigemInvalido},
    {"46", kOrigemInvalido},
    {"47", kOrigemInvalido},
    {"48", kOrigemInvalido},
    {"49", kDigitoOrigem},
    {"50", kDigitoOrigem},
    {"51", kOrigemInvalido},
    {"52", kDigitoOrigem},
    {"53", kDigitoOrigem},
    {"54", kDigitoOrigem},
    {"55", kDigitoOrigem},
    {"56", kOrigemInvalido},
    {"57", kDigitoOrigem},
    {"58", "Documento não disponível para emissão no sistema"},
    {"59", kDigitoOrigem},
    {"61", kDigitoOrigem},
    {"62", "Número do documento origem inválido. Formato Válido AANNNNNND"},
    {"63", kDigitoOrigem},
    {"64",
     "Sr. Contribuinte,\rEstas autuações devem ser pagas em documento de arrecadação "
     "específico da \r"},
    {"66", kDigitoOrigem},
    {"67", kDigitoOrigem},
    {"68", "Número do documento origem inválido. Informe documento no formato AAAANNNNND"},
    {"69", kDigitoOrigem},
    {"70", kDigitoOrigem},
    {"71", kDigitoOrigem},
    {"72A", "Número do Documento de Origem inválido"},
    {"73", kDigitoOrigem},
    {"74",
     "Informe uma natureza de receita válida antes do período de referência ou Nº da "
     "parcela"},
    {"75",
     "Informe o período de referência no formato DMMAAAA,\ronde: D=Período, MM=mês e "
     "AAAA=ano"},
    {"76",
     "Informe o período de referência no formato DMMAAAA,onde: D=Período, MM=mês e "
     "AAAA=ano"},
    {"77", "Informe parcela com 3 posições numéricas"},
    {"78",
     "Período de referência inválido.\r\rInforme o período de referência no formato "
     "DMMAAAA,\ronde: D=Período, MM=mês e AAAA=ano [Dd]"},
    {"79",
     "Período de referência inválido.Informe o período de referência no formato "
     "DMMAAAA,onde: D=Período, MM=mês e AAAA=ano [Dd]"},
    {"80", "Período de referência inválido.\r\rInforme a parcela com 3 posições numéricas"},
    {"81", "Período de referência inválido.Informe a parcela com 3 posições numéricas"},
    {"82", "Período de referência inválido.\r\rInforme uma parcela entre 001 e 999"},
    {"83", "Período de referência inválido.Informe uma parcela entre 001 e 999"},
    {"84",
     "Informe o período de referência menor ou igual a data de vencimento\r\rVencimento da "
     "Referência: "},
    {"85",
     "Para esta data de Vencimento o Período de Referência não pode ser menor do que "
     "Janeiro de 2008"},
    {"86", "Informe valor principal"},
    {"87", "Valor principal inválido"},
    {"88", "Informe o valor principal maior que zero"},
    {"89", "Informe o valor principal menor que 999.999.999,99"},
    {"90", "Valor da atualização monetária inválido"},
    {"91", "Informe o valor da atualização monetária menor que 999.999.999,99"},
    {"92",
     "Informe encargos para KOVA com pagamento em atraso\r\rEm caso de dúvidas pesquisar "
     "em \"Ajuda\" o tópico de \"Cálculo de encargos por Estado\"\rou contactar com o "
     "Estado."},
    {"93",
     "Informe encargos para KOVA com pagamento em atrasoEm caso de dúvidas pesquisar em "
     "\"Ajuda\" o tópico de \"Cálculo de encargos por Estado\"ou contactar com o Estado."},
    {"94", "Informe atualização monetária apenas para KOVA com pagamento em atraso"},
    {"95", "Valor dos juros inválido"},
    {"96", "Informe o valor dos juros menor que 999.999.999,99"},
    {"97", kEncargos},
    {"98", kEncargosSilencioso},
    {"99", "Informe o valor do juros para esta receita"},
    {"100", "Informe juros apenas para KOVA com pagamento em atraso"},
    {"101", "Valor da multa inválido"},
    {"102", "Informe o valor da multa menor que 999.999.999,99"},
    {"103", kEncargos},
    {"104", kEncargos},
    {"105", "Informe o valor da multa para esta receita"},
    {"106", "Informe multa apenas para KOVA com pagamento em atraso"},
    {"107", "Informe o valor principal ou multa para esta receita"},
    {"108", "Informe total a recolher"},
    {"109", "Total a recolher inválido"},
    {"110", "Informe o total a recolher diferente de zero"},
    {"111", "Informe o total a recolher maior que zero"},
    {"112", "Para valores a recolher maiores que 999.999.999,99 emita KOVA complementar."},
    {"113", "Total a recolher deverá ser a soma dos campos 06, 07, 08 e 09\r\rInformado: "},
    {"114", "Total a recolher deverá ser a soma dos campos 06, 07, 08 e 09.\rInformado: "},
    {"115", "Informe data de vencimento"},
    {"116", "Data de vencimento inválida"},
    {"117", "Informe uma natureza de receita válida antes da data de vencimento"},
    {"120", "Informe a data de pagamento maior ou igual a data de hoje"},
    {"121", "Informe nome da firma ou razão social"},
    {"122", kInscricao},
    {"123", kInscricao},
    {"124", "Inscrição estadual inválida"},
    {"125", "Informe endereço"},
    {"126", "Informe município"},
    {"127", "Informe UF"},
    {"128", "Informe UF do endereço válida"},
    {"129", "Informe uma natureza de receita válida antes da UF do endereço"},
    {"130", "UF informada deve ser diferente da UF favorecida"},
    {"131", "Informe CEP"},
    {"132", "Informe CEP no formato completo, sem o traço separando"},
    {"133", "Informe produto para esta receita"},
    {"134", "O produto informado não existe ou não está definido para esta UF nesta receita"},
    {"135", "O campo Empresa Courier só pode ser utilizado com a receita 10005-6"},
    {"136", "A Empresa de Courier informada não existe"},
    // Calendar and import-declaration checks of the entry screen.
    {"138", "A Data de Vencimento não pode ser em Final de Semana"},
    {"139", "A Data de Vencimento não pode ser em dia de Feriado"},
    {"142", "A Data de Pagamento não pode ser em Final de Semana"},
    {"143", "A Data de Vencimento não pode ser em Final de Semana"},
    {"144", "A Data de Vencimento não pode ser em dia de Feriado"},
    {"145", kCE1082},
    {"147", "Ano da DI incompatível com o Ano de Referência, verifique os valores informados"},
    {"148", "Ano da DSI incompatível com o Ano de Referência, verifique os valores informados"},
    {"149", "Ano da DI incompatível com o Ano de Referência"},
    {"150", "Ano da DI incompatível com o Ano de Referência"},
    {"151", "Ano da DSI incompatível com o Ano de Referência"},
    {"152", "Ano da DSI incompatível com o Ano de Referência"},
};

std::string Prefixo(const std::string& numero) { return "[Erro: " + numero + "] "; }

}  // namespace

const std::vector<TMensagemCatalogo>& CatalogoMensagens() { return kCatalogo; }

std::string Mensagem(const std::string& numero) {
    for (const auto& m : kCatalogo) {
        if (numero != m.numero) continue;
        // Made in one piece: a refused request's reply is mostly its message.
        std::string texto;
        texto.reserve(10 + numero.size() + std::string_view(m.texto).size());
        texto += "[Erro: ";
        texto += numero;
        texto += "] ";
        texto += m.texto;
        return texto;
    }
    throw std::out_of_range("no message number " + numero);
}

std::string MensagemPar(const std::string& numero, const std::string& numeroSilencioso,
                        bool silencioso) {
    return Mensagem(silencioso ? numeroSilencioso : numero);
}

std::string Mensagem26ou27(bool silencioso, int anoAtual) {
    return Mensagem(silencioso ? "27" : "26") + FormatFloat("0000", anoAtual + 1) +
           "), NNNNNNN=Sequencial e D=Dígito verificador";
}

std::string Mensagem64(const std::string& secretaria, const std::string& endereco) {
    return Mensagem("64") + secretaria + ". Maiores informações no endereço \r" + endereco;
}

std::string Mensagem84(TDate vencimentoReferencia, TDate vencimento) {
    return Mensagem("84") + DateToStr(vencimentoReferencia) + "\r" +
           "Data de Vencimento: " + DateToStr(vencimento);
}

std::string Mensagem113ou114(bool silencioso, double informado, double soma) {
    return Mensagem(silencioso ? "114" : "113") + FormatarMoeda(informado) + "\r" +
           "Soma [06,07,08 e 09]: " + FormatarMoeda(soma);
}

std::string MensagemCE(bool receitaICMSImportacao, const std::string& endereco) {
    // The two texts differ in the space after "atraso."; both stand as the users know them.
    if (receitaICMSImportacao) return Prefixo("145") + kCE1082 + endereco;
    return Prefixo("144") + kCE1058 + endereco;
}

}  // namespace kova
