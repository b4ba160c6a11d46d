#pragma once
// Where things live on this machine: the Windows directory (machine-wide settings such as
// KOVA.INI) and the system directory (the state-registration component), the program directory,
// and file helpers that never leave a half-written file behind.
//
// The Windows and system directories come from KOVA_WINDIR and KOVA_SYSDIR when set, otherwise
// from folders under the user's XDG configuration and data directories (the home from HOME, or from
// the system's record of the user when HOME is unset; never a folder shared with other users), made
// private to the user. On Windows they are the system's own. Directories end with the system's
// separator: "/" on Linux, "\" on Windows.

#include <string>

namespace kova {

#ifdef _WIN32
inline constexpr char kBarra = '\\';
#else
inline constexpr char kBarra = '/';
#endif

// Throw kova::Exception, in Portuguese, when the user has no home to put them in.
std::string DiretorioWindows();
std::string DiretorioSistema();
// Where a person's own settings (their KOVA.INI) are kept, made when missing: on Linux the
// Windows directory above, already the user's; on Windows %APPDATA%\KOVA, as the Windows directory
// is the machine's and only administrators may write it. Throws kova::Exception, in Portuguese,
// when the user has no such folder.
std::string DiretorioConfiguracao();
// The folder in which a person's own data directory is made from the installed tables (it gets
// "Dados" in it), made when missing: on Linux the system directory above; on Windows
// %LOCALAPPDATA%\KOVA. Throws as DiretorioConfiguracao does.
std::string DiretorioDoUsuario();
// The machine's KOVA.INI, read under the user's own as the setting of every user of the machine
// and written by none: on Windows the one in the Windows directory; on Linux none (empty), the
// Windows directory being the user's.
std::string KovaIniDaMaquina();
// The installed tables that a person's own data directory is made from, or empty when there are
// none: on Linux the package's folder; on Windows the Dados beside the library (or program) when
// the user may not write in it, a template installed with the programs.
std::string DiretorioDadosInstalados();
// The directory of the running executable (for the library, that of its host program).
std::string DiretorioPrograma();
// Where the installed system keeps the state-registration component for every user: on Linux
// the package's library folder, on Windows the folder of the library or program itself.
std::string DiretorioComponentes();
// The path of the running executable.
std::string CaminhoPrograma();

// The name the system knows a path by that a settings file holds. Such files are Windows-1252, the
// system's text; Linux names its files in UTF-8, so there a path in Windows-1252 is converted, and
// one already in UTF-8 (a file written by a Linux editor, or one the system wrote from a name Linux
// gave it) is kept. On Windows the text is the name itself.
std::string CaminhoNoSistema(const std::string& texto);

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
// Copies a file, replacing the target as EscreverArquivoAtomico does (never writing through a link
// left at its name); false on failure.
bool CopiaArquivo(const std::string& origem, const std::string& destino);

// A person's own files (slips, printed slips, settings) are read by their owner only, whatever the
// umask.
inline constexpr unsigned kModoPrivado = 0600;
inline constexpr unsigned kModoPastaPrivada = 0700;

// Makes the folder and every missing folder above it, each new one open to its owner only (0700,
// whatever the umask); folders already there keep their modes. False on failure (errno says why).
bool CriaPastaPrivada(const std::string& dir);
// Closes a file (0600) or folder (0700) of the user's to everyone else when it is open to others:
// what an earlier version made under the usual umask. Links and what is not the user's are left as
// they are. Does nothing on Windows, whose folders of a user are theirs already.
void TornaPrivado(const std::string& path);
// Makes a new empty file at path, never through a link or over anything already there: private
// (exactly 0600) or as other files of the folder (0644 less the umask). Throws EErroGravacao.
void CriaArquivoNovo(const std::string& path, bool privado);
// The local day of the file's last change (its modification time); false when it cannot be read.
bool DiaDaAlteracao(const std::string& path, int& ano, unsigned& mes, unsigned& dia);
// True when path is itself a symbolic link (whatever it points to).
bool EhLinkSimbolico(const std::string& path);
// Why a file or folder that decides what the program does (settings, the data directory beside the
// program) could have been put or changed there by another user: it (the entry itself, or what a
// link leads to), or its folder, belongs to someone other than the user or the administrator, or
// may be written by group or others (a folder with the sticky bit keeps others from replacing it).
// Empty when nothing but the user and the administrator can have written it. Windows: always
// empty.
std::string GravavelPorOutros(const std::string& path);

// Gives the file a second name (a hard link), never over anything already there; false when the
// system or the file system has none (errno says why).
bool LigaArquivo(const std::string& origem, const std::string& destino);
// Renames a file over another, which is replaced; false on failure (errno says why).
bool SubstituiArquivo(const std::string& origem, const std::string& destino);

// The system's version as it names it ("6.1.12-amd64" on Linux, "10.0" on Windows); empty when
// unknown.
std::string VersaoSistema();

// Why a call of the system failed, in the user's words (errno value given).
std::string DescricaoErroSistema(int erro);

// Writes the whole content to a new temporary file in the same folder, flushes it to the disk and
// renames it over the target, so the target is always either the old or the new content. A new
// file is private (0600); one replaced keeps its mode. A link at the target's name is replaced,
// never followed.
// Throws EErroGravacao with the reason on failure; the old file stays intact and no temporary
// file is left.
void EscreverArquivoAtomico(const std::string& path, const std::string& content);
// Flushes a file's data (and, for a directory, its entries) to the disk.
void SincronizarCaminho(const std::string& path);

}  // namespace kova
