#include "TTrava.h"

#include <string>
#include <utility>

#include "Espera.h"

namespace kova {

ETravaOcupada::ETravaOcupada(const std::string& arquivo)
    : EErroGravacao(arquivo, kEmUsoPorOutroPrograma), arquivo_(arquivo) {}

TTrava TTrava::Aguardar(const std::string& dirDados, TModo modo) {
    TTrava t;
    t.caminho_ = dirDados + kArquivo;
    TEspera espera;
    do {
        const int fd = Abrir(t.caminho_);
        if (fd == kSemArquivo) {
            t.obtida_ = true;
            return t;
        }
        if (fd >= 0) {
            const TResultado r = Travar(fd, modo == TModo::Exclusiva);
            if (r == TResultado::Obtida) {
                t.fd_ = fd;
                t.obtida_ = true;
                return t;
            }
            Fechar(fd);
            // A file system without locks (some network shares) works as before, unguarded.
            if (r == TResultado::SemTrava) {
                t.obtida_ = true;
                return t;
            }
        }
    } while (espera.Pausa());
    throw ETravaOcupada(t.caminho_);
}

TTrava TTrava::TentarExclusiva(const std::string& dirDados) {
    TTrava t;
    t.caminho_ = dirDados + kArquivo;
    t.fd_ = Abrir(t.caminho_);
    if (t.fd_ < 0) {
        t.fd_ = -1;
        return t;
    }
    if (Travar(t.fd_, true) == TResultado::Obtida) {
        t.obtida_ = true;
    } else {
        t.Liberar();
    }
    return t;
}

TTrava TTrava::TentarEscritor(const std::string& dirDados, const std::string& programa) {
    TTrava t;
    t.caminho_ = dirDados + kArquivoEscritor;
    const int fd = Abrir(t.caminho_);
    if (fd == kSemArquivo) {
        t.obtida_ = true;
        return t;
    }
    if (fd == kInacessivel) {
        // Made by another user, who may well be writing now: never taken for a directory without
        // a lock, where a second writer would go on beside them.
        t.ocupante_ = "outro usuário (" + t.caminho_ + " não pode ser aberto por este usuário)";
        return t;
    }
    t.fd_ = fd;
    t.obtida_ = true;
    const TResultado r = Travar(t.fd_, true);
    if (r == TResultado::Ocupada) {
        t.ocupante_ = LerOcupante(t.fd_);
        while (!t.ocupante_.empty() && (t.ocupante_.back() == '\n' || t.ocupante_.back() == '\r' ||
                                        t.ocupante_.back() == '\0')) {
            t.ocupante_.pop_back();
        }
        t.obtida_ = false;
    }
    if (r != TResultado::Obtida) {
        Fechar(t.fd_);
        t.fd_ = -1;
        return t;
    }
    // Who holds it, for the message a second writer gets; a read-only file simply stays as it was.
    GravarOcupante(t.fd_, programa + " (processo " + std::to_string(Processo()) + ")\n");
    return t;
}

TTrava::TTrava(TTrava&& outra) noexcept
    : fd_(std::exchange(outra.fd_, -1)),
      obtida_(std::exchange(outra.obtida_, false)),
      caminho_(std::move(outra.caminho_)),
      ocupante_(std::move(outra.ocupante_)) {}

TTrava& TTrava::operator=(TTrava&& outra) noexcept {
    if (this != &outra) {
        Liberar();
        fd_ = std::exchange(outra.fd_, -1);
        obtida_ = std::exchange(outra.obtida_, false);
        caminho_ = std::move(outra.caminho_);
        ocupante_ = std::move(outra.ocupante_);
    }
    return *this;
}

TTrava::~TTrava() { Liberar(); }

void TTrava::Compartilhar() {
    if (fd_ < 0 || !obtida_) return;
    if (TornarCompartilhada(fd_) == TResultado::Obtida) return;
    TEspera espera;
    while (espera.Pausa()) {
        if (Travar(fd_, false) == TResultado::Obtida) return;
    }
    Liberar();
    throw ETravaOcupada(caminho_);
}

void TTrava::Liberar() {
    if (fd_ >= 0) Fechar(fd_);
    fd_ = -1;
    obtida_ = false;
}

}  // namespace kova
