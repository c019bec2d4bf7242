#include "modKWVLanguage.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace kwvlanguage {

namespace {

struct LocaleIds {
    Language language;
    std::initializer_list<std::uint32_t> ids;
};

const std::array<LocaleIds, 6> localeTable{{
    {Language::German, {1031, 2055, 3079, 5127}},
    {Language::Spanish,
     {1034, 2058, 4106, 5130, 6154, 7178, 8202, 9226, 10250, 11274, 12298, 13322, 14346, 15370,
      16394, 17418, 18442, 19466, 20490}},
    {Language::French, {1036, 2060, 3084, 4108, 5132}},
    {Language::Italian, {1040, 2064}},
    {Language::Dutch, {1043, 2067}},
    {Language::Portuguese, {1046, 2070}},
}};

// Texts in the order of the Language enumeration.
const std::array<std::array<const char*, 7>, 7> textTable{{
    {"Unable to initialize the browser!", "Invalid URL !", "Control not initialised !",
     "Downloads...", "|All files (*.*)|*.*", "Select File...",
     "Internet Files|*.html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt "
     ";*.bmp;*.jpeg;*.jpg;*.png;*.gif;*.webm;*.webp|Acrobat PDF Files|*.pdf|Internet "
     "Documents|*. html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt|Image and Multimedia "
     "Files|*.bmp;*.jpeg;*.jpg;*.png;*.gif ;*.webm;*.webp|All Files|*.*"},
    {"Browser kann nicht initialisiert werden!", "Ungültige URL!",
     "COM-Komponent nicht initialisiert!", "Downloads...", "|Alle Dateien (*.*)|*.*",
     "Datei auswählen...",
     "Internetdateien|*.html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt ; "
     "*.bmp;*.jpeg;*.jpg;*.png;*.gif;*.webm;*.webp|Acrobat "
     "PDF-Dateien|*.pdf|Internetdokumente|*. html ;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt|Bild- "
     "und Multimediadateien|*.bmp;*.jpeg;*.jpg;*.png;*.gif ; *.webm;*.webp|Alle Dateien|*.*"},
    {"¡No se puede inicializar el navegador!", "¡URL no válida!", "Control no inicializado",
     "Descargas...", "|Todos los archivos (*.*)|*.*", "Seleccionar archivo...",
     "Archivos de Internet|*.html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt ; "
     "*.bmp;*.jpeg;*.jpg;*.png;*.gif;*.webm;*.webp|Archivos PDF de "
     "Acrobat|*.pdf|Documentos de Internet|*.html ;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt|Archivos "
     "de imagen y multimedia|*.bmp;*.jpeg;*.jpg;*.png;*.gif ; *.webm;*.webp|Todos los "
     "archivos|*.*"},
    {"Impossible d'initialiser le navigateur!", "URL invalide!", "Contrôle non initialisé",
     "Téléchargements...", "|Tous les fichiers (*.*)|*.*", "Sélectionner un fichier...",
     "Fichiers Internet|*.html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt;*.bmp;*.jpeg;*.jpg;*.png;*."
     "gif;*.webm;*.webp|PDF Acrobat|*.pdf|Documents "
     "Internet|*.html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt|Fichiers Images et "
     "Multimédias|*.bmp;*.jpeg;*.jpg;*.png;*.gif;*.webm;*.webp|Tous les fichiers|*.*"},
    {"Impossibile inizializzare il browser!", "URL non valido!", "Controllo non inizializzato!",
     "Downloads...", "|Tutti i file (*.*)|*.*", "Seleziona file...",
     "File Internet|*.html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt ; "
     "*.bmp;*.jpeg;*.jpg;*.png;*.gif;*.webm;*.webp|File Acrobat PDF|*.pdf|Documenti "
     "Internet|*.html ;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt|Immagini e file "
     "multimediali|*.bmp;*.jpeg;*.jpg;*.png;*.gif ; *.webm;*.webp|Tutti i file|*.*"},
    {"Kan de browser niet initialiseren!", "Ongeldige URL!",
     "Besturingselement niet geïnitialiseerd", "Downloads...", "|Alle bestanden (*.*)|*.*",
     "Bestand selecteren...",
     "Internetbestanden|*.html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt ; "
     "*.bmp;*.jpeg;*.jpg;*.png;*.gif;*.webm;*.webp|Acrobat "
     "PDF-bestanden|*.pdf|Internetdocumenten|*.html "
     ";*.htm;*.php;*.asp;*.pdf;*.xml;*.txt|Afbeeldings- en "
     "multimediabestanden|*.bmp;*.jpeg;*.jpg;*.png;*.gif ; *.webm;*.webp|Alle bestanden|*.*"},
    {"Impossível inicializar o navegador!", "URL inválido!", "Controle não inicializado",
     "Downloads...", "|Todos os arquivos (*.*)|*.*", "Selecionar arquivo...",
     "Arquivos da Internet|*.html;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt ; "
     "*.bmp;*.jpeg;*.jpg;*.png;*.gif;*.webm;*.webp|Arquivos Acrobat PDF|*.pdf|Documentos da "
     "Internet|*. html ;*.htm;*.php;*.asp;*.pdf;*.xml;*.txt|Arquivos de Imagem e "
     "Multimídia|*.bmp;*.jpeg;*.jpg;*.png;*.gif ; *.webm;*.webp|Todos os arquivos|*.*"},
}};

Texts& shared() {
    static Texts instance;
    return instance;
}

} // namespace

Language languageOf(std::uint32_t localeId) {
    for (const auto& entry : localeTable) {
        if (std::find(entry.ids.begin(), entry.ids.end(), localeId) != entry.ids.end())
            return entry.language;
    }
    return Language::English;
}

Texts textsFor(Language language) {
    const auto& row = textTable[static_cast<std::size_t>(language)];
    const auto text = [&row](int i) {
        return QString::fromUtf8(row[i]);
    };
    return {text(0), text(1), text(2), text(3), text(4), text(5), text(6)};
}

void setLanguage(std::uint32_t localeId) {
    shared() = textsFor(languageOf(localeId));
}

const Texts& texts() {
    return shared();
}

} // namespace kwvlanguage
