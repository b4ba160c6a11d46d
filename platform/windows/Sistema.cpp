// The machine's directories and file operations on Windows: the system's own Windows and system
// directories, the user's own folders in their profile, the host program's folder, files made
// durable with FlushFileBuffers and put in place with MoveFileEx. Paths are Windows-1252 text, the
// system's code page for the "A" calls.

#include <windows.h>
// shellapi.h and shlobj.h need the types windows.h declares.
#include <shellapi.h>
#include <shlobj.h>

#include <cerrno>
#include <string>

#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "Texto.h"

namespace kova {

namespace {

// A failure of a Windows call in the terms DescricaoErroSistema speaks.
int ErrnoDe(DWORD erro) {
    switch (erro) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        default:
            return EIO;
    }
}

// The directory the system answers into a buffer of 128 characters, blanks trimmed and the
// separator added; a failure is told and gives an empty text (paths then start from the current
// directory).
std::string DoSistema(UINT(WINAPI* pergunta)(LPSTR, UINT), const char* falha) {
    char buffer[128];
    const UINT n = pergunta(buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) {
        MessageDlg(falha, TMsgDlgType::mtError);
        return {};
    }
    const std::string dir = Trim(std::string(buffer, n));
    return dir.empty() ? dir : IncluiBarra(dir);
}

std::string CaminhoDoModulo(HMODULE modulo) {
    std::string caminho(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(modulo, caminho.data(), DWORD(caminho.size()));
        if (n == 0) return {};
        if (n < caminho.size()) {
            caminho.resize(n);
            return caminho;
        }
        caminho.resize(caminho.size() * 2);
    }
}

DWORD Atributos(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// The folder of the user's profile the system names (CSIDL_APPDATA, CSIDL_LOCAL_APPDATA), with a
// folder KOVA in it, made when missing (a failure to make it is told by the first write there).
std::string DoPerfil(int pasta, const char* qual) {
    char caminho[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, pasta | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                caminho)) ||
        !*caminho) {
        throw Exception(
            std::string("Não foi possível saber a pasta ") + qual +
            " do usuário no Windows: o KOVA guarda nela a configuração e os dados de "
            "cada usuário.\r\rInicie o KOVA com um usuário que tenha perfil no Windows.");
    }
    const std::string dir = IncluiBarra(caminho) + "KOVA\\";
    CriaPastaPrivada(dir);
    return dir;
}

// Whether the user may make files in the folder: tried with a file that is gone when closed, also
// when the program is killed.
bool PodeCriarArquivosEm(const std::string& dir) {
    const std::string prova = IncluiBarra(dir) + "KOVA.gravavel." +
                              std::to_string(GetCurrentProcessId()) + "." +
                              std::to_string(GetCurrentThreadId());
    HANDLE h = CreateFileA(
        prova.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD erro = GetLastError();
        return erro != ERROR_ACCESS_DENIED && erro != ERROR_WRITE_PROTECT;
    }
    CloseHandle(h);
    return true;
}

}  // namespace

std::string DiretorioWindows() { return DoSistema(GetWindowsDirectoryA, "Erro no GetWindows"); }

std::string DiretorioSistema() {
    return DoSistema(GetSystemDirectoryA, "Erro no GetWindowsSystem");
}

// The Windows directory is the machine's: each user's settings and data live in their profile.
std::string DiretorioConfiguracao() { return DoPerfil(CSIDL_APPDATA, "de configurações"); }

std::string DiretorioDoUsuario() { return DoPerfil(CSIDL_LOCAL_APPDATA, "local de dados"); }

std::string KovaIniDaMaquina() {
    const std::string windows = DiretorioWindows();
    return windows.empty() ? std::string() : windows + "KOVA.INI";
}

// The installation puts the tables beside the library, in a folder its users may only read; a
// Dados there that the user may write is a data directory itself (an office's own set-up).
std::string DiretorioDadosInstalados() {
    const std::string componentes = DiretorioComponentes();
    if (componentes.empty()) return {};
    const std::string dados = componentes + "Dados\\";
    return ExisteDiretorio(dados) && !PodeCriarArquivosEm(dados) ? dados : std::string();
}

// The folder of the module that holds the engine: kovadll.dll for a host program.
std::string DiretorioComponentes() {
    HMODULE modulo = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&DiretorioComponentes), &modulo)) {
        return {};
    }
    return PastaDe(CaminhoDoModulo(modulo));
}

std::string CaminhoPrograma() { return CaminhoDoModulo(nullptr); }

std::string DiretorioPrograma() {
    std::string p = PastaDe(CaminhoPrograma());
    return p.empty() ? std::string(".\\") : p;
}

std::string CaminhoNoSistema(const std::string& texto) { return texto; }

bool ExisteArquivoDisco(const std::string& path) {
    const DWORD a = Atributos(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ExisteDiretorio(const std::string& path) {
    const DWORD a = Atributos(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DiaDaAlteracao(const std::string& path, int& ano, unsigned& mes, unsigned& dia) {
    WIN32_FILE_ATTRIBUTE_DATA dados;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &dados)) return false;
    FILETIME local;
    SYSTEMTIME quando;
    if (!FileTimeToLocalFileTime(&dados.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &quando)) {
        return false;
    }
    ano = quando.wYear;
    mes = quando.wMonth;
    dia = quando.wDay;
    return true;
}

// A user's folders under Windows are theirs by the system's own permissions: a folder is made as
// any other.
bool CriaPastaPrivada(const std::string& dir) {
    if (dir.empty()) return false;
    for (size_t fim = dir.find_first_of("/\\");; fim = dir.find_first_of("/\\", fim + 1)) {
        const std::string caminho = dir.substr(0, fim);
        // "C:" and the root need no making.
        if (!caminho.empty() && caminho.back() != ':' && !ExisteDiretorio(caminho) &&
            !CreateDirectoryA(caminho.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            errno = ErrnoDe(GetLastError());
            return false;
        }
        if (fim == std::string::npos) break;
    }
    return ExisteDiretorio(dir);
}

void TornaPrivado(const std::string&) {}

void CriaArquivoNovo(const std::string& path, bool) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD erro = GetLastError();
        throw EErroGravacao(path, erro == ERROR_FILE_EXISTS
                                      ? std::string("já existe um arquivo com esse nome")
                                      : DescricaoErroSistema(ErrnoDe(erro)));
    }
    CloseHandle(h);
}

bool EhLinkSimbolico(const std::string& path) {
    const DWORD a = Atributos(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Who may write a file is told by its access list, which the system's installer sets: not looked
// at here.
std::string GravavelPorOutros(const std::string&) { return {}; }

// A folder's entries are made durable by the file system's own journal; only files are flushed.
void SincronizarCaminho(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(h);
    CloseHandle(h);
}

// The version the system reports of itself, which programs without a manifest see as at most 6.2.
std::string VersaoSistema() {
    const DWORD v = GetVersion();
    return std::to_string(v & 0xFF) + "." + std::to_string((v >> 8) & 0xFF);
}

bool LigaArquivo(const std::string& origem, const std::string& destino) {
    if (CreateHardLinkA(destino.c_str(), origem.c_str(), nullptr)) return true;
    errno = ErrnoDe(GetLastError());
    return false;
}

bool SubstituiArquivo(const std::string& origem, const std::string& destino) {
    if (MoveFileExA(origem.c_str(), destino.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = ErrnoDe(GetLastError());
    return false;
}

namespace {

// A new file named as mkstemp names its files (the path, "." and six letters or digits), so that
// the crash recovery knows it for what it is.
HANDLE CriaTemporario(const std::string& path, std::string& temporario) {
    static const char kLetras[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned long long semente =
        GetTickCount64() * 2654435761ULL ^ (unsigned long long)GetCurrentProcessId() << 20;
    for (int tentativa = 0; tentativa < 100; ++tentativa) {
        temporario = path + ".";
        for (int i = 0; i < 6; ++i) {
            semente = semente * 6364136223846793005ULL + 1442695040888963407ULL;
            temporario += kLetras[(semente >> 33) % 62];
        }
        HANDLE h = CreateFileA(temporario.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

void EscreverArquivoAtomico(const std::string& path, const std::string& content) {
    std::string temporario;
    HANDLE h = CriaTemporario(path, temporario);
    if (h == INVALID_HANDLE_VALUE)
        throw EErroGravacao(path, DescricaoErroSistema(ErrnoDe(GetLastError())));
    const char* p = content.data();
    size_t resto = content.size();
    DWORD erro = 0;
    while (resto > 0 && !erro) {
        DWORD escritos = 0;
        const DWORD pedaco = resto > 0x10000000 ? 0x10000000 : DWORD(resto);
        if (!WriteFile(h, p, pedaco, &escritos, nullptr)) {
            erro = GetLastError();
        } else {
            p += escritos;
            resto -= escritos;
        }
    }
    if (!erro && !FlushFileBuffers(h)) erro = GetLastError();
    if (!CloseHandle(h) && !erro) erro = GetLastError();
    if (!erro && !MoveFileExA(temporario.c_str(), path.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        erro = GetLastError();
    }
    if (erro) {
        DeleteFileA(temporario.c_str());
        throw EErroGravacao(path, DescricaoErroSistema(ErrnoDe(erro)));
    }
}

bool IDialogService::AbrirEndereco(const std::string& endereco) {
    // The system's opener for the address; it returns at once.
    return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", endereco.c_str(), nullptr,
                                                   nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace kova
