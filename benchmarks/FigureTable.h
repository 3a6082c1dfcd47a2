#pragma once

#include <QList>
#include <QString>

// The figures of one measurement program, printed as lines a script can read:
// FIGURE <name>: module=<value><unit> baseline=<value><unit> ratio=<value> goal=<text> met=<yes|no>
class FigureTable
{
public:
    // A figure measured against a baseline taken in the same run.
    void add(QString const& name, double module, double baseline, QString const& unit, int decimals,
             QString const& goal, bool met);
    // A figure without a baseline.
    void add(QString const& name, double module, QString const& unit, int decimals, QString const& goal, bool met);
    // A frame count against the least frames the behaviour needs.
    void addCount(QString const& name, int module, int least, QString const& unit, QString const& goal, bool met);

    // Every figure, one line each, to stdout; flushed at once so that a
    // crash afterwards loses nothing.
    void print() const;
    bool allMet() const;

    static QString formatRatio(double module, double baseline);

private:
    QList<QString> m_lines;
    bool m_allMet = true;
};
