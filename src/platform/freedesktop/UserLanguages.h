#pragma once

#include <QProcessEnvironment>
#include <QStringList>
#include <QStringView>

// The user's languages as gettext finds them, for everything chosen by language: the
// screenshot folder's localised name, the languages text is read in.
namespace UserLanguages {

// LANGUAGE's list, then the locale (LC_ALL, LC_MESSAGES, LANG, the first set), most preferred
// first; none when the locale is "C" or "POSIX", whatever LANGUAGE says.
QStringList fromEnvironment(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// "ll_CC.codeset@modifier" → the names gettext looks a catalogue up under, most specific first:
// ll_CC@modifier, ll_CC, ll@modifier, ll (the codeset says nothing of the language).
QStringList variants(QStringView language);

} // namespace UserLanguages
