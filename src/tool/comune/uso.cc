// What each subcommand is called, its usage line and what it does: the
// text of --help, kept apart from the dispatch so that every room can print
// its own usage.
#include <cstdio>
#include <cstring>

#include "tool/comune/argomenti.h"

namespace {

const uso_comando kUsi[] = {
    {"sources", "sources DIR",
     "scrive in DIR (creata se manca) i cinque file di testo dello scenario predefinito;\n"
     "      non compila nulla. Da lì si parte per uno scenario proprio."},
    {"compile", "compile SRCDIR ROUTE TRAIN [--out DIR] [--no-plan] [--utf8] [--json]",
     "compila SRCDIR/ROUTE_linea.txt e SRCDIR/ROUTE_TRAIN-.txt: i sorgenti sono letti una\n"
     "      volta in memoria e compilati lì, così non sono mai cambiati né cancellati. I file\n"
     "      compilati ROUTE_linea.dat (non con --no-plan), ROUTE_TRAIN.sim e ROUTE_TRAIN.dat "
     "vanno\n"
     "      in DIR (predefinita: SRCDIR). I sorgenti sono in Windows-1252 come li legge il\n"
     "      simulatore; con --utf8 sono letti come UTF-8 e convertiti prima della compilazione\n"
     "      (gli stessi byte compilati): un carattere che Windows-1252 non ha è un errore alla\n"
     "      sua riga e colonna, e nulla viene scritto. --json stampa una riga:\n"
     "      {\"codice_errore\":N,\"posizione_errore\":M,\"files\":[...]}, con \"file\",\n"
     "      \"riga\", \"colonna\" e \"messaggio\" quando resta un codice. Con un codice rimasto i\n"
     "      file sono scritti lo stesso con ciò che è stato letto prima, e lo dice: \"scritto\n"
     "      nonostante l'errore N\"."},
    {"pack", "pack SRCDIR ROUTE TRAIN (--out DIR | --zip FILE.zip) [--utf8] [--force]",
     "scrive ciò che il simulatore legge di uno scenario, con i nomi che gli dà il\n"
     "      compattatore: i tre file compilati (ROUTE_linea.dat, ROUTE_TRAIN.sim,\n"
     "      ROUTE_TRAIN.dat, gli stessi byte di compile) e i tre documenti del macchinista\n"
     "      (ROUTE_TRAIN_note.txt, ROUTE_TRAIN_rallentamenti.txt, ROUTE_TRAIN_scheda_treno.txt).\n"
     "      Un documento che SRCDIR ha è preso com'è; uno che manca è composto dallo scenario\n"
     "      compilato come quelli predefiniti (Windows-1252, CR LF): la scheda treno con ogni\n"
     "      stazione, il suo chilometro, il limite di velocità e l'orario; i rallentamenti del\n"
     "      treno o \"NESSUN RALLENTAMENTO\"; le note con i dati della linea e del treno e le\n"
     "      fonti che i sorgenti citano prima di [generale] (la mappa OpenStreetMap di draft,\n"
     "      ODbL). In DIR (creata se manca) tutti e sei o nessuno; con --zip un solo archivio\n"
     "      FILE.zip scritto intero. I file vanno poi nella cartella da cui il simulatore legge\n"
     "      gli scenari. Con un codice rimasto nulla è scritto (l'errore come lo dà compile,\n"
     "      stato 1); nulla è mai scritto in SRCDIR. I file che ci sono già (anche\n"
     "      FILE.zip) sono sostituiti solo con --force. --utf8 come per compile."},
    {"check", "check SRCDIR ROUTE TRAIN [--utf8] [--json]",
     "compila come compile senza tenere nulla e riporta il codice rimasto e gli avvisi\n"
     "      (FILE:RIGA: avviso: ...) per ciò che la compilazione accetta in silenzio: campi che\n"
     "      non sono chiavi, valori che si troncano o si arrotondano, valori che la compilazione\n"
     "      azzera o sostituisce, voci fuori ordine di posizione, posizioni oltre la lunghezza\n"
     "      della linea, tratti e zone che finiscono prima di cominciare, voci che prendono\n"
     "      valori dalla riga dopo (una virgola mancante), marcatori sostituiti, testo UTF-8 (o\n"
     "      il suo BOM) in un sorgente che il simulatore legge come Windows-1252, e orari\n"
     "      all'indietro o fra due stazioni più brevi della marcia del treno, che accelera e\n"
     "      frena (le stazioni senza orario non contano; i tipi di treno: 'scenario voci\n"
     "      tipo'). Ogni voce e ciò che la compilazione fa dei suoi valori: 'scenario voci'.\n"
     "      --utf8 come per compile.\n"
     "      Stato d'uscita 0 con i soli avvisi. --json stampa una riga con \"avvisi\":[...]."},
    {"dump", "dump FILE [--all] [--json]",
     "stampa in modo leggibile un file compilato: ROUTE_TRAIN.sim (tabella della linea per voce,\n"
     "      voci vuote raggruppate), ROUTE_TRAIN.dat (celle del percorso con un oggetto, un\n"
     "      marcatore o una montagna, e un riassunto dei profili) o ROUTE_linea.dat (planimetria:\n"
     "      conteggi, riquadro, un punto ogni 500). --all elenca ogni voce, cella o punto;\n"
     "      --json stampa lo stesso in JSON."},
    {"plot",
     "plot (SRCDIR [--utf8] | --from-compiled DIR) ROUTE TRAIN -o FILE.svg | SRCDIR ROUTE TRAIN "
     "[--utf8] --html -o FILE.html",
     "disegna la linea in un solo SVG autonomo: la planimetria dall'alto con stazioni, segnali\n"
     "      e cartelli, e sotto i profili di pendenza e di velocità limite lungo la linea.\n"
     "      Compila SRCDIR in memoria (nulla viene scritto accanto ai sorgenti), oppure legge i\n"
     "      tre file compilati di DIR con --from-compiled. Con --html scrive invece la pagina\n"
     "      dell'anteprima con i dati dentro: si apre in un browser senza server, anche altrove.\n"
     "      --utf8 come per compile."},
    {"generate", "generate DIR ROUTE TRAIN (--km N | --wild) [--seed S]",
     "scrive DIR/ROUTE_linea.txt e DIR/ROUTE_TRAIN-.txt: una linea sintetica di N km (da 1 a\n"
     "      1000) con curve, pendenze, montagne, cartelli, cartelli indicatori, segnali,\n"
     "      rallentamenti, stazioni, punti di velocità e di aderenza, che si compila senza codici\n"
     "      d'errore. Lo stesso seme (predefinito 1) dà gli stessi file. Con --wild i valori\n"
     "      vengono da tutto l'intervallo che il lettore accetta (posizioni a ogni metro, valori\n"
     "      che si troncano, lunghezze negative, voci fuori ordine e sovrapposte, conteggi al\n"
     "      limite) e la lunghezza la sceglie il seme: di solito si compila con codice 0."},
    {"decompile", "decompile DIR ROUTE TRAIN [--out SRCDIR] [--force] [--utf8] [--json]",
     "riscrive i sorgenti dai file compilati DIR/ROUTE_TRAIN.sim, DIR/ROUTE_TRAIN.dat e, se c'è,\n"
     "      DIR/ROUTE_linea.dat: SRCDIR/ROUTE_linea.txt e SRCDIR/ROUTE_TRAIN-.txt (predefinita:\n"
     "      DIR), nella forma dei sorgenti predefiniti. Non sostituisce un sorgente che esiste\n"
     "      già se non con --force, e non ne scrive nessuno se non può scriverli entrambi. Poi\n"
     "      li compila in memoria e confronta i byte: stato 0 se l'andata e ritorno è identica,\n"
     "      1 con le prime differenze (voce, cella o punto) e ciò che nessun sorgente può\n"
     "      esprimere. File scritti dopo una lettura che si è fermata prima della fine ne\n"
     "      portano la traccia, che il resoconto nomina: i sorgenti scritti si fermano allo\n"
     "      stesso punto. Senza ROUTE_linea.dat la linea non ha curve e va compilata con\n"
     "      --no-plan. Con --utf8 i sorgenti sono scritti in UTF-8 (da compilare con --utf8).\n"
     "      --json stampa una riga con \"files\", \"identico\", \"differenze\",\n"
     "      \"inesprimibili\", \"non_ricostruiti\" e \"tracce\"."},
    {"diff", "diff DIR_A DIR_B ROUTE TRAIN [--json]",
     "confronta due versioni compilate dello stesso scenario voce per voce: voci aggiunte,\n"
     "      tolte o cambiate (l'orario di una stazione, il tipo di un segnale, le velocità di un\n"
     "      cartello, un tratto del profilo di velocità), ciascuna con la sua posizione e la sua\n"
     "      riga nei sorgenti decompilati di A e di B. Stato 0 se le due versioni si compilano\n"
     "      dalle stesse voci, 1 se differiscono. --json stampa una riga."},
    {"lsp", "lsp",
     "server dei sorgenti per gli editor (Language Server Protocol su standard input e\n"
     "      output): errori e avvisi di check mentre si scrive, descrizione di chiavi e valori,\n"
     "      struttura, completamento e formattazione; il comando scenario.anteprima apre\n"
     "      l'anteprima della coppia nel browser, e le modifiche della pagina arrivano all'editor\n"
     "      come modifiche del testo. Compila in memoria: non scrive mai nulla."},
    {"preview",
     "preview SRCDIR ROUTE TRAIN [--port N] [--utf8] [--map MAP] [--edit [--pacchetto DIR]]",
     "server locale (solo 127.0.0.1) di una pagina che mostra la linea mentre la si scrive:\n"
     "      planimetria, profili, orario e velocità della marcia del treno; ricompila in\n"
     "      memoria a ogni salvataggio dei sorgenti e la pagina si ridisegna da sé. Stampa\n"
     "      l'indirizzo da aprire, con la sua chiave; --port sceglie la porta (predefinita: una\n"
     "      libera); --utf8 come per compile. Con --map disegna sotto la planimetria i binari\n"
     "      della mappa OpenStreetMap MAP, dove le righe «origine mappa» e «rotta mappa» del\n"
     "      sorgente della linea (scritte da draft) la mettono. Senza --edit non cambia mai i\n"
     "      sorgenti; con --edit la pagina li modifica (sposta stazioni, segnali, cartelli e\n"
     "      rallentamenti, orari, toglie e aggiunge voci) scrivendo il file intero, solo se sul\n"
     "      disco è ancora quello che la pagina mostra, e annulla le sue modifiche; il suo\n"
     "      «pacchetto» scrive i sei file dello scenario come pack in DIR (predefinita:\n"
     "      SRCDIR/ROUTE_TRAIN, accanto ai sorgenti). Ctrl-C lo ferma."},
    {"studio", "studio [DIR] [--port N]",
     "server locale (solo 127.0.0.1) della pagina di lavoro dell'autore: gli scenari di DIR\n"
     "      (predefinita: la cartella corrente), ogni coppia di sorgenti con l'esito di check,\n"
     "      e per ciascuno check e compile eseguiti dalla pagina, con il loro rapporto. Stampa\n"
     "      l'indirizzo da aprire, con la sua chiave; --port sceglie la porta (predefinita: una\n"
     "      libera). Scrive solo in DIR. Ctrl-C lo ferma."},
    {"voci", "voci [CHIAVE]",
     "stampa il riferimento delle voci dei due sorgenti: per ogni chiave i suoi valori in\n"
     "      ordine, con nome, unità, valori accettati, significato e ciò che la compilazione fa\n"
     "      di un valore strano (lo stesso testo di docs/voci.md). Con CHIAVE solo quella voce:\n"
     "      una chiave come si scrive (curvas3, \"progressiva chilometrica uno\") o il suo "
     "inizio."},
    {"draft",
     "draft MAP DIR ROUTE TRAIN --from NAME --to NAME [--via NAME]... [--dem TILE]... "
     "[--default-speed KMH] [--dwell S] [--margin P] [--departure HH:MM] [--force] [--json] | "
     "draft MAP DIR ROUTE TRAIN --gtfs FEED --trip ID [--from NAME] [--to NAME] [--dem TILE]... | "
     "draft MAP --stops [--near NAME] | draft MAP --gtfs FEED --trips --from NAME --to NAME",
     "scrive DIR/ROUTE_linea.txt e DIR/ROUTE_TRAIN-.txt, una bozza di linea e di treno dalla\n"
     "      mappa OpenStreetMap MAP (PBF, o XML anche .gz e .bz2 dove la build lo legge): il\n"
     "      percorso sui binari fra le fermate --from, --via (nell'ordine) e --to, le curve\n"
     "      scelte fra le sei classi perché la planimetria compilata resti sul binario, le\n"
     "      pendenze dalle tessere SRTM --dem (.hgt o .zip), velocità, cartelli, segnali,\n"
     "      stazioni con orari che check accetta, passaggi a livello e punti chilometrici dai\n"
     "      cippi. Stampa quanto la planimetria compilata dista dal binario della mappa e gli\n"
     "      avvisi (via o nodo della mappa e posizione). --default-speed per le vie senza\n"
     "      maxspeed (predefinita 100), --dwell la sosta in secondi (30), --margin la\n"
     "      percentuale sulla marcia del treno (10), --departure l'ora di partenza (8:00).\n"
     "      --json stampa una riga con \"origine\", \"rotta\", \"lunghezza\", \"stazioni\" e\n"
     "      le misure. Un sorgente che esiste già (la mappa stessa, se ha quel nome) si\n"
     "      sostituisce solo con --force. Una mappa o una tessera illeggibile, un nome che non\n"
     "      c'è: stato 2 e nulla scritto. Un percorso lungo più di 1,5 volte la linea d'aria\n"
     "      fra le fermate in fila è un avviso, il primo (--via fuori ordine?). Con\n"
     "      draft MAP --stops [--near NAME] elenca le fermate ferroviarie della mappa (nome,\n"
     "      genere, posizione, linee) o le più vicine a una, senza scrivere nulla. Con\n"
     "      draft MAP --gtfs FEED --trips --from NAME --to NAME elenca le corse del feed GTFS\n"
     "      FEED (cartella o .zip) che fermano a --from e poi a --to: id, linea, orari, giorni\n"
     "      di servizio, prima e ultima fermata (la mappa non è letta). Con --gtfs FEED\n"
     "      --trip ID il treno è la corsa ID del feed: le sue fermate che la mappa ha (o quelle\n"
     "      da --from a --to, nomi del feed o della mappa), trovate per posizione, sono le\n"
     "      fermate del percorso; ognuna è una stazione con il nome e l'orario del feed (la\n"
     "      sosta a parte), quelle dove non ferma sono senza orario. Il resoconto dà tratta per\n"
     "      tratta l'orario contro la marcia; una tratta che il treno non tiene è un avviso.\n"
     "      Niente --via con --trip."},
};

}  // namespace

void aiuto(FILE* out) {
  std::fprintf(out, "uso: scenario SOTTOCOMANDO ARGOMENTI...\n\nSottocomandi:\n");
  for (const auto& c : kUsi)
    std::fprintf(out, "  scenario %s\n      %s\n", c.sintassi, c.descrizione);
  std::fprintf(
      out,
      "\nStato d'uscita: 0 riuscito; 1 la compilazione lascia un codice d'errore (decompile:\n"
      "l'andata e ritorno non è identica; diff: le versioni differiscono); 2 \" Errore n.\n"
      "1250\" o \" Errore n. 1251\" (nulla scritto), un file illeggibile o incoerente, un\n"
      "sorgente che --utf8 non può convertire in Windows-1252 (nulla scritto), un errore di\n"
      "scrittura; 64 un errore d'uso.\n\n"
      "Ogni sottocomando risponde a --help con il suo uso. Con --json ogni riga è UTF-8 valido:\n"
      "in un nome di file che non è UTF-8 ogni byte che non lo è si legge come Windows-1252.\n");
}

void stampa_uso(const char* nome, FILE* out) {
  for (const auto& c : kUsi)
    if (std::strcmp(c.nome, nome) == 0)
      std::fprintf(out, "uso: scenario %s\n      %s\n", c.sintassi, c.descrizione);
}

int errore_uso(const char* nome, const std::string& motivo) {
  std::fprintf(stderr, "scenario: %s\n", motivo.c_str());
  for (const auto& c : kUsi)
    if (std::strcmp(c.nome, nome) == 0) std::fprintf(stderr, "uso: scenario %s\n", c.sintassi);
  std::fprintf(stderr, "Vedere 'scenario --help'.\n");
  return kUscitaUso;
}
