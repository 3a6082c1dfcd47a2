#include "FigureTable.h"

#include <cmath>
#include <cstdio>

namespace {

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString yesNo(bool met)
{
    return met ? QStringLiteral("yes") : QStringLiteral("no");
}

// Goals are free text but must stay one token: spaces would split the line.
QString token(QString text)
{
    return text.replace(QLatin1Char(' '), QLatin1Char('_'));
}

} // namespace

QString FigureTable::formatRatio(double module, double baseline)
{
    if (baseline == 0)
        return module == 0 ? QStringLiteral("1.00") : QStringLiteral("inf");
    return number(module / baseline, 2);
}

void FigureTable::add(QString const& name, double module, double baseline, QString const& unit, int decimals,
                      QString const& goal, bool met)
{
    m_lines.append(QStringLiteral("FIGURE %1: module=%2%3 baseline=%4%3 ratio=%5 goal=%6 met=%7")
                       .arg(name, number(module, decimals), unit, number(baseline, decimals),
                            formatRatio(module, baseline), token(goal), yesNo(met)));
    m_allMet = m_allMet && met;
}

void FigureTable::add(QString const& name, double module, QString const& unit, int decimals, QString const& goal,
                      bool met)
{
    m_lines.append(QStringLiteral("FIGURE %1: module=%2%3 baseline=- ratio=- goal=%4 met=%5")
                       .arg(name, number(module, decimals), unit, token(goal), yesNo(met)));
    m_allMet = m_allMet && met;
}

void FigureTable::addCount(QString const& name, int module, int least, QString const& unit, QString const& goal,
                           bool met)
{
    m_lines.append(QStringLiteral("FIGURE %1: module=%2%3 baseline=%4%3 ratio=%5 goal=%6 met=%7")
                       .arg(name)
                       .arg(module)
                       .arg(unit)
                       .arg(least)
                       .arg(formatRatio(module, least), token(goal), yesNo(met)));
    m_allMet = m_allMet && met;
}

void FigureTable::print() const
{
    for (QString const& line : m_lines)
        std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

bool FigureTable::allMet() const
{
    return m_allMet;
}
