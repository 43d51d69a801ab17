#pragma once

// The one rule for finding by typed words, wherever Trinode lets the user
// type to find something (bound combinations, the desktop's applications):
// every word, ignoring case, is somewhere in what is searched.

#include <QString>
#include <QStringList>

namespace WordMatch {

// The words of a filter: what white space separates.
QStringList WordsOf(const QString& text);

// What is searched is given as its parts, one a line, so that no word spans
// two of them (a word holds no white space).
QString SearchText(const QStringList& parts);

bool Matches(const QString& searchText, const QStringList& words);

// How well a name answers the typed text, best first: the name is the text
// (ignoring case and the spaces around and between words), then it starts
// with it, then anything else. A list that finds ranks its rows by this, so
// that typing a whole name and Enter picks that one.
enum class NameRank { Equal, Starts, Other };
NameRank RankOf(const QString& name, const QStringList& words);

} // namespace WordMatch
