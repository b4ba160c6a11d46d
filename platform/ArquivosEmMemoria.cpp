#include "ArquivosEmMemoria.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "Errors.h"

namespace kova {
namespace {

constexpr const char* kNomeVfs = "kova-memoria";

// A table file open through the VFS: only its name; the content is the disk's.
struct TAberto {
    sqlite3_file base;
    TArquivosEmMemoria* dono;
    std::string* nome;
    bool apagaAoFechar;
};

TAberto& De(sqlite3_file* f) { return *reinterpret_cast<TAberto*>(f); }
TArquivosEmMemoria& Dono(sqlite3_vfs* v) { return *static_cast<TArquivosEmMemoria*>(v->pAppData); }
sqlite3_vfs* Sistema() { return sqlite3_vfs_find(nullptr); }

// The answer of a step that changes the disk: 0 when it goes on, else the error to give.
int Passo(TArquivosEmMemoria& d, int falha) {
    switch (d.Passo()) {
        case TArquivosEmMemoria::TPasso::Segue:
            return SQLITE_OK;
        case TArquivosEmMemoria::TPasso::Falha:
            return falha;
        case TArquivosEmMemoria::TPasso::Parado:
            break;
    }
    return SQLITE_IOERR;
}

int Fecha(sqlite3_file* f) {
    TAberto& a = De(f);
    if (a.apagaAoFechar) a.dono->Apaga(*a.nome);
    delete a.nome;
    a.nome = nullptr;
    return SQLITE_OK;
}

int Le(sqlite3_file* f, void* destino, int quantos, sqlite3_int64 onde) {
    TAberto& a = De(f);
    TArquivosEmMemoria::TArquivo* arq = a.dono->Acha(*a.nome);
    if (!arq) return SQLITE_IOERR_READ;
    const std::string& c = arq->atual;
    const size_t inicio = std::min(c.size(), size_t(onde));
    const size_t lidos = std::min(c.size() - inicio, size_t(quantos));
    std::memcpy(destino, c.data() + inicio, lidos);
    if (lidos < size_t(quantos)) {
        std::memset(static_cast<char*>(destino) + lidos, 0, size_t(quantos) - lidos);
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int Escreve(sqlite3_file* f, const void* origem, int quantos, sqlite3_int64 onde) {
    TAberto& a = De(f);
    if (int rc = Passo(*a.dono, SQLITE_FULL)) return rc == SQLITE_IOERR ? SQLITE_IOERR_WRITE : rc;
    TArquivosEmMemoria::TArquivo* arq = a.dono->Acha(*a.nome);
    if (!arq) return SQLITE_IOERR_WRITE;
    std::string& c = arq->atual;
    if (c.size() < size_t(onde) + size_t(quantos)) c.resize(size_t(onde) + size_t(quantos), '\0');
    std::memcpy(c.data() + onde, origem, size_t(quantos));
    return SQLITE_OK;
}

int Trunca(sqlite3_file* f, sqlite3_int64 tamanho) {
    TAberto& a = De(f);
    if (Passo(*a.dono, SQLITE_IOERR_TRUNCATE)) return SQLITE_IOERR_TRUNCATE;
    TArquivosEmMemoria::TArquivo* arq = a.dono->Acha(*a.nome);
    if (!arq) return SQLITE_IOERR_TRUNCATE;
    if (arq->atual.size() > size_t(tamanho)) arq->atual.resize(size_t(tamanho));
    return SQLITE_OK;
}

int Sincroniza(sqlite3_file* f, int) {
    TAberto& a = De(f);
    if (Passo(*a.dono, SQLITE_IOERR_FSYNC)) return SQLITE_IOERR_FSYNC;
    TArquivosEmMemoria::TArquivo* arq = a.dono->Acha(*a.nome);
    if (!arq) return SQLITE_IOERR_FSYNC;
    arq->gravado = arq->atual;
    return SQLITE_OK;
}

int Tamanho(sqlite3_file* f, sqlite3_int64* tamanho) {
    TAberto& a = De(f);
    TArquivosEmMemoria::TArquivo* arq = a.dono->Acha(*a.nome);
    if (!arq) return SQLITE_IOERR_FSTAT;
    *tamanho = sqlite3_int64(arq->atual.size());
    return SQLITE_OK;
}

// One program alone: every lock is granted, and no other holds one.
int Trava(sqlite3_file*, int) { return SQLITE_OK; }
int TravaDeOutro(sqlite3_file*, int* resposta) {
    *resposta = 0;
    return SQLITE_OK;
}
int Controle(sqlite3_file*, int, void*) { return SQLITE_NOTFOUND; }
int Setor(sqlite3_file*) { return 512; }
// Nothing promised about what a crash keeps: SQLite takes its most careful path.
int Caracteristicas(sqlite3_file*) { return 0; }

const sqlite3_io_methods kMetodos = {
    1,       &Fecha,  &Le,           &Escreve,  &Trunca, &Sincroniza,      &Tamanho,
    &Trava,  &Trava,  &TravaDeOutro, &Controle, &Setor,  &Caracteristicas, nullptr,
    nullptr, nullptr, nullptr,       nullptr,   nullptr,
};

int Abre(sqlite3_vfs* v, const char* nome, sqlite3_file* f, int flags, int* flagsSaida) {
    TArquivosEmMemoria& d = Dono(v);
    TAberto& a = De(f);
    a.base.pMethods = nullptr;
    const std::string n = nome ? std::string(nome) : "temporario-" + std::to_string(d.NovoNumero());
    if (!d.Acha(n)) {
        if (!(flags & SQLITE_OPEN_CREATE)) return SQLITE_CANTOPEN;
        if (Passo(d, SQLITE_FULL)) return SQLITE_CANTOPEN;
        d.Cria(n);
    }
    a.dono = &d;
    a.nome = new (std::nothrow) std::string(n);
    if (!a.nome) return SQLITE_NOMEM;
    a.apagaAoFechar = !nome || (flags & SQLITE_OPEN_DELETEONCLOSE);
    a.base.pMethods = &kMetodos;
    if (flagsSaida) *flagsSaida = flags;
    return SQLITE_OK;
}

int ApagaDoVfs(sqlite3_vfs* v, const char* nome, int) {
    TArquivosEmMemoria& d = Dono(v);
    if (Passo(d, SQLITE_IOERR_DELETE)) return SQLITE_IOERR_DELETE;
    if (!d.Acha(nome)) return SQLITE_IOERR_DELETE_NOENT;
    d.Apaga(nome);
    return SQLITE_OK;
}

int Acesso(sqlite3_vfs* v, const char* nome, int, int* resposta) {
    *resposta = Dono(v).Acha(nome) ? 1 : 0;
    return SQLITE_OK;
}

int CaminhoCompleto(sqlite3_vfs*, const char* nome, int tamanho, char* saida) {
    sqlite3_snprintf(tamanho, saida, "%s", nome);
    return SQLITE_OK;
}

int Aleatorio(sqlite3_vfs*, int n, char* saida) {
    return Sistema()->xRandomness(Sistema(), n, saida);
}
int Dorme(sqlite3_vfs*, int micro) { return Sistema()->xSleep(Sistema(), micro); }
int Agora(sqlite3_vfs*, double* t) { return Sistema()->xCurrentTime(Sistema(), t); }
int UltimoErro(sqlite3_vfs*, int, char*) { return 0; }
int Agora64(sqlite3_vfs*, sqlite3_int64* t) { return Sistema()->xCurrentTimeInt64(Sistema(), t); }

[[noreturn]] void NaoGravou(const std::string& path, TArquivosEmMemoria::TPasso passo) {
    throw EErroGravacao(path, passo == TArquivosEmMemoria::TPasso::Falha
                                  ? "o disco está cheio"
                                  : "o disco parou de responder");
}

}  // namespace

TArquivosEmMemoria::TArquivosEmMemoria() : vfs_(std::make_unique<sqlite3_vfs>()) {
    sqlite3_vfs& v = *vfs_;
    std::memset(&v, 0, sizeof v);
    v.iVersion = 2;
    v.szOsFile = int(sizeof(TAberto));
    v.mxPathname = 1024;
    v.zName = kNomeVfs;
    v.pAppData = this;
    v.xOpen = &Abre;
    v.xDelete = &ApagaDoVfs;
    v.xAccess = &Acesso;
    v.xFullPathname = &CaminhoCompleto;
    v.xRandomness = &Aleatorio;
    v.xSleep = &Dorme;
    v.xCurrentTime = &Agora;
    v.xGetLastError = &UltimoErro;
    v.xCurrentTimeInt64 = &Agora64;
    sqlite3_initialize();
    sqlite3_vfs_register(vfs_.get(), 0);
}

TArquivosEmMemoria::~TArquivosEmMemoria() { sqlite3_vfs_unregister(vfs_.get()); }

const char* TArquivosEmMemoria::Vfs() const { return kNomeVfs; }

TArquivosEmMemoria::TPasso TArquivosEmMemoria::Passo() {
    ++passos_;
    if (caiu_ || passos_ == queda_) {
        caiu_ = true;
        return TPasso::Parado;
    }
    return passos_ == falha_ ? TPasso::Falha : TPasso::Segue;
}

void TArquivosEmMemoria::Religa(unsigned guardados) {
    unsigned bit = 1;
    for (auto& [nome, arquivo] : disco_) {
        if (guardados & bit) {
            arquivo.gravado = arquivo.atual;
        } else {
            arquivo.atual = arquivo.gravado;
        }
        bit <<= 1;
    }
    falha_ = queda_ = 0;
    caiu_ = false;
}

TArquivosEmMemoria::TArquivo* TArquivosEmMemoria::Acha(const std::string& path) {
    auto it = disco_.find(path);
    return it == disco_.end() ? nullptr : &it->second;
}

TArquivosEmMemoria::TArquivo& TArquivosEmMemoria::Cria(const std::string& path) {
    return disco_[path];
}

bool TArquivosEmMemoria::Existe(const std::string& path) { return Acha(path) != nullptr; }

bool TArquivosEmMemoria::Gravavel(const std::string& path) { return Existe(path); }

uint64_t TArquivosEmMemoria::Tamanho(const std::string& path) {
    const TArquivo* a = Acha(path);
    return a ? a->atual.size() : 0;
}

bool TArquivosEmMemoria::Ler(const std::string& path, std::string& conteudo, size_t limite) {
    const TArquivo* a = Acha(path);
    if (!a) return false;
    conteudo = a->atual.substr(0, limite);
    return true;
}

void TArquivosEmMemoria::GravaAtomico(const std::string& path, const std::string& conteudo) {
    // As the system's: a new file beside it, written, flushed and renamed over it.
    const std::string temporario = CriaTemporario(path);
    const TPasso escrita = Passo();
    if (escrita == TPasso::Segue) Acha(temporario)->atual = conteudo;
    const TPasso fluxo = escrita == TPasso::Segue ? Passo() : escrita;
    if (fluxo == TPasso::Segue) Acha(temporario)->gravado = conteudo;
    if (fluxo != TPasso::Segue || !Renomeia(temporario, path)) {
        if (!caiu_) Apaga(temporario);
        NaoGravou(path, fluxo != TPasso::Segue ? fluxo : caiu_ ? TPasso::Parado : TPasso::Falha);
    }
}

void TArquivosEmMemoria::CriaNovo(const std::string& path, bool) {
    if (Existe(path)) throw EErroGravacao(path, "o arquivo já existe");
    const TPasso p = Passo();
    if (p != TPasso::Segue) NaoGravou(path, p);
    Cria(path);
}

std::string TArquivosEmMemoria::CriaTemporario(const std::string& path) {
    const std::string nome = path + ".tmp" + std::to_string(NovoNumero());
    CriaNovo(nome, true);
    return nome;
}

void TArquivosEmMemoria::Sincroniza(const std::string& path) {
    // A folder's entries last at once: only a file's content waits for this.
    TArquivo* a = Acha(path);
    if (!a) return;
    if (Passo() == TPasso::Segue) a->gravado = a->atual;
}

bool TArquivosEmMemoria::Renomeia(const std::string& origem, const std::string& destino) {
    const TPasso p = Passo();
    TArquivo* a = Acha(origem);
    if (p != TPasso::Segue || !a) {
        errno = p == TPasso::Falha ? ENOSPC : p == TPasso::Parado ? EIO : ENOENT;
        return false;
    }
    TArquivo movido = std::move(*a);
    disco_.erase(origem);
    disco_[destino] = std::move(movido);
    return true;
}

namespace {

class TEmPartesMemoria : public IArquivoEmPartes {
public:
    TEmPartesMemoria(TArquivosEmMemoria& disco, std::string destino)
        : disco_(disco),
          destino_(std::move(destino)),
          temporario_(disco.CriaTemporario(destino_)) {}
    ~TEmPartesMemoria() override {
        if (!concluido_ && !disco_.Caiu()) disco_.Apaga(temporario_);
    }
    TEmPartesMemoria(const TEmPartesMemoria&) = delete;
    TEmPartesMemoria& operator=(const TEmPartesMemoria&) = delete;

    void Escreve(const char* dados, size_t tamanho) override {
        Passo();
        disco_.Acha(temporario_)->atual.append(dados, tamanho);
    }
    void Conclui() override {
        Passo();
        TArquivosEmMemoria::TArquivo* a = disco_.Acha(temporario_);
        a->gravado = a->atual;
        if (!disco_.Renomeia(temporario_, destino_)) {
            falha_ = disco_.Caiu() ? TArquivosEmMemoria::TPasso::Parado
                                   : TArquivosEmMemoria::TPasso::Falha;
            NaoGravou(destino_, falha_);
        }
        concluido_ = true;
    }

private:
    void Passo() {
        if (falha_ == TArquivosEmMemoria::TPasso::Segue) falha_ = disco_.Passo();
        if (falha_ != TArquivosEmMemoria::TPasso::Segue) NaoGravou(destino_, falha_);
    }

    TArquivosEmMemoria& disco_;
    std::string destino_;
    std::string temporario_;
    bool concluido_ = false;
    TArquivosEmMemoria::TPasso falha_ = TArquivosEmMemoria::TPasso::Segue;
};

}  // namespace

std::unique_ptr<IArquivoEmPartes> TArquivosEmMemoria::CriaEmPartes(const std::string& destino) {
    return std::make_unique<TEmPartesMemoria>(*this, destino);
}

bool TArquivosEmMemoria::Remove(const std::string& path) {
    if (!Existe(path)) return false;
    if (Passo() != TPasso::Segue) return false;
    Apaga(path);
    return true;
}

}  // namespace kova
