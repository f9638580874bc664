// The arguments of one subcommand: its options, their values and its
// positional arguments, read the same way by every subcommand; the exit
// statuses they share and their usage texts.
#pragma once
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

using argomenti = std::vector<std::string>;

// Exit statuses shared by the subcommands.
constexpr int kUscitaOk = 0;
constexpr int kUscitaCodice = 1;   // a compile code is pending
constexpr int kUscitaFallita = 2;  // fatal stamp check, I/O failure, unreadable file
constexpr int kUscitaUso = 64;     // usage error

struct uso_comando {
  const char* nome;
  const char* sintassi;
  const char* descrizione;
};

// The tool's help: every subcommand with its usage and what it does.
void aiuto(FILE* out);
// A subcommand's usage line and what it does, for its --help.
void stampa_uso(const char* nome, FILE* out);
// Prints the usage line of a subcommand on standard error; returns kUscitaUso.
int errore_uso(const char* nome, const std::string& motivo);

// ROUTE and TRAIN as a subcommand takes them: -1 when both are plain file-name
// parts, else the status of the usage error it prints.
int nomi_scenario(const char* nome, const std::string& linea, const std::string& treno);

// Why a source the tool writes may not be written at `nome`; empty when it
// may. An existing file is an author's work, replaced only with --force;
// a folder or anything else in its place never. Neither of two sources is
// written unless both can be: each is asked first.
std::string ostacolo_sorgente(const std::string& nome, bool forza);

struct opzione_comando {
  const char* nome;              // "--out"
  const char* valore = nullptr;  // what its value is ("una cartella"); nullptr for a switch
  const char* breve = nullptr;   // another spelling ("-o")
  bool ripetibile = false;       // may be given more than once (every value kept)
};

struct argomenti_letti {
  std::vector<std::string> posizionali;
  std::map<std::string, std::string> opzioni;                // by their long name; "" for a switch
  std::map<std::string, std::vector<std::string>> ripetute;  // every value, in order

  bool ha(const std::string& o) const { return opzioni.count(o) != 0; }
  std::string valore(const std::string& o, const std::string& se_manca = "") const {
    auto i = opzioni.find(o);
    return i == opzioni.end() ? se_manca : i->second;
  }
};

// A --port's value: a number from 0 to 65535, nothing after it.
bool leggi_porta(const std::string& t, uint16_t& porta);

// Reads the arguments of subcommand `nome`, which takes `posizionali`
// positional arguments described by `cosa` ("SRCDIR ROUTE TRAIN"). Returns -1
// when the subcommand goes on; otherwise the exit status: 0 after printing its
// usage for --help, kUscitaUso after printing a usage error (an unknown
// option, one repeated that may not be, an option without its value, the
// wrong number of positionals). After "--" every argument is positional.
// `facoltativi` more positionals may follow, or not ("[DIR]").
int leggi_argomenti(const char* nome, const argomenti& a,
                    std::initializer_list<opzione_comando> opzioni, size_t posizionali,
                    const char* cosa, argomenti_letti& letti, size_t facoltativi = 0);
