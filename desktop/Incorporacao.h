#pragma once
// Slips in bulk from a tab-separated text file made by another system: one line per slip, each
// saved through the same checks as a typed slip, and the new slips printed at once on request.
// Headless: the desktop's main window and the command-line front end give it where printed pages
// go, how the menus refresh and how the program ends.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FluxosImpressao.h"
#include "TDM.h"
#include "TRelatorio.h"

namespace kova {

class TfrmDigitar;
class TqrpKOVA;

// The fields of one import line: cut at each tab, trailing blanks and control characters
// removed; a tab at the very end adds no empty field and an empty line gives none.
std::vector<std::string> SeparaCampos(const std::string& linha);
// The text without "-", "/" and ".".
std::string RetiraMascara(const std::string& texto);

class TIncorporacao {
public:
    // The entry form is the one that checks every slip; the report prints the new slips.
    TIncorporacao(TDM& dm, TfrmDigitar& formulario, TqrpKOVA& relatorio);

    // Where the three copies of the printed slips go, opened when the print run starts; a
    // failure raised there ends the print run.
    std::function<std::unique_ptr<TSaidaImpressao>()> AbrirSaida;
    std::function<void()> AtualizaMenus;
    // Unattended: ends the program without the exit question.
    std::function<void()> FecharPrincipal;
    // Lines read so far, now and then on a long file.
    std::function<void(int linhas)> Progresso;
    int IntervaloProgresso = 5000;

    // Imports the file; a failure has been told to the person (messages and the keep question)
    // and is raised again at the end, an abandoned product choice as a silent abort.
    void IncorporarArquivo(const std::string& nomeArquivo, bool desassistido);

    // One line of a file, already cut into its fields, made into a slip (the step the file's loop
    // repeats, with the import mode on); throws with the line's number when it is refused.
    void Incorpora(const std::string& linha, const std::vector<std::string>& campos);

    // Figures of the last import.
    int Linha = 0;
    int Incorporadas = 0;
    int Impressas = 0;
    int IdInicial = 0;
    // The slips could not be written to the disk (EGravacaoKOVA was raised): none of the file's
    // slips was kept, or, after the print run, their printed marks were not written.
    bool FalhaGravacao = false;

private:
    void Grava();
    void GravaNovas(TDM::TAdiaGravacao& adiamento);
    bool EscolheProduto();
    void DesfazNovas();
    void ImprimeNovas();

    TDM& dm_;
    TfrmDigitar& formulario_;
    TqrpKOVA& relatorio_;
};

}  // namespace kova
