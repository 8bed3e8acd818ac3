// The installer's texts as the user reads them (Windows-1252), written once for the tests,
// the fault tests and the fuzz target that read them back.
#pragma once

inline constexpr char kCaption[] = "Korvo-Quenda Service-Pack";
inline constexpr char kCompleted[] = "Korvo-Quenda Service-Pack - Installation abgeschlossen!";
inline constexpr char kFailed[] = "Korvo-Quenda Service-Pack - Installation fehlgeschlagen!";
inline constexpr char kNotChanged[] = "Korvo wurde nicht ver\xE4ndert.";
inline constexpr char kPartly[] = "Korvo wurde nur teilweise aktualisiert. Der n\xE4"
                                  "chste Start der Installation stellt es fertig.";
// What a start that finished a killed pass's commit or undo says in place of kNotChanged.
inline constexpr char kFinishedCommit[] = "Eine abgebrochene Installation wurde fertiggestellt: "
                                          "Korvo ist vollst\xE4ndig auf dem Stand ihres "
                                          "Service-Packs.";
inline constexpr char kFinishedUndo[] = "Eine abgebrochene Installation wurde zur\xFC"
                                        "ckgenommen: Korvo ist vollst\xE4ndig auf dem Stand vor "
                                        "ihr.";
inline constexpr char kListingBroken[] =
    "Der Service-Pack-Ordner konnte nicht vollst\xE4ndig gelesen werden.";

// The closing advice, one sentence per cause, in the order the pass gives them.
inline constexpr char kInUse[] = "Bitte beenden Sie Korvo und starten Sie die Installation erneut.";
inline constexpr char kSourceInUse[] = "Ein anderes Programm verwendet eine Datei des "
                                       "Service-Packs. Bitte beenden Sie es und starten Sie die "
                                       "Installation erneut.";
inline constexpr char kDiskFull[] = "Auf dem Laufwerk des Korvo-Ordners ist nicht genug Platz. "
                                    "Bitte schaffen Sie Platz und starten Sie die Installation "
                                    "erneut.";
inline constexpr char kPathTooLong[] =
    "Der Pfad ist f\xFCr Windows zu lang. Bitte k\xFCrzen Sie den Pfad des Korvo-Ordners.";
inline constexpr char kSourcePathTooLong[] =
    "Der Pfad des Service-Packs ist f\xFCr Windows zu lang. Bitte verschieben Sie das "
    "Service-Pack in einen Ordner mit k\xFCrzerem Pfad.";
inline constexpr char kTryAgain[] = "Bitte starten Sie die Installation erneut.";
inline constexpr char kAnotherPass[] =
    "Eine andere Installation in diesen Korvo-Ordner l\xE4uft bereits. Bitte warten Sie, bis "
    "sie beendet ist, und starten Sie die Installation dann erneut.";
// A pack whose files are not those its program lists: the heading of the names, the advice.
inline constexpr char kNotAsShipped[] = "Folgende Dateien des Service-Packs fehlen oder sind "
                                        "besch\xE4"
                                        "digt:";
inline constexpr char kDownloadAgain[] =
    "Bitte laden Sie das Service-Pack erneut herunter und entpacken Sie es vollst\xE4ndig.";
