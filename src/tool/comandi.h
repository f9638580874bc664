// Subcommands of the authors' tool. Each takes the arguments after its own
// name and returns the exit status.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

using argomenti = std::vector<std::string>;

// Exit statuses shared by the subcommands.
constexpr int kUscitaOk = 0;
constexpr int kUscitaCodice = 1;   // a compile code is pending
constexpr int kUscitaFallita = 2;  // fatal stamp check, I/O failure, unreadable file
constexpr int kUscitaUso = 64;     // usage error

struct sottocomando {
  const char* nome;
  const char* sintassi;
  const char* descrizione;
  int (*esegui)(const argomenti&);
};

int comando_sources(const argomenti& a);
int comando_compile(const argomenti& a);
int comando_check(const argomenti& a);
int comando_dump(const argomenti& a);
int comando_plot(const argomenti& a);
int comando_generate(const argomenti& a);
int comando_decompile(const argomenti& a);
int comando_diff(const argomenti& a);
int comando_lsp(const argomenti& a);
int comando_preview(const argomenti& a);

// Runs the tool with the arguments after its name.
int esegui_scenario(const argomenti& args);

// Prints the usage line of a subcommand on standard error; returns kUscitaUso.
int errore_uso(const char* nome, const std::string& motivo);
// A subcommand's usage line and what it does, for its --help.
void stampa_uso(const char* nome, FILE* out);
// A route or train name must be a plain file-name part.
bool nome_valido(const std::string& nome);
