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

#include "Diretorios.h"
#include "Errors.h"

namespace kova {
namespace {

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
};

TSistemaReal real;
std::atomic<ISistemaDeArquivos*> emUso{&real};

}  // namespace

ISistemaDeArquivos& Arquivos() { return *emUso.load(); }

TTrocaSistemaDeArquivos::TTrocaSistemaDeArquivos(ISistemaDeArquivos& s)
    : anterior_(emUso.exchange(&s)) {}

TTrocaSistemaDeArquivos::~TTrocaSistemaDeArquivos() { emUso.store(anterior_); }

}  // namespace kova
