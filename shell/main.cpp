// KOVA, the desktop program: splash, data module, main window, event loop; the slips file is
// written after every change and once more at the end.

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Ajuda.h"
#include "DialogosQt.h"
#include "FrmPrincipal.h"
#include "FrmUtilitarios.h"
#include "Inicio.h"
#include "QtTexto.h"
#include "TDM.h"
#include "Texto.h"
#include "TqrpKOVA.h"

using namespace kova;

namespace {

void SaiSemSessaoGrafica() {
    std::fputs(Cp1252ToUtf8(MensagemSemSessaoGrafica()).c_str(), stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (SemSessaoGrafica()) SaiSemSessaoGrafica();
    // A display that is named but cannot be reached ends the program inside Qt, in English and with
    // an abort: the person reads why in Portuguese instead, and the status says it failed.
    qInstallMessageHandler([](QtMsgType tipo, const QMessageLogContext&, const QString&) {
        if (tipo == QtFatalMsg) SaiSemSessaoGrafica();
    });
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    app.setApplicationName(Q("KOVA - Fennolar"));
    // Qt's own dialogs and buttons speak the system's language.
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    const TraducaoQt traducao;
    InstalaTeclaDeAjuda();

    auto splash = std::make_unique<QWidget>(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(splash.get());
    auto* kova = new QLabel(Q("KOVA"));
    QFont grande = kova->font();
    grande.setPointSize(36);
    grande.setBold(true);
    kova->setFont(grande);
    kova->setAlignment(Qt::AlignCenter);
    layout->addWidget(kova);
    auto* nome = new QLabel(Q("Fennolar"));
    nome->setAlignment(Qt::AlignCenter);
    layout->addWidget(nome);
    auto* carregando = new QLabel(Q("Carregando..."));
    carregando->setAlignment(Qt::AlignCenter);
    layout->addWidget(carregando);
    splash->resize(320, 200);
    splash->show();
    app.processEvents();

    DialogosQt dialogos;
    SetDialogService(&dialogos);
    std::unique_ptr<TDM> dm = CriaModuloDeDados([&splash](TDM& configurado) {
        splash->hide();
        return FrmRestaurarCopia(configurado).exec() == QDialog::Accepted;
    });
    splash.reset();
    if (!dm) return 1;

    TqrpKOVA relatorio;
    if (dm->TopMargin >= 0) relatorio.Relatorio.margemSuperior = dm->TopMargin;
    FrmPrincipal principal(relatorio);
    principal.show();
    int resultado = 0;
    if (ArgumentoDeImportacao(argc, argv)) {
        // A file named on the command line is imported and printed unattended; the program then
        // ends by itself, with a failure status when the import stopped.
        const std::string arquivo = argv[1];
        QTimer::singleShot(0, &principal, [&, arquivo] {
            // The person sees first which file is being imported.
            QMessageBox caminho(QMessageBox::NoIcon, Q("KOVA - Fennolar"), Q(arquivo),
                                QMessageBox::Ok, &principal);
            caminho.exec();
            bool ok = false;
            Protege([&] {
                principal.IncorporarArquivo(arquivo, true);
                ok = true;
            });
            if (!ok) {
                resultado = 1;
                principal.SairSemConfirmar = true;
                principal.close();
            }
        });
    }
    const int fim = app.exec();
    if (resultado == 0) resultado = fim;
    Protege([&] { dm->DMDestroy(); });
    return resultado;
}
