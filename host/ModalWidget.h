#pragma once

#include <QWidget>
#include <functional>

// A widget that can run modally. exec() returns 0 when the person confirmed,
// anything else counts as cancel. Tests and headless hosts install an answerer
// that replies in place of a person, so no nested loop waits for input.
class ModalWidget : public QWidget
{
    Q_OBJECT

public:
    using Answerer = std::function<int(ModalWidget*)>;

    explicit ModalWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~ModalWidget() override;

    virtual int exec();
    // Ends a running exec() with the result.
    void done(int result);
    int result() const { return m_result; }
    bool isExecuting() const { return m_loop != nullptr || m_answering; }

    // Installed answerer, or an empty function to let people answer again.
    static void setAnswerer(Answerer answerer);
    static bool hasAnswerer();

signals:
    void finished(int result);

private:
    class QEventLoop* m_loop = nullptr;
    int m_result = 1;
    bool m_answering = false;
    bool m_finishedInExec = false;
};
