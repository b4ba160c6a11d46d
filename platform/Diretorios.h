#pragma once
// Where things live on this machine: the Windows directory (machine-wide settings such as
// KOVA.INI) and the system directory (the state-registration component), the program directory,
// and file helpers that never leave a half-written file behind.
//
// The Windows and system directories come from KOVA_WINDIR and KOVA_SYSDIR when set, otherwise
// from folders under the user's XDG configuration and data directories. On Windows they are the
// system's own. Directories end with the system's separator: "/" on Linux, "\" on Windows.

#include <string>

namespace kova {

#ifdef _WIN32
inline constexpr char kBarra = '\\';
#else
inline constexpr char kBarra = '/';
#endif

std::string DiretorioWindows();
std::string DiretorioSistema();
// The directory of the running executable (for the library, that of its host program).
std::string DiretorioPrograma();
// Where the installed system keeps the state-registration component for every user: on Linux
// the package's library folder, on Windows the folder of the library or program itself.
std::string DiretorioComponentes();
// The path of the running executable.
std::string CaminhoPrograma();

bool ExisteArquivoDisco(const std::string& path);
bool ExisteDiretorio(const std::string& path);
// Everything after the last "/" (or "\").
std::string NomeArquivo(const std::string& path);
// The path with its file's extension (from the last "." of the name) replaced, or added.
std::string TrocaExtensao(const std::string& path, const std::string& extensao);
// The directory with its separator at the end ("/" is taken as one on Windows too).
std::string IncluiBarra(const std::string& dir);
// The folder part of a path, with its separator; empty for a bare file name.
std::string PastaDe(const std::string& path);
// Copies a file, replacing the target; false on failure.
bool CopiaArquivo(const std::string& origem, const std::string& destino);

// Renames a file over another, which is replaced; false on failure (errno says why).
bool SubstituiArquivo(const std::string& origem, const std::string& destino);

// The system's version as it names it ("6.1.12-amd64" on Linux, "10.0" on Windows); empty when
// unknown.
std::string VersaoSistema();

// Why a call of the system failed, in the user's words (errno value given).
std::string DescricaoErroSistema(int erro);

// Writes the whole content to a temporary file in the same folder, flushes it to the disk and
// renames it over the target, so the target is always either the old or the new content.
// Throws EErroGravacao with the reason on failure; the old file stays intact and no temporary
// file is left.
void EscreverArquivoAtomico(const std::string& path, const std::string& content);
// Flushes a file's data (and, for a directory, its entries) to the disk.
void SincronizarCaminho(const std::string& path);

}  // namespace kova
