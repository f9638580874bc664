// The program's own process: its arguments and its console.
#pragma once
#include <string>
#include <vector>

namespace processo {

// The arguments after the program's name, as UTF-8 text whatever the system's
// code page.
std::vector<std::string> argomenti(int argc, char** argv);
// Readies the process, first thing in main: standard output and error for
// UTF-8 text; a write past a file-size limit fails like any other write (it
// does not kill the program); an interruption (Ctrl-C, a closed terminal,
// kill) removes the temporary files and folders being written, then ends the
// program as the interruption would have.
void prepara();

// This process's number, as the system counts processes.
unsigned long numero();
// Whether a process of that number runs now (on this machine). A number the
// system has given again to another process counts as running.
bool in_vita(unsigned long numero);

// Whether standard error is a terminal (a console on Windows) that someone
// watches, not a file or a pipe: only there may a long job show how far it
// has gone, rewriting one line.
bool errore_a_terminale();

// Whether the console is this process's alone: started from the desktop
// (a double click), not from a prompt, whose console outlives it. Never
// where programs get no console of their own.
bool console_propria();
// Asks the system to open the address in the default browser; false when
// it would not.
bool apri_nel_browser(const std::string& indirizzo);

}  // namespace processo
