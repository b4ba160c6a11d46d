#include "SistemaDeArquivos.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "Diretorios.h"
#include "Errors.h"

namespace kova {
namespace {

#ifdef _WIN32
int Sincroniza(int fd) { return ::_commit(fd); }
#else
int Sincroniza(int fd) { return ::fsync(fd); }
#endif

class TEmPartesReal : public IArquivoEmPartes {
public:
    explicit TEmPartesReal(std::string destino)
        : destino_(std::move(destino)), temporario_(destino_ + ".XXXXXX") {
        // mkstemp makes it new and private (0600), never through a link.
        fd_ = ::mkstemp(temporario_.data());
        if (fd_ < 0) throw EErroGravacao(destino_, DescricaoErroSistema(errno));
    }
    ~TEmPartesReal() override {
        if (fd_ >= 0) ::close(fd_);
        if (!concluido_) std::remove(temporario_.c_str());
    }
    TEmPartesReal(const TEmPartesReal&) = delete;
    TEmPartesReal& operator=(const TEmPartesReal&) = delete;

    void Escreve(const char* dados, size_t tamanho) override {
        Confere();
        while (tamanho > 0) {
            const auto escritos = ::write(fd_, dados, unsigned(std::min<size_t>(tamanho, 1 << 20)));
            if (escritos < 0) {
                if (errno == EINTR) continue;
                Falha(errno);
            }
            if (escritos == 0) Falha(EIO);
            dados += escritos;
            tamanho -= size_t(escritos);
        }
    }
    void Conclui() override {
        Confere();
        if (Sincroniza(fd_) != 0) Falha(errno);
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) Falha(errno);
        if (!SubstituiArquivo(temporario_, destino_)) Falha(errno);
        concluido_ = true;
        const std::string pasta = PastaDe(destino_);
        SincronizarCaminho(pasta.empty() ? std::string(".") : pasta);
    }

private:
    void Confere() {
        if (!causa_.empty()) throw EErroGravacao(destino_, causa_);
    }
    [[noreturn]] void Falha(int erro) {
        causa_ = DescricaoErroSistema(erro ? erro : EIO);
        throw EErroGravacao(destino_, causa_);
    }

    std::string destino_;
    std::string temporario_;
    int fd_ = -1;
    bool concluido_ = false;
    std::string causa_;
};

class TSistemaReal : public ISistemaDeArquivos {
public:
    const char* Vfs() const override { return nullptr; }
    bool Existe(const std::string& path) override { return ExisteArquivoDisco(path); }
    bool Gravavel(const std::string& path) override {
#ifdef _WIN32
        return ::_access(path.c_str(), 2) == 0;
#else
        return ::access(path.c_str(), W_OK) == 0;
#endif
    }
    uint64_t Tamanho(const std::string& path) override {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
    }
    bool Ler(const std::string& path, std::string& conteudo, size_t limite) override {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        conteudo.clear();
        char bloco[65536];
        // Only what is asked for is read: a table file's header is 20 bytes of it.
        while (conteudo.size() < limite) {
            const size_t pedido = std::min(sizeof bloco, limite - conteudo.size());
            if (in.read(bloco, std::streamsize(pedido)).gcount() <= 0) break;
            conteudo.append(bloco, size_t(in.gcount()));
        }
        return !in.bad();
    }
    void GravaAtomico(const std::string& path, const std::string& conteudo) override {
        EscreverArquivoAtomico(path, conteudo);
    }
    void CriaNovo(const std::string& path, bool privado) override {
        CriaArquivoNovo(path, privado);
    }
    std::string CriaTemporario(const std::string& path) override {
        std::string temporario = path + ".XXXXXX";
        // mkstemp makes it new, never through a link; it takes the mode of the file it replaces.
        int fd = ::mkstemp(temporario.data());
        if (fd < 0) throw EErroGravacao(path, DescricaoErroSistema(errno));
#ifndef _WIN32
        struct stat atual;
        if (::stat(path.c_str(), &atual) == 0) {
            ::fchmod(fd, atual.st_mode & 07777);
        } else {
            const mode_t mascara = ::umask(0);
            ::umask(mascara);
            ::fchmod(fd, 0644 & ~mascara);
        }
#endif
        ::close(fd);
        return temporario;
    }
    void Sincroniza(const std::string& path) override { SincronizarCaminho(path); }
    bool Renomeia(const std::string& origem, const std::string& destino) override {
        return SubstituiArquivo(origem, destino);
    }
    bool Remove(const std::string& path) override { return std::remove(path.c_str()) == 0; }
    std::unique_ptr<IArquivoEmPartes> CriaEmPartes(const std::string& destino) override {
        return std::make_unique<TEmPartesReal>(destino);
    }
};

TSistemaReal real;
std::atomic<ISistemaDeArquivos*> emUso{&real};

}  // namespace

ISistemaDeArquivos& Arquivos() { return *emUso.load(); }

TTrocaSistemaDeArquivos::TTrocaSistemaDeArquivos(ISistemaDeArquivos& s)
    : anterior_(emUso.exchange(&s)) {}

TTrocaSistemaDeArquivos::~TTrocaSistemaDeArquivos() { emUso.store(anterior_); }

}  // namespace kova
