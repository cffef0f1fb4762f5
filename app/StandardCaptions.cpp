#include "StandardCaptions.h"

namespace {
struct Captions {
    QLocale::Language language;
    const char16_t *confirm, *error, *deleteRecord;
};

// The languages of the countries the map editions cover.
constexpr Captions Table[] = {
    {QLocale::German, u"Bestätigen", u"Fehler", u"Datensatz löschen?"},
    {QLocale::French, u"Confirmation", u"Erreur", u"Supprimer l'enregistrement ?"},
    {QLocale::Italian, u"Conferma", u"Errore", u"Eliminare il record?"},
    {QLocale::Spanish, u"Confirmar", u"Error", u"¿Eliminar el registro?"},
    {QLocale::Portuguese, u"Confirmar", u"Erro", u"Eliminar o registo?"},
    {QLocale::Dutch, u"Bevestigen", u"Fout", u"Record verwijderen?"},
    {QLocale::Danish, u"Bekræft", u"Fejl", u"Slet post?"},
};
} // namespace

TStandardCaptions::TStandardCaptions(const QLocale &locale, QObject *parent) : QTranslator(parent)
{
    for (const Captions &c : Table) {
        if (c.language != locale.language())
            continue;
        m_texts.insert("Confirm", QString::fromUtf16(c.confirm));
        m_texts.insert("Error", QString::fromUtf16(c.error));
        m_texts.insert("Delete record?", QString::fromUtf16(c.deleteRecord));
    }
}

QString TStandardCaptions::translate(const char *, const char *sourceText, const char *, int) const
{
    // The same caption whichever window asks for it.
    return m_texts.value(QByteArray(sourceText));
}

bool TStandardCaptions::isEmpty() const
{
    return m_texts.isEmpty();
}
