#pragma once
// Helpers for tests that need a data module with a few reference rows in memory.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Clock.h"
#include "TDM.h"

namespace kova::teste {

using Campos = std::vector<std::pair<const char*, TValue>>;

inline void Inserir(TDataSet& t, const Campos& campos) {
    t.Append();
    for (const auto& [nome, valor] : campos) t.FieldByName(nome).SetValue(valor);
    t.Post();
}

inline TValue T(const char* s) { return std::string(s); }

inline void Regra(TDM& dm, const char* uf, const char* receita, const char* flag,
                  const char* texto) {
    Inserir(dm.cdsUFReceita,
            {{"UF", T(uf)}, {"Receita", T(receita)}, {"Flag", T(flag)}, {"Texto", T(texto)}});
}

// A few states, revenue codes and sub-codes that most rule tests share.
inline void ReferenciasBasicas(TDM& dm) {
    Inserir(dm.cdsUF, {{"UF", T("SP")},
                       {"Descricao", T("São Paulo")},
                       {"Codigo", int32_t(261)},
                       {"CodigoBarra", int32_t(27)},
                       {"Conveniada", T("S")},
                       {"Periodicidade", T("M")}});
    Inserir(dm.cdsUF, {{"UF", T("MG")},
                       {"Descricao", T("Minas Gerais")},
                       {"Codigo", int32_t(311)},
                       {"CodigoBarra", int32_t(14)},
                       {"Conveniada", T("S")},
                       {"Periodicidade", T("D")}});
    Inserir(dm.cdsReceita, {{"Codigo", T("100056")},
                            {"Descricao", T("ICMS importação")},
                            {"CodigoBarra", int32_t(5)},
                            {"Referencia", T("D")},
                            {"LayoutCodigoBarra", 3.0},
                            {"TipoDocumento", T("1")}});
    Inserir(dm.cdsReceita, {{"Codigo", T("100048")},
                            {"Descricao", T("ICMS consumidor final")},
                            {"CodigoBarra", int32_t(4)},
                            {"Referencia", T("P")},
                            {"LayoutCodigoBarra", 1.0},
                            {"TipoDocumento", T("0")}});
    for (int s : {1, 2, 7}) {
        Inserir(dm.cdsSubReceita,
                {{"Codigo", T("100048")}, {"SubReceita", int32_t(s)}, {"Descricao", T("sub")}});
    }
    Inserir(dm.cdsEmpresaCourier, {{"Codigo", int32_t(5)}, {"Nome", T("Courier Cinco")}});
}

// The data module most tests start from: the clock at 15/03/2024 10:00, every table open and
// empty, and the reference rows above.
inline std::unique_ptr<TDM> ModuloDeTeste() {
    Clock::Set(MakeDateTime(2024, 3, 15, 10, 0));
    auto dm = std::make_unique<TDM>();
    dm->AbrirTabelasVazias();
    ReferenciasBasicas(*dm);
    return dm;
}

// Fills the current slip (being inserted or edited) with values that pass every field rule on the
// reference rows of ReferenciasBasicas, without running the checks while filling.
inline void PreencheKOVAValida(TDM& dm) {
    dm.CriandoRegistro = true;
    auto& k = dm.cdsKOVA;
    k.FieldByName("UFFavorecida").SetAsString("SP");
    k.FieldByName("Receita").SetAsString("100048");
    k.FieldByName("CICContribuinte").SetAsString("11222333000181");
    k.FieldByName("Referencia").SetAsString("001");
    k.FieldByName("ValorPrincipal").SetAsFloat(100);
    k.FieldByName("TotalRecolher").SetAsFloat(100);
    k.FieldByName("DataVencimento").SetAsDate(Clock::Today() + std::chrono::days(10));
    k.FieldByName("DataPagamento").SetAsDate(Clock::Today());
    k.FieldByName("RazaoSocial").SetAsString("EMPRESA DE TESTE LTDA");
    k.FieldByName("Endereco").SetAsString("RUA DAS FLORES, 100");
    k.FieldByName("Municipio").SetAsString("CAMPINAS");
    k.FieldByName("UF").SetAsString("SP");
    k.FieldByName("CEP").SetAsString("13010-000");
    dm.CriandoRegistro = false;
}

}  // namespace kova::teste
