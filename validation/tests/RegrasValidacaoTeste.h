#pragma once
// A data module with reference rows and a slip being inserted, checked through a data link that
// checks each changed field again, as the entry form object does.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Clock.h"
#include "Dialogs.h"
#include "TabelasDeTeste.h"
#include "ValidaCampo.h"

namespace kova::teste {

class RegrasTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        Inserir(
            dm->cdsReceita,
            {{"Codigo", T("100013")}, {"DocumentoOrigem", T("N")}, {"CodigoBarra", int32_t(1)}});
        fonte.SetDataSet(&dm->cdsKOVA);
        fonte.OnDataChange = [this](TDataSource&, TField* f) {
            if (!f || dm->CriandoRegistro) return;
            std::string m;
            TTipoMensagem t;
            if (ValidaCampo(f->FieldName(), m, t)) rechecagens.push_back(m);
            alterados.push_back(f->FieldName());
        };
        dm->dtsEntrada = &fonte;
        dm->cdsKOVA.Append();
    }
    void TearDown() override {
        dm.reset();
        Clock::Reset();
    }
    // Sets fields without checking them.
    void Define(const char* campo, const TValue& valor) {
        dm->CriandoRegistro = true;
        dm->cdsKOVA.FieldByName(campo).SetValue(valor);
        dm->CriandoRegistro = false;
    }
    std::string Valida(const char* campo) {
        std::string m;
        TTipoMensagem t;
        ValidaCampo(campo, m, t);
        return m;
    }
    // Sets a field and checks it.
    std::string Checa(const char* campo, const std::string& valor) {
        Define(campo, valor);
        return Valida(campo);
    }
    std::string Campo(const char* nome) { return dm->cdsKOVA.FieldByName(nome).AsString(); }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    TDataSource fonte;
    std::vector<std::string> rechecagens;
    std::vector<std::string> alterados;
};

}  // namespace kova::teste
