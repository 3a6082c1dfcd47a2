#pragma once

#include <QString>
#include <functional>

class HostEnvironment;
class QWidget;

// Loads a calibration text through the module's own path, the way a person at
// the instrument does: the module's "Load calibration" dialog opens, "Load" is
// pressed, then every prompt is confirmed (or skipped), and the nodes write.
class StickLoad
{
public:
    enum class Outcome
    {
        NoDialog, // the module did not take the text as a calibration file
        Invalid, // "Invalid file"
        NothingToDo, // every value it holds is equal, or none is held
        Loaded // the prompts were answered
    };

    // Sees "Load calibration: SUMMARY" and "ANSWER: PROMPT" as they happen.
    using Progress = std::function<void(QString const& line)>;

    // start opens the module's load dialog; by default the stick module hands
    // the text over. The host's record of writes is cleared first, so the
    // writes of this load can be checked on their own.
    static Outcome run(HostEnvironment& host, QWidget* mainWindow, QString const& text, bool confirmAll,
                       QString* summary, std::function<bool()> const& start = nullptr,
                       Progress const& progress = nullptr);

    // How long the instrument may take to answer every poll.
    static constexpr int AnswerTimeoutMs = 5000;
    // A node writes 200 ms after the last change; wait past that before looking.
    static constexpr int WriteSettleMs = 400;
    // No real load has more prompts than the catalogue has values.
    static constexpr int MaxPrompts = 1000;

    static QString const title;
    static QString const invalidFile;
};
