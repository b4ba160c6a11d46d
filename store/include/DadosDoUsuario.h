#pragma once
// A person's own data directory when KOVA was installed from the package (on Windows, with its
// tables in a Dados beside the library that its users may only read): the programs live in a
// system folder that nobody writes into, so on a user's first start the shipped tables are copied
// into the user's data folder and KOVA.INI (in the user's configuration folder) is made to name it.
// Every later start, of the desktop program or of a host of the library, finds it through that
// KOVA.INI. A second user gets a copy of their own.
//
// An upgraded package may ship changed reference tables: the next start of any program replaces
// the user's copies with them (all together, checksums recorded, the slips kept), and the person
// is told once what changed. KOVA.INI records which shipped tables the user's copies came from
// (key TabelasInstaladas), so a directory is updated once per change of the package's tables and
// a directory the user set up elsewhere is never touched.

#include <string>

namespace kova {

// Where the installation puts the shipped tables that every user's first start copies (empty when
// there are none).
std::string DadosInstalados();

// Whether the program in dirPrograma is an installed one: the shipped tables installed in
// `instalados`, and beside the program no Dados but those. Such a program's folder is never a place
// for a user's data.
bool ProgramaInstalado(const std::string& dirPrograma, const std::string& instalados);

// The data directory the installation makes for a user: dirUsuario + "Dados" and the separator.
std::string DadosDoPacote(const std::string& dirUsuario);

// Called at start when neither Config.ini beside the program nor a KOVA.INI (the user's, in
// dirConfiguracao, or the machine's) exists (and by an installed program whose Config.ini names no
// data directory): for an installed program, copies the shipped tables into
// DadosDoPacote(dirUsuario) (unless a data directory is already there), every copy writable by
// the user, and writes KOVA.INI in dirConfiguracao naming it. The folders it makes are the user's
// alone (0700), as are KOVA.INI and the slips file (0600).
// Returns the data directory to use, or empty when this start is not such a case.
// Throws Exception with a Portuguese message when the copy or KOVA.INI cannot be written.
std::string PreparaDadosDoUsuario(const std::string& dirPrograma,
                                  const std::string& dirConfiguracao, const std::string& dirUsuario,
                                  const std::string& instalados);

// The user's settings folder, folder of their own and data directory (with its printed slips), and
// in them KOVA.INI, the slips file and the PDF files of slips, closed to every other user (folders
// 0700, files 0600): an earlier version made them open to everyone under the usual umask. Called at
// every start whose data directory is the one the package made for the user.
void ProtegeDadosDoUsuario(const std::string& dirConfiguracao, const std::string& dirUsuario);

// At every start of an installed program whose data directory is the one the package made: when
// the shipped tables differ from those the user's copies came from, replaces every reference table
// of dirDados with the shipped one, as one step under the directory's lock, keeping KOVA.cds and
// its checksum, and records the change in kovaIni for the person to be told (AvisoDeTabelas).
// Returns true when the tables were replaced. Does nothing while another program writes slips in
// dirDados (the next start does it). Throws Exception with a Portuguese message when the tables
// could not be replaced; the previous ones are then still there, whole.
bool AtualizaTabelasDoUsuario(const std::string& dirPrograma, const std::string& dirDados,
                              const std::string& kovaIni, const std::string& dirUsuario,
                              const std::string& instalados);

// The notice of a table update the person has not been told yet, or empty; it is removed from
// kovaIni, so that it is told once.
std::string RetiraAvisoDeTabelas(const std::string& kovaIni);

// The version of a set of reference tables as people read it ("1.03", "1.03.T-2"), from the
// fields of Controle.cds.
std::string VersaoDasTabelas(int versao, const std::string& release, int testes);

// What identifies a new-version request for one user of an installed program (the program's
// version and the request file's contents): the request is carried out once for each.
std::string AssinaturaDoPedido(const std::string& configIni);

}  // namespace kova
