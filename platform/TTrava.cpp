#include "TTrava.h"

#include <string>
#include <utility>

namespace kova {

TTrava TTrava::Aguardar(const std::string& dirDados, TModo modo) {
    TTrava t;
    t.fd_ = Abrir(dirDados + kArquivo);
    t.obtida_ = true;
    if (t.fd_ >= 0 && Travar(t.fd_, modo == TModo::Exclusiva, true) != TResultado::Obtida) {
        // A file system without locks (some network shares) works as before, unguarded.
        Fechar(t.fd_);
        t.fd_ = -1;
    }
    return t;
}

TTrava TTrava::TentarExclusiva(const std::string& dirDados) {
    TTrava t;
    t.fd_ = Abrir(dirDados + kArquivo);
    if (t.fd_ < 0) return t;
    if (Travar(t.fd_, true, false) == TResultado::Obtida) {
        t.obtida_ = true;
    } else {
        t.Liberar();
    }
    return t;
}

TTrava TTrava::TentarEscritor(const std::string& dirDados, const std::string& programa) {
    TTrava t;
    t.fd_ = Abrir(dirDados + kArquivoEscritor);
    t.obtida_ = true;
    if (t.fd_ < 0) return t;
    const TResultado r = Travar(t.fd_, true, false);
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
      ocupante_(std::move(outra.ocupante_)) {}

TTrava& TTrava::operator=(TTrava&& outra) noexcept {
    if (this != &outra) {
        Liberar();
        fd_ = std::exchange(outra.fd_, -1);
        obtida_ = std::exchange(outra.obtida_, false);
        ocupante_ = std::move(outra.ocupante_);
    }
    return *this;
}

TTrava::~TTrava() { Liberar(); }

void TTrava::Compartilhar() {
    if (fd_ >= 0 && obtida_) TornarCompartilhada(fd_);
}

void TTrava::Liberar() {
    if (fd_ >= 0) Fechar(fd_);
    fd_ = -1;
    obtida_ = false;
}

}  // namespace kova
