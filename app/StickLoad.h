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

    static QString const title;
    static QString const invalidFile;
};
