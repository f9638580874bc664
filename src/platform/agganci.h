// Test hooks: the points where a test makes a run stop, wait or press OK by
// itself. Only the test builds of the programs read them (agganci_prova.cc,
// from environment variables); the shipped programs link agganci_nulli.cc,
// where every hook does nothing and no variable name is held.
#pragma once

namespace agganci {

// Once a file's temporary copy exists, before its bytes are written: a test
// may have a signal raised here, or the run stopped to be killed, at the
// write it chose.
void prima_di_scrivere();

// Whether a replacement made only over the bytes expected does without the
// system's exchange of two names, as it must where the file system has none.
bool senza_scambio();

// How long a message box stays up before it closes as if OK were pressed;
// 0: until the user closes it.
long chiusura_scatola_ms();

// How long the run's window stays up once drawn, so that it can be looked
// at; 0: no wait.
long attesa_finestra_ms();

}  // namespace agganci
